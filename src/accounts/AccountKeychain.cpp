#include "accounts/AccountKeychain.h"

#include "foundation/Localization.h"
#include "foundation/Log.h"

#include <QCoreApplication>
#include <atomic>

AccountKeychain &AccountKeychain::shared()
{
    static auto *instance = [] {
        auto *k = new AccountKeychain;
        // Its signals concern the application; first use may be on a request worker.
        if (QCoreApplication::instance())
            k->moveToThread(QCoreApplication::instance()->thread());
        return k;
    }();
    return *instance;
}

Keychain::Attributes AccountKeychain::attributes(const QString &itemName, const QString &itemKind,
                                                 const QString &username, const QString &service)
{
    return {itemName, itemKind, username, service};
}

Keychain::Result AccountKeychain::run(const std::function<Keychain::Result(Keychain &)> &op)
{
    Keychain::Result result;
    if (Keychain::hasShared())
        result = op(Keychain::shared());
    else
        result = {Keychain::Status::Unavailable, {}, QStringLiteral("no keychain installed")};
    validateStatus(result);
    return result;
}

namespace {
// One announcement for a missing store, however many reads and writes find it missing; a
// store that answers again re-arms it.
std::atomic<bool> g_unavailableAnnounced{false};
} // namespace

void AccountKeychain::validateStatus(const Keychain::Result &result)
{
    switch (result.status) {
    case Keychain::Status::Success:
    case Keychain::Status::ItemNotFound:
        g_unavailableAnnounced.store(false);
        return;
    case Keychain::Status::AccessRefused:
        qCWarning(lcAccounts) << "keychain access refused:" << result.errorString;
        emit shared().accessRefused();
        return;
    case Keychain::Status::Unavailable:
        if (g_unavailableAnnounced.exchange(true))
            return;
        qCWarning(lcAccounts) << "no keychain:" << result.errorString;
        emit shared().keychainUnavailable(localizedString("##AccountKeychain:0##"));
        return;
    case Keychain::Status::Failed:
        qCWarning(lcAccounts) << "keychain error:" << result.errorString;
        return;
    }
}

QString AccountKeychain::getPasswordFromKeychainItem(const QString &itemName,
                                                     const QString &itemKind,
                                                     const QString &username,
                                                     const QString &service)
{
    const auto r = run([&](Keychain &k) {
        return k.findPassword(attributes(itemName, itemKind, username, service));
    });
    return r.ok() ? r.password : QStringLiteral("");
}

bool AccountKeychain::checkForExistanceOfKeychainItem(const QString &itemName,
                                                      const QString &itemKind,
                                                      const QString &username,
                                                      const QString &service)
{
    return run([&](Keychain &k) {
               return k.itemExists(attributes(itemName, itemKind, username, service));
           })
        .ok();
}

bool AccountKeychain::addKeychainItem(const QString &itemName, const QString &itemKind,
                                      const QString &username, const QString &password,
                                      const QString &service)
{
    return run([&](Keychain &k) {
               return k.addItem(attributes(itemName, itemKind, username, service), password);
           })
        .ok();
}

bool AccountKeychain::modifyKeychainItem(const QString &itemName, const QString &itemKind,
                                         const QString &username, const QString &newPassword,
                                         const QString &service)
{
    return run([&](Keychain &k) {
               return k.modifyItem(attributes(itemName, itemKind, username, service), newPassword);
           })
        .ok();
}

bool AccountKeychain::deleteKeychainItem(const QString &itemName, const QString &itemKind,
                                         const QString &username, const QString &service)
{
    return run([&](Keychain &k) {
               return k.deleteItem(attributes(itemName, itemKind, username, service));
           })
        .ok();
}

bool AccountKeychain::deleteAllKeychainsByItemName(const QString &itemName, const QString &itemKind)
{
    return run([&](Keychain &k) { return k.deleteAllItems(itemName, itemKind); }).ok();
}

Keychain::Status AccountKeychain::probe()
{
    if (!Keychain::hasShared())
        return Keychain::Status::Unavailable;
    const Keychain::Result r = Keychain::shared().itemExists(
        attributes(QStringLiteral("TalvoProbe"), QStringLiteral("Talvo probe"),
                   QStringLiteral("probe"), QStringLiteral("Talvo")));
    return r.status == Keychain::Status::ItemNotFound ? Keychain::Status::Success : r.status;
}
