#pragma once

#include "platform/DesktopNotifications.h"
#include "platform/LauncherBadge.h"
#include "platform/SoundPlayer.h"
#include "platform/StatusItem.h"

#include <QList>
#include <QStringList>

// Records notifications, badge labels, tray changes and sounds, and installs itself as
// those four interfaces for its lifetime. Sounds finish only when the test says so.
class FakeDesktopAlerts : public DesktopNotifications,
                          public LauncherBadge,
                          public StatusItem,
                          public SoundPlayer
{
public:
    FakeDesktopAlerts()
    {
        DesktopNotifications::setShared(this);
        LauncherBadge::setShared(this);
        StatusItem::setShared(this);
        SoundPlayer::setShared(this);
    }
    ~FakeDesktopAlerts() override
    {
        DesktopNotifications::setShared(nullptr);
        LauncherBadge::setShared(nullptr);
        StatusItem::setShared(nullptr);
        SoundPlayer::setShared(nullptr);
    }

    // DesktopNotifications
    QList<Notification> notifications;
    AnswerHandler answerHandler;
    void notify(const Notification &notification) override { notifications.append(notification); }
    void setAnswerHandler(AnswerHandler handler) override { answerHandler = std::move(handler); }
    void answer(Answer answer, int index) const
    {
        if (answerHandler)
            answerHandler(answer, notifications.at(index).clickContext);
    }

    // LauncherBadge
    QStringList badgeLabels;
    void setBadgeLabel(const QString &label) override { badgeLabels.append(label); }

    // StatusItem
    bool trayAvailable = true;
    bool shown = false;
    bool newMessages = false;
    int count = 0;
    int iconChanges = 0;
    Handlers handlers;
    bool addStatusItem(const Handlers &h) override
    {
        handlers = h;
        shown = trayAvailable;
        return shown;
    }
    void removeStatusItem() override { shown = false; }
    [[nodiscard]] bool hasStatusItem() const override { return shown; }
    void setNewMessages(bool value, int newCount) override
    {
        newMessages = value;
        count = newCount;
        ++iconChanges;
    }

    // SoundPlayer
    struct Playing
    {
        QString name;
        double volume;
        Finished finished;
    };
    QStringList preloaded;
    QList<Playing> played;
    QStringList themeSounds;
    void preload(const QString &name) override { preloaded.append(name); }
    void play(const QString &name, double volume, Finished finished) override
    {
        played.append({name, volume, std::move(finished)});
    }
    [[nodiscard]] QStringList systemSoundNames() const override { return themeSounds; }
    // Ends the last sound started.
    void finishLastSound(bool ok = true)
    {
        if (!played.isEmpty() && played.last().finished) {
            const Finished finished = std::exchange(played.last().finished, nullptr);
            finished(ok);
        }
    }
    [[nodiscard]] QStringList playedNames() const
    {
        QStringList names;
        for (const Playing &p : played)
            names.append(p.name);
        return names;
    }
};
