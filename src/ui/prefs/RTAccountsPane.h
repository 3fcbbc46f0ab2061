#pragma once

#include "accounts/RTService.h"

#include <QPointer>
#include <QWidget>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QVBoxLayout;
class RTServiceRegistry;

// The Accounts pane: the user's accounts in the order every list uses, the switches of
// the selected one (pop-ups, the sources it shows), and adding and removing accounts.
class RTAccountsPane : public QWidget
{
    Q_OBJECT
public:
    explicit RTAccountsPane(QWidget *parent = nullptr);
    ~RTAccountsPane() override;

    [[nodiscard]] QListWidget *list() const { return m_list; }
    [[nodiscard]] RTServicePtr selectedAccount() const;
    bool selectAccount(const QString &identifier);
    // Asks, then removes the selected account with its keyring items and stored data.
    // confirm = false skips the question (tests).
    void removeSelected(bool confirm = true);
    [[nodiscard]] QPushButton *removeButton() const { return m_remove; }
    // The switch of the selected account with that object name ("showPopupNotifications").
    [[nodiscard]] QCheckBox *accountSwitch(const QString &name) const;
    // The selected account's "Log In Again…" button; null unless it needs a log-in.
    [[nodiscard]] QPushButton *logInAgainButton() const;

private:
    void reload();
    void showSwitches();
    void showLogInNeeded(const RTServicePtr &account);
    // The person's own picture where the account has one in the picture cache.
    QIcon accountIcon(const RTService &account, const QColor &ink);
    void addSwitch(const QString &name, const QString &text, bool on,
                   std::function<void(bool)> apply);

    QListWidget *m_list;
    QWidget *m_details;
    QVBoxLayout *m_switches;
    QLabel *m_title;
    QPushButton *m_add;
    QPushButton *m_remove;
    RTServiceList m_accounts;
    RTServiceRegistry *m_registry;
    QList<QMetaObject::Connection> m_watches;
    int m_pictureObserver = 0;
    bool m_waitingForPicture = false;
};
