// The tray icon on a real X server (Xvfb) with a StatusNotifierWatcher stand-in on the
// test bus, the way KDE Plasma and the GNOME tray extensions host it. Run as
// "tst_tray_icon" (a watcher exists) and "tst_tray_icon --no-watcher" (no tray at all).
#include "platform/linux/QtStatusItem.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QMutex>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

bool g_withWatcher = true;

bool waitFor(const std::function<bool()> &pred, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!pred()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// What a panel's tray host offers: it takes item registrations and says a host exists.
class Watcher : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
public:
    [[nodiscard]] bool hostRegistered() const { return true; }
    [[nodiscard]] int protocolVersion() const { return 0; }
    [[nodiscard]] QStringList items() const
    {
        QMutexLocker locker(&m_mutex);
        return m_registered;
    }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString &service)
    {
        {
            QMutexLocker locker(&m_mutex);
            m_registered.append(service);
        }
        emit StatusNotifierItemRegistered(service);
    }
    void RegisterStatusNotifierHost(const QString &) {}

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString &service);
    void StatusNotifierItemUnregistered(const QString &service);
    void StatusNotifierHostRegistered();

private:
    mutable QMutex m_mutex;
    QStringList m_registered;
};

// The item lives in this process, so calls to it must leave the event loop running.
QDBusMessage callAndWait(QDBusConnection &bus, const QDBusMessage &call)
{
    QDBusPendingCall pending = bus.asyncCall(call, 5000);
    waitFor([&] { return pending.isFinished(); }, 6000);
    return pending.reply();
}

QDBusMessage methodCall(const QString &service, const QString &path, const QString &interface,
                        const QString &method, const QVariantList &args)
{
    QDBusMessage m = QDBusMessage::createMethodCall(service, path, interface, method);
    m.setArguments(args);
    return m;
}

// The item's IconPixmap property as raw bytes, to tell one look from another.
QByteArray iconPixmap(QDBusConnection &bus, const QString &service)
{
    const QDBusMessage reply = callAndWait(
        bus,
        methodCall(service, QStringLiteral("/StatusNotifierItem"),
                   QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                   {QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("IconPixmap")}));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    const QDBusArgument arg =
        reply.arguments().first().value<QDBusVariant>().variant().value<QDBusArgument>();
    QByteArray all;
    arg.beginArray();
    while (!arg.atEnd()) {
        int w = 0, h = 0;
        QByteArray data;
        arg.beginStructure();
        arg >> w >> h >> data;
        arg.endStructure();
        all += QByteArray::number(w) + 'x' + QByteArray::number(h) + data;
    }
    arg.endArray();
    return all;
}

TEST(QtStatusItem, ShowsInTheTrayFollowsTheCountAndAnswersClicksAndItsMenu)
{
    QDBusConnection hostBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("tray-host"));
    ASSERT_TRUE(hostBus.isConnected());
    // Qt asks the watcher with blocking calls, so it answers from a thread of its own.
    QThread watcherThread;
    Watcher watcher;
    watcher.moveToThread(&watcherThread);
    watcherThread.start();
    const auto stopThread = qScopeGuard([&] {
        QMetaObject::invokeMethod(
            &watcher,
            [&] {
                hostBus.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
                hostBus.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
            },
            Qt::BlockingQueuedConnection);
        watcherThread.quit();
        watcherThread.wait();
    });
    if (g_withWatcher) {
        bool registered = false;
        QMetaObject::invokeMethod(
            &watcher,
            [&] {
                registered =
                    hostBus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                                           QDBusConnection::ExportAllSlots |
                                               QDBusConnection::ExportAllSignals |
                                               QDBusConnection::ExportAllProperties) &&
                    hostBus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
            },
            Qt::BlockingQueuedConnection);
        ASSERT_TRUE(registered);
    }

    QtStatusItem item;
    QList<StatusItem::Click> clicks;
    int preferences = 0;
    StatusItem::Handlers handlers;
    handlers.clicked = [&](StatusItem::Click c) { clicks.append(c); };
    handlers.preferences = [&] { ++preferences; };
    const bool shown = item.addStatusItem(handlers);
    if (!g_withWatcher) {
        // No tray on this desktop: nothing is shown, and the calls that follow are harmless.
        EXPECT_FALSE(shown);
        EXPECT_FALSE(item.hasStatusItem());
        item.setNewMessages(true, 3);
        item.removeStatusItem();
        return;
    }
    ASSERT_TRUE(shown);
    ASSERT_TRUE(waitFor([&] { return !watcher.items().isEmpty(); }));
    const QString service = watcher.items().first();

    const QByteArray normal = iconPixmap(hostBus, service);
    ASSERT_FALSE(normal.isEmpty());
    item.setNewMessages(true, 5);
    QByteArray coloured;
    ASSERT_TRUE(waitFor([&] {
        coloured = iconPixmap(hostBus, service);
        return !coloured.isEmpty() && coloured != normal;
    }));
    item.setNewMessages(false, 0);
    EXPECT_TRUE(waitFor([&] { return iconPixmap(hostBus, service) == normal; }));

    callAndWait(hostBus, methodCall(service, QStringLiteral("/StatusNotifierItem"),
                                    QStringLiteral("org.kde.StatusNotifierItem"),
                                    QStringLiteral("Activate"), {10, 10}));
    ASSERT_TRUE(waitFor([&] { return !clicks.isEmpty(); }));
    EXPECT_EQ(clicks.first(), StatusItem::Click::Primary);

    // The menu is exported over com.canonical.dbusmenu; its one entry opens the preferences.
    const QDBusMessage menuReply = callAndWait(
        hostBus,
        methodCall(service, QStringLiteral("/StatusNotifierItem"),
                   QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                   {QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Menu")}));
    ASSERT_FALSE(menuReply.arguments().isEmpty());
    const QString menuPath = menuReply.arguments()
                                 .first()
                                 .value<QDBusVariant>()
                                 .variant()
                                 .value<QDBusObjectPath>()
                                 .path();
    ASSERT_FALSE(menuPath.isEmpty());
    for (int id = 1; id <= 4 && preferences == 0; ++id) {
        callAndWait(hostBus, methodCall(service, menuPath, QStringLiteral("com.canonical.dbusmenu"),
                                        QStringLiteral("Event"),
                                        {id, QStringLiteral("clicked"),
                                         QVariant::fromValue(QDBusVariant(0)), 0u}));
        waitFor([&] { return preferences > 0; }, 300);
    }
    EXPECT_EQ(preferences, 1);

    item.removeStatusItem();
    EXPECT_FALSE(item.hasStatusItem());
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir tmp;
    qputenv("XDG_CACHE_HOME", tmp.path().toLocal8Bit());
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--no-watcher") == 0)
            g_withWatcher = false;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvo"));
    QApplication::setDesktopFileName(QStringLiteral("talvo"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "TrayIconTest.moc"
