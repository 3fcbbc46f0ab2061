#include "platform/linux/DBusDesktopNotifications.h"

#include "foundation/Localization.h"
#include "foundation/Log.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QImage>

namespace {

constexpr const char *kInterface = "org.freedesktop.Notifications";
constexpr const char *kDefaultAction = "default";
constexpr const char *kReplyAction = "talvo-reply";
constexpr const char *kMarkAsReadAction = "talvo-mark-read";
// Pending notifications while the server has not answered yet.
constexpr int kMaxWaiting = 16;

// The (iiibiiay) structure of the image-data hint.
struct NotificationImage
{
    QImage image;
};

QDBusArgument &operator<<(QDBusArgument &arg, const NotificationImage &value)
{
    const QImage &img = value.image;
    arg.beginStructure();
    arg << img.width() << img.height() << int(img.bytesPerLine()) << true << 8 << 4
        << QByteArray(reinterpret_cast<const char *>(img.constBits()), int(img.sizeInBytes()));
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, NotificationImage &)
{
    // We only ever send images.
    return arg;
}

} // namespace

Q_DECLARE_METATYPE(NotificationImage)

DBusDesktopNotifications::DBusDesktopNotifications(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
{
    qDBusRegisterMetaType<NotificationImage>();
    // Signals from whoever owns the name now or later.
    m_bus.connect(QString(), QLatin1String(path), QLatin1String(kInterface),
                  QStringLiteral("ActionInvoked"), this, SLOT(actionInvoked(uint, QString)));
    m_bus.connect(QString(), QLatin1String(path), QLatin1String(kInterface),
                  QStringLiteral("NotificationClosed"), this, SLOT(notificationClosed(uint, uint)));
}

DBusDesktopNotifications::~DBusDesktopNotifications()
{
    if (DesktopNotifications::hasShared() && &DesktopNotifications::shared() == this)
        DesktopNotifications::setShared(nullptr);
}

void DBusDesktopNotifications::setAnswerHandler(AnswerHandler handler)
{
    m_handler = std::move(handler);
}

QVariant DBusDesktopNotifications::imageHint(const QByteArray &encoded, int size)
{
    QImage image;
    if (encoded.isEmpty() || !image.loadFromData(encoded))
        return {};
    image = image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                .convertToFormat(QImage::Format_RGBA8888);
    return QVariant::fromValue(NotificationImage{image});
}

void DBusDesktopNotifications::notify(const Notification &notification)
{
    if (m_capabilitiesKnown) {
        send(notification);
        return;
    }
    if (m_waiting.size() < kMaxWaiting)
        m_waiting.append(notification);
    requestCapabilities();
}

void DBusDesktopNotifications::requestCapabilities()
{
    if (m_capabilitiesPending)
        return;
    m_capabilitiesPending = true;
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(service), QLatin1String(path), QLatin1String(kInterface),
        QStringLiteral("GetCapabilities"));
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        m_capabilitiesPending = false;
        const QDBusPendingReply<QStringList> reply = *w;
        const QList<Notification> waiting = std::exchange(m_waiting, {});
        if (reply.isError()) {
            // Asked again with the next notification: a server may start later.
            qCInfo(lcPlatform).noquote()
                << "no desktop notification server:" << reply.error().message();
            return;
        }
        m_capabilities = reply.value();
        m_capabilitiesKnown = true;
        for (const Notification &n : waiting)
            send(n);
    });
}

void DBusDesktopNotifications::send(const Notification &notification)
{
    QStringList actions;
    if (m_capabilities.contains(QStringLiteral("actions"))) {
        actions << QLatin1String(kDefaultAction)
                << localizedString("##DBusDesktopNotifications:0##");
        if (notification.offerMessageActions) {
            actions << QLatin1String(kReplyAction)
                    << localizedString("##DBusDesktopNotifications:1##")
                    << QLatin1String(kMarkAsReadAction)
                    << localizedString("##DBusDesktopNotifications:2##");
        }
    }
    QString body = notification.description;
    if (m_capabilities.contains(QStringLiteral("body-markup")))
        body = body.toHtmlEscaped();
    QVariantMap hints{
        {QStringLiteral("desktop-entry"), QStringLiteral("org.talvo.Talvo")},
        {QStringLiteral("category"), QStringLiteral("im.received")},
        {QStringLiteral("urgency"), QVariant::fromValue(uchar(notification.priority > 0 ? 2 : 1))},
        {QStringLiteral("x-talvo-kind"), notification.notificationName}};
    const QVariant image = imageHint(notification.iconData, 50);
    if (image.isValid())
        hints.insert(QStringLiteral("image-data"), image);

    QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(service), QLatin1String(path),
                                       QLatin1String(kInterface), QStringLiteral("Notify"));
    call << QStringLiteral("Talvo") << 0u << QStringLiteral("talvo") << notification.title << body
         << actions << hints << (notification.sticky ? 0 : -1);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, 5000), this);
    const QVariantMap context = notification.clickContext;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, context](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                const QDBusPendingReply<uint> reply = *w;
                if (reply.isError()) {
                    qCInfo(lcPlatform).noquote()
                        << "a notification was not shown:" << reply.error().message();
                    // The server went away: learn its capabilities again next time.
                    m_capabilitiesKnown = false;
                    emit notificationSent(0);
                    return;
                }
                const uint id = reply.value();
                m_contexts[id] = context;
                m_contextOrder.push_back(id);
                while (m_contextOrder.size() > kMaxContexts) {
                    m_contexts.erase(m_contextOrder.front());
                    m_contextOrder.pop_front();
                }
                emit notificationSent(id);
            });
}

void DBusDesktopNotifications::actionInvoked(uint id, const QString &actionKey)
{
    const auto it = m_contexts.find(id);
    if (it == m_contexts.end() || !m_handler)
        return; // another program's notification
    Answer answer = Answer::Clicked;
    if (actionKey == QLatin1String(kReplyAction))
        answer = Answer::Reply;
    else if (actionKey == QLatin1String(kMarkAsReadAction))
        answer = Answer::MarkAsRead;
    const QVariantMap context = it->second;
    m_handler(answer, context);
}

void DBusDesktopNotifications::notificationClosed(uint id, uint)
{
    // Servers send ActionInvoked before NotificationClosed, so the context can go.
    m_contexts.erase(id);
}
