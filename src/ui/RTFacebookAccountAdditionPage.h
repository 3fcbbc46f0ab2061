#pragma once

#include "ui/RTWindowExtensions.h"

#include <QPointer>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class RTFacebookLogin;
class RTServiceFacebook;

// The add-account sheet's page for Facebook: the log-in happens in the user's browser;
// the page says it is waiting, shows the address in case no browser opened, and tells
// the result. A finished log-in adds the account to the store and starts it; a log-in
// again gives an existing account a new token and starts it again.
class RTFacebookAccountAdditionPage : public RTAccountAdditionPage
{
    Q_OBJECT

public:
    explicit RTFacebookAccountAdditionPage(QWidget *parent = nullptr);
    ~RTFacebookAccountAdditionPage() override;

    void begin() override;
    void cancel() override;
    bool renewAccount(const std::shared_ptr<RTService> &account) override;

    // For tests: the log-in the page runs.
    [[nodiscard]] RTFacebookLogin *login() const { return m_login; }
    [[nodiscard]] QString statusText() const;

private:
    void setBusy(bool busy);
    void showStatus(const QString &text);
    void finished(const std::shared_ptr<RTServiceFacebook> &account, bool isNew);

    RTFacebookLogin *m_login = nullptr;
    QLabel *m_intro = nullptr;
    QLabel *m_status = nullptr;
    QLineEdit *m_address = nullptr;
    QPushButton *m_again = nullptr;
    QPushButton *m_cancel = nullptr;
    bool m_busy = false;
};

// Registers the Facebook page with the add-account sheet.
void registerFacebookWindows();
