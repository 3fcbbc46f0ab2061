#pragma once

#include "platform/PlatformInterface.h"

#include <QString>

// Generic-password items in the desktop's credential store. An item is found by all four
// attributes; deleteAllItems() matches label and kind only.
class Keychain : public PlatformInterface<Keychain>
{
public:
    struct Attributes
    {
        QString label;   // "<serviceName>Password"
        QString kind;    // "Talvo password"
        QString account; // the service's serviceId
        QString service; // "Talvo <serviceName>"
    };

    enum class Status
    {
        Success,
        ItemNotFound,
        // The store stayed locked after the unlock prompt: the user refused access.
        AccessRefused,
        // No credential store on this desktop at all.
        Unavailable,
        Failed,
    };

    struct Result
    {
        Status status = Status::Success;
        QString password;    // only for findPassword()
        QString errorString; // for the log and the user; never holds the secret
        [[nodiscard]] bool ok() const { return status == Status::Success; }
    };

    virtual Result findPassword(const Attributes &item) = 0;
    // Success when the item exists, ItemNotFound when it does not.
    virtual Result itemExists(const Attributes &item) = 0;
    virtual Result addItem(const Attributes &item, const QString &password) = 0;
    virtual Result modifyItem(const Attributes &item, const QString &password) = 0;
    virtual Result deleteItem(const Attributes &item) = 0;
    virtual Result deleteAllItems(const QString &label, const QString &kind) = 0;
};
