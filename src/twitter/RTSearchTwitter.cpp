#include "twitter/RTSearchTwitter.h"

#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTwitterDateParser.h"
#include "twitter/RTTwitterRequestTypes.h"

namespace {
const QString kSearchIdKey = QStringLiteral("searchId");
const QString kSearchNameKey = QStringLiteral("searchName");
const QString kSearchQueryKey = QStringLiteral("searchQuery");
const QString kSinceIdKey = QStringLiteral("sinceId");
const QString kSearchPositionKey = QStringLiteral("searchPosition");
const QString kCreatedAtKey = QStringLiteral("createdAt");

QString text(const JsonValue &v)
{
    return (v.isString() || v.isNumber()) ? v.toString() : QString();
}

QString orNull(const QString &s)
{
    return s.isNull() ? QStringLiteral("(null)") : s;
}
} // namespace

RTSearchTwitterPtr RTSearchTwitter::searchWithTerm(const QString &term)
{
    const QString trimmed = term.trimmed();
    if (trimmed.isEmpty())
        return nullptr;
    auto search = std::make_shared<RTSearchTwitter>();
    search->setSearchName(trimmed);
    search->setSearchQuery(trimmed);
    return search;
}

RTSearchTwitterPtr RTSearchTwitter::searchWithDictionary(const JsonValue &record,
                                                         RTServiceTwitter *service,
                                                         const RTTwitterDateParser &dates)
{
    if (!record.isObject())
        return nullptr;
    auto search = std::make_shared<RTSearchTwitter>();
    search->setSearchId(text(record["id"]));
    search->setSearchName(text(record["name"]));
    search->setSearchQuery(text(record["query"]));
    const JsonValue position = record["position"];
    search->setSearchPosition(position.isString() ? position.toString().toLongLong()
                                                  : position.toInt64());
    search->setCreatedAt(dates.dateFromString(record["created_at"].toString()));
    search->setService(service);
    return search;
}

QList<RTSearchTwitterPtr> RTSearchTwitter::parseSavedSearchesList(const JsonValue &body,
                                                                  RTServiceTwitter *service)
{
    QList<RTSearchTwitterPtr> searches;
    const RTTwitterDateParser dates;
    for (const JsonValue &record : body) {
        if (RTSearchTwitterPtr search = searchWithDictionary(record, service, dates))
            searches.append(search);
    }
    return searches;
}

RTSearchTwitterPtr RTSearchTwitter::parseSearch(const JsonValue &body, int requestType,
                                                RTServiceTwitter *service,
                                                const RTSearchTwitter *sent)
{
    RTSearchTwitterPtr search = searchWithDictionary(body, service, RTTwitterDateParser());
    if (search && sent && requestType == RTTwitterRequestCreateSavedSearch)
        search->setSinceId(sent->sinceId());
    return search;
}

RTServiceTwitter *RTSearchTwitter::service() const
{
    return qobject_cast<RTServiceTwitter *>(m_service.data());
}

void RTSearchTwitter::setService(RTServiceTwitter *service)
{
    m_service = service;
}

void RTSearchTwitter::addMessagesToMessagesSet(const QList<RTMessagePtr> &messages)
{
    QMutexLocker lock(&m_messagesLock);
    for (const RTMessagePtr &message : messages) {
        if (message)
            m_messagesSet.insert(message->messageId(), message);
    }
}

QHash<QString, RTMessagePtr> RTSearchTwitter::messagesSet() const
{
    QMutexLocker lock(&m_messagesLock);
    return m_messagesSet;
}

QString RTSearchTwitter::description() const
{
    return QStringLiteral("%1\nsearchId: %2\nsearchName: %3\nsearchQuery: %4\nsinceId: "
                          "%5\nsearchPosition: %6\ncreatedAt: %7\n")
        .arg(QString::asprintf("%p", static_cast<const void *>(this)), orNull(m_searchId),
             orNull(m_searchName), orNull(m_searchQuery), orNull(m_sinceId),
             QString::number(m_searchPosition),
             m_createdAt.isValid() ? m_createdAt.toString(Qt::ISODate) : QStringLiteral("(null)"));
}

QString RTSearchTwitter::archiveClassName() const
{
    return QStringLiteral("RTSearchTwitter");
}

void RTSearchTwitter::encodeWithCoder(KeyedArchiver &coder) const
{
    coder.encodeString(kSearchIdKey, m_searchId);
    coder.encodeString(kSearchNameKey, m_searchName);
    coder.encodeString(kSearchQueryKey, m_searchQuery);
    coder.encodeString(kSinceIdKey, m_sinceId);
    coder.encodeInt(kSearchPositionKey, m_searchPosition);
    coder.encodeVariant(kCreatedAtKey, m_createdAt.isValid() ? QVariant(m_createdAt) : QVariant());
}

void RTSearchTwitter::decodeWithCoder(const KeyedUnarchiver &coder)
{
    m_searchId = coder.decodeString(kSearchIdKey, m_searchId);
    m_searchName = coder.decodeString(kSearchNameKey, m_searchName);
    m_searchQuery = coder.decodeString(kSearchQueryKey, m_searchQuery);
    m_sinceId = coder.decodeString(kSinceIdKey, m_sinceId);
    m_searchPosition = coder.decodeInt(kSearchPositionKey, m_searchPosition);
    const QVariant created = coder.decodeVariant(kCreatedAtKey);
    if (created.metaType().id() == QMetaType::QDateTime)
        m_createdAt = created.toDateTime();
    else if (created.isValid())
        coder.fail(QStringLiteral("'%1' is not a date").arg(kCreatedAtKey));
}
