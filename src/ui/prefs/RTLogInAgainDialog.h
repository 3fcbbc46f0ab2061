#pragma once

#include "accounts/RTService.h"

#include <QDialog>
#include <QPointer>

class QLabel;
class RTAccountAdditionPage;

// Logs an existing account in again with the add-account page of its kind: the account
// keeps its name, messages and settings, and only its log-in (token, password) is
// replaced. Closes (accepted) once the log-in went through; Cancel or a failed log-in
// leaves the account as it was.
class RTLogInAgainDialog : public QDialog
{
    Q_OBJECT
public:
    // Null when no registered page can log this kind of account in again.
    static RTLogInAgainDialog *create(const RTServicePtr &account, QWidget *parent = nullptr);
    // Whether a registered page can log this kind of account in again.
    [[nodiscard]] static bool canLogInAgain(const RTService &account);
    // Shows the dialog for the account, or raises the one already open for it.
    static RTLogInAgainDialog *open(const RTServicePtr &account, QWidget *parent = nullptr);

    [[nodiscard]] RTAccountAdditionPage *page() const { return m_page; }
    [[nodiscard]] RTServicePtr account() const { return m_account.lock(); }

    void reject() override;

signals:
    void loggedInAgain(const QString &identifier);

private:
    RTLogInAgainDialog(const RTServicePtr &account, RTAccountAdditionPage *page, QWidget *parent);

    std::weak_ptr<RTService> m_account;
    RTAccountAdditionPage *m_page;
};
