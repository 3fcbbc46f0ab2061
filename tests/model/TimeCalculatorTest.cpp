#include "model/TimeCalculator.h"
#include "foundation/Clock.h"

#include <gtest/gtest.h>

namespace {
class TimeCalculatorTest : public ::testing::Test
{
protected:
    void SetUp() override { Clock::setShared(&clock); }
    void TearDown() override { Clock::setShared(nullptr); }

    [[nodiscard]] QVariant ago(double seconds) const
    {
        return clock.now().addMSecs(-qint64(seconds * 1000));
    }

    FakeClock clock;
};
} // namespace

TEST_F(TimeCalculatorTest, AgesInEveryForm)
{
    struct Case
    {
        double secondsAgo;
        const char *compact, *single, *expanded;
    } cases[] = {
        {90, "1m", "1m", "1 minute ago."},
        {25 * 3600 + 3 * 60, "1d 1h", "1d", "1 day 1 hour ago."},
        {-5, "0s", "1s", "0 seconds ago."},
        {0, "0s", "1s", "0 seconds ago."},
        {0.9, "0s", "1s", "0 seconds ago."},
        {1, "1s", "1s", "1 second ago."},
        {59.9, "59s", "59s", "59 seconds ago."},
        {3600, "1h 0m", "1h", "1 hour 0 minutes ago."},
        {2 * 3600 + 10 * 60 + 5, "2h 10m", "2h", "2 hours 10 minutes ago."},
        {86400 - 1, "23h 59m", "23h", "23 hours 59 minutes ago."},
        {2 * 86400 + 60, "2d 0h", "2d", "2 days 0 hours ago."},
        {400 * 86400.0, "400d 0h", "400d", "400 days 0 hours ago."},
    };
    for (const Case &c : cases) {
        const QVariant date = ago(c.secondsAgo);
        EXPECT_EQ(TimeCalculator::parseDateString(date), QLatin1String(c.compact)) << c.secondsAgo;
        EXPECT_EQ(TimeCalculator::longParseDateString(date), QLatin1String(c.single));
        EXPECT_EQ(TimeCalculator::longAgoParseDateString(date), QLatin1String(c.single));
        EXPECT_EQ(TimeCalculator::expandedDateStringWithDate(date), QLatin1String(c.expanded));
    }
}

TEST_F(TimeCalculatorTest, ArgumentsThatAreNoDateGiveNothing)
{
    const QVariant cases[] = {QVariant(),  QVariant(42),
                              QString(),   QStringLiteral("not a date"),
                              QDateTime(), QString(200, QLatin1Char('1'))};
    for (const QVariant &value : cases) {
        EXPECT_EQ(TimeCalculator::parseDateString(value), QString()) << value.typeName();
        EXPECT_EQ(TimeCalculator::longParseDateString(value), QString());
        EXPECT_EQ(TimeCalculator::longAgoParseDateString(value), QString());
        EXPECT_EQ(TimeCalculator::expandedDateStringWithDate(value), QString());
    }
    // Strings that are dates: the clock stands at 2010-01-01 00:00:00 UTC.
    const QString dated[] = {QStringLiteral("2009-12-31T23:58:30Z"),
                             QStringLiteral("Thu, 31 Dec 2009 23:58:30 +0000"),
                             QStringLiteral("Thu Dec 31 23:58:30 +0000 2009")};
    for (const QString &text : dated)
        EXPECT_EQ(TimeCalculator::parseDateString(text), QStringLiteral("1m"))
            << text.toStdString();
}

TEST_F(TimeCalculatorTest, DurationTexts)
{
    const std::pair<double, const char *> intervals[] = {
        {59.9, "59 Seconds(s)"},
        {0, "0 Seconds(s)"},
        {60, "1 Minute(s)"},
        {3599, "59 Minute(s)"},
        {3600 + 59, "1 Hour(s) 0 Min(s)"},
        {86400 * 3 + 7200 + 59, "3 Days(s) 2 Hour(s)"},
        {std::numeric_limits<double>::quiet_NaN(), "0 Seconds(s)"},
        {std::numeric_limits<double>::infinity(), "0 Seconds(s)"},
        {1e300, "11574074074 Days(s) 1 Hour(s)"},
    };
    for (const auto &[seconds, text] : intervals)
        EXPECT_EQ(TimeCalculator::durationStringFromTimeInterval(seconds), QLatin1String(text))
            << seconds;

    const std::pair<const char *, const char *> minutes[] = {
        {"1500", "1d 1h"}, {"0", "1m"},
        {"61", " 1h 1m"},  {"-3", "1m"},
        {"abc", "1m"},     {"45", " 45m"},
        {"1440", "1d"},    {" 120min", " 2h"},
        {"2881", "2d"},    {"99999999999", "1491308d 2h"},
    };
    for (const auto &[text, expected] : minutes)
        EXPECT_EQ(TimeCalculator::durationStringFromMinutesString(QLatin1String(text)),
                  QLatin1String(expected))
            << text;
}

TEST_F(TimeCalculatorTest, TransformersAndLabelRefresh)
{
    const qint64 now = clock.now().toSecsSinceEpoch();
    EXPECT_EQ(RTSince1970StringToTimeSinceNowString::transformedValue(QString::number(now - 7200)),
              QStringLiteral("2h"));
    EXPECT_EQ(RTSince1970StringToTimeSinceNowString::transformedValue(QVariant()),
              QStringLiteral("1 second ago"));
    EXPECT_EQ(RTSince1970StringToTimeSinceNowString::transformedValue(now),
              QStringLiteral("1 second ago"));
    EXPECT_EQ(RTMinutesStringToDurationStringTransformer::transformedValue(QStringLiteral("61")),
              QStringLiteral(" 1h 1m"));
    EXPECT_EQ(RTMinutesStringToDurationStringTransformer::transformedValue(61),
              QStringLiteral("1 m"));

    const std::pair<int, int> refresh[] = {{0, 10}, {59, 10}, {60, 60}, {-30, 10}, {3600, 60}};
    for (const auto &[age, interval] : refresh)
        EXPECT_EQ(TimeCalculator::labelRefreshIntervalForDate(clock.now().addSecs(-age)), interval)
            << age;
}
