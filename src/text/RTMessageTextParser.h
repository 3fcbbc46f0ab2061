#pragma once

#include "text/RTImagerSource.h"
#include "text/RTRegex.h"
#include "text/RTStyledText.h"

#include <QStringList>
#include <QVariantMap>
#include <memory>
#include <optional>

// One entity found in a message text. For links, value is the link as written
// (unescaped) and link the percent-escaped URL text; linkIsValid is false when that text
// does not form a URL. For the others, value is the name, address, tag or feed text.
struct RTParseRecord
{
    qsizetype location = 0;
    qsizetype length = 0;
    QString value;
    QString link;
    bool linkIsValid = false;

    [[nodiscard]] qsizetype end() const { return location + length; }
    // The record as a dictionary: "kRTParseRange" (a QVariantMap of "location" and
    // "length") and valueKey; links carry "kRTParseLink" and "kRTParseLinkUnescaped".
    [[nodiscard]] QVariantMap toVariantMap(const char *valueKey) const;
    bool operator==(const RTParseRecord &) const = default;
};

// Finds links, e-mail addresses, mentions, hashtags and stock symbols in message text,
// styles them, and answers questions about them. All operations are static and may run
// on any thread; the patterns are compiled once, on first use.
//
// Every pattern search is bounded (RTRegex limits). A search that hits its limit counts
// as finding nothing, and parse() then gives the whole text unstyled.
class RTMessageTextParser
{
public:
    RTMessageTextParser() = delete;

    // Styling
    [[nodiscard]] static RTStyledText parse(const QString &text);
    [[nodiscard]] static RTStyledText highlightTermsInAttributeMessage(const RTStyledText &message,
                                                                       const QStringList &terms);
    [[nodiscard]] static RTStyledText
    highlightSearchResultsInAttributeMessage(const RTStyledText &message, const QString &term);
    [[nodiscard]] static RTStyledText
    dimmedAttributedStringFromAttributedString(const RTStyledText &message, double fontSize);

    // Ranges
    [[nodiscard]] static QList<RTParseRecord> linksRangesInMessageText(const QString &text);
    [[nodiscard]] static QList<RTParseRecord> emailRangesInMessageText(const QString &text);
    [[nodiscard]] static QList<RTParseRecord> mentionRangesInMessageText(const QString &text);
    [[nodiscard]] static QList<RTParseRecord> hashRangesInMessageText(const QString &text);
    [[nodiscard]] static QList<RTParseRecord> feedRangesInMessageText(const QString &text);
    [[nodiscard]] static QList<RTParseRecord> stockSymbolRangesInMessageText(const QString &text);
    [[nodiscard]] static QList<RTParseRecord>
    rangesInMessageText(const QString &text, const RTRegex &regex, bool removeLeadingChar);

    // Lists of strings
    [[nodiscard]] static QStringList linksInMessageText(const QString &text);
    [[nodiscard]] static QStringList unescapedLinksInMessageText(const QString &text);
    [[nodiscard]] static QStringList mentionsInMessageText(const QString &text);
    [[nodiscard]] static QStringList screenNamesInMessageText(const QString &text);
    [[nodiscard]] static QStringList hashtagsInMessageText(const QString &text);
    [[nodiscard]] static QStringList stockSymbolsInMessageText(const QString &text);
    [[nodiscard]] static QStringList emailsInMessageText(const QString &text);
    [[nodiscard]] static QStringList termsFromString(const QString &text);

    // Questions
    [[nodiscard]] static bool messageTextHasHashTag(const QString &text, const QString &tag);
    [[nodiscard]] static bool messageTextHasScreenName(const QString &text, const QString &name);

    [[nodiscard]] static QString fixBadProtocolsInMessage(const QString &text);
    [[nodiscard]] static QList<RTInlineImageInfo> imagersInMessageText(const QString &text);

    // Matches of a pattern given as text (no match on an invalid pattern or at the limit).
    [[nodiscard]] static std::optional<QList<RTRegex::Match>>
    searchForMatchesOf(const QString &pattern, const QString &text);

    // Internal link targets, intercepted by the message view.
    [[nodiscard]] static QString linkForUser(const QString &name);
    [[nodiscard]] static QString linkForSearch(const QString &search);
    [[nodiscard]] static QString linkForSearchHashTag(const QString &tag);
    [[nodiscard]] static QString linkForSearchStock(const QString &symbol);
    [[nodiscard]] static QString linkForEmail(const QString &address);
    [[nodiscard]] static QString linkForFeed(const QString &feed);
    enum class InternalLinkKind
    {
        None,
        User,
        Search
    };
    // Reads back a user or search link: the kind and the name or search text.
    [[nodiscard]] static std::pair<InternalLinkKind, QString>
    internalLinkTarget(const QString &link);

    // Styles
    [[nodiscard]] static QString messageFont();
    [[nodiscard]] static double messageFontSize();
    [[nodiscard]] static quint32 messageMainTextColor();
    [[nodiscard]] static quint32 messageSeenTextColor();
    [[nodiscard]] static quint32 messageHighlightTextColor();
    [[nodiscard]] static quint32 messageSeenHighlightTextColor();
    [[nodiscard]] static quint32 messageUnderlineTextColor();
    [[nodiscard]] static quint32 messageStrokeTextColor();
    [[nodiscard]] static RTTextAttributes
    attributesWithFont(const QString &fontFamily, double fontSize, std::optional<quint32> textColor,
                       std::optional<quint32> underlineColor, std::optional<quint32> strokeColor,
                       const QString &link);
    [[nodiscard]] static RTTextAttributes messageMainTextAttributes();
    [[nodiscard]] static RTTextAttributes messageSeenTextAttributes();
    [[nodiscard]] static RTTextAttributes messageLinkTextAttributesWithLink(const QString &url);
    // The link style for a link string, escaped first; none when it forms no URL.
    [[nodiscard]] static std::optional<RTTextAttributes>
    messageLinkTextAttributesWithLinkString(const QString &link);
    [[nodiscard]] static RTTextAttributes messageSeenLinkTextAttributesWithFontSize(double size);
    [[nodiscard]] static RTTextAttributes messageSeenLinkTextAttributedWithLink(const QString &url,
                                                                                double size);

    // Configuration. Shortener hosts are read once, when the patterns are compiled on
    // first use; the picture-host table is asked on every imagersInMessageText().
    static void setShortenerHosts(const QStringList &hosts);
    [[nodiscard]] static QStringList defaultShortenerHosts();
    [[nodiscard]] static QStringList specialHosts();
    static void setImagerSource(std::shared_ptr<const RTImagerSource> source);

    // Texts longer than this are not searched and come back unstyled.
    static constexpr qsizetype kMaxTextLength = 100000;
};
