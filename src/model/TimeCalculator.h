#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <optional>

// Age and duration texts for messages, mutes and highlights. Pure functions of their
// argument and the clock (Clock::shared()).
class TimeCalculator
{
public:
    // Whole days, hours (0-23), minutes and seconds (0-59) from a date to now; all zero for
    // a date in the future.
    struct Age
    {
        qint64 days = 0;
        int hours = 0;
        int minutes = 0;
        int seconds = 0;
    };

    // A QDateTime is used as it is; a string is parsed as a date (ISO 8601, RFC 2822, the
    // Twitter form "Wed Aug 27 13:08:45 +0000 2008" and a few plain forms). Anything else,
    // and a string that does not parse, gives no date.
    [[nodiscard]] static std::optional<QDateTime> dateFromValue(const QVariant &dateOrString);
    [[nodiscard]] static Age ageComponents(const QDateTime &date, const QDateTime &now);

    // The label on each message: "5m", "2h 10m", "1d 3h"; empty without a date.
    [[nodiscard]] static QString parseDateString(const QVariant &dateOrString);
    // One unit, localised: "2h".
    [[nodiscard]] static QString longParseDateString(const QVariant &dateOrString);
    [[nodiscard]] static QString longAgoParseDateString(const QVariant &dateOrString);
    // "2 hours 10 minutes ago."
    [[nodiscard]] static QString expandedDateStringWithDate(const QVariant &dateOrString);

    [[nodiscard]] static QString durationStringFromTimeInterval(double seconds);
    [[nodiscard]] static QString durationStringFromMinutesString(const QString &minutes);

    // Seconds until a message label showing the age of createdAt needs redrawing.
    [[nodiscard]] static int labelRefreshIntervalForDate(const QDateTime &createdAt);
};

// Bound-value adapters of the texts above; neither converts back.
class RTSince1970StringToTimeSinceNowString
{
public:
    // A string of seconds since 1970 -> its single-unit age.
    [[nodiscard]] static QString transformedValue(const QVariant &value);
    [[nodiscard]] static bool allowsReverseTransformation() { return false; }
};

class RTMinutesStringToDurationStringTransformer
{
public:
    [[nodiscard]] static QString transformedValue(const QVariant &value);
    [[nodiscard]] static bool allowsReverseTransformation() { return false; }
};
