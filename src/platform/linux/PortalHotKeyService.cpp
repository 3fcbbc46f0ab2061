#include "platform/linux/PortalHotKeyService.h"

#include "foundation/Localization.h"
#include "foundation/Log.h"
#include "platform/HotKeyKeys.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace {
constexpr char kRequestInterface[] = "org.freedesktop.portal.Request";
constexpr char kSessionInterface[] = "org.freedesktop.portal.Session";

// One entry of the a(sa{sv}) shortcut lists.
struct PortalShortcut
{
    QString id;
    QVariantMap properties;
};
} // namespace

Q_DECLARE_METATYPE(PortalShortcut)

namespace {
QDBusArgument &operator<<(QDBusArgument &arg, const PortalShortcut &shortcut)
{
    arg.beginStructure();
    arg << shortcut.id << shortcut.properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, PortalShortcut &shortcut)
{
    arg.beginStructure();
    arg >> shortcut.id >> shortcut.properties;
    arg.endStructure();
    return arg;
}

// Receives one Request object's Response signal, then deletes itself.
class PortalResponse : public QObject
{
    Q_OBJECT

public:
    PortalResponse(QDBusConnection bus, QString path,
                   std::function<void(uint, const QVariantMap &)> onResponse)
        : m_bus(std::move(bus))
        , m_path(std::move(path))
        , m_onResponse(std::move(onResponse))
    {
        m_bus.connect(QLatin1String(PortalHotKeyService::service), m_path,
                      QLatin1String(kRequestInterface), QStringLiteral("Response"), this,
                      SLOT(response(uint, QVariantMap)));
    }
    ~PortalResponse() override
    {
        m_bus.disconnect(QLatin1String(PortalHotKeyService::service), m_path,
                         QLatin1String(kRequestInterface), QStringLiteral("Response"), this,
                         SLOT(response(uint, QVariantMap)));
    }
    // The call itself failed: no Response will come.
    void failed()
    {
        m_onResponse(2, {});
        deleteLater();
    }

public Q_SLOTS:
    void response(uint code, const QVariantMap &results)
    {
        if (m_done)
            return;
        m_done = true;
        m_onResponse(code, results);
        deleteLater();
    }

private:
    QDBusConnection m_bus;
    QString m_path;
    std::function<void(uint, const QVariantMap &)> m_onResponse;
    bool m_done = false;
};
} // namespace

PortalHotKeyService::PortalHotKeyService(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
{
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    if (!m_bus.connect(QLatin1String(service), QLatin1String(path), QLatin1String(interface),
                       QStringLiteral("Activated"), this, SLOT(activated(QDBusMessage))))
        qCWarning(lcPlatform) << "cannot listen to the global shortcuts portal";
}

PortalHotKeyService::~PortalHotKeyService()
{
    while (!m_bindings.empty())
        unregisterHotKey(m_bindings.begin()->first);
}

bool PortalHotKeyService::isOffered(const QDBusConnection &bus)
{
    if (!bus.isConnected())
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        QLatin1String(service), QLatin1String(path),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QLatin1String(interface) << QStringLiteral("version");
    // A nested loop, so a portal answering from this thread (tests) is not blocked out.
    const QDBusMessage reply = bus.call(get, QDBus::BlockWithGui, 3000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

QString PortalHotKeyService::requestPath(const QString &token) const
{
    // The portal names its Request objects after the caller and the token it chose, so the
    // answer can be listened for before the call is made.
    QString sender = m_bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

void PortalHotKeyService::request(const QString &method, QList<QVariant> args, const QString &token,
                                  std::function<void(uint, const QVariantMap &)> onResponse)
{
    auto *response = new PortalResponse(m_bus, requestPath(token), std::move(onResponse));
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(service), QLatin1String(path),
                                                       QLatin1String(interface), method);
    call.setArguments(args);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), response);
    connect(watcher, &QDBusPendingCallWatcher::finished, response,
            [response](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                if (finished->isError()) {
                    qCInfo(lcPlatform) << "global shortcuts portal:" << finished->error().message();
                    response->failed();
                }
            });
}

HotKeyService::Handle PortalHotKeyService::registerHotKey(int keyCode, quint32 flags,
                                                          quint32 signature, quint32 id,
                                                          std::function<void()> onPressed)
{
    const QString trigger = HotKeyKeys::triggerText(keyCode, flags);
    if (trigger.isEmpty()) {
        m_problem = localizedString("##XcbHotKeyService:1##");
        return 0;
    }
    QByteArray sig(4, '\0');
    for (int i = 0; i < 4; ++i)
        sig[i] = char((signature >> (8 * (3 - i))) & 0xff);
    Binding binding;
    binding.shortcutId = QStringLiteral("%1-%2").arg(QString::fromLatin1(sig).trimmed()).arg(id);
    binding.trigger = trigger;
    binding.description = localizedString("##PortalHotKeyService:0##");
    binding.onPressed = std::move(onPressed);
    const Handle handle = m_nextHandle++;
    m_bindings.emplace(handle, std::move(binding));
    m_problem.clear();
    createSession(handle);
    return handle;
}

void PortalHotKeyService::createSession(Handle handle)
{
    const QString token = QStringLiteral("talvo%1").arg(m_nextToken++);
    const QString sessionToken = QStringLiteral("talvo_session%1").arg(m_nextToken++);
    const QVariantMap options{{QStringLiteral("handle_token"), token},
                              {QStringLiteral("session_handle_token"), sessionToken}};
    request(QStringLiteral("CreateSession"), {options}, token,
            [this, handle](uint code, const QVariantMap &results) {
                const auto it = m_bindings.find(handle);
                if (it == m_bindings.end())
                    return; // unregistered meanwhile
                const QString session = results.value(QStringLiteral("session_handle")).toString();
                if (code != 0 || session.isEmpty()) {
                    fail(handle, localizedString("##PortalHotKeyService:1##"));
                    return;
                }
                it->second.session = QDBusObjectPath(session);
                bindShortcut(handle);
            });
}

void PortalHotKeyService::bindShortcut(Handle handle)
{
    const Binding &binding = m_bindings.at(handle);
    const QString token = QStringLiteral("talvo%1").arg(m_nextToken++);
    PortalShortcut shortcut{binding.shortcutId,
                            {{QStringLiteral("description"), binding.description},
                             {QStringLiteral("preferred_trigger"), binding.trigger}}};
    const QVariantMap options{{QStringLiteral("handle_token"), token}};
    request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(binding.session),
             QVariant::fromValue(QList<PortalShortcut>{shortcut}), QString(), options},
            token, [this, handle](uint code, const QVariantMap &results) {
                const auto it = m_bindings.find(handle);
                if (it == m_bindings.end())
                    return;
                if (code != 0) {
                    fail(handle, localizedString("##PortalHotKeyService:2##"));
                    return;
                }
                QList<PortalShortcut> bound;
                const QVariant list = results.value(QStringLiteral("shortcuts"));
                if (list.userType() == qMetaTypeId<QDBusArgument>())
                    list.value<QDBusArgument>() >> bound;
                for (const PortalShortcut &s : bound) {
                    if (s.id == it->second.shortcutId)
                        it->second.boundTrigger =
                            s.properties.value(QStringLiteral("trigger_description")).toString();
                }
                if (it->second.boundTrigger.isEmpty())
                    it->second.boundTrigger = it->second.trigger;
                Q_EMIT bindingFinished(handle, true);
            });
}

void PortalHotKeyService::fail(Handle handle, const QString &problem)
{
    m_problem = problem;
    qCInfo(lcPlatform) << "global shortcut not bound:" << problem;
    unregisterHotKey(handle);
    Q_EMIT bindingFinished(handle, false);
}

void PortalHotKeyService::unregisterHotKey(Handle handle)
{
    const auto it = m_bindings.find(handle);
    if (it == m_bindings.end())
        return;
    if (!it->second.session.path().isEmpty()) {
        QDBusMessage close = QDBusMessage::createMethodCall(
            QLatin1String(service), it->second.session.path(), QLatin1String(kSessionInterface),
            QStringLiteral("Close"));
        m_bus.send(close);
    }
    m_bindings.erase(it);
}

QString PortalHotKeyService::boundTrigger(Handle handle) const
{
    const auto it = m_bindings.find(handle);
    return it == m_bindings.end() ? QString() : it->second.boundTrigger;
}

void PortalHotKeyService::activated(const QDBusMessage &message)
{
    // Activated(o session_handle, s shortcut_id, t timestamp, a{sv} options)
    const QVariantList args = message.arguments();
    if (args.size() < 2)
        return;
    const QDBusObjectPath session = args.at(0).value<QDBusObjectPath>();
    const QString shortcutId = args.at(1).toString();
    std::function<void()> pressed;
    for (const auto &[handle, binding] : m_bindings) {
        if (binding.session == session && binding.shortcutId == shortcutId)
            pressed = binding.onPressed;
    }
    if (pressed)
        pressed();
}

#include "PortalHotKeyService.moc"
