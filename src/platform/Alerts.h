#pragma once

#include "platform/PlatformInterface.h"

#include <QList>
#include <QString>
#include <functional>

class QObject;

// Modal alerts the core logic needs answered by the user. The window layer shows them as
// sheets; onEnd runs on the main thread once the user has answered.
class Alerts : public PlatformInterface<Alerts>
{
public:
    struct Confirmation
    {
        QString message;
        QString informativeText;
        QString defaultButton;
        QString alternateButton;
        // Empty for no check box.
        QString checkBoxTitle;
        bool checkBoxState = false;
    };

    // confirmed: the default button was pressed; checkBoxState: the box as it was left.
    virtual void runConfirmation(const Confirmation &alert,
                                 std::function<void(bool confirmed, bool checkBoxState)> onEnd) = 0;
    virtual void runInformation(const QString &message, const QString &informativeText,
                                const QString &button) = 0;
    // Lets the user pick the account that follows (or unfollows) a user; onEnd gets the
    // chosen account, or nullptr when the user cancelled.
    virtual void chooseAccount(const QList<QObject *> &accounts, const QString &userName,
                               bool follow, std::function<void(QObject *account)> onEnd) = 0;
};
