#include "foundation/SettingsStore.h"

#include "foundation/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>

namespace {
std::unique_ptr<SettingsStore> &sharedSlot()
{
    static std::unique_ptr<SettingsStore> store;
    return store;
}

bool isMainThread()
{
    return !QCoreApplication::instance() ||
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

// INI files keep scalars as text; give booleans their meaning back.
bool toBool(const QVariant &v)
{
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed().toLower();
        return s == QLatin1String("true") || s == QLatin1String("yes") ||
               (s.toLongLong() != 0);
    }
    return v.toBool();
}
} // namespace

SettingsStore &SettingsStore::shared()
{
    auto &slot = sharedSlot();
    if (!slot) {
        slot = std::make_unique<SettingsStore>(defaultPath());
        slot->registerShippedDefaults();
    }
    return *slot;
}

void SettingsStore::resetShared(const QString &iniPath)
{
    auto &slot = sharedSlot();
    slot = std::make_unique<SettingsStore>(iniPath.isEmpty() ? defaultPath() : iniPath);
    slot->registerShippedDefaults();
}

SettingsStore::SettingsStore(const QString &iniPath, QObject *parent)
    : QObject(parent)
    , m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat))
{
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::defaultPath()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QLatin1String("/.config");
    return base + QLatin1String("/Talvo/Talvo.conf");
}

QString SettingsStore::filePath() const
{
    return m_settings->fileName();
}

void SettingsStore::registerDefaults(const QVariantMap &defaults)
{
    QWriteLocker locker(&m_lock);
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
        m_defaults.insert(it.key(), it.value());
}

QVariantMap SettingsStore::shippedDefaults()
{
    QFile file(QStringLiteral(":/talvo/defaultSettings.json"));
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcFoundation) << "shipped default settings are missing";
        return {};
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        qCWarning(lcFoundation) << "shipped default settings are malformed:"
                                << error.errorString();
        return {};
    }
    QVariantMap map = doc.object().toVariantMap();
    map.remove(QStringLiteral("//")); // comments of the resource file
    return map;
}

void SettingsStore::registerShippedDefaults()
{
    registerDefaults(shippedDefaults());
}

QVariant SettingsStore::objectForKey(const QString &key) const
{
    QReadLocker locker(&m_lock);
    const QVariant user = m_settings->value(key);
    if (user.isValid())
        return user;
    return m_defaults.value(key);
}

bool SettingsStore::hasUserValue(const QString &key) const
{
    QReadLocker locker(&m_lock);
    return m_settings->contains(key);
}

bool SettingsStore::boolForKey(const QString &key) const
{
    return toBool(objectForKey(key));
}

qint64 SettingsStore::integerForKey(const QString &key) const
{
    const QVariant v = objectForKey(key);
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? 1 : 0;
    bool ok = false;
    const qint64 i = v.toLongLong(&ok);
    return ok ? i : static_cast<qint64>(v.toDouble());
}

quint64 SettingsStore::unsignedIntegerForKey(const QString &key) const
{
    const QVariant v = objectForKey(key);
    bool ok = false;
    const quint64 u = v.toULongLong(&ok);
    if (ok)
        return u;
    const qint64 i = integerForKey(key);
    return i < 0 ? 0 : static_cast<quint64>(i);
}

double SettingsStore::floatForKey(const QString &key) const
{
    return objectForKey(key).toDouble();
}

QString SettingsStore::stringForKey(const QString &key) const
{
    const QVariant v = objectForKey(key);
    if (!v.isValid() || v.typeId() == QMetaType::QVariantList ||
        v.typeId() == QMetaType::QVariantMap)
        return QString();
    return v.toString();
}

QVariantList SettingsStore::arrayForKey(const QString &key) const
{
    const QVariant v = objectForKey(key);
    if (v.typeId() == QMetaType::QStringList) {
        QVariantList list;
        for (const QString &s : v.toStringList())
            list.append(s);
        return list;
    }
    // QSettings writes a one-element string list as a plain string.
    if (v.typeId() == QMetaType::QString)
        return v.toString().isEmpty() ? QVariantList{} : QVariantList{v};
    return v.toList();
}

QStringList SettingsStore::stringArrayForKey(const QString &key) const
{
    QStringList out;
    for (const QVariant &v : arrayForKey(key))
        out.append(v.toString());
    return out;
}

QVariantMap SettingsStore::dictionaryForKey(const QString &key) const
{
    return objectForKey(key).toMap();
}

void SettingsStore::setValue(const QString &key, const QVariant &value)
{
    Q_ASSERT(isMainThread());
    QVariant before;
    {
        QWriteLocker locker(&m_lock);
        before = m_settings->contains(key) ? m_settings->value(key) : m_defaults.value(key);
        m_settings->setValue(key, value);
    }
    if (before != value)
        Q_EMIT valueChanged(key, value);
}

void SettingsStore::removeObjectForKey(const QString &key)
{
    Q_ASSERT(isMainThread());
    QVariant before;
    QVariant after;
    {
        QWriteLocker locker(&m_lock);
        if (!m_settings->contains(key))
            return;
        before = m_settings->value(key);
        m_settings->remove(key);
        after = m_defaults.value(key);
    }
    if (before != after)
        Q_EMIT valueChanged(key, after);
}

void SettingsStore::synchronize()
{
    QWriteLocker locker(&m_lock);
    m_settings->sync();
}
