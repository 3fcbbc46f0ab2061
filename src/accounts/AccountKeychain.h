#pragma once

#include "platform/Keychain.h"

#include <QObject>

// Keychain access for services, over the installed Keychain. Besides answering, it
// announces what concerns the whole application: a store that stays locked after its
// unlock prompt (the user refused access: the application saves its data and quits) and
// a desktop without any credential store (the user is told; there is no plaintext
// fallback). Without an installed Keychain every call behaves as the latter.
class AccountKeychain : public QObject
{
    Q_OBJECT

public:
    static AccountKeychain &shared();

    static Keychain::Attributes attributes(const QString &itemName, const QString &itemKind,
                                           const QString &username, const QString &service);

    // "" for a missing item, and when the store cannot be read.
    static QString getPasswordFromKeychainItem(const QString &itemName, const QString &itemKind,
                                               const QString &username, const QString &service);
    static bool checkForExistanceOfKeychainItem(const QString &itemName, const QString &itemKind,
                                                const QString &username, const QString &service);
    static bool addKeychainItem(const QString &itemName, const QString &itemKind,
                                const QString &username, const QString &password,
                                const QString &service);
    static bool modifyKeychainItem(const QString &itemName, const QString &itemKind,
                                   const QString &username, const QString &newPassword,
                                   const QString &service);
    static bool deleteKeychainItem(const QString &itemName, const QString &itemKind,
                                   const QString &username, const QString &service);
    // Whether the store answers at all: Success, Unavailable (no store on this desktop),
    // AccessRefused (locked) or Failed. Asks for an item that never exists and announces
    // nothing, so a log-in can say what is wrong before it starts.
    static Keychain::Status probe();
    static bool deleteAllKeychainsByItemName(const QString &itemName, const QString &itemKind);

signals:
    // The user refused access to the keyring: save and quit.
    void accessRefused();
    // No credential store on this desktop; message is for the user.
    void keychainUnavailable(const QString &message);

private:
    static Keychain::Result run(const std::function<Keychain::Result(Keychain &)> &op);
    static void validateStatus(const Keychain::Result &result);
};
