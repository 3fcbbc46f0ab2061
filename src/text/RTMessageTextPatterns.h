#pragma once

#include "text/RTMessageTextParser.h"
#include "text/RTRegex.h"

#include <QStringList>
#include <array>
#include <memory>
#include <vector>

// The parser's compiled patterns, built once on first use and read-only afterwards.
// Internal to the text layer.
struct RTMessageTextPatterns
{
    using Regex = std::shared_ptr<const RTRegex>;

    Regex mention;
    Regex hash;
    Regex hashNumericOnly;
    Regex hashLongNumeric;
    Regex quote;
    Regex email;
    Regex urlProtocol;
    Regex urlWww;
    Regex urlShortener; // null when there are no shortener hosts
    Regex feed;
    Regex specialUrls; // null when there are no special hosts
    Regex terms;
    std::array<Regex, 11> badProtocol;

    static constexpr std::array<const char *, 11> kBadProtocolText = {
        "ttp://", "htp:",  "htp:/",  "htp://",  "htp/",  "htp//",
        "htp//",  "htps:", "htps:/", "htps://", "http:/"};
    static constexpr std::array<const char *, 11> kBadProtocolReplacement = {
        "http://", "http:",    "http:/",   "http://",  "http://", "http://",
        "http://", "https://", "https://", "https://", "http://"};

    static const RTMessageTextPatterns &shared();
    // "host1|host2" with every host escaped for a pattern; empty hosts are dropped.
    static QString hostAlternation(const QStringList &hosts);
};

// Set once a search of the current operation failed or hit its work limit.
struct RTTextScan
{
    bool failed = false;

    // Every match of the pattern, or none (and failed set) when the search fails.
    QList<RTRegex::Match> matches(const RTMessageTextPatterns::Regex &regex, QStringView text);
};

// True when a percent-escaped link text reads as a URL with a scheme. Hosts with
// non-ASCII letters arrive escaped and count (the opener converts them to IDNA).
[[nodiscard]] bool formsUrl(const QString &escaped);

// The URL trim characters . ! : ; , " ( ) stripped from both ends of every match.
[[nodiscard]] bool isUrlTrimChar(QChar c);
// Start offset and length of s inside itself after trimming those characters.
[[nodiscard]] std::pair<qsizetype, qsizetype> trimmedSpan(QStringView s, bool whiteSpaceFirst);

// The entities parse() styles, found in one pass over a prepared (valid, bounded) text.
struct RTTextEntities
{
    QList<RTParseRecord> links;
    QList<RTParseRecord> emails;
    QList<RTParseRecord> mentions;
    QList<RTParseRecord> hashes;
};
[[nodiscard]] RTTextEntities findTextEntities(const QString &clean, RTTextScan &scan);
[[nodiscard]] QString fixBadProtocols(const QString &clean, RTTextScan &scan);

// Answers "does this range share a character with any of these records" in log time,
// so texts with thousands of entities stay linear-ish.
class RTRangeIndex
{
public:
    explicit RTRangeIndex(const QList<RTParseRecord> &records);
    [[nodiscard]] bool overlaps(qsizetype start, qsizetype length) const;

private:
    std::vector<qsizetype> m_starts;     // sorted
    std::vector<qsizetype> m_maxEndUpTo; // largest end among the first i+1 ranges
};
