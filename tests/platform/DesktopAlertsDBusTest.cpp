#include "../twitter/MappingTestSupport.h"
#include "LauncherEntryListener.h"
#include "NotificationServerStub.h"
#include "support/TestSupport.h"

#include "accounts/RTServiceRegistry.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "model/RTUserTwitter.h"
#include "platform/fake/FakePlatform.h"
#include "platform/linux/LinuxDesktopAlerts.h"
#include "timelines/RTPopupDelegate.h"
#include "timelines/RTTreeNodeManager.h"
#include "twitter/RTTwitterRequestTypes.h"

#include <QBuffer>
#include <QDBusMessage>
#include <QFile>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QStringList kFullCapabilities = {QStringLiteral("actions"), QStringLiteral("body"),
                                       QStringLiteral("body-markup"),
                                       QStringLiteral("icon-static")};

QByteArray png(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

DesktopNotifications::Notification notification(const QString &title, const QString &body,
                                                bool withActions)
{
    DesktopNotifications::Notification n;
    n.title = title;
    n.description = body;
    n.notificationName = QStringLiteral("Reply Messages");
    n.clickContext = {{QStringLiteral("messageId"), title}};
    n.offerMessageActions = withActions;
    return n;
}

TEST(DBusDesktopNotifications, NotifyCarriesTextPictureAndButtonsAndAnswersComeBackWithContext)
{
    NotificationServerStub server(kFullCapabilities);
    if (!server.isRunning())
        GTEST_SKIP() << "no session bus";
    DBusDesktopNotifications client;
    QList<std::pair<DesktopNotifications::Answer, QVariantMap>> answers;
    client.setAnswerHandler([&](DesktopNotifications::Answer a, const QVariantMap &context) {
        answers.append({a, context});
    });

    auto first = notification(QStringLiteral("Ann"), QStringLiteral("<b>a & b</b>"), true);
    first.iconData = png(100, 80);
    client.notify(first);
    client.notify(notification(QStringLiteral("summary"), QStringLiteral("2 more"), false));
    ASSERT_TRUE(waitUntil([&] { return server.calls.size() == 2; }));

    const auto &call = server.calls.first();
    EXPECT_EQ(call.appName, QStringLiteral("Talvo"));
    EXPECT_EQ(call.summary, QStringLiteral("Ann"));
    // The server reads markup, so the message text is escaped.
    EXPECT_EQ(call.body, QStringLiteral("&lt;b&gt;a &amp; b&lt;/b&gt;"));
    EXPECT_EQ(call.actions,
              (QStringList{QStringLiteral("default"), QStringLiteral("Show"),
                           QStringLiteral("talvo-reply"), QStringLiteral("Reply"),
                           QStringLiteral("talvo-mark-read"), QStringLiteral("Mark as read")}));
    EXPECT_EQ(call.imageWidth, 50);
    EXPECT_EQ(call.imageHeight, 40);
    EXPECT_GE(call.imageBytes, 50 * 40 * 4);
    EXPECT_EQ(call.hints.value(QStringLiteral("desktop-entry")).toString(),
              QStringLiteral("org.talvo.Talvo"));
    EXPECT_EQ(call.timeout, -1);
    EXPECT_EQ(server.calls.at(1).actions,
              (QStringList{QStringLiteral("default"), QStringLiteral("Show")}));
    EXPECT_FALSE(server.calls.at(1).hints.contains(QStringLiteral("image-data")));

    struct Row
    {
        int call;
        QString key;
        DesktopNotifications::Answer answer;
    };
    const std::vector<Row> rows = {
        {0, QStringLiteral("talvo-mark-read"), DesktopNotifications::Answer::MarkAsRead},
        {1, QStringLiteral("default"), DesktopNotifications::Answer::Clicked},
    };
    for (const Row &row : rows) {
        answers.clear();
        const uint id = server.calls.at(row.call).id;
        ASSERT_TRUE(waitUntil([&] {
            // The client learns the id from the Notify reply; answer until it listens.
            server.answer(id, row.key);
            return !answers.isEmpty();
        }));
        EXPECT_EQ(answers.first().first, row.answer) << row.key.toStdString();
        EXPECT_EQ(answers.first().second.value(QStringLiteral("messageId")).toString(),
                  server.calls.at(row.call).summary);
    }
    // Another program's notification is not ours to answer.
    answers.clear();
    server.answer(9999, QStringLiteral("default"));
    QTest::qWait(100);
    EXPECT_TRUE(answers.isEmpty());
}

TEST(DBusDesktopNotifications, WithoutButtonsOrWithoutAServerNothingBreaks)
{
    {
        DBusDesktopNotifications client;
        // No server yet: the notification is dropped, and the program goes on.
        client.notify(notification(QStringLiteral("lost"), QStringLiteral("x"), true));
        QTest::qWait(200);
        EXPECT_FALSE(client.serverAnswered());

        NotificationServerStub server({QStringLiteral("body")});
        if (!server.isRunning())
            GTEST_SKIP() << "no session bus";
        // A server that came later is found with the next notification.
        client.notify(notification(QStringLiteral("plain"), QStringLiteral("<i>"), true));
        ASSERT_TRUE(waitUntil([&] { return server.calls.size() == 1; }));
        EXPECT_TRUE(server.calls.first().actions.isEmpty());
        EXPECT_EQ(server.calls.first().body, QStringLiteral("<i>"));
    }
}

TEST(DBusLauncherBadge, AListenerSeesTheCountAndItsRemoval)
{
    LauncherEntryListener listener;
    if (!listener.listen())
        GTEST_SKIP() << "no session bus";
    DBusLauncherBadge badge;
    badge.setBadgeLabel(QStringLiteral("42"));
    badge.setBadgeLabel(QString());
    ASSERT_TRUE(waitUntil([&] { return listener.updates.size() == 2; }));
    EXPECT_EQ(listener.updates.first().first,
              QStringLiteral("application://org.talvo.Talvo.desktop"));
    EXPECT_EQ(listener.updates.first().second.value(QStringLiteral("count")).toLongLong(), 42);
    EXPECT_TRUE(listener.updates.first().second.value(QStringLiteral("count-visible")).toBool());
    EXPECT_EQ(listener.updates.at(1).second.value(QStringLiteral("count")).toLongLong(), 0);
    EXPECT_FALSE(listener.updates.at(1).second.value(QStringLiteral("count-visible")).toBool());
}

TEST(CanberraSoundPlayer, EverySoundReportsItsEndAndTheMainThreadKeepsRunning)
{
    CanberraSoundPlayer player;
    // The program's own sound is written out once as a WAV file.
    const QString file = CanberraSoundPlayer::ownSoundFile(QStringLiteral("talvo_CSnd"));
    ASSERT_FALSE(file.isEmpty());
    QFile wav(file);
    ASSERT_TRUE(wav.open(QIODevice::ReadOnly));
    EXPECT_TRUE(wav.read(4) == "RIFF");
    EXPECT_TRUE(CanberraSoundPlayer::ownSoundFile(QStringLiteral("bell")).isEmpty());
    if (QFile::exists(QStringLiteral("/usr/share/sounds/freedesktop/stereo/bell.oga"))) {
        EXPECT_TRUE(player.systemSoundNames().contains(QStringLiteral("message-new-instant")));
    }

    // Here the audio device may be missing altogether: each sound still ends, and its end
    // is reported later from the event loop, never from inside play().
    QList<bool> ends;
    for (const QString &name : {QStringLiteral("talvo_CSnd"), QStringLiteral("message-new-instant"),
                                QStringLiteral("no-such-sound")}) {
        player.preload(name);
        player.play(name, 0.5, [&](bool ok) { ends.append(ok); });
    }
    EXPECT_TRUE(ends.isEmpty());
    ASSERT_TRUE(waitUntil([&] { return ends.size() == 3; }, 20000));
    EXPECT_FALSE(ends.at(2)); // an unknown name never plays
}

// --- through the whole program: a poll's messages to the server and back ----------------

class PopupRoundTripTest : public MappingTestBase
{
protected:
    void TearDown() override
    {
        registry.setServices({});
        MappingTestBase::TearDown();
    }
    RTServiceRegistry registry;
};

TEST_F(PopupRoundTripTest, ButtonsOfTheServerMarkTheMessageReadAndOpenAReply)
{
    NotificationServerStub server(kFullCapabilities);
    if (!server.isRunning())
        GTEST_SKIP() << "no session bus";
    SettingsStore::shared().registerShippedDefaults();
    SettingsStore::shared().setValue(QLatin1String(RTOnlyShowPopupsWhenOnBackgroundKey), true);
    FakePlatform platform;
    platform.active = false;
    LinuxDesktopAlerts alerts;

    auto account = std::make_shared<RTServiceTwitter>();
    account->setServiceId(QStringLiteral("alice"));
    account->setIsNewlyAdded(false);
    accounts.append(account.get());
    registry.setServices({account});
    RTTreeNodeManager manager(registry);
    RTPopupDelegate delegate(manager);
    QList<RTMessagePtr> replies;
    QList<QString> shown;
    QObject::connect(&delegate, &RTPopupDelegate::replyRequested,
                     [&](const RTMessagePtr &m) { replies.append(m); });
    QObject::connect(&delegate, &RTPopupDelegate::showTreeNodeRequested,
                     [&](RTTreeNode *, const QString &id) { shown.append(id); });

    auto m = RTMessageTwitter::create(QStringLiteral("501"));
    m->setTemporaryFlags(RTTemporaryFlag::IsMention);
    m->setService(account.get());
    m->setBody(QStringLiteral("hello @alice"));
    auto user = RTUserTwitter::create(QStringLiteral("7"));
    user->setScreenName(QStringLiteral("bob"));
    m->setUser(user);
    account->setMessagesDictionary({{m->messageId(), m}});
    account->showPopupNotificationsForRecievedMessages({m}, RTTwitterRequestMentions);
    ASSERT_TRUE(waitUntil([&] { return server.calls.size() == 1; }));
    EXPECT_EQ(server.calls.first().body, QStringLiteral("hello @alice"));
    const uint id = server.calls.first().id;

    ASSERT_TRUE(waitUntil([&] {
        server.answer(id, QStringLiteral("talvo-reply"), false);
        return !replies.isEmpty();
    }));
    EXPECT_EQ(replies.first().get(), m.get());
    EXPECT_TRUE(platform.active);
    EXPECT_FALSE(m->isSeen());

    server.answer(id, QStringLiteral("talvo-mark-read"), false);
    EXPECT_TRUE(waitUntil([&] { return m->isSeen(); }));
    server.answer(id, QStringLiteral("default"));
    EXPECT_TRUE(waitUntil([&] { return shown == QList<QString>{QStringLiteral("501")}; }));
}

} // namespace
