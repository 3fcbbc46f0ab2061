#include "platform/linux/SecretServiceKeychain.h"

// Qt's "signals" macro breaks the GIO headers; the precompiled header has defined it.
#undef signals
#include <libsecret/secret.h>
#define signals Q_SIGNALS

#include "foundation/Log.h"

#include <variant>

namespace {
const SecretSchema kSchema = {"org.talvo.Password",
                              SECRET_SCHEMA_NONE,
                              {{"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
                               {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
                               {"label", SECRET_SCHEMA_ATTRIBUTE_STRING},
                               {"kind", SECRET_SCHEMA_ATTRIBUTE_STRING},
                               {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                              0,
                              nullptr,
                              nullptr,
                              nullptr,
                              nullptr,
                              nullptr,
                              nullptr,
                              nullptr};

constexpr char kSecretsBusName[] = "org.freedesktop.secrets";
constexpr char kDefaultAliasPath[] = "/org/freedesktop/secrets/aliases/default";

using Status = Keychain::Status;
using Result = Keychain::Result;

struct ErrorHolder
{
    GError *error = nullptr;
    ~ErrorHolder()
    {
        if (error)
            g_error_free(error);
    }
    GError **out() { return &error; }
    [[nodiscard]] QString text() const
    {
        return error ? QString::fromUtf8(error->message) : QString();
    }
};

bool isNoService(const GError *error)
{
    return g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND);
}

Result failure(const GError *error, const char *what)
{
    const QString text =
        QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromUtf8(error->message));
    if (isNoService(error))
        return {Status::Unavailable, {}, text};
    if (g_error_matches(error, SECRET_ERROR, SECRET_ERROR_IS_LOCKED))
        return {Status::AccessRefused, {}, text};
    return {Status::Failed, {}, text};
}

enum class Collection
{
    Unlocked,
    Locked,
    Missing
};

// Asks the default collection's Locked property directly; the proxies' cached
// properties can be stale without a running GLib main loop.
std::variant<Collection, Result> defaultCollectionState()
{
    ErrorHolder err;
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, err.out());
    if (!bus)
        return Result{Status::Unavailable, {}, QStringLiteral("no session bus: ") + err.text()};
    GVariant *reply = g_dbus_connection_call_sync(
        bus, kSecretsBusName, kDefaultAliasPath, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", "org.freedesktop.Secret.Collection", "Locked"), G_VARIANT_TYPE("(v)"),
        G_DBUS_CALL_FLAGS_NONE, -1, nullptr, err.out());
    g_object_unref(bus);
    if (!reply) {
        if (isNoService(err.error))
            return Result{
                Status::Unavailable, {}, QStringLiteral("no Secret Service: ") + err.text()};
        // No login keyring yet: the alias path does not exist.
        return Collection::Missing;
    }
    GVariant *boxed = nullptr;
    g_variant_get(reply, "(v)", &boxed);
    const bool locked = boxed && g_variant_is_of_type(boxed, G_VARIANT_TYPE_BOOLEAN) &&
                        g_variant_get_boolean(boxed);
    if (boxed)
        g_variant_unref(boxed);
    g_variant_unref(reply);
    return locked ? Collection::Locked : Collection::Unlocked;
}

// Shows the keyring's unlock prompt for the default collection.
Result promptUnlock()
{
    ErrorHolder err;
    SecretService *service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, err.out());
    if (!service)
        return failure(err.error, "connect to the Secret Service");
    SecretCollection *collection = secret_collection_for_alias_sync(
        service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, err.out());
    Result result;
    if (!collection) {
        result = err.error ? failure(err.error, "open the default keyring")
                           : Result{Status::Failed, {}, QStringLiteral("no default keyring")};
    } else {
        GList *objects = g_list_append(nullptr, collection);
        GList *unlocked = nullptr;
        secret_service_unlock_sync(service, objects, nullptr, &unlocked, err.out());
        if (err.error)
            qCInfo(lcPlatform) << "keyring unlock failed:" << err.text();
        g_list_free_full(unlocked, g_object_unref);
        g_list_free(objects);
        g_object_unref(collection);
    }
    g_object_unref(service);
    return result;
}

// Ok unless the store is absent or stays locked after its unlock prompt.
Result ensureUsable()
{
    auto state = defaultCollectionState();
    if (auto *r = std::get_if<Result>(&state))
        return *r;
    switch (std::get<Collection>(state)) {
    case Collection::Unlocked:
        return {};
    case Collection::Missing:
        // Reads find nothing; a write may still make the desktop create its keyring, and
        // reports its own error otherwise.
        return {};
    case Collection::Locked:
        break;
    }
    if (Result r = promptUnlock(); !r.ok())
        return r;
    state = defaultCollectionState();
    if (auto *r = std::get_if<Result>(&state))
        return *r;
    if (std::get<Collection>(state) == Collection::Locked)
        return {Status::AccessRefused, {}, QStringLiteral("the keyring stayed locked")};
    return {};
}

QByteArray utf8(const QString &s)
{
    return s.toUtf8();
}

// Looks an item up; the password is handed back only when wanted.
Result lookup(const Keychain::Attributes &item, bool wantPassword)
{
    if (Result r = ensureUsable(); !r.ok())
        return r;
    ErrorHolder err;
    const QByteArray account = utf8(item.account), service = utf8(item.service),
                     label = utf8(item.label), kind = utf8(item.kind);
    gchar *password = secret_password_lookup_sync(
        &kSchema, nullptr, err.out(), "account", account.constData(), "service",
        service.constData(), "label", label.constData(), "kind", kind.constData(), nullptr);
    if (err.error)
        return failure(err.error, "read the keyring");
    if (!password)
        return {Status::ItemNotFound, {}, {}};
    Result r;
    if (wantPassword)
        r.password = QString::fromUtf8(password);
    secret_password_free(password);
    return r;
}

Result store(const Keychain::Attributes &item, const QString &password)
{
    if (Result r = ensureUsable(); !r.ok())
        return r;
    ErrorHolder err;
    const QByteArray account = utf8(item.account), service = utf8(item.service),
                     label = utf8(item.label), kind = utf8(item.kind), secret = utf8(password);
    // An item with the same attributes is replaced.
    const gboolean ok = secret_password_store_sync(
        &kSchema, SECRET_COLLECTION_DEFAULT, label.constData(), secret.constData(), nullptr,
        err.out(), "account", account.constData(), "service", service.constData(), "label",
        label.constData(), "kind", kind.constData(), nullptr);
    if (!ok)
        return err.error ? failure(err.error, "write the keyring")
                         : Result{Status::Failed, {}, QStringLiteral("write the keyring")};
    return {};
}
} // namespace

const char *SecretServiceKeychain::schemaName()
{
    return kSchema.name;
}

Keychain::Result SecretServiceKeychain::findPassword(const Attributes &item)
{
    return lookup(item, true);
}

Keychain::Result SecretServiceKeychain::itemExists(const Attributes &item)
{
    return lookup(item, false);
}

Keychain::Result SecretServiceKeychain::addItem(const Attributes &item, const QString &password)
{
    return store(item, password);
}

Keychain::Result SecretServiceKeychain::modifyItem(const Attributes &item, const QString &password)
{
    if (Result r = lookup(item, false); !r.ok())
        return r;
    return store(item, password);
}

Keychain::Result SecretServiceKeychain::deleteItem(const Attributes &item)
{
    if (Result r = ensureUsable(); !r.ok())
        return r;
    ErrorHolder err;
    const QByteArray account = utf8(item.account), service = utf8(item.service),
                     label = utf8(item.label), kind = utf8(item.kind);
    const gboolean removed = secret_password_clear_sync(
        &kSchema, nullptr, err.out(), "account", account.constData(), "service",
        service.constData(), "label", label.constData(), "kind", kind.constData(), nullptr);
    if (err.error)
        return failure(err.error, "delete from the keyring");
    return {removed ? Status::Success : Status::ItemNotFound, {}, {}};
}

Keychain::Result SecretServiceKeychain::deleteAllItems(const QString &label, const QString &kind)
{
    if (Result r = ensureUsable(); !r.ok())
        return r;
    ErrorHolder err;
    const QByteArray l = utf8(label), k = utf8(kind);
    secret_password_clear_sync(&kSchema, nullptr, err.out(), "label", l.constData(), "kind",
                               k.constData(), nullptr);
    if (err.error)
        return failure(err.error, "delete from the keyring");
    return {};
}
