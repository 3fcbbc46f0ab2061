#pragma once

#include "accounts/RTService.h"
#include "network/RTRequestOperation.h"
#include "ui/RTWindowExtensions.h"

#include <QPointer>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// An add-account page for the kinds that log in with a name and one secret (a Ping.fm
// application key, an Instapaper password). The secret stays in memory until the service
// accepted it; only then does it reach the keyring and the account the registry.
class RTKeyAccountPage : public RTAccountAdditionPage
{
    Q_OBJECT

public:
    struct Kind
    {
        int serviceType = 0;
        QString nameLabel;
        QString secretLabel;
        QString explanation;
        bool secretMayBeEmpty = false;
        // A new, unregistered account of the kind.
        std::function<RTServicePtr()> create;
        // Sends the check of the account's credentials; null when nothing was sent.
        std::function<RTRequestOperationPtr(const RTServicePtr &, RTRequestDelegatePtr)> verify;
    };

    RTKeyAccountPage(Kind kind, QWidget *parent = nullptr);
    ~RTKeyAccountPage() override;

    void begin() override;
    void cancel() override;
    // Checks the fields and sends the check; the page reports accountAdded or failed.
    void submit();

    [[nodiscard]] QLineEdit *nameField() const { return m_name; }
    [[nodiscard]] QLineEdit *secretField() const { return m_secret; }

private:
    void finish(bool success, const QString &failure);
    void setBusy(bool busy);

    Kind m_kind;
    QLineEdit *m_name;
    QLineEdit *m_secret;
    QPushButton *m_add;
    QLabel *m_message;
    RTServicePtr m_pending;
    RTRequestOperationPtr m_check;
};

// Registers the Ping.fm and Instapaper pages of the add-account sheet.
void registerPingfmAndInstapaperWindows();
