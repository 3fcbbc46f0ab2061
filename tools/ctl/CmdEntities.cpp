#include "CtlCommand.h"

#include "text/RTMessageTextParser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonArray recordsJson(const QList<RTParseRecord> &records, const QString &valueName)
{
    QJsonArray out;
    for (const RTParseRecord &r : records) {
        QJsonObject o{{QStringLiteral("location"), qint64(r.location)},
                      {QStringLiteral("length"), qint64(r.length)},
                      {valueName, r.value}};
        if (!r.link.isEmpty()) {
            o.insert(QStringLiteral("url"), r.linkIsValid ? QJsonValue(r.link) : QJsonValue());
        }
        out.append(o);
    }
    return out;
}

} // namespace

// Prints the entities of a message text as JSON. Ranges are in UTF-16 units of "text",
// the message after mistyped protocols are repaired (as the message view shows it).
int cmdEntities(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.isEmpty()) {
        err << "usage: talvoctl entities TEXT\n";
        return 2;
    }
    const QString text = RTMessageTextParser::fixBadProtocolsInMessage(args.join(u' '));
    const QJsonObject result{
        {QStringLiteral("text"), text},
        {QStringLiteral("links"),
         recordsJson(RTMessageTextParser::linksRangesInMessageText(text), QStringLiteral("text"))},
        {QStringLiteral("mentions"),
         recordsJson(RTMessageTextParser::mentionRangesInMessageText(text),
                     QStringLiteral("name"))},
        {QStringLiteral("hashtags"), recordsJson(RTMessageTextParser::hashRangesInMessageText(text),
                                                 QStringLiteral("hashtag"))},
        {QStringLiteral("emails"), recordsJson(RTMessageTextParser::emailRangesInMessageText(text),
                                               QStringLiteral("address"))},
        {QStringLiteral("stockSymbols"),
         recordsJson(RTMessageTextParser::stockSymbolRangesInMessageText(text),
                     QStringLiteral("symbol"))},
    };
    out << QJsonDocument(result).toJson(QJsonDocument::Indented);
    return 0;
}
