// keychain_probe SCENARIO: runs keychain operations against whatever session bus it is
// started on and prints one "step status[:password]" line per operation. KeychainTest
// starts it on private buses (unlocked, locked, without any Secret Service) so those
// states never touch the keyring other tests share.
#include "accounts/RTServiceInstapaper.h"
#include "platform/linux/SecretServiceKeychain.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QTextStream>

namespace {
QTextStream out(stdout);

const char *statusName(Keychain::Status s)
{
    switch (s) {
    case Keychain::Status::Success:
        return "Success";
    case Keychain::Status::ItemNotFound:
        return "ItemNotFound";
    case Keychain::Status::AccessRefused:
        return "AccessRefused";
    case Keychain::Status::Unavailable:
        return "Unavailable";
    case Keychain::Status::Failed:
        return "Failed";
    }
    return "?";
}

void print(const char *step, const Keychain::Result &r)
{
    out << step << ' ' << statusName(r.status);
    if (!r.password.isEmpty())
        out << ':' << r.password;
    out << '\n';
    out.flush();
}

Keychain::Attributes item(const QString &account, const QString &kind = "Talvo password",
                          const QString &service = "Talvo Probe")
{
    return {"ProbePassword", kind, account, service};
}

bool lockDefaultCollection()
{
    QDBusInterface secrets("org.freedesktop.secrets", "/org/freedesktop/secrets",
                           "org.freedesktop.Secret.Service", QDBusConnection::sessionBus());
    const QDBusMessage reply =
        secrets.call("Lock", QVariant::fromValue(QList<QDBusObjectPath>{
                                 QDBusObjectPath("/org/freedesktop/secrets/aliases/default")}));
    return reply.type() == QDBusMessage::ReplyMessage;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString scenario = app.arguments().value(1);
    SecretServiceKeychain k;
    const QString pw = QStringLiteral("p\u00e4ssw\u00f6rd 1");

    if (scenario == "roundtrip") {
        print("find-missing", k.findPassword(item("alice")));
        print("add", k.addItem(item("alice"), pw));
        print("find", k.findPassword(item("alice")));
        print("exists", k.itemExists(item("alice")));
        print("find-other-service", k.findPassword(item("alice", "Talvo password", "Talvo X")));
        print("add-bob", k.addItem(item("bob"), "bobpw"));
        print("add-other-kind", k.addItem(item("carol", "Other kind"), "carolpw"));
        print("modify", k.modifyItem(item("alice"), "second"));
        print("find-modified", k.findPassword(item("alice")));
        print("modify-missing", k.modifyItem(item("dave"), "x"));
        print("delete", k.deleteItem(item("alice")));
        print("find-deleted", k.findPassword(item("alice")));
        print("delete-again", k.deleteItem(item("alice")));
        print("delete-all", k.deleteAllItems("ProbePassword", "Talvo password"));
        print("find-bob", k.findPassword(item("bob")));
        print("find-other-kind", k.findPassword(item("carol", "Other kind")));

        // A service's password through the keychain layer of the accounts.
        Keychain::setShared(&k);
        RTServiceInstapaper service;
        service.setServiceId("erin");
        service.setServicePassword(pw);
        RTServiceInstapaper reader;
        reader.setServiceId("erin");
        out << "service " << reader.servicePassword() << '\n';
        Keychain::setShared(nullptr);
    } else if (scenario == "locked") {
        print("add", k.addItem(item("alice"), pw));
        out << "lock " << (lockDefaultCollection() ? "ok" : "failed") << '\n';
        out.flush();
        print("find", k.findPassword(item("alice")));
        print("add", k.addItem(item("bob"), pw));
    } else {
        // No keyring, no Secret Service or no bus at all.
        print("find", k.findPassword(item("alice")));
        print("add", k.addItem(item("alice"), pw));
    }
    return 0;
}
