#include "platform/linux/CanberraSoundPlayer.h"

#include "foundation/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <canberra.h>
#include <cmath>

namespace {

const char *const kOwnSounds[] = {"talvo_CSnd"};

bool isOwnSound(const QString &name)
{
    for (const char *own : kOwnSounds) {
        if (name == QLatin1String(own))
            return true;
    }
    return false;
}

} // namespace

CanberraSoundPlayer::CanberraSoundPlayer(QObject *parent)
    : QObject(parent)
{
    m_thread.setObjectName(QStringLiteral("talvo-sounds"));
    m_worker = new QObject();
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
    QMetaObject::invokeMethod(m_worker, [this] {
        if (ca_context_create(&m_context) != CA_SUCCESS) {
            m_context = nullptr;
            return;
        }
        ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Talvo",
                                CA_PROP_APPLICATION_ID, "org.talvo.Talvo", nullptr);
    });
}

CanberraSoundPlayer::~CanberraSoundPlayer()
{
    if (SoundPlayer::hasShared() && &SoundPlayer::shared() == this)
        SoundPlayer::setShared(nullptr);
    // Destroying the context cancels its sounds; no end report comes after it.
    QMetaObject::invokeMethod(
        m_worker,
        [this] {
            if (m_context)
                ca_context_destroy(m_context);
            m_context = nullptr;
        },
        Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

QStringList CanberraSoundPlayer::themeSoundNames(const QString &theme)
{
    QStringList names;
    const QStringList folders = QStandardPaths::locateAll(
        QStandardPaths::GenericDataLocation, QStringLiteral("sounds/%1/stereo").arg(theme),
        QStandardPaths::LocateDirectory);
    for (const QString &folder : folders) {
        const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
        for (const QFileInfo &file : files) {
            const QString name = file.completeBaseName();
            if (!names.contains(name))
                names.append(name);
        }
    }
    return names;
}

QStringList CanberraSoundPlayer::systemSoundNames() const
{
    return themeSoundNames();
}

QString CanberraSoundPlayer::ownSoundFile(const QString &name)
{
    if (!isOwnSound(name))
        return {};
    const QString resource = QStringLiteral(":/talvo/sounds/%1.wav").arg(name);
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/sounds");
    const QString target = folder + QLatin1Char('/') + name + QStringLiteral(".wav");
    QFile source(resource);
    if (QFileInfo(target).size() == source.size())
        return target;
    if (!QDir().mkpath(folder) || !source.open(QIODevice::ReadOnly))
        return {};
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(source.readAll()) != source.size() ||
        !out.commit())
        return {};
    return target;
}

void CanberraSoundPlayer::preload(const QString &name)
{
    if (name.isEmpty() || isOwnSound(name))
        return;
    QMetaObject::invokeMethod(m_worker, [this, event = name.toUtf8()] {
        // Asks the sound server to keep the sample; without a server this fails quietly.
        if (m_context)
            ca_context_cache(m_context, CA_PROP_EVENT_ID, event.constData(), nullptr);
    });
}

void CanberraSoundPlayer::play(const QString &name, double volume, Finished finished)
{
    const quint32 id = m_nextId++;
    m_pending.emplace(id, std::move(finished));
    const QString file = ownSoundFile(name);
    const double decibel = 20.0 * std::log10(std::clamp(volume, 0.001, 1.0));
    QMetaObject::invokeMethod(m_worker, [this, id, name, file, decibel] {
        int result = CA_ERROR_STATE;
        if (m_context) {
            ca_proplist *props = nullptr;
            ca_proplist_create(&props);
            if (file.isEmpty())
                ca_proplist_sets(props, CA_PROP_EVENT_ID, name.toUtf8().constData());
            else
                ca_proplist_sets(props, CA_PROP_MEDIA_FILENAME,
                                 QFile::encodeName(file).constData());
            ca_proplist_sets(props, CA_PROP_CANBERRA_VOLUME,
                             QByteArray::number(decibel, 'f', 2).constData());
            ca_proplist_sets(props, CA_PROP_CANBERRA_CACHE_CONTROL, "volatile");
            result = ca_context_play_full(m_context, id, props, &CanberraSoundPlayer::playbackDone,
                                          this);
            ca_proplist_destroy(props);
        }
        if (result != CA_SUCCESS) {
            qCInfo(lcPlatform).noquote() << "sound" << name << "not played:" << ca_strerror(result);
            QMetaObject::invokeMethod(
                this, [this, id] { finishedOnMainThread(id, false); }, Qt::QueuedConnection);
        }
    });
}

void CanberraSoundPlayer::playbackDone(ca_context *, quint32 id, int error, void *userdata)
{
    // On libcanberra's own thread.
    auto *self = static_cast<CanberraSoundPlayer *>(userdata);
    QMetaObject::invokeMethod(
        self, [self, id, error] { self->finishedOnMainThread(id, error == CA_SUCCESS); },
        Qt::QueuedConnection);
}

void CanberraSoundPlayer::finishedOnMainThread(quint32 id, bool ok)
{
    const auto it = m_pending.find(id);
    if (it == m_pending.end())
        return;
    Finished finished = std::move(it->second);
    m_pending.erase(it);
    if (finished)
        finished(ok);
}
