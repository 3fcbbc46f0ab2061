#include "timelines/RTSoundAlertManager.h"

#include "foundation/Clock.h"
#include "foundation/Localization.h"
#include "foundation/Log.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "platform/SoundPlayer.h"

#include <QMutexLocker>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <atomic>

namespace {
std::atomic<RTSoundAlertManager *> g_shared{nullptr};
} // namespace

RTSoundAlertManager::RTSoundAlertManager(QObject *parent)
    : QObject(parent)
    , m_lastSoundPlayedAt(Clock::currentDateTime())
{
    RTSoundAlertManager *expected = nullptr;
    g_shared.compare_exchange_strong(expected, this);
    preloadConfiguredSounds();
    m_playTimer = new QTimer(this);
    m_playTimer->setInterval(kUpdateIntervalMs);
    connect(m_playTimer, &QTimer::timeout, this, &RTSoundAlertManager::updateAlerts);
    m_playTimer->start();
}

RTSoundAlertManager::~RTSoundAlertManager()
{
    RTSoundAlertManager *expected = this;
    g_shared.compare_exchange_strong(expected, nullptr);
}

RTSoundAlertManager &RTSoundAlertManager::sharedManager()
{
    if (RTSoundAlertManager *shared = g_shared.load())
        return *shared;
    // Lives for the process.
    return *new RTSoundAlertManager();
}

void RTSoundAlertManager::postSoundAlert(const QString &type, const QString &soundName,
                                         bool rateLimited)
{
    sharedManager().post(type, soundName, rateLimited);
}

void RTSoundAlertManager::addSoundAlert(const QString &type, const QString &soundName)
{
    sharedManager().add(type, soundName);
}

QVariantList RTSoundAlertManager::talvoSounds()
{
    return {QVariantMap{
        {QLatin1String(kRTSoundFileName), QStringLiteral("talvo_CSnd")},
        {QLatin1String(kRTSoundMenuName), localizedString("##RTSoundAlertManager:0##")}}};
}

QVariantList RTSoundAlertManager::systemSounds()
{
    QVariantList sounds;
    if (!SoundPlayer::hasShared())
        return sounds;
    for (const QString &name : SoundPlayer::shared().systemSoundNames())
        sounds.append(QVariantMap{{QLatin1String(kRTSoundFileName), name},
                                  {QLatin1String(kRTSoundMenuName), name}});
    return sounds;
}

void RTSoundAlertManager::post(const QString &type, const QString &soundName, bool rateLimited)
{
    if (type.isEmpty() || soundName.isEmpty())
        return;
    QMutexLocker locker(&m_lock);
    if (!rateLimited) {
        add(type, soundName);
        return;
    }
    const QDateTime now = Clock::currentDateTime();
    auto entry = m_soundAlertsRateControl.find(type);
    if (entry == m_soundAlertsRateControl.end()) {
        m_soundAlertsRateControl.insert(type, {type, soundName, now});
        add(type, soundName);
        return;
    }
    // A missing date counts as the distant past.
    if (!entry->date.isValid() || entry->date.secsTo(now) > kRateLimitSeconds) {
        entry->date = now;
        add(type, soundName);
    }
}

void RTSoundAlertManager::add(const QString &type, const QString &soundName)
{
    if (type.isEmpty() || soundName.isEmpty())
        return;
    QMutexLocker locker(&m_lock);
    m_soundAlerts.append({type, soundName, Clock::currentDateTime()});
    if (m_soundAlerts.size() > kMaxQueuedAlerts) {
        sortByDate(m_soundAlerts);
        m_soundAlerts.erase(m_soundAlerts.begin(),
                            m_soundAlerts.begin() + (m_soundAlerts.size() - kMaxQueuedAlerts));
    }
}

void RTSoundAlertManager::sortByDate(QList<Alert> &alerts)
{
    std::stable_sort(alerts.begin(), alerts.end(),
                     [](const Alert &a, const Alert &b) { return a.date < b.date; });
}

void RTSoundAlertManager::updateAlerts()
{
    QMutexLocker locker(&m_lock);
    const QDateTime now = Clock::currentDateTime();
    if (m_playing) {
        if (m_playStartedAt.msecsTo(now) < kPlayingTimeoutMs)
            return;
        qCWarning(lcTimelines) << "sound" << m_sound.sound << "did not finish; giving up on it";
        soundDidFinishPlaying(m_playToken);
        return;
    }
    if (m_lastSoundPlayedAt.msecsTo(now) < kPauseBetweenSoundsMs)
        return;
    sortByDate(m_soundAlerts);
    if (m_soundAlerts.isEmpty()) {
        m_isDone = true;
        return;
    }
    m_isDone = false;
    if (!SoundPlayer::hasShared()) {
        // Nothing can play them; waiting would only grow the queue.
        m_soundAlerts.clear();
        return;
    }
    m_sound = m_soundAlerts.constLast();
    m_playing = true;
    m_playStartedAt = now;
    const quint64 token = ++m_playToken;
    const QString name = m_sound.sound;
    locker.unlock();
    QPointer<RTSoundAlertManager> self(this);
    SoundPlayer::shared().play(name, kVolume, [self, token](bool played) {
        if (!played)
            qCInfo(lcTimelines) << "an alert sound could not be played";
        if (self)
            self->soundDidFinishPlaying(token);
    });
}

void RTSoundAlertManager::soundDidFinishPlaying(quint64 token)
{
    QMutexLocker locker(&m_lock);
    if (!m_playing || token != m_playToken)
        return;
    // The alert that played leaves the queue, even when newer ones came meanwhile.
    for (qsizetype i = m_soundAlerts.size() - 1; i >= 0; --i) {
        const Alert &a = m_soundAlerts.at(i);
        if (a.type == m_sound.type && a.sound == m_sound.sound && a.date == m_sound.date) {
            m_soundAlerts.removeAt(i);
            break;
        }
    }
    m_playing = false;
    m_sound = {};
    m_lastSoundPlayedAt = Clock::currentDateTime();
}

void RTSoundAlertManager::preloadConfiguredSounds()
{
    if (!SoundPlayer::hasShared())
        return;
    const SettingsStore &settings = SettingsStore::shared();
    for (const char *key : {kRTTwitterSoundPrefsNewTweet, kRTTwitterSoundPrefsNewMention,
                            kRTTwitterSoundPrefsNewDM, kRTTwitterSoundPrefsNewPost}) {
        const QString name = settings.stringForKey(QLatin1String(key));
        if (!name.isEmpty())
            SoundPlayer::shared().preload(name);
    }
}

QList<RTSoundAlertManager::Alert> RTSoundAlertManager::soundAlerts() const
{
    QMutexLocker locker(&m_lock);
    return m_soundAlerts;
}

bool RTSoundAlertManager::isPlaying() const
{
    QMutexLocker locker(&m_lock);
    return m_playing;
}

bool RTSoundAlertManager::isDone() const
{
    QMutexLocker locker(&m_lock);
    return m_isDone;
}
