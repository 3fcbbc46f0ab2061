#include "twitter/RTTwitterDateParser.h"

#include "twitter/RTTwitterRequestTypes.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<const char *, 7> kDays = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr std::array<const char *, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// A small cursor over the text; every reader fails without moving on a mismatch.
class Cursor
{
public:
    explicit Cursor(QStringView text)
        : m_text(text)
    {
    }

    bool literal(char c)
    {
        if (m_pos >= m_text.size() || m_text[m_pos] != QLatin1Char(c))
            return false;
        ++m_pos;
        return true;
    }

    // Index of a three-letter English name in names (case-insensitive), or -1.
    template<std::size_t N> int name(const std::array<const char *, N> &names)
    {
        if (m_pos + 3 > m_text.size())
            return -1;
        const QStringView word = m_text.mid(m_pos, 3);
        for (std::size_t i = 0; i < N; ++i) {
            if (word.compare(QLatin1StringView(names[i], 3), Qt::CaseInsensitive) == 0) {
                m_pos += 3;
                return int(i);
            }
        }
        return -1;
    }

    // Exactly digits decimal digits (min..digits when min is given).
    int number(int digits, int min = -1)
    {
        if (min < 0)
            min = digits;
        int value = 0;
        int n = 0;
        while (n < digits && m_pos + n < m_text.size()) {
            const QChar c = m_text[m_pos + n];
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                break;
            value = value * 10 + (c.unicode() - '0');
            ++n;
        }
        if (n < min)
            return -1;
        m_pos += n;
        return value;
    }

    // "+hhmm", "-hhmm", or "GMT"/"UTC"/"Z" for no offset; offsetSeconds gets seconds east of UTC.
    bool zone(int *offsetSeconds)
    {
        if (literal('+') || literal('-')) {
            const bool negative = m_text[m_pos - 1] == QLatin1Char('-');
            const int hhmm = number(4);
            if (hhmm < 0 || hhmm / 100 > 14 || hhmm % 100 > 59)
                return false;
            *offsetSeconds = (negative ? -1 : 1) * ((hhmm / 100) * 3600 + (hhmm % 100) * 60);
            return true;
        }
        for (const char *name : {"GMT", "UTC"}) {
            if (m_pos + 3 <= m_text.size() &&
                m_text.mid(m_pos, 3).compare(QLatin1StringView(name, 3), Qt::CaseInsensitive) ==
                    0) {
                m_pos += 3;
                *offsetSeconds = 0;
                return true;
            }
        }
        if (literal('Z')) {
            *offsetSeconds = 0;
            return true;
        }
        return false;
    }

    [[nodiscard]] bool atEnd() const { return m_pos == m_text.size(); }

private:
    QStringView m_text;
    qsizetype m_pos = 0;
};

QDateTime make(int year, int month, int day, int h, int m, int s, int offset)
{
    if (h > 23 || m > 59 || s > 60)
        return {};
    const QDate date(year, month, day);
    if (!date.isValid())
        return {};
    // A leap second reads as the last second of its minute.
    const QDateTime utc(date, QTime(h, m, s == 60 ? 59 : s), Qt::UTC);
    return utc.addSecs(-offset);
}

} // namespace

RTTwitterDateParser::Pattern RTTwitterDateParser::patternForRequestType(int requestType)
{
    return requestType == RTTwitterRequestSearch ? Pattern::Search : Pattern::Rest;
}

QDateTime RTTwitterDateParser::dateFromUtf8(std::string_view text) const
{
    // Dates are short ASCII: widen them on the stack rather than build a string.
    constexpr std::size_t kShort = 64;
    if (text.size() <= kShort &&
        std::all_of(text.cbegin(), text.cend(), [](char c) { return uchar(c) < 0x80; })) {
        std::array<char16_t, kShort> wide;
        std::copy(text.cbegin(), text.cend(), wide.begin());
        return dateFromString(QStringView(wide.data(), qsizetype(text.size())));
    }
    return dateFromString(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

QDateTime RTTwitterDateParser::dateFromString(QStringView text) const
{
    Cursor c(text.trimmed());
    int offset = 0;
    if (c.name(kDays) < 0)
        return {};
    if (m_pattern == Pattern::Rest) {
        int month = -1;
        int day = -1;
        if (!c.literal(' ') || (month = c.name(kMonths)) < 0 || !c.literal(' ') ||
            (day = c.number(2, 1)) < 0 || !c.literal(' '))
            return {};
        const int h = c.number(2);
        const int m = c.literal(':') ? c.number(2) : -1;
        const int s = c.literal(':') ? c.number(2) : -1;
        if (h < 0 || m < 0 || s < 0 || !c.literal(' ') || !c.zone(&offset) || !c.literal(' '))
            return {};
        const int year = c.number(4);
        if (year < 0 || !c.atEnd())
            return {};
        return make(year, month + 1, day, h, m, s, offset);
    }
    int day = -1;
    int month = -1;
    if (!c.literal(',') || !c.literal(' ') || (day = c.number(2, 1)) < 0 || !c.literal(' ') ||
        (month = c.name(kMonths)) < 0 || !c.literal(' '))
        return {};
    const int year = c.number(4);
    if (year < 0 || !c.literal(' '))
        return {};
    const int h = c.number(2);
    const int m = c.literal(':') ? c.number(2) : -1;
    const int s = c.literal(':') ? c.number(2) : -1;
    if (h < 0 || m < 0 || s < 0 || !c.literal(' ') || !c.zone(&offset) || !c.atEnd())
        return {};
    return make(year, month + 1, day, h, m, s, offset);
}
