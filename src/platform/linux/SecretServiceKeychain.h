#pragma once

#include "platform/Keychain.h"

// The desktop keyring through the Secret Service (libsecret), with Talvo's own schema so
// items can be found by account, service, label and kind.
//
// A locked keyring answers lookups as if the item were missing, so every call first asks
// the default collection whether it is locked and, if so, asks the user to unlock it; a
// keyring still locked afterwards is the user's refusal (AccessRefused). Without any
// Secret Service the calls answer Unavailable; nothing falls back to plain files.
class SecretServiceKeychain : public Keychain
{
public:
    Result findPassword(const Attributes &item) override;
    Result itemExists(const Attributes &item) override;
    Result addItem(const Attributes &item, const QString &password) override;
    Result modifyItem(const Attributes &item, const QString &password) override;
    Result deleteItem(const Attributes &item) override;
    Result deleteAllItems(const QString &label, const QString &kind) override;

    // Name of the schema the items are stored under.
    static const char *schemaName();
};
