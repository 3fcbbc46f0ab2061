#include "twitter/RTTwitterResponseMapper.h"

#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "foundation/RTGlobalVariables.h"
#include "twitter/RTDatedFiltersInterface.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTwitterRequestTypes.h"

#include <QMutex>
#include <QSet>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

using namespace RTTemporaryFlag;
using MessageList = RTTwitterDataSource::MessageList;
using UserList = RTTwitterDataSource::UserList;

// --- user records -------------------------------------------------------------------

JsonValue RTTwitterUserRecord::field(std::string_view key) const
{
    switch (form) {
    case Form::Rest:
        return value.value(key);
    case Form::SearchFrom:
        if (key == "id")
            return value.value("from_user_id");
        if (key == "screen_name")
            return value.value("from_user");
        if (key == "profile_image_url")
            return value.value("profile_image_url");
        return {};
    case Form::SearchTo:
        if (key == "id")
            return value.value("to_user_id");
        if (key == "screen_name")
            return value.value("to_user");
        return {};
    }
    return {};
}

// --- statuses -----------------------------------------------------------------------

RTTwitterStatus::RTTwitterStatus(const JsonValue &status)
    : value(status)
{
    static constexpr std::array<std::string_view, MemberCount> names = {"id",
                                                                        "text",
                                                                        "created_at",
                                                                        "source",
                                                                        "in_reply_to_user_id",
                                                                        "in_reply_to_status_id",
                                                                        "in_reply_to_screen_name",
                                                                        "iso_language_code",
                                                                        "retweeted_status",
                                                                        "user",
                                                                        "sender",
                                                                        "recipient",
                                                                        "from_user_id",
                                                                        "to_user_id"};
    status.values(names, members);
    id = members[Id].toString();
    userId = members[User]["id"].toString();
}

// --- results ------------------------------------------------------------------------

namespace {

template<class T> QVariant listVariant(const QList<T> &list)
{
    return QVariant::fromValue(list);
}

// Text of a string or number; null for anything else (null, absent, objects).
QString text(const JsonValue &v)
{
    return (v.isString() || v.isNumber()) ? v.toString() : QString();
}

qint32 integer(const JsonValue &v)
{
    if (v.isString())
        return v.toString().toInt();
    bool ok = false;
    const qint64 n = v.toInt64(&ok);
    if (ok)
        return qint32(std::clamp<qint64>(n, std::numeric_limits<qint32>::min(),
                                         std::numeric_limits<qint32>::max()));
    // Converting a double outside the range (or NaN) is undefined: clamp it first.
    const double d = v.toDouble();
    if (std::isnan(d))
        return 0;
    return qint32(std::clamp<double>(d, std::numeric_limits<qint32>::min(),
                                     std::numeric_limits<qint32>::max()));
}

// Twitter sends JSON booleans; older answers and the search API sent the text "true".
bool isTrue(const JsonValue &v)
{
    if (v.isBool())
        return v.toBool();
    if (v.isString())
        return v.toString() == QLatin1String("true");
    return false;
}

// "following" counts only as a number or boolean.
bool isNumberTrue(const JsonValue &v)
{
    if (v.isBool())
        return v.toBool();
    if (v.isNumber())
        return v.toDouble() != 0.0;
    return false;
}

bool hasProfileImage(const RTTwitterUserRecord &record)
{
    const JsonValue v = record.field("profile_image_url");
    return v.isString() && !v.utf8View().empty();
}

bool isAsciiSpace(QChar c)
{
    switch (c.unicode()) {
    case ' ':
    case '\t':
    case '\n':
    case '\v':
    case '\f':
    case '\r':
        return true;
    default:
        return false;
    }
}

bool isNameChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_';
}

QStringList plainMentions(const QString &text)
{
    QStringList found;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('@') || (i > 0 && isNameChar(text[i - 1])))
            continue;
        qsizetype end = i + 1;
        while (end < text.size() && isNameChar(text[end]) && end - i <= 20)
            ++end;
        if (end > i + 1 && end - i <= 21)
            found << text.mid(i + 1, end - i - 1);
        i = end - 1;
    }
    return found;
}

QMutex s_mentionsLock;
RTTwitterResponseMapper::MentionsFinder s_mentionsFinder; // under s_mentionsLock

bool isMentioned(const QString &body, const QString &screenName)
{
    if (screenName.isEmpty() || !body.contains(screenName, Qt::CaseInsensitive))
        return false;
    const QStringList mentions = RTTwitterResponseMapper::mentionsInMessageText(body);
    return std::any_of(mentions.cbegin(), mentions.cend(), [&](const QString &m) {
        return m.compare(screenName, Qt::CaseInsensitive) == 0;
    });
}

} // namespace

QVariantMap RTTwitterParseResult::usersDictionary() const
{
    return {{QString::fromLatin1(kRTNewUsersKey), listVariant(newUsers)},
            {QString::fromLatin1(kRTAllRequestUsersKey), listVariant(allUsers)}};
}

QVariantMap RTTwitterParseResult::messagesDictionary() const
{
    return {{QString::fromLatin1(kRTNewMessagesKey), listVariant(newMessages)},
            {QString::fromLatin1(kRTAllRequestMessagesKey), listVariant(allMessages)}};
}

QList<RTMessagePtr> RTTwitterParseResult::allMessagesAsBase() const
{
    return QList<RTMessagePtr>(allMessages.cbegin(), allMessages.cend());
}

// --- parsing ------------------------------------------------------------------------

RTTwitterParseResult RTTwitterResponseMapper::parseMessages(const JsonValue &statuses,
                                                            int requestType,
                                                            RTTwitterDataSource &dataSource,
                                                            const RTTwitterMappingContext *context)
{
    QList<JsonValue> list;
    if (statuses.isArray()) {
        list.reserve(statuses.size());
        for (const JsonValue &status : statuses)
            list.append(status);
    }
    return parseMessages(list, requestType, dataSource, context);
}

RTTwitterMappingContext RTTwitterMappingContext::ofAccount(const RTServiceTwitter *account)
{
    RTTwitterMappingContext context;
    if (!account)
        return context;
    if (const RTUserTwitterPtr me = account->myself()) {
        context.myUserId = me->userId();
        context.myScreenName = me->screenName();
    }
    if (context.myScreenName.isEmpty())
        context.myScreenName = account->serviceId();
    context.isNewlyAdded = account->isNewlyAdded();
    context.showMentionsInHome = account->showMentionsInHome();
    return context;
}

namespace {

// A decimal id as Twitter writes it: digits only, within 64 bits ("1e400" and "x" are not).
bool isNumericId(const JsonValue &v)
{
    if (!v.isNumber() && !v.isString())
        return false;
    const std::string_view digits = v.utf8View();
    if (digits.empty())
        return false;
    quint64 value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return false;
        const auto d = quint64(c - '0');
        if (value > (std::numeric_limits<quint64>::max() - d) / 10)
            return false;
        value = value * 10 + d;
    }
    return true;
}

bool isUserRecord(const JsonValue &v)
{
    return v.isObject() && isNumericId(v["id"]);
}

// A status the mapping can make a message of: a numeric id and the record of its author
// (of the retweeted status too, when there is one).
bool isWellTyped(const RTTwitterStatus &status, int requestType)
{
    using S = RTTwitterStatus;
    if (!status.value.isObject() || !isNumericId(status[S::Id]))
        return false;
    if (requestType == RTTwitterRequestSearch)
        return isNumericId(status[S::FromUserId]);
    const JsonValue &retweeted = status[S::RetweetedStatus];
    if (retweeted.isValid() && !retweeted.isNull() &&
        (!retweeted.isObject() || !isNumericId(retweeted["id"]) ||
         !isUserRecord(retweeted["user"])))
        return false;
    // Direct messages name their author "sender".
    return isUserRecord(status[S::User]) || isUserRecord(status[S::Sender]);
}

} // namespace

RTTwitterParseResult RTTwitterResponseMapper::parseMessages(const QList<JsonValue> &answer,
                                                            int requestType,
                                                            RTTwitterDataSource &dataSource,
                                                            const RTTwitterMappingContext *context)
{
    RTTwitterParseResult result;
    QList<RTTwitterStatus> statuses;
    statuses.reserve(answer.size());
    const RTTwitterDateParser dateParser(RTTwitterDateParser::patternForRequestType(requestType));
    for (const JsonValue &value : answer) {
        RTTwitterStatus status(value);
        if (!isWellTyped(status, requestType))
            continue;
        const JsonValue &created = status[RTTwitterStatus::CreatedAt];
        if (created.isString())
            status.createdAt = dateParser.dateFromUtf8(created.utf8View());
        status.hasReadCreatedAt = true;
        statuses.append(std::move(status));
    }
    if (statuses.size() != answer.size())
        qCWarning(lcTwitter) << "skipped" << answer.size() - statuses.size() << "of"
                             << answer.size()
                             << "statuses without a numeric id or an author, request type"
                             << requestType;
    if (statuses.isEmpty())
        return result;
    result.since = statuses.first().id;

    const bool search = requestType == RTTwitterRequestSearch;

    // The same user may come with several statuses: keep the record of the newest status,
    // or one with a picture over one without.
    QHash<QString, RTTwitterUserRecord> users;
    QHash<QString, QDateTime> dates;
    for (const RTTwitterStatus &status : statuses) {
        if (!status.value.isObject())
            continue;
        const QDateTime &date = status.createdAt;
        const QList<RTTwitterUserRecord> records =
            search ? usersInSearchMessageDictionary(status) : usersInMessageDictionary(status);
        for (const RTTwitterUserRecord &record : records) {
            const QString id = record.id();
            if (id.isEmpty())
                continue;
            auto it = users.find(id);
            if (it == users.end()) {
                users.insert(id, record);
                dates.insert(id, date);
                continue;
            }
            const QDateTime stored = dates.value(id);
            const bool betterPicture = !hasProfileImage(*it) && hasProfileImage(record);
            const bool newer = date.isValid() && (!stored.isValid() || date > stored);
            if (betterPicture || newer) {
                *it = record;
                if (newer)
                    dates.insert(id, date);
            }
        }
    }

    result.newUsers =
        dataSource.mergeExistingUsersWithNewUsers(users, dates, requestType, &result.allUsers);
    result.newMessages = dataSource.mergeExistingMessagesWithNewMessages(
        statuses, requestType,
        context ? *context : RTTwitterMappingContext::ofAccount(dataSource.twitterAccount()),
        &result.allMessages);

    // Copies of a new status elsewhere (other accounts, retweets, the searcher) are
    // repeats, and so is the new one.
    const QList<QList<RTMessagePtr>> likes = dataSource.messagesLikeEach(result.newMessages);
    for (qsizetype i = 0; i < likes.size(); ++i) {
        if (likes[i].isEmpty())
            continue;
        for (const RTMessagePtr &copy : likes[i])
            copy->setTemporaryFlag(IsRepeated);
        result.newMessages[i]->setTemporaryFlag(IsRepeated);
    }

    if (RTDatedFiltersInterface::hasShared() && !result.allMessages.isEmpty())
        RTDatedFiltersInterface::shared().applyDatedFiltersToMessages(result.allMessagesAsBase());
    return result;
}

QList<RTTwitterUserRecord>
RTTwitterResponseMapper::usersInMessageDictionary(const RTTwitterStatus &status)
{
    using S = RTTwitterStatus;
    QList<RTTwitterUserRecord> records;
    if (status[S::User].isObject())
        records.append({status[S::User], RTTwitterUserRecord::Form::Rest, status.userId});
    for (const JsonValue &user :
         {status[S::RetweetedStatus]["user"], status[S::Recipient], status[S::Sender]}) {
        if (user.isObject())
            records.append({user, RTTwitterUserRecord::Form::Rest, {}});
    }
    return records;
}

QList<RTTwitterUserRecord>
RTTwitterResponseMapper::usersInSearchMessageDictionary(const RTTwitterStatus &status)
{
    QList<RTTwitterUserRecord> records;
    if (!status.value.isObject())
        return records;
    records.append({status.value, RTTwitterUserRecord::Form::SearchFrom});
    const JsonValue &to = status[RTTwitterStatus::ToUserId];
    if (to.isValid() && !to.isNull())
        records.append({status.value, RTTwitterUserRecord::Form::SearchTo});
    return records;
}

// --- messages -----------------------------------------------------------------------

RTMessageTwitterPtr RTTwitterResponseMapper::messageWithDictionary(
    const RTTwitterStatus &status, int requestType, RTServiceTwitter *service,
    const RTTwitterMappingContext &context, const UsersById &users,
    const RTTwitterDateParser &dateParser)
{
    using S = RTTwitterStatus;
    const QString &id = status.id;
    if (id.isEmpty())
        return nullptr;
    auto message = RTMessageTwitter::create(id);
    message->setService(service);
    message->setInReplyToUserId(text(status[S::InReplyToUserId]));
    message->setInReplyToMessageId(text(status[S::InReplyToStatusId]));
    message->setInReplyToUserName(text(status[S::InReplyToScreenName]));
    message->setSource(text(status[S::Source]));
    message->setISOLanguageCode(text(status[S::IsoLanguageCode]));
    message->setCreatedAt(status.hasReadCreatedAt
                              ? status.createdAt
                              : dateParser.dateFromString(status[S::CreatedAt].toString()));

    // "retweeted_status": null is an ordinary status.
    const JsonValue &retweeted = status[S::RetweetedStatus];
    if (retweeted.isObject() || requestType == RTTwitterRequestRetweet ||
        requestType == RTTwitterRequestRetweetedByMe ||
        requestType == RTTwitterRequestRetweetedToMe) {
        message->setUserId(text(retweeted["user"]["id"]));
        message->setUser(users.value(message->userId()));
        message->setRetweeter(users.value(status.userId));
        message->setRetweetedStatusId(text(retweeted["id"]));
        message->setBody(preprocessMessageText(retweeted["text"].toString()));
        message->setSource(text(retweeted["source"]));
    } else if (requestType == RTTwitterRequestDirectInbox ||
               requestType == RTTwitterRequestDirectOutbox ||
               requestType == RTTwitterRequestNewDirectMessage) {
        message->setDMRecipient(users.value(text(status[S::Recipient]["id"])));
        message->setUserId(text(status[S::Sender]["id"]));
        message->setUser(users.value(message->userId()));
        message->setBody(preprocessMessageText(status[S::Text].toString()));
    } else {
        message->setUserId(requestType == RTTwitterRequestSearch ? text(status[S::FromUserId])
                                                                 : status.userId);
        message->setUser(users.value(message->userId()));
        message->setBody(preprocessMessageText(status[S::Text].toString()));
    }

    // Old statuses count as read: a new account would otherwise greet the user with
    // hundreds of unread ones.
    if (message->createdAt().isValid()) {
        const qint64 limit = context.isNewlyAdded ? kNewAccountSeenAge : kSeenAge;
        const qint64 age = qAbs(message->createdAt().secsTo(Clock::currentDateTime()));
        if (age >= limit)
            message->setPermanentFlag(RTPermanentFlag::IsSeen);
    }

    message->processBody();
    message->generateSourceName();
    return message;
}

quint32 RTTwitterResponseMapper::temporaryFlagsForMessage(const RTMessageTwitter &message,
                                                          int requestType,
                                                          const RTTwitterStatus &status,
                                                          const RTTwitterMappingContext &context)
{
    using S = RTTwitterStatus;
    quint32 flags = IsFullyDownloaded;
    if (!message.inReplyToMessageId().isEmpty())
        flags |= IsReply;
    if (!context.myUserId.isEmpty() && status.userId == context.myUserId)
        flags |= IsSent;

    switch (requestType) {
    case RTTwitterRequestFriendsTimeline:
    case RTTwitterRequestHomeTimeline: {
        flags |= IsHome;
        if (status[S::RetweetedStatus].isObject())
            flags |= IsRetweet;
        if (isMentioned(message.body(), context.myScreenName))
            flags |= IsMention;
        break;
    }
    case RTTwitterRequestMentions:
        flags |= IsMention;
        if (context.showMentionsInHome)
            flags |= IsHome;
        break;
    case RTTwitterRequestSentTimeline:
    case RTTwitterRequestDestroyDirectMessage:
        flags |= IsSent;
        break;
    case RTTwitterRequestUpdateStatus:
        flags |= IsSent | IsHome;
        break;
    case RTTwitterRequestFavorites:
    case RTTwitterRequestCreateFavorite:
        flags |= IsFavorite;
        break;
    case RTTwitterRequestDirectInbox:
        flags |= IsPrivate;
        break;
    case RTTwitterRequestDirectOutbox:
    case RTTwitterRequestNewDirectMessage:
        flags |= IsPrivate | IsSent;
        break;
    case RTTwitterRequestSearch:
        flags = (flags | IsSearch) & ~IsFullyDownloaded;
        break;
    case RTTwitterRequestListStatuses:
        flags |= IsListed;
        break;
    case RTTwitterRequestRetweet:
    case RTTwitterRequestRetweetedByMe:
        flags |= IsRetweet | IsSent;
        break;
    case RTTwitterRequestRetweetedToMe:
        flags |= IsRetweet;
        break;
    default:
        break;
    }
    return flags;
}

quint32 RTTwitterResponseMapper::permanentFlagsForMessage(const RTMessageTwitter &message,
                                                          int requestType)
{
    quint32 flags = 0;
    if (message.isSent())
        flags |= RTPermanentFlag::IsSeen;
    if (requestType == RTTwitterRequestDestroyStatus ||
        requestType == RTTwitterRequestDestroyDirectMessage)
        flags |= RTPermanentFlag::IsDeleted;
    return flags;
}

QString RTTwitterResponseMapper::preprocessMessageText(const QString &text)
{
    // One pass gives what replacing the first run of two or more white-space characters
    // by one space, until none is left, gives. Most texts need nothing: they are kept.
    const QChar *begin = text.constData();
    const QChar *end = begin + text.size();
    const QChar *p = begin;
    for (; p < end; ++p) {
        if (*p == QLatin1Char('\n') || (isAsciiSpace(*p) && p + 1 < end && isAsciiSpace(p[1])))
            break;
    }
    if (p == end)
        return text;
    QString out(text.size(), Qt::Uninitialized);
    QChar *o = out.data();
    o = std::copy(begin, p, o);
    while (p < end) {
        const QChar c = *p;
        if (!isAsciiSpace(c)) {
            *o++ = c;
            ++p;
            continue;
        }
        const QChar *run = p + 1;
        while (run < end && isAsciiSpace(*run))
            ++run;
        *o++ = (run - p >= 2 || c == QLatin1Char('\n')) ? QLatin1Char(' ') : c;
        p = run;
    }
    out.truncate(o - out.constData());
    return out;
}

QStringList RTTwitterResponseMapper::mentionsInMessageText(const QString &text)
{
    MentionsFinder finder;
    {
        QMutexLocker lock(&s_mentionsLock);
        finder = s_mentionsFinder;
    }
    return finder ? finder(text) : plainMentions(text);
}

void RTTwitterResponseMapper::setMentionsFinder(MentionsFinder finder)
{
    QMutexLocker lock(&s_mentionsLock);
    s_mentionsFinder = std::move(finder);
}

// --- users --------------------------------------------------------------------------

RTUserTwitterPtr RTTwitterResponseMapper::userWithDictionary(const RTTwitterUserRecord &record,
                                                             int requestType,
                                                             RTServiceTwitter *service,
                                                             const QDateTime &date)
{
    auto user = RTUserTwitter::create(record.id());
    if (requestType == RTTwitterRequestMentions || requestType == RTTwitterRequestDirectInbox)
        user->setPriority(1);
    if (record.isSearch()) {
        user->setScreenName(text(record.field("screen_name")));
        user->setProfileImageUrl(text(record.field("profile_image_url")));
        user->setIsPartialUser(true);
        return user;
    }
    updateUserWithDictionary(*user, record, date);
    user->setService(service);
    return user;
}

void RTTwitterResponseMapper::updateUserWithDictionary(RTUserTwitter &user,
                                                       const RTTwitterUserRecord &record,
                                                       const QDateTime &date)
{
    // One pass over the record's forty-odd members rather than one per field.
    enum Field
    {
        CreatedAt,
        Following,
        FavouritesCount,
        Description,
        Verified,
        UtcOffset,
        Notifications,
        ProfileTextColor,
        ProfileImageUrl,
        ProfileBackgroundImageUrl,
        TimeZone,
        Url,
        ScreenName,
        Name,
        ProfileBackgroundTile,
        FollowersCount,
        Protected,
        ProfileBackgroundColor,
        FriendsCount,
        StatusesCount,
        Location,
        ProfileSidebarBorderColor,
        FieldCount
    };
    static constexpr std::array<std::string_view, FieldCount> keys = {
        "created_at",
        "following",
        "favourites_count",
        "description",
        "verified",
        "utc_offset",
        "notifications",
        "profile_text_color",
        "profile_image_url",
        "profile_background_image_url",
        "time_zone",
        "url",
        "screen_name",
        "name",
        "profile_background_tile",
        "followers_count",
        "protected",
        "profile_background_color",
        "friends_count",
        "statuses_count",
        "location",
        "profile_sidebar_border_color"};
    std::array<JsonValue, FieldCount> v;
    record.value.values(keys, v);
    user.setCreatedAt(RTTwitterDateParser().dateFromUtf8(v[CreatedAt].utf8View()));
    user.setFollowing(isNumberTrue(v[Following]));
    user.setFavoriteCount(integer(v[FavouritesCount]));
    user.setDescriptionText(text(v[Description]));
    user.setVerifiedProfile(isTrue(v[Verified]) || isNumberTrue(v[Verified]));
    user.setUtcOffset(text(v[UtcOffset]));
    user.setNotifications(isTrue(v[Notifications]));
    user.setProfileTextColor(text(v[ProfileTextColor]));
    user.setProfileImageUrl(text(v[ProfileImageUrl]));
    user.setProfileBackgroundImageUrl(text(v[ProfileBackgroundImageUrl]));
    user.setUserTimezone(text(v[TimeZone]));
    user.setUrl(text(v[Url]));
    user.setScreenName(text(v[ScreenName]));
    user.setLongName(text(v[Name]));
    user.setProfileBackgroundTile(isTrue(v[ProfileBackgroundTile]));
    user.setFollowersCount(integer(v[FollowersCount]));
    user.setProtectedProfile(isTrue(v[Protected]));
    user.setProfileBackgroundColor(text(v[ProfileBackgroundColor]));
    user.setFollowingCount(integer(v[FriendsCount]));
    user.setMessagesCount(integer(v[StatusesCount]));
    user.setLocation(text(v[Location]));
    user.setProfileSidebarBorderColor(text(v[ProfileSidebarBorderColor]));
    user.setUpdatedAt(date);
}
