#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "foundation/StringAdditions.h"
#include "text/RTMessageTextParser.h"
#include "text/RTMessageTextPatterns.h"

#include <QUrl>

namespace {

constexpr quint32 kBlack = 0xFF000000;
constexpr quint32 kBlue = 0xFF0000FF;
constexpr quint32 kClear = 0x00000000;
constexpr quint32 kSeenGrey = 0xFF727272; // 114/255 on every channel
constexpr quint32 kLinkColor = 0xFF5555FF;
constexpr quint32 kSeenLinkColor = 0xFF5069F3; // 80, 105, 243
constexpr char kFontFamily[] = "Lucida Grande";

constexpr char kUserLinkPrefix[] = "http://selfdefineuserinfostring/";
constexpr char kSearchLinkPrefix[] = "http://selfdefinesearchstring/";

// Bolds every literal, case-insensitive occurrence of each term. Terms are plain text,
// never patterns: "c++" or "(" must work, and no term can make the search run long.
RTStyledText boldOccurrences(const RTStyledText &message, const QStringList &terms)
{
    QList<std::pair<qsizetype, qsizetype>> ranges;
    const QString &text = message.text();
    for (const QString &term : terms) {
        if (term.isEmpty())
            continue;
        for (qsizetype at = text.indexOf(term, 0, Qt::CaseInsensitive); at >= 0;
             at = text.indexOf(term, at + term.size(), Qt::CaseInsensitive))
            ranges.append({at, term.size()});
    }
    RTStyledText out = message;
    out.modifyRanges(ranges, [](RTTextAttributes &a) { a.bold = true; });
    return out;
}

QString internalLink(const char *prefix, const QString &value)
{
    // Encoded so a "#" or "/" in the value stays part of it.
    return QLatin1String(prefix) + encodeForQueryString(value);
}

} // namespace

RTStyledText RTMessageTextParser::parse(const QString &text)
{
    const RTTextAttributes main = messageMainTextAttributes();
    if (text.size() > kMaxTextLength)
        return RTStyledText(text, main);
    RTTextScan scan;
    const QString clean = RTRegex::sanitizedText(text);
    const QString fixed = fixBadProtocols(clean, scan);
    const RTTextEntities found = findTextEntities(fixed, scan);
    // A search that hit its work limit leaves the message unstyled rather than half done.
    if (scan.failed)
        return RTStyledText(clean, main);
    const QList<RTParseRecord> &links = found.links;
    const QList<RTParseRecord> &emails = found.emails;
    // One settings read per message, not one per link.
    const double size = main.fontSize;
    const auto linkStyle = [&](const QString &url) {
        return attributesWithFont(messageFont(), size, kLinkColor, kClear, kClear, url);
    };
    const auto linkStyleForString = [&](const QString &link) {
        const QString escaped = standardScapedOutString(link);
        return formsUrl(escaped) ? linkStyle(escaped) : main;
    };

    // Later steps overwrite earlier ones where ranges coincide.
    QList<RTTextRun> paint;
    for (const RTParseRecord &r : links) {
        paint.append({r.location, r.length,
                      r.linkIsValid ? linkStyleForString(standardUnscapedString(r.link)) : main});
    }
    for (const RTParseRecord &r : emails) {
        paint.append({r.location, r.length, linkStyleForString(linkForEmail(r.value))});
    }
    const RTRangeIndex linkIndex(links);
    const RTRangeIndex emailIndex(emails);
    for (const RTParseRecord &r : found.mentions) {
        if (emailIndex.overlaps(r.location, r.length) || linkIndex.overlaps(r.location, r.length))
            continue;
        paint.append({r.location, r.length, linkStyle(linkForUser(r.value))});
    }
    for (const RTParseRecord &r : found.hashes) {
        if (linkIndex.overlaps(r.location, r.length))
            continue;
        paint.append({r.location, r.length, linkStyle(linkForSearch(r.value))});
    }
    RTStyledText out(fixed, main);
    out.paint(paint);
    return out;
}

RTStyledText RTMessageTextParser::highlightTermsInAttributeMessage(const RTStyledText &message,
                                                                   const QStringList &terms)
{
    return boldOccurrences(message, terms);
}

RTStyledText
RTMessageTextParser::highlightSearchResultsInAttributeMessage(const RTStyledText &message,
                                                              const QString &term)
{
    return highlightTermsInAttributeMessage(message, termsFromString(term));
}

RTStyledText
RTMessageTextParser::dimmedAttributedStringFromAttributedString(const RTStyledText &message,
                                                                double fontSize)
{
    RTStyledText out = message;
    out.modifyRanges({{0, out.text().size()}},
                     [](RTTextAttributes &a) { a.textColor = kSeenGrey; });
    QList<RTTextRun> links;
    for (const RTTextRun &run : out.runs()) {
        if (!run.attributes.link.isEmpty()) {
            links.append({run.start, run.length,
                          messageSeenLinkTextAttributedWithLink(run.attributes.link, fontSize)});
        }
    }
    out.paint(links);
    return out;
}

QString RTMessageTextParser::linkForUser(const QString &name)
{
    return internalLink(kUserLinkPrefix, name);
}

QString RTMessageTextParser::linkForSearch(const QString &search)
{
    return internalLink(kSearchLinkPrefix, search);
}

QString RTMessageTextParser::linkForSearchHashTag(const QString &tag)
{
    return linkForSearch(QLatin1Char('#') + tag);
}

QString RTMessageTextParser::linkForSearchStock(const QString &symbol)
{
    return linkForSearch(QLatin1Char('$') + symbol);
}

QString RTMessageTextParser::linkForEmail(const QString &address)
{
    return QStringLiteral("mailto:") + address;
}

QString RTMessageTextParser::linkForFeed(const QString &feed)
{
    return feed;
}

std::pair<RTMessageTextParser::InternalLinkKind, QString>
RTMessageTextParser::internalLinkTarget(const QString &link)
{
    const auto read = [&](const char *prefix) -> std::optional<QString> {
        if (!link.startsWith(QLatin1String(prefix)))
            return std::nullopt;
        return standardUnscapedString(link.mid(qsizetype(qstrlen(prefix))));
    };
    if (auto user = read(kUserLinkPrefix))
        return {InternalLinkKind::User, *user};
    if (auto search = read(kSearchLinkPrefix))
        return {InternalLinkKind::Search, *search};
    return {InternalLinkKind::None, QString()};
}

QString RTMessageTextParser::messageFont()
{
    return QLatin1String(kFontFamily);
}

double RTMessageTextParser::messageFontSize()
{
    return SettingsStore::shared().floatForKey(QLatin1String(TAMessageFontSizeKey));
}

quint32 RTMessageTextParser::messageMainTextColor()
{
    return kBlack;
}

quint32 RTMessageTextParser::messageSeenTextColor()
{
    return kSeenGrey;
}

quint32 RTMessageTextParser::messageHighlightTextColor()
{
    return kBlack;
}

quint32 RTMessageTextParser::messageSeenHighlightTextColor()
{
    return kSeenGrey;
}

quint32 RTMessageTextParser::messageUnderlineTextColor()
{
    return kClear;
}

quint32 RTMessageTextParser::messageStrokeTextColor()
{
    return kClear;
}

RTTextAttributes RTMessageTextParser::attributesWithFont(const QString &fontFamily, double fontSize,
                                                         std::optional<quint32> textColor,
                                                         std::optional<quint32> underlineColor,
                                                         std::optional<quint32> strokeColor,
                                                         const QString &link)
{
    RTTextAttributes a;
    a.fontFamily = fontFamily;
    a.fontSize = fontFamily.isEmpty() ? 0 : fontSize;
    a.textColor = textColor;
    a.underlineColor = underlineColor;
    a.strokeColor = strokeColor;
    if (!link.isEmpty()) {
        a.link = link;
        a.textColor = kBlue;
        a.cursor = RTTextCursor::PointingHand;
    }
    return a;
}

RTTextAttributes RTMessageTextParser::messageMainTextAttributes()
{
    return attributesWithFont(messageFont(), messageFontSize(), kBlack, std::nullopt, std::nullopt,
                              QString());
}

RTTextAttributes RTMessageTextParser::messageSeenTextAttributes()
{
    return attributesWithFont(messageFont(), messageFontSize(), kSeenGrey, std::nullopt,
                              std::nullopt, QString());
}

RTTextAttributes RTMessageTextParser::messageLinkTextAttributesWithLink(const QString &url)
{
    return attributesWithFont(messageFont(), messageFontSize(), kLinkColor, kClear, kClear, url);
}

std::optional<RTTextAttributes>
RTMessageTextParser::messageLinkTextAttributesWithLinkString(const QString &link)
{
    const QString escaped = standardScapedOutString(link);
    if (!formsUrl(escaped))
        return std::nullopt;
    return messageLinkTextAttributesWithLink(escaped);
}

RTTextAttributes RTMessageTextParser::messageSeenLinkTextAttributesWithFontSize(double size)
{
    return messageSeenLinkTextAttributedWithLink(QString(), size);
}

RTTextAttributes RTMessageTextParser::messageSeenLinkTextAttributedWithLink(const QString &url,
                                                                            double size)
{
    return attributesWithFont(messageFont(), size > 0 ? size : messageFontSize(), kSeenLinkColor,
                              kClear, kClear, url);
}
