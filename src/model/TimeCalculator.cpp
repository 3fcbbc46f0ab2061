#include "model/TimeCalculator.h"

#include "foundation/Clock.h"
#include "foundation/Localization.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// Fills "%@", "%d" and "%i" of a localised pattern with args in order; "%%" is a percent.
QString formatPattern(const QString &pattern, std::initializer_list<qint64> args)
{
    QString out;
    out.reserve(pattern.size() + 8);
    auto next = args.begin();
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c != QLatin1Char('%') || i + 1 >= pattern.size()) {
            out.append(c);
            continue;
        }
        const QChar directive = pattern.at(i + 1);
        if (directive == QLatin1Char('%')) {
            out.append(c);
            ++i;
        } else if ((directive == QLatin1Char('@') || directive == QLatin1Char('d') ||
                    directive == QLatin1Char('i')) &&
                   next != args.end()) {
            out.append(QString::number(*next++));
            ++i;
        } else {
            out.append(c);
        }
    }
    return out;
}

QString plural(qint64 n, const char *one, const char *many)
{
    return QLatin1String(n == 1 ? one : many);
}

std::optional<TimeCalculator::Age> ageOf(const QVariant &dateOrString)
{
    const auto date = TimeCalculator::dateFromValue(dateOrString);
    if (!date)
        return std::nullopt;
    return TimeCalculator::ageComponents(*date, Clock::currentDateTime());
}

struct UnitKeys
{
    const char *none;
    const char *days;
    const char *hours;
    const char *minutes;
    const char *seconds;
};

QString singleUnit(const QVariant &dateOrString, const UnitKeys &keys)
{
    const auto age = ageOf(dateOrString);
    if (!age)
        return {};
    if (age->days)
        return formatPattern(localizedString(keys.days), {age->days});
    if (age->hours)
        return formatPattern(localizedString(keys.hours), {age->hours});
    if (age->minutes)
        return formatPattern(localizedString(keys.minutes), {age->minutes});
    if (age->seconds)
        return formatPattern(localizedString(keys.seconds), {age->seconds});
    return localizedString(keys.none);
}

// The leading integer of a string as the platform's intValue reads it: optional blanks
// and sign, then digits up to the first other character; 0 without digits; clamped.
qint64 leadingInteger(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        negative = text.at(i++) == QLatin1Char('-');
    qint64 value = 0;
    constexpr qint64 limit = std::numeric_limits<qint32>::max();
    for (; i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 128; ++i) {
        value = value * 10 + (text.at(i).unicode() - '0');
        if (value > limit) {
            value = limit + (negative ? 1 : 0);
            break;
        }
    }
    return negative ? -value : value;
}
} // namespace

std::optional<QDateTime> TimeCalculator::dateFromValue(const QVariant &dateOrString)
{
    const int type = dateOrString.metaType().id();
    if (type == QMetaType::QDateTime) {
        const QDateTime date = dateOrString.toDateTime();
        return date.isValid() ? std::optional(date) : std::nullopt;
    }
    if (type != QMetaType::QString)
        return std::nullopt;
    const QString text = dateOrString.toString().simplified();
    if (text.isEmpty() || text.size() > 100)
        return std::nullopt;
    const QLocale c = QLocale::c();
    for (const QDateTime &date : {QDateTime::fromString(text, Qt::ISODateWithMs),
                                  QDateTime::fromString(text, Qt::RFC2822Date),
                                  c.toDateTime(text, QStringLiteral("ddd MMM dd HH:mm:ss t yyyy")),
                                  c.toDateTime(text, QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                  c.toDateTime(text, QStringLiteral("yyyy-MM-dd HH:mm")),
                                  c.toDateTime(text, QStringLiteral("yyyy-MM-dd"))}) {
        if (date.isValid())
            return date;
    }
    return std::nullopt;
}

// Plain elapsed time, so an age does not jump by an hour across a daylight-saving change.
TimeCalculator::Age TimeCalculator::ageComponents(const QDateTime &date, const QDateTime &now)
{
    const qint64 elapsed = date.msecsTo(now) / 1000;
    Age age;
    if (elapsed <= 0)
        return age;
    age.days = elapsed / 86400;
    age.hours = int(elapsed % 86400 / 3600);
    age.minutes = int(elapsed % 3600 / 60);
    age.seconds = int(elapsed % 60);
    return age;
}

QString TimeCalculator::parseDateString(const QVariant &dateOrString)
{
    const auto age = ageOf(dateOrString);
    if (!age)
        return {};
    if (age->days >= 1)
        return QStringLiteral("%1d %2h").arg(age->days).arg(age->hours);
    if (age->hours >= 1)
        return QStringLiteral("%1h %2m").arg(age->hours).arg(age->minutes);
    if (age->minutes >= 1)
        return QStringLiteral("%1m").arg(age->minutes);
    return QStringLiteral("%1s").arg(age->seconds);
}

QString TimeCalculator::longParseDateString(const QVariant &dateOrString)
{
    return singleUnit(dateOrString,
                      {"##TimeCalculator:5##", "##TimeCalculator:9##", "##TimeCalculator:6##",
                       "##TimeCalculator:7##", "##TimeCalculator:8##"});
}

QString TimeCalculator::longAgoParseDateString(const QVariant &dateOrString)
{
    return singleUnit(dateOrString,
                      {"##TimeCalculator:0##", "##TimeCalculator:4##", "##TimeCalculator:1##",
                       "##TimeCalculator:2##", "##TimeCalculator:3##"});
}

QString TimeCalculator::expandedDateStringWithDate(const QVariant &dateOrString)
{
    const auto age = ageOf(dateOrString);
    if (!age)
        return {};
    const QString two = QStringLiteral("%1 %2 %3 %4 ago.");
    const QString one = QStringLiteral("%1 %2 ago.");
    if (age->days >= 1)
        return two.arg(age->days)
            .arg(plural(age->days, "day", "days"))
            .arg(age->hours)
            .arg(plural(age->hours, "hour", "hours"));
    if (age->hours >= 1)
        return two.arg(age->hours)
            .arg(plural(age->hours, "hour", "hours"))
            .arg(age->minutes)
            .arg(plural(age->minutes, "minute", "minutes"));
    if (age->minutes >= 1)
        return one.arg(age->minutes).arg(plural(age->minutes, "minute", "minutes"));
    return one.arg(age->seconds).arg(plural(age->seconds, "second", "seconds"));
}

QString TimeCalculator::durationStringFromTimeInterval(double seconds)
{
    // Whole seconds from here on; a value that is no number or beyond any real duration
    // must not reach the integer conversions below.
    constexpr double bound = 1e15;
    const qint64 t =
        std::isfinite(seconds) ? qint64(std::trunc(std::clamp(seconds, -bound, bound))) : 0;
    const qint64 days = t / 86400;
    const qint64 rest = t - days * 86400;
    const qint64 hours = rest / 3600;
    if (days > 0)
        return formatPattern(localizedString("##TimeCalculator:14##"), {days, hours});
    const qint64 minutes = (rest - hours * 3600) / 60;
    if (hours > 0)
        return formatPattern(localizedString("##TimeCalculator:15##"), {hours, minutes});
    if (minutes > 0)
        return formatPattern(localizedString("##TimeCalculator:16##"), {minutes});
    return formatPattern(localizedString("##TimeCalculator:17##"),
                         {rest - hours * 3600 - minutes * 60});
}

QString TimeCalculator::durationStringFromMinutesString(const QString &minutesText)
{
    const qint64 n = leadingInteger(minutesText);
    if (n < 1)
        return localizedString("##TimeCalculator:10##");
    const qint64 days = n / 1440;
    const qint64 hours = (n - days * 1440) / 60;
    const qint64 minutes = n % 60;
    const QString dayPiece =
        days ? formatPattern(localizedString("##TimeCalculator:11##"), {days}) : QString();
    const QString hourPiece =
        hours ? formatPattern(localizedString("##TimeCalculator:12##"), {hours}) : QString();
    const QString minutePiece =
        minutes && !days ? formatPattern(localizedString("##TimeCalculator:13##"), {minutes})
                         : QString();
    return dayPiece + hourPiece + minutePiece;
}

int TimeCalculator::labelRefreshIntervalForDate(const QDateTime &createdAt)
{
    const qint64 age = createdAt.secsTo(Clock::currentDateTime());
    return age <= 59 ? 10 : 60;
}

QString RTSince1970StringToTimeSinceNowString::transformedValue(const QVariant &value)
{
    if (value.metaType().id() != QMetaType::QString)
        return QStringLiteral("1 second ago");
    bool ok = false;
    const double seconds = value.toString().trimmed().toDouble(&ok);
    // A stamp that is no number, or one QDateTime cannot hold, reads as the epoch.
    const qint64 stamp =
        ok && std::isfinite(seconds) && std::fabs(seconds) < 1e14 ? qint64(seconds * 1000) : 0;
    return TimeCalculator::longAgoParseDateString(QDateTime::fromMSecsSinceEpoch(stamp, Qt::UTC));
}

QString RTMinutesStringToDurationStringTransformer::transformedValue(const QVariant &value)
{
    if (value.metaType().id() != QMetaType::QString)
        return QStringLiteral("1 m");
    return TimeCalculator::durationStringFromMinutesString(value.toString());
}
