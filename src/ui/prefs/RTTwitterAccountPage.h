#pragma once

#include "ui/RTWindowExtensions.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class RTTwitterAccountLogin;

// The add-account sheet's Twitter page: a user name and a password, logged in with xAuth
// through the same code as `talvoctl login`, with progress and cancel.
class RTTwitterAccountPage : public RTAccountAdditionPage
{
    Q_OBJECT
public:
    explicit RTTwitterAccountPage(QWidget *parent = nullptr);
    ~RTTwitterAccountPage() override;

    void begin() override;
    void cancel() override;
    bool renewAccount(const std::shared_ptr<RTService> &account) override;
    // Fills the fields and logs in (the welcome view's demo account).
    void logIn(const QString &screenName, const QString &password);
    [[nodiscard]] bool isBusy() const;
    [[nodiscard]] QString errorText() const;

    [[nodiscard]] QLineEdit *userField() const { return m_user; }
    [[nodiscard]] QLineEdit *passwordField() const { return m_password; }
    [[nodiscard]] QPushButton *logInButton() const { return m_logIn; }

    // Registers the page as the "twitter" account kind.
    static void registerAccountKind();

private:
    void start();
    void setBusy(bool busy);
    void showError(const QString &sentence);

    QLabel *m_intro = nullptr;
    QLineEdit *m_user;
    QLineEdit *m_password;
    QPushButton *m_logIn;
    QProgressBar *m_progress;
    QLabel *m_message;
    RTTwitterAccountLogin *m_login;
};
