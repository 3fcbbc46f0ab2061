#pragma once

#include "accounts/RTService.h"

#include <QString>

class TADataManager;

// The user's accounts as the preferences window and talvoctl see them: the services that
// appear in the service list, an identifier for each, and removal with everything the
// account left behind (its keyring items and its part of the store).
class TAAccounts
{
public:
    // "twitter:alice": the kind in lower case and the serviceId.
    [[nodiscard]] static QString identifier(const RTService &service);
    // Services that answer shouldAppearInServiceList, in the sorted order every list uses.
    [[nodiscard]] static RTServiceList userAccounts(const TADataManager &store);
    [[nodiscard]] static RTServiceList userAccounts(const RTServiceList &services);
    // By identifier, or by serviceId alone when exactly one account has it; case does
    // not matter (screen names are the same name whatever their case). Null when there
    // is none, and when a bare serviceId names more than one account (*ambiguous set).
    [[nodiscard]] static RTServicePtr findAccount(const TADataManager &store, const QString &text,
                                                  bool *ambiguous = nullptr);

    struct Removal
    {
        bool removed = false;
        // False when a keyring item may still hold a secret of the account.
        bool keychainCleared = false;
        QString message; // for the user when something is left behind
    };
    // Stops and removes the account, deletes its password and tokens from the keyring and
    // writes the store at once, so its flags do not survive in the services file.
    static Removal removeAccount(TADataManager &store, const RTServicePtr &service);
};
