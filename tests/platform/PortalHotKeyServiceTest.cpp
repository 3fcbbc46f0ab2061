#include "platform/linux/PortalHotKeyService.h"
#include "support/TestSupport.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <gtest/gtest.h>

namespace {
// A desktop portal offering global shortcuts, on its own bus connection: it answers each
// request with the Response signal, as the real portal does, and records what it was asked.
class StubPortal : public QDBusVirtualObject
{
public:
    explicit StubPortal(QDBusConnection bus)
        : m_bus(std::move(bus))
    {
    }
    uint nextResponse = 0; // 0 accepted, 1 cancelled by the user
    QStringList calls;
    QString session;

    QString introspect(const QString &) const override { return QString(); }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &) override
    {
        const QString member = message.member();
        if (member == QLatin1String("Get")) {
            m_bus.send(message.createReply(QVariant::fromValue(QDBusVariant(1u))));
            return true;
        }
        if (member == QLatin1String("Close")) {
            calls << QStringLiteral("Close ") + message.path();
            m_bus.send(message.createReply());
            return true;
        }
        const QVariantList args = message.arguments();
        const QVariantMap options = qdbus_cast<QVariantMap>(args.last());
        QString sender = message.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString request =
            QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                .arg(sender, options.value(QStringLiteral("handle_token")).toString());
        QVariantMap results;
        if (member == QLatin1String("CreateSession")) {
            session =
                QStringLiteral("/org/freedesktop/portal/desktop/session/%1/%2")
                    .arg(sender, options.value(QStringLiteral("session_handle_token")).toString());
            results.insert(QStringLiteral("session_handle"), session);
            calls << QStringLiteral("CreateSession");
        } else if (member == QLatin1String("BindShortcuts")) {
            const QDBusArgument list = args.at(1).value<QDBusArgument>();
            list.beginArray();
            while (!list.atEnd()) {
                QString id;
                QVariantMap properties;
                list.beginStructure();
                list >> id >> properties;
                list.endStructure();
                calls << QStringLiteral("BindShortcuts %1 %2 %3")
                             .arg(args.at(0).value<QDBusObjectPath>().path() == session)
                             .arg(id,
                                  properties.value(QStringLiteral("preferred_trigger")).toString());
            }
            list.endArray();
        } else {
            return false;
        }
        m_bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage response = QDBusMessage::createSignal(
            request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        response << nextResponse << results;
        m_bus.send(response);
        return true;
    }
    void activate(const QString &shortcutId)
    {
        QDBusMessage signal = QDBusMessage::createSignal(
            QLatin1String(PortalHotKeyService::path), QLatin1String(PortalHotKeyService::interface),
            QStringLiteral("Activated"));
        signal << QVariant::fromValue(QDBusObjectPath(session)) << shortcutId << qulonglong(1)
               << QVariantMap();
        m_bus.send(signal);
    }

private:
    QDBusConnection m_bus;
};
} // namespace

TEST(PortalHotKeyService, BindsThroughTheDesktopPortalAndFiresOnActivation)
{
    if (!QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "no session bus";
    const QDBusConnection bus = QDBusConnection::sessionBus();
    const QString portalName = QLatin1String(PortalHotKeyService::service);
    if (bus.interface()->isServiceRegistered(portalName) ||
        bus.interface()->activatableServiceNames().value().contains(portalName))
        GTEST_SKIP() << "a real desktop portal is on this bus";
    EXPECT_FALSE(PortalHotKeyService::isOffered(bus));

    QDBusConnection portalBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("stub-portal"));
    StubPortal portal(portalBus);
    ASSERT_TRUE(portalBus.registerVirtualObject(QLatin1String(PortalHotKeyService::path), &portal,
                                                QDBusConnection::SubPath));
    ASSERT_TRUE(portalBus.registerService(QLatin1String(PortalHotKeyService::service)));
    EXPECT_TRUE(PortalHotKeyService::isOffered(QDBusConnection::sessionBus()));

    {
        PortalHotKeyService service;
        QList<std::pair<HotKeyService::Handle, bool>> finished;
        QObject::connect(&service, &PortalHotKeyService::bindingFinished,
                         [&](HotKeyService::Handle h, bool bound) {
                             finished.append({h, bound});
                         });
        int presses = 0;

        // A key with no modifier, or one without a name, is refused at once.
        EXPECT_EQ(service.registerHotKey(Qt::Key_T, 0, 0x54486831, 1, [] {}), 0u);
        EXPECT_FALSE(service.problem().isEmpty());

        const auto handle = service.registerHotKey(Qt::Key_T, Qt::ControlModifier | Qt::AltModifier,
                                                   0x54486831, 1, [&] { ++presses; });
        ASSERT_NE(handle, 0u);
        EXPECT_TRUE(service.problem().isEmpty());
        ASSERT_TRUE(waitUntil([&] { return !finished.isEmpty(); }));
        EXPECT_EQ(finished.first(), std::make_pair(handle, true));
        EXPECT_EQ(portal.calls, (QStringList{QStringLiteral("CreateSession"),
                                             QStringLiteral("BindShortcuts 1 THh1-1 CTRL+ALT+t")}));
        EXPECT_EQ(service.boundTrigger(handle), QStringLiteral("CTRL+ALT+t"));

        portal.activate(QStringLiteral("other-1"));
        portal.activate(QStringLiteral("THh1-1"));
        ASSERT_TRUE(waitUntil([&] { return presses == 1; }));
        waitUntil([&] { return presses > 1; }, 200);
        EXPECT_EQ(presses, 1) << "only our shortcut fires";

        service.unregisterHotKey(handle);
        EXPECT_TRUE(waitUntil([&] { return portal.calls.size() == 3; }));
        EXPECT_TRUE(portal.calls.value(2).startsWith(QStringLiteral("Close ") + portal.session));

        // The user declines the desktop's confirmation: the reason is kept for the preferences.
        portal.nextResponse = 1;
        const auto declined = service.registerHotKey(
            Qt::Key_Y, Qt::ControlModifier | Qt::AltModifier, 0x54486831, 1, [&] { ++presses; });
        ASSERT_TRUE(waitUntil([&] { return finished.size() == 2; }));
        EXPECT_EQ(finished.last(), std::make_pair(declined, false));
        EXPECT_FALSE(service.problem().isEmpty());
    }
    portalBus.unregisterService(QLatin1String(PortalHotKeyService::service));
    portalBus.unregisterObject(QLatin1String(PortalHotKeyService::path),
                               QDBusConnection::UnregisterTree);
    QDBusConnection::disconnectFromBus(QStringLiteral("stub-portal"));
}
