#include "platform/linux/DBusSystemNotifications.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

TEST(DBusSystemNotifications, DeliversNameAndUserInfoAcrossTheBus)
{
    DBusSystemNotifications poster;
    DBusSystemNotifications listener;
    if (!listener.isConnected())
        GTEST_SKIP() << "no session bus";
    QList<QVariantMap> received;
    int other = 0;
    listener.subscribe(QStringLiteral("RTTalvoHelperCaughtNewTweetHotKey"),
                       [&](const QString &, const QVariantMap &info) { received.append(info); });
    listener.subscribe(QStringLiteral("SomethingElse"),
                       [&](const QString &, const QVariantMap &) { ++other; });

    poster.post(QStringLiteral("RTTalvoHelperCaughtNewTweetHotKey"), QString(),
                {{QStringLiteral("RTURL"), QStringLiteral("talvo:compose?text=caf\u00e9")},
                 {QStringLiteral("RTKeyCode"), qint32(-1)},
                 {QStringLiteral("RTFlags"), quint32(0x100108)},
                 {QStringLiteral("nested"), QVariantMap{{QStringLiteral("a"), 1}}},
                 {QStringLiteral("dropped"), QVariant()}});
    // Poster and listener share this process's bus connection, on which Qt may hand two
    // quick signals over out of order (programs on their own connections see bus order).
    ASSERT_TRUE(waitUntil([&] { return received.size() == 1; }));
    poster.post(QStringLiteral("RTTalvoHelperCaughtNewTweetHotKey"), QString(), {});
    ASSERT_TRUE(waitUntil([&] { return received.size() == 2; }));
    EXPECT_EQ(other, 0);
    const QVariantMap first = received.first();
    EXPECT_EQ(first.value(QStringLiteral("RTURL")).toString(),
              QStringLiteral("talvo:compose?text=caf\u00e9"));
    EXPECT_EQ(first.value(QStringLiteral("RTKeyCode")).toInt(), -1);
    EXPECT_EQ(first.value(QStringLiteral("RTFlags")).toUInt(), 0x100108u);
    EXPECT_EQ(first.value(QStringLiteral("nested")).toMap().value(QStringLiteral("a")).toInt(), 1);
    EXPECT_FALSE(first.contains(QStringLiteral("dropped")));
    EXPECT_TRUE(received.at(1).isEmpty());
}
