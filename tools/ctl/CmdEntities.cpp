#include "CtlCommand.h"

#include "text/RTMessageTextParser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace {

// Records in text order. A link's "text" is the text as it stands in the message; its
// target (with the scheme a "www." match lacks) goes apart under "url".
QJsonArray recordsJson(QList<RTParseRecord> records, const QString &text, const QString &valueName)
{
    std::stable_sort(
        records.begin(), records.end(),
        [](const RTParseRecord &a, const RTParseRecord &b) { return a.location < b.location; });
    QJsonArray out;
    for (const RTParseRecord &r : records) {
        QJsonObject o{{QStringLiteral("location"), qint64(r.location)},
                      {QStringLiteral("length"), qint64(r.length)},
                      {valueName, r.link.isEmpty() ? r.value : text.mid(r.location, r.length)}};
        if (!r.link.isEmpty())
            o.insert(QStringLiteral("url"), r.linkIsValid ? QJsonValue(r.link) : QJsonValue());
        out.append(o);
    }
    return out;
}

} // namespace

// Prints the entities of a message text as JSON, as the message view links them: ranges in
// UTF-16 units of "text" (the message after mistyped protocols are repaired), no mention
// inside an e-mail address or link, no hashtag inside a link.
int cmdEntities(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.isEmpty()) {
        err << "usage: talvoctl entities TEXT\n";
        return 2;
    }
    const QString text = RTMessageTextParser::fixBadProtocolsInMessage(args.join(u' '));
    const QList<RTParseRecord> links = RTMessageTextParser::linksRangesInMessageText(text);
    const QList<RTParseRecord> emails = RTMessageTextParser::emailRangesInMessageText(text);
    const auto outside = [](QList<RTParseRecord> records, const QList<RTParseRecord> &a,
                            const QList<RTParseRecord> &b) {
        records.removeIf([&](const RTParseRecord &r) {
            const auto hits = [&](const RTParseRecord &o) {
                return o.location < r.end() && r.location < o.end();
            };
            return std::any_of(a.begin(), a.end(), hits) || std::any_of(b.begin(), b.end(), hits);
        });
        return records;
    };
    const QJsonObject result{
        {QStringLiteral("text"), text},
        {QStringLiteral("links"), recordsJson(links, text, QStringLiteral("text"))},
        {QStringLiteral("mentions"),
         recordsJson(outside(RTMessageTextParser::mentionRangesInMessageText(text), emails, links),
                     text, QStringLiteral("name"))},
        {QStringLiteral("hashtags"),
         recordsJson(outside(RTMessageTextParser::hashRangesInMessageText(text), links, {}), text,
                     QStringLiteral("hashtag"))},
        {QStringLiteral("emails"), recordsJson(emails, text, QStringLiteral("address"))},
        {QStringLiteral("stockSymbols"),
         recordsJson(RTMessageTextParser::stockSymbolRangesInMessageText(text), text,
                     QStringLiteral("symbol"))},
    };
    out << QJsonDocument(result).toJson(QJsonDocument::Indented);
    return 0;
}
