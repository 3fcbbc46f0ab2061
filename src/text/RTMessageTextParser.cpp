#include "text/RTMessageTextParser.h"

#include "text/RTLinkHosts.h"

#include "foundation/RTGlobalVariables.h"
#include "foundation/StringAdditions.h"
#include "text/RTMessageTextPatterns.h"

#include <QMutex>
#include <QUrl>

namespace {

using Match = RTRegex::Match;

const RTMessageTextPatterns &patterns()
{
    return RTMessageTextPatterns::shared();
}

RTParseRecord linkRecord(qsizetype location, const QString &unescaped)
{
    RTParseRecord r;
    r.location = location;
    r.length = unescaped.size();
    r.value = unescaped;
    r.link = standardScapedOutString(unescaped);
    r.linkIsValid = formsUrl(r.link);
    return r;
}

// Texts past the length bound or with lone surrogates never reach the engine as they
// are: the first are not searched, the second get U+FFFD in place (same length).
bool prepare(const QString &text, QString &out)
{
    if (text.size() > RTMessageTextParser::kMaxTextLength)
        return false;
    out = RTRegex::sanitizedText(text);
    return true;
}

QList<RTParseRecord> extract(const QString &text, const RTMessageTextPatterns::Regex &regex,
                             bool removeLeadingChar, RTTextScan &scan)
{
    QList<RTParseRecord> out;
    for (const Match &m : scan.matches(regex, text)) {
        const auto [offset, length] = trimmedSpan(QStringView(text).mid(m.start, m.length), false);
        const qsizetype skip = removeLeadingChar ? 1 : 0;
        if (length <= skip)
            continue;
        RTParseRecord r;
        r.location = m.start + offset;
        r.length = length;
        r.value = text.mid(r.location + skip, length - skip);
        out.append(r);
    }
    return out;
}

QList<RTParseRecord> hashRecords(const QString &text, RTTextScan &scan)
{
    const RTMessageTextPatterns &p = patterns();
    QList<RTParseRecord> out = extract(text, p.hash, false, scan);
    out.removeIf([&](const RTParseRecord &r) {
        // "#1" or "#999" is a number, not a tag; "#2010" is a tag.
        return p.hashNumericOnly->containsMatchIn(r.value) &&
               !p.hashLongNumeric->containsMatchIn(r.value);
    });
    return out;
}

QList<RTParseRecord> linkRecords(const QString &text, const QList<RTParseRecord> &emails,
                                 RTTextScan &scan)
{
    const RTMessageTextPatterns &p = patterns();
    QList<RTParseRecord> out;
    const auto addAll = [&](const RTMessageTextPatterns::Regex &regex) {
        for (const Match &m : scan.matches(regex, text)) {
            const auto [offset, length] =
                trimmedSpan(QStringView(text).mid(m.start, m.length), false);
            if (length > 0)
                out.append(linkRecord(m.start + offset, text.mid(m.start + offset, length)));
        }
    };
    // Bare addresses get "http://" and must not overlap what earlier steps found.
    const RTRangeIndex emailIndex(emails);
    const auto addBare = [&](const RTMessageTextPatterns::Regex &regex, bool whiteSpaceFirst,
                             bool avoidEmails) {
        const RTRangeIndex found(out);
        for (const Match &m : scan.matches(regex, text)) {
            const auto [offset, length] =
                trimmedSpan(QStringView(text).mid(m.start, m.length), whiteSpaceFirst);
            const qsizetype start = m.start + offset;
            if (length <= 0 || found.overlaps(start, length) ||
                (avoidEmails && emailIndex.overlaps(start, length)))
                continue;
            RTParseRecord r =
                linkRecord(start, QStringLiteral("http://") + text.mid(start, length));
            r.length = length;
            out.append(r);
        }
    };
    addAll(p.urlProtocol);
    addAll(p.feed);
    addBare(p.urlWww, false, false);
    addBare(p.urlShortener, true, false);
    addBare(p.specialUrls, true, true);
    return out;
}

QStringList rawMatches(const QString &text, const RTMessageTextPatterns::Regex &regex)
{
    QString clean;
    if (!prepare(text, clean))
        return {};
    RTTextScan scan;
    QStringList out;
    for (const Match &m : scan.matches(regex, clean))
        out.append(clean.mid(m.start, m.length));
    return out;
}

template<typename Fn> QList<RTParseRecord> withPrepared(const QString &text, Fn &&fn)
{
    QString clean;
    if (!prepare(text, clean))
        return {};
    RTTextScan scan;
    return fn(clean, scan);
}

QStringList values(const QList<RTParseRecord> &records)
{
    QStringList out;
    out.reserve(records.size());
    for (const RTParseRecord &r : records)
        out.append(r.value);
    return out;
}

QMutex g_imagerMutex;
std::shared_ptr<const RTImagerSource> g_imagerSource;

} // namespace

QVariantMap RTParseRecord::toVariantMap(const char *valueKey) const
{
    QVariantMap map;
    map.insert(QLatin1String(kRTParseRange), QVariantMap{{QStringLiteral("location"), location},
                                                         {QStringLiteral("length"), length}});
    if (!link.isEmpty()) {
        map.insert(QLatin1String(kRTParseLink), QUrl(link));
        map.insert(QLatin1String(kRTParseLinkUnescaped), value);
    } else {
        map.insert(QLatin1String(valueKey), value);
    }
    return map;
}

QList<RTParseRecord> RTMessageTextParser::rangesInMessageText(const QString &text,
                                                              const RTRegex &regex,
                                                              bool removeLeadingChar)
{
    // The caller keeps ownership of the pattern; borrow it for this one search.
    const std::shared_ptr<const RTRegex> borrowed(&regex, [](const RTRegex *) {});
    return withPrepared(text, [&](const QString &t, RTTextScan &scan) {
        return extract(t, borrowed, removeLeadingChar, scan);
    });
}

QList<RTParseRecord> RTMessageTextParser::linksRangesInMessageText(const QString &text)
{
    return withPrepared(text, [](const QString &t, RTTextScan &scan) {
        const QList<RTParseRecord> emails = extract(t, patterns().email, false, scan);
        return linkRecords(t, emails, scan);
    });
}

QList<RTParseRecord> RTMessageTextParser::emailRangesInMessageText(const QString &text)
{
    return withPrepared(text, [](const QString &t, RTTextScan &scan) {
        return extract(t, patterns().email, false, scan);
    });
}

QList<RTParseRecord> RTMessageTextParser::mentionRangesInMessageText(const QString &text)
{
    return withPrepared(text, [](const QString &t, RTTextScan &scan) {
        return extract(t, patterns().mention, true, scan);
    });
}

QList<RTParseRecord> RTMessageTextParser::hashRangesInMessageText(const QString &text)
{
    return withPrepared(text,
                        [](const QString &t, RTTextScan &scan) { return hashRecords(t, scan); });
}

QList<RTParseRecord> RTMessageTextParser::feedRangesInMessageText(const QString &text)
{
    return withPrepared(text, [](const QString &t, RTTextScan &scan) {
        return extract(t, patterns().feed, false, scan);
    });
}

QList<RTParseRecord> RTMessageTextParser::stockSymbolRangesInMessageText(const QString &text)
{
    return withPrepared(text, [](const QString &t, RTTextScan &scan) {
        QList<RTParseRecord> out;
        for (const Match &m : scan.matches(patterns().quote, t))
            out.append({m.start, m.length, t.mid(m.start, m.length), {}, false});
        return out;
    });
}

QStringList RTMessageTextParser::linksInMessageText(const QString &text)
{
    QStringList out;
    for (const RTParseRecord &r : linksRangesInMessageText(fixBadProtocolsInMessage(text))) {
        if (r.linkIsValid)
            out.append(standardUnscapedString(r.link));
    }
    return out;
}

QStringList RTMessageTextParser::unescapedLinksInMessageText(const QString &text)
{
    return values(linksRangesInMessageText(text));
}

QStringList RTMessageTextParser::mentionsInMessageText(const QString &text)
{
    return values(mentionRangesInMessageText(text));
}

QStringList RTMessageTextParser::screenNamesInMessageText(const QString &text)
{
    return rawMatches(text, patterns().mention);
}

QStringList RTMessageTextParser::hashtagsInMessageText(const QString &text)
{
    return values(hashRangesInMessageText(text));
}

QStringList RTMessageTextParser::stockSymbolsInMessageText(const QString &text)
{
    return rawMatches(text, patterns().quote);
}

QStringList RTMessageTextParser::emailsInMessageText(const QString &text)
{
    return rawMatches(text, patterns().email);
}

QStringList RTMessageTextParser::termsFromString(const QString &text)
{
    return rawMatches(text, patterns().terms);
}

bool RTMessageTextParser::messageTextHasHashTag(const QString &text, const QString &tag)
{
    const QString wanted = tag.toLower();
    for (const QString &hash : hashtagsInMessageText(text)) {
        if (hash.toLower() == wanted)
            return true;
    }
    return false;
}

bool RTMessageTextParser::messageTextHasScreenName(const QString &text, const QString &name)
{
    // The user part of a mention, before any list path, must be the name itself:
    // "@bobby" does not mention "bob".
    const QString wanted = name.startsWith(u'@') ? name.mid(1) : name;
    if (wanted.isEmpty())
        return false;
    for (const QString &mention : mentionsInMessageText(text)) {
        const QStringView user = QStringView(mention).left(mention.indexOf(u'/'));
        if (user.compare(wanted, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString RTMessageTextParser::fixBadProtocolsInMessage(const QString &text)
{
    if (text.isNull())
        return QStringLiteral("");
    QString clean;
    if (!prepare(text, clean))
        return text;
    RTTextScan scan;
    return fixBadProtocols(clean, scan);
}

QString fixBadProtocols(const QString &clean, RTTextScan &scan)
{
    QString out = clean;
    // Every mistyped form contains "tp"; most texts have none and skip all eleven searches.
    if (!out.contains(QLatin1String("tp"), Qt::CaseInsensitive))
        return out;
    const RTMessageTextPatterns &p = patterns();
    for (size_t i = 0; i < p.badProtocol.size(); ++i) {
        if (!p.badProtocol[i])
            continue;
        const QLatin1String bad(RTMessageTextPatterns::kBadProtocolText[i]);
        const QLatin1String good(RTMessageTextPatterns::kBadProtocolReplacement[i]);
        // Each repair lengthens the text; the bound keeps a hostile text from looping long.
        for (int repairs = 0; repairs < 1000; ++repairs) {
            Match m;
            const RTRegex::Status status = p.badProtocol[i]->matchAt(out, 0, m);
            if (status != RTRegex::Status::Ok) {
                scan.failed = true;
                return clean;
            }
            if (m.start < 0)
                break;
            QString part = out.mid(m.start, m.length);
            const QString before = part;
            part.replace(bad, good, Qt::CaseInsensitive);
            if (part == before ||
                out.size() + part.size() - m.length > RTMessageTextParser::kMaxTextLength)
                break;
            out.replace(m.start, m.length, part);
        }
    }
    return out;
}

RTTextEntities findTextEntities(const QString &clean, RTTextScan &scan)
{
    RTTextEntities e;
    e.emails = extract(clean, patterns().email, false, scan);
    e.links = linkRecords(clean, e.emails, scan);
    e.mentions = extract(clean, patterns().mention, true, scan);
    e.hashes = hashRecords(clean, scan);
    return e;
}

std::optional<QList<RTRegex::Match>> RTMessageTextParser::searchForMatchesOf(const QString &pattern,
                                                                             const QString &text)
{
    const std::shared_ptr<const RTRegex> regex = RTRegex::compile(pattern);
    QString clean;
    if (!regex || !prepare(text, clean))
        return std::nullopt;
    RTTextScan scan;
    QList<RTRegex::Match> out = scan.matches(regex, clean);
    if (scan.failed)
        return std::nullopt;
    return out;
}

void RTMessageTextParser::setImagerSource(std::shared_ptr<const RTImagerSource> source)
{
    QMutexLocker lock(&g_imagerMutex);
    g_imagerSource = std::move(source);
}

QList<RTInlineImageInfo> RTMessageTextParser::imagersInMessageText(const QString &text)
{
    std::shared_ptr<const RTImagerSource> source;
    {
        QMutexLocker lock(&g_imagerMutex);
        source = g_imagerSource;
    }
    // Without one of its own, the parser asks the link-host tables.
    if (!source)
        source = RTLinkHosts::imagerSource();
    const QVariantMap table = source->imagers();
    if (table.isEmpty())
        return {};
    QList<RTInlineImageInfo> out;
    for (const QString &link : linksInMessageText(text)) {
        const QString escaped = standardScapedOutString(link);
        const QUrl url(escaped, QUrl::TolerantMode);
        if (!formsUrl(escaped))
            continue;
        const QString path = url.path(QUrl::FullyEncoded);
        // Picture pages have at most one path segment.
        if (path.split(u'/').size() >= 3 || path.size() <= 1)
            continue;
        const QString host = url.host();
        for (auto it = table.cbegin(); it != table.cend(); ++it) {
            if (it.key().isEmpty() || !host.contains(it.key(), Qt::CaseInsensitive))
                continue;
            const QVariantMap record = it.value().toMap();
            RTInlineImageInfo info;
            info.thumbnailURL = record.value(QStringLiteral("thumbnail_url"))
                                    .toString()
                                    .replace(QLatin1String("/[hash]"), path);
            info.inlineImageLink = record.value(QStringLiteral("inline_url"))
                                       .toString()
                                       .replace(QLatin1String("/[hash]"), path);
            if (info.inlineImageLink.isEmpty() && source->isResolvableImageContainer(host))
                info.inlineImageLink = escaped;
            info.standardLink = escaped;
            info.logoName = record.value(QStringLiteral("inline_logo")).toString();
            out.append(info);
        }
    }
    return out;
}
