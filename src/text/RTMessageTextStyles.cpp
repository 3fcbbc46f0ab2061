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

// Bolds every literal, case-insensitive occurrence of term. Terms are plain text, never
// patterns: "c++" or "(" must work, and no term can make the search run long.
void boldOccurrences(RTStyledText &message, const QString &term)
{
    if (term.isEmpty())
        return;
    const QString &text = message.text();
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = text.indexOf(term, from, Qt::CaseInsensitive);
        if (at < 0)
            break;
        message.modifyAttributes(at, term.size(), [](RTTextAttributes &a) { a.bold = true; });
        from = at + term.size();
    }
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

    RTStyledText out(fixed, main);
    for (const RTParseRecord &r : links) {
        const std::optional<RTTextAttributes> style =
            r.linkIsValid ? messageLinkTextAttributesWithLinkString(standardUnscapedString(r.link))
                          : std::nullopt;
        out.setAttributes(r.location, r.length, style.value_or(main));
    }
    for (const RTParseRecord &r : emails) {
        const auto style = messageLinkTextAttributesWithLinkString(linkForEmail(r.value));
        out.setAttributes(r.location, r.length, style.value_or(main));
    }
    const auto overlapsAny = [](const QList<RTParseRecord> &records, const RTParseRecord &r) {
        for (const RTParseRecord &o : records) {
            if (o.location < r.end() && r.location < o.end())
                return true;
        }
        return false;
    };
    for (const RTParseRecord &r : found.mentions) {
        if (overlapsAny(emails, r) || overlapsAny(links, r))
            continue;
        out.setAttributes(r.location, r.length,
                          messageLinkTextAttributesWithLink(linkForUser(r.value)));
    }
    for (const RTParseRecord &r : found.hashes) {
        if (overlapsAny(links, r))
            continue;
        out.setAttributes(r.location, r.length,
                          messageLinkTextAttributesWithLink(linkForSearch(r.value)));
    }
    return out;
}

RTStyledText RTMessageTextParser::highlightTermsInAttributeMessage(const RTStyledText &message,
                                                                   const QStringList &terms)
{
    RTStyledText out = message;
    for (const QString &term : terms)
        boldOccurrences(out, term);
    return out;
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
    out.modifyAttributes(0, out.text().size(),
                         [](RTTextAttributes &a) { a.textColor = kSeenGrey; });
    const QList<RTTextRun> runs = out.runs();
    for (const RTTextRun &run : runs) {
        if (!run.attributes.link.isEmpty()) {
            out.setAttributes(run.start, run.length,
                              messageSeenLinkTextAttributedWithLink(run.attributes.link, fontSize));
        }
    }
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
    const QUrl url(escaped, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
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
