#include "app/AppcastParser.h"

#include <QLocale>
#include <algorithm>
#include <cstring>
#include <pugixml.hpp>

namespace {

// The part of a qualified name after its prefix: "x:version" -> "version".
const char *localName(const char *name)
{
    const char *colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}

QString text(const char *value)
{
    return QString::fromUtf8(value).trimmed().left(AppcastParser::kMaxFieldChars);
}

QString childText(const pugi::xml_node &item, const char *local)
{
    for (const pugi::xml_node &child : item.children()) {
        if (std::strcmp(localName(child.name()), local) == 0)
            return text(child.child_value());
    }
    return {};
}

QString attribute(const pugi::xml_node &node, const char *local)
{
    for (const pugi::xml_attribute &attr : node.attributes()) {
        if (std::strcmp(localName(attr.name()), local) == 0)
            return text(attr.value());
    }
    return {};
}

QUrl webUrl(const QString &value)
{
    const QUrl url(value, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https"))
        return {};
    return url;
}

QDateTime rssDate(const QString &value)
{
    // RFC 822 dates with English names; the weekday is optional.
    QString s = value;
    if (s.size() > 4 && s.at(3) == u',')
        s = s.mid(4).trimmed();
    const QLocale c = QLocale::c();
    for (const char *format : {"d MMM yyyy HH:mm:ss t", "d MMM yyyy HH:mm:ss"}) {
        QDateTime d = c.toDateTime(s, QLatin1String(format));
        if (d.isValid())
            return d;
    }
    // Numeric zones ("+0000"), which the formats above do not take.
    const qsizetype space = s.lastIndexOf(u' ');
    if (space > 0) {
        const QString zone = s.mid(space + 1);
        QDateTime d = c.toDateTime(s.left(space), QStringLiteral("d MMM yyyy HH:mm:ss"));
        bool ok = false;
        const int hhmm = zone.toInt(&ok);
        if (d.isValid() && ok && zone.size() == 5) {
            d.setOffsetFromUtc((hhmm / 100) * 3600 + (hhmm % 100) * 60);
            return d;
        }
    }
    return {};
}

// A version is a run of tokens: numbers, words and separators.
struct Token
{
    bool number = false;
    qulonglong value = 0;
    QString word;
};

QList<Token> tokens(const QString &version)
{
    QList<Token> out;
    qsizetype i = 0;
    while (i < version.size()) {
        const QChar c = version.at(i);
        if (c.isDigit()) {
            Token t;
            t.number = true;
            while (i < version.size() && version.at(i).isDigit()) {
                // Absurdly long numbers saturate instead of wrapping.
                if (t.value < 1000000000000ULL)
                    t.value = t.value * 10 + qulonglong(version.at(i).digitValue());
                ++i;
            }
            out.append(t);
        } else if (c.isLetter()) {
            Token t;
            while (i < version.size() && version.at(i).isLetter())
                t.word += version.at(i++).toLower();
            out.append(t);
        } else {
            ++i; // separators only split
        }
    }
    return out;
}

} // namespace

int AppcastParser::compareVersions(const QString &a, const QString &b)
{
    const QList<Token> ta = tokens(a);
    const QList<Token> tb = tokens(b);
    const qsizetype n = std::max(ta.size(), tb.size());
    for (qsizetype i = 0; i < n; ++i) {
        const bool hasA = i < ta.size();
        const bool hasB = i < tb.size();
        if (hasA && hasB) {
            const Token &x = ta.at(i);
            const Token &y = tb.at(i);
            if (x.number && y.number) {
                if (x.value != y.value)
                    return x.value < y.value ? -1 : 1;
            } else if (x.number != y.number) {
                // 1.0.1 is newer than 1.0b1: a number after a common prefix beats a word.
                return x.number ? 1 : -1;
            } else if (x.word != y.word) {
                return x.word < y.word ? -1 : 1;
            }
            continue;
        }
        // One ran out: a further word is a pre-release (older), a further non-zero
        // number a later release (newer); zeros change nothing.
        const Token &rest = hasA ? ta.at(i) : tb.at(i);
        const int longerIsNewer = hasA ? 1 : -1;
        if (!rest.number)
            return -longerIsNewer;
        if (rest.value != 0)
            return longerIsNewer;
    }
    return 0;
}

QList<AppcastParser::Item> AppcastParser::parse(const QByteArray &feed, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return QList<Item>();
    };
    if (feed.size() > kMaxFeedBytes)
        return fail(QStringLiteral("the feed is larger than %1 bytes").arg(kMaxFeedBytes));

    pugi::xml_document doc;
    // No document type declarations: entities a feed declares are never expanded.
    const unsigned options = pugi::parse_default & ~pugi::parse_doctype;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(feed.constData(), size_t(feed.size()), options, pugi::encoding_utf8);
    if (!parsed)
        return fail(QStringLiteral("not well-formed XML: %1 at byte %2")
                        .arg(QLatin1String(parsed.description()))
                        .arg(parsed.offset));
    const pugi::xml_node channel = doc.child("rss").child("channel");
    if (!channel)
        return fail(QStringLiteral("not an RSS feed"));

    QList<Item> items;
    for (const pugi::xml_node &node : channel.children("item")) {
        if (items.size() >= kMaxItems)
            break;
        const pugi::xml_node enclosure = node.child("enclosure");
        Item item;
        item.title = childText(node, "title");
        item.version = childText(node, "version");
        if (item.version.isEmpty() && enclosure)
            item.version = attribute(enclosure, "version");
        item.displayVersion = childText(node, "shortVersionString");
        if (item.displayVersion.isEmpty() && enclosure)
            item.displayVersion = attribute(enclosure, "shortVersionString");
        if (item.displayVersion.isEmpty())
            item.displayVersion = item.version;
        item.releaseNotesLink = webUrl(childText(node, "releaseNotesLink"));
        if (item.releaseNotesLink.isEmpty())
            item.releaseNotesLink = webUrl(childText(node, "link"));
        if (enclosure)
            item.downloadUrl = webUrl(attribute(enclosure, "url"));
        item.pubDate = rssDate(childText(node, "pubDate"));
        // A version must hold a digit; anything else cannot be compared.
        if (std::any_of(item.version.cbegin(), item.version.cend(),
                        [](QChar c) { return c.isDigit(); }))
            items.append(item);
    }
    if (error)
        error->clear();
    return items;
}

const AppcastParser::Item *AppcastParser::newest(const QList<Item> &items)
{
    const Item *best = nullptr;
    for (const Item &item : items) {
        if (!best || compareVersions(item.version, best->version) > 0)
            best = &item;
    }
    return best;
}
