#pragma once

#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QRecursiveMutex>
#include <QVariantList>

class QTimer;

// Plays alert sounds one at a time, newest first, with a pause between them, and lets
// each rate-limited alert type sound at most once per kRateLimitSeconds. Alerts may be
// posted from any thread; playing is driven by a timer on the main thread.
class RTSoundAlertManager : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 kRateLimitSeconds = 120;
    static constexpr qint64 kPauseBetweenSoundsMs = 2000;
    static constexpr int kUpdateIntervalMs = 100;
    static constexpr double kVolume = 0.5;
    // A player that never reports the end (a stuck audio device) is given up on after this.
    static constexpr qint64 kPlayingTimeoutMs = 30000;
    // Older alerts are dropped beyond this many waiting.
    static constexpr int kMaxQueuedAlerts = 32;

    struct Alert
    {
        QString type; // the settings key of the sound
        QString sound;
        QDateTime date;
    };

    // The first manager created becomes the shared one until it is destroyed.
    explicit RTSoundAlertManager(QObject *parent = nullptr);
    ~RTSoundAlertManager() override;
    // Created on first use.
    static RTSoundAlertManager &sharedManager();

    static void postSoundAlert(const QString &type, const QString &soundName, bool rateLimited);
    static void addSoundAlert(const QString &type, const QString &soundName);
    // {kRTSoundFileName, kRTSoundMenuName} records for the preference menus.
    [[nodiscard]] static QVariantList talvoSounds();
    [[nodiscard]] static QVariantList systemSounds();

    void post(const QString &type, const QString &soundName, bool rateLimited);
    void add(const QString &type, const QString &soundName);

    // Timer handler: starts the next sound when the player is free.
    void updateAlerts();
    [[nodiscard]] QList<Alert> soundAlerts() const;
    [[nodiscard]] bool isPlaying() const;
    [[nodiscard]] bool isDone() const;

private:
    void soundDidFinishPlaying(quint64 token);
    void preloadConfiguredSounds();
    static void sortByDate(QList<Alert> &alerts);

    mutable QRecursiveMutex m_lock;
    QList<Alert> m_soundAlerts;
    QMap<QString, Alert> m_soundAlertsRateControl;
    // The alert now playing; its token tells a late end report from a current one.
    bool m_playing = false;
    Alert m_sound;
    quint64 m_playToken = 0;
    QDateTime m_playStartedAt;
    QDateTime m_lastSoundPlayedAt;
    bool m_isDone = true;
    QTimer *m_playTimer = nullptr;
};
