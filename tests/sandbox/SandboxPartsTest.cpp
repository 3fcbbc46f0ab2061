#include "Faults.h"
#include "SandboxCall.h"
#include "SandboxJson.h"

#include <gtest/gtest.h>

TEST(SandboxJson, WritesIdsAboveTwoToThe53ExactlyAndEscapesText)
{
    SandboxJson status = SandboxJson::object();
    status.set(QStringLiteral("id"), qint64(9007199254740993LL));
    status.set(QStringLiteral("max"), qint64(9223372036854775807LL));
    status.set(QStringLiteral("text"), QStringLiteral("a \"quote\" \\ / \n\x01 é"));
    status.set(QStringLiteral("none"), nullptr);
    status.set(QStringLiteral("list"), SandboxJson::array().append(true).append(1.5));
    EXPECT_EQ(status.serialize(),
              QByteArray("{\"id\":9007199254740993,\"max\":9223372036854775807,"
                         "\"text\":\"a \\\"quote\\\" \\\\ \\/ \\n\\u0001 \xc3\xa9\","
                         "\"none\":null,\"list\":[true,1.5]}"));
}

TEST(SandboxCall, WritesDatesInTheFormsTheClientParses)
{
    // 2009-04-02 22:57:00 UTC, a Thursday (the first home-timeline sample).
    EXPECT_EQ(twitterDate(1238713020), QStringLiteral("Thu Apr 02 22:57:00 +0000 2009"));
    EXPECT_EQ(searchDate(1238713020), QStringLiteral("Thu, 02 Apr 2009 22:57:00 +0000"));
    EXPECT_EQ(httpDate(1238713020), QByteArray("Thu, 02 Apr 2009 22:57:00 GMT"));
    EXPECT_EQ(boundInt(1, 500, 200), 200);
    EXPECT_EQ(boundInt(1, -5, 200), 1);
}

TEST(Faults, ParsesRulesAndKeepsTheOldOnesOnABadFile)
{
    Faults faults;
    QString error;
    ASSERT_TRUE(faults.parse(QStringLiteral("# comment\nclock_skew = -600\n"
                                            "rate_limit_remaining = 3 ; forced\n"
                                            "path /1/statuses/* status=503 delay=20\n"
                                            "path /search drop\n"
                                            "path /1/tren?s stall=100\n"),
                             &error))
        << error.toStdString();
    EXPECT_EQ(faults.clockSkewSecs(), -600);
    EXPECT_EQ(faults.forcedRateLimitRemaining(), 3);

    struct Case
    {
        const char *path;
        int status;
        bool drop;
        int stall;
    };
    const Case cases[] = {{"/1/statuses/home_timeline.json", 503, false, 0},
                          {"/search", 0, true, 0},
                          {"/search.json", -1, false, 0}, // whole-path match only
                          {"/1/trends", 0, false, 100},
                          {"/v1/epoch", -1, false, 0}};
    for (const Case &c : cases) {
        const auto rule = faults.ruleFor(QString::fromLatin1(c.path));
        if (c.status < 0) {
            EXPECT_FALSE(rule.has_value()) << c.path;
            continue;
        }
        ASSERT_TRUE(rule.has_value()) << c.path;
        EXPECT_EQ(rule->status, c.status) << c.path;
        EXPECT_EQ(rule->drop, c.drop) << c.path;
        EXPECT_EQ(rule->stallMs, c.stall) << c.path;
    }

    for (const char *bad : {"path", "path /x status=99", "path /x delay=-1", "path /x teapot",
                            "clock_skew = soon", "volume = 11", "just words"}) {
        EXPECT_FALSE(faults.parse(QString::fromLatin1(bad), &error)) << bad;
        EXPECT_EQ(faults.clockSkewSecs(), -600) << bad;
    }
    ASSERT_TRUE(faults.parse(QString(), &error));
    EXPECT_EQ(faults.clockSkewSecs(), 0);
    EXPECT_FALSE(faults.forcedRateLimitRemaining().has_value());
}
