#include "twitter/RTListTwitter.h"

#include "model/RTMessageTwitter.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTwitterRequestTypes.h"

#include <algorithm>
#include <limits>

namespace {
QString text(const JsonValue &v)
{
    return (v.isString() || v.isNumber()) ? v.toString() : QString();
}

qint32 integer(const JsonValue &v)
{
    bool ok = false;
    const qint64 n = v.isString() ? v.toString().toLongLong(&ok) : v.toInt64(&ok);
    return ok ? qint32(std::clamp<qint64>(n, 0, std::numeric_limits<qint32>::max())) : 0;
}

QString yesNo(bool on)
{
    return on ? QStringLiteral("YES") : QStringLiteral("NO");
}

QString names(const QList<RTUserTwitterPtr> &users)
{
    QStringList out;
    for (const RTUserTwitterPtr &user : users)
        out << (user ? user->screenName() : QString());
    return QLatin1Char('(') + out.join(QStringLiteral(", ")) + QLatin1Char(')');
}

// The "lists" member of the answer, or the answer itself when it is the array.
JsonValue listRecords(const JsonValue &body)
{
    return body.isArray() ? body : body["lists"];
}
} // namespace

RTListTwitter::RTListTwitter(const QString &listId)
    : m_listId(listId)
{
}

RTListTwitterPtr RTListTwitter::listWithDictionary(const JsonValue &record,
                                                   RTServiceTwitter *service, int requestType)
{
    const QString id = text(record["id"]);
    if (!record.isObject() || id.isEmpty())
        return nullptr;
    auto list = std::make_shared<RTListTwitter>(id);
    list->setFullName(text(record["full_name"]));
    list->setSlugName(text(record["slug"]));
    list->setUrlPath(text(record["uri"]));
    list->setIsPrivate(record["mode"].toString() != QLatin1String("public"));
    list->setMemberCount(integer(record["member_count"]));
    list->setSubscriberCount(integer(record["subscriber_count"]));
    if (service)
        list->setUser(service->userWithId(text(record["user"]["id"])));
    list->setIsMine(requestType == RTTwitterRequestUserLists);
    list->setService(service);
    return list;
}

QList<RTListTwitterPtr> RTListTwitter::parseUserLists(const JsonValue &body, int requestType,
                                                      RTServiceTwitter &service)
{
    QList<JsonValue> records;
    for (const JsonValue &record : listRecords(body))
        records.append(record);
    return parseListRecords(records, requestType, service);
}

QList<RTListTwitterPtr> RTListTwitter::parseListRecords(const QList<JsonValue> &records,
                                                        int requestType, RTServiceTwitter &service)
{
    QHash<QString, RTTwitterUserRecord> owners;
    QHash<QString, QDateTime> dates;
    for (const JsonValue &record : records) {
        const JsonValue owner = record["user"];
        const QString id = text(owner["id"]);
        // The first full record of an owner; later lists of the same owner may carry less.
        if (owner.isObject() && !id.isEmpty() && !owners.contains(id)) {
            owners.insert(id, {owner, RTTwitterUserRecord::Form::Rest});
            dates.insert(id, QDateTime());
        }
    }
    if (!owners.isEmpty())
        (void)service.mergeExistingUsersWithNewUsers(owners, dates, requestType, nullptr);

    QList<RTListTwitterPtr> lists;
    for (const JsonValue &record : records) {
        if (RTListTwitterPtr list = listWithDictionary(record, &service, requestType))
            lists.append(list);
    }
    return lists;
}

void RTListTwitter::takeDetailsOf(const RTListTwitter &other)
{
    m_fullName = other.m_fullName;
    m_slugName = other.m_slugName;
    m_urlPath = other.m_urlPath;
    m_memberCount = other.m_memberCount;
    m_subscriberCount = other.m_subscriberCount;
    m_isPrivate = other.m_isPrivate;
    if (other.m_user)
        m_user = other.m_user;
}

QList<RTMessagePtr> RTListTwitter::removeMessagesOfUser(const QString &userId)
{
    QList<RTMessagePtr> removed;
    QMutexLocker lock(&m_messagesLock);
    for (auto it = m_messagesSet.begin(); it != m_messagesSet.end();) {
        // Their own messages, and what they retweeted into the list.
        const auto tweet = std::dynamic_pointer_cast<RTMessageTwitter>(it.value());
        const bool theirs =
            it.value() && (it.value()->userId() == userId ||
                           (tweet && tweet->retweeter() && tweet->retweeter()->userId() == userId));
        if (theirs) {
            removed.append(it.value());
            it = m_messagesSet.erase(it);
        } else {
            ++it;
        }
    }
    return removed;
}

RTServiceTwitter *RTListTwitter::service() const
{
    return qobject_cast<RTServiceTwitter *>(m_service.data());
}

void RTListTwitter::setService(RTServiceTwitter *service)
{
    m_service = service;
}

void RTListTwitter::addMessagesToMessagesSet(const QList<RTMessagePtr> &messages)
{
    QMutexLocker lock(&m_messagesLock);
    for (const RTMessagePtr &message : messages) {
        if (message)
            m_messagesSet.insert(message->messageId(), message);
    }
}

QHash<QString, RTMessagePtr> RTListTwitter::messagesSet() const
{
    QMutexLocker lock(&m_messagesLock);
    return m_messagesSet;
}

QString RTListTwitter::description() const
{
    return QStringLiteral("%1\nid: %2\nfullname: %3\nslugname: %4\nurl: %5\nisPrivate: "
                          "%6\nisMine: %7\nmemberCount: %8\nsubscriberCount: %9\n")
               .arg(QString::asprintf("%p", static_cast<const void *>(this)), m_listId, m_fullName,
                    m_slugName, m_urlPath, yesNo(m_isPrivate), yesNo(m_isMine),
                    QString::number(m_memberCount), QString::number(m_subscriberCount)) +
           QStringLiteral("username: %1\nmembers: %2\nfollowers: %3")
               .arg(m_user ? m_user->screenName() : QStringLiteral("(null)"), names(m_members),
                    names(m_followers));
}

// --- archive --------------------------------------------------------------------------

namespace {

const QString kListIdKey = QStringLiteral("listId");
const QString kFullNameKey = QStringLiteral("fullName");
const QString kSlugNameKey = QStringLiteral("slugName");
const QString kUrlPathKey = QStringLiteral("urlPath");
const QString kMemberCountKey = QStringLiteral("memberCount");
const QString kSubscriberCountKey = QStringLiteral("subscriberCount");
const QString kUserKey = QStringLiteral("user");
const QString kIsPrivateKey = QStringLiteral("isPrivate");
const QString kIsMineKey = QStringLiteral("isMine");

qint32 clampedCount(qint64 value)
{
    return qint32(std::clamp<qint64>(value, 0, std::numeric_limits<qint32>::max()));
}

} // namespace

QString RTListTwitter::archiveClassName() const
{
    return QStringLiteral("RTListTwitter");
}

void RTListTwitter::encodeWithCoder(KeyedArchiver &coder) const
{
    coder.encodeString(kListIdKey, m_listId);
    coder.encodeString(kFullNameKey, m_fullName);
    coder.encodeString(kSlugNameKey, m_slugName);
    coder.encodeString(kUrlPathKey, m_urlPath);
    coder.encodeInt(kMemberCountKey, m_memberCount);
    coder.encodeInt(kSubscriberCountKey, m_subscriberCount);
    coder.encodeObject(kUserKey, m_user.get());
    coder.encodeBool(kIsPrivateKey, m_isPrivate);
    coder.encodeBool(kIsMineKey, m_isMine);
}

void RTListTwitter::decodeWithCoder(const KeyedUnarchiver &coder)
{
    m_listId = coder.decodeString(kListIdKey, m_listId);
    m_fullName = coder.decodeString(kFullNameKey, m_fullName);
    m_slugName = coder.decodeString(kSlugNameKey, m_slugName);
    m_urlPath = coder.decodeString(kUrlPathKey, m_urlPath);
    m_memberCount = clampedCount(coder.decodeInt(kMemberCountKey, m_memberCount));
    m_subscriberCount = clampedCount(coder.decodeInt(kSubscriberCountKey, m_subscriberCount));
    if (coder.containsValueForKey(kUserKey) && !coder.isNull(kUserKey))
        if (auto owner = coder.decodeObjectOfClass<RTUserTwitter>(kUserKey))
            m_user = RTUserTwitterPtr(std::move(owner));
    m_isPrivate = coder.decodeBool(kIsPrivateKey, m_isPrivate);
    m_isMine = coder.decodeBool(kIsMineKey, m_isMine);
}
