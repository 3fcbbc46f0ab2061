#pragma once

#include "accounts/RTService.h"

#include <QList>
#include <QMetaObject>
#include <QWidget>

class QLabel;
class QPushButton;
class RTServiceRegistry;

// A line in the main window while an account needs the user to log in again: which
// account, in one sentence, and the button that logs it in. Hidden otherwise.
class RTAccountLogInBar : public QWidget
{
    Q_OBJECT
public:
    explicit RTAccountLogInBar(RTServiceRegistry &registry, QWidget *parent = nullptr);
    ~RTAccountLogInBar() override;

    [[nodiscard]] QLabel *label() const { return m_label; }
    [[nodiscard]] QPushButton *button() const { return m_button; }
    // The accounts that need a log-in, in the order of the account list.
    [[nodiscard]] RTServiceList accountsNeedingLogIn() const;
    // Logs the first of them in again.
    void logInAgain();

    // "Facebook no longer accepts the log-in of Alice Doe." and the like.
    [[nodiscard]] static QString sentence(const RTService &account);
    // The name the user knows the account by: the person's name where the account id is
    // a number, else the id.
    [[nodiscard]] static QString accountName(const RTService &account);
    // "Twitter", "Facebook": the add-account kind's title.
    [[nodiscard]] static QString kindTitle(const RTService &account);

signals:
    void shownChanged(bool shown);

private:
    void watchAccounts();
    void refresh();

    RTServiceRegistry &m_registry;
    QLabel *m_icon;
    QLabel *m_label;
    QPushButton *m_button;
    QList<QMetaObject::Connection> m_watches;
    bool m_shown = false;
};
