#pragma once

#include "platform/SoundPlayer.h"

#include <QObject>
#include <QThread>
#include <map>

struct ca_context;

// Alert sounds through libcanberra: the program's own sounds from files shipped with it,
// every other name as an event id of the desktop's sound theme. libcanberra may block
// while it reaches the sound server, so every call to it runs on a thread of its own;
// end reports come back to the main thread.
class CanberraSoundPlayer : public QObject, public SoundPlayer
{
    Q_OBJECT
public:
    explicit CanberraSoundPlayer(QObject *parent = nullptr);
    ~CanberraSoundPlayer() override;

    void preload(const QString &name) override;
    void play(const QString &name, double volume, Finished finished) override;
    [[nodiscard]] QStringList systemSoundNames() const override;

    // Sound names of the theme's folders under the XDG data folders, without extension.
    [[nodiscard]] static QStringList
    themeSoundNames(const QString &theme = QStringLiteral("freedesktop"));
    // The file of one of the program's own sounds, written out of the program's
    // resources into the cache folder on first use; empty for other names.
    [[nodiscard]] static QString ownSoundFile(const QString &name);

private:
    void finishedOnMainThread(quint32 id, bool ok);
    static void playbackDone(ca_context *context, quint32 id, int error, void *userdata);

    QThread m_thread;
    QObject *m_worker = nullptr;           // lives on m_thread
    ca_context *m_context = nullptr;       // used on m_thread only
    std::map<quint32, Finished> m_pending; // main thread
    quint32 m_nextId = 1;
};
