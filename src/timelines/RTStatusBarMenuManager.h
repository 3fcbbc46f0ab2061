#pragma once

#include "platform/StatusItem.h"

#include <QObject>

// The tray icon: shown unless "TAHideMenuBarIcon" is on (followed live), coloured while
// the status-icon count node has unseen messages. A click shows or hides the program.
class RTStatusBarMenuManager : public QObject
{
    Q_OBJECT
public:
    explicit RTStatusBarMenuManager(QObject *parent = nullptr);
    ~RTStatusBarMenuManager() override;
    // The first manager created, or a new one; lives for the process.
    static RTStatusBarMenuManager &sharedManager();

    void addStatusItem();
    void setNormalStatusItem();
    void setNewMessagesStatusItem(int count);
    [[nodiscard]] bool showsNewMessages() const { return m_newMessages; }

    void statusItemClicked(StatusItem::Click click);
    void statusItemDoubleClicked();
    // Brings the program forward and asks for the preferences window.
    void showPreferences();

signals:
    // The window layer opens the preferences window.
    void showPreferencesRequested();

private:
    void hideMenuBarIconChanged(bool hide);
    void applyIcon();

    bool m_wanted = false;
    bool m_newMessages = false;
    int m_count = 0;
};
