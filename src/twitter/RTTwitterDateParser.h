#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <string_view>

// Dates as Twitter writes them, always in English: REST answers "Wed Aug 29 17:12:58 +0000
// 2012", search answers "Wed, 29 Aug 2012 17:12:58 +0000". Parsed by hand: a page holds
// hundreds of them and locale-aware parsing costs microseconds each.
class RTTwitterDateParser
{
public:
    enum class Pattern : quint8
    {
        Rest,   // "EEE MMM dd HH:mm:ss ZZZ yyyy"
        Search, // "EEE, dd MMM yyyy HH:mm:ss ZZZ"
    };

    explicit RTTwitterDateParser(Pattern pattern = Pattern::Rest)
        : m_pattern(pattern)
    {
    }

    // The pattern of the answers of a request type.
    [[nodiscard]] static Pattern patternForRequestType(int requestType);

    [[nodiscard]] Pattern pattern() const { return m_pattern; }
    void setPattern(Pattern pattern) { m_pattern = pattern; }

    // An invalid QDateTime when the text does not follow the pattern.
    [[nodiscard]] QDateTime dateFromString(QStringView text) const;
    // The same for UTF-8 text, as an answer holds it.
    [[nodiscard]] QDateTime dateFromUtf8(std::string_view text) const;

private:
    Pattern m_pattern;
};
