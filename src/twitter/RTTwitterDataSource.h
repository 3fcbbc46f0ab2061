#pragma once

#include "model/RTMessageDataSource.h"
#include "model/RTMessageTwitter.h"
#include "model/RTUserTwitter.h"
#include "json/JsonValue.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <array>

class RTServiceTwitter;

// One user record of a status: a REST user object as sent, or the fields a search result
// carries about its author or addressee, read under the REST names.
struct RTTwitterUserRecord
{
    enum class Form : quint8
    {
        Rest,
        SearchFrom, // "from_user_id", "from_user", "profile_image_url"
        SearchTo,   // "to_user_id", "to_user"
    };

    JsonValue value;
    Form form = Form::Rest;
    QString knownId; // the id's text when the mapping has read it already

    // The field under its REST name ("id", "screen_name", "profile_image_url", ...).
    [[nodiscard]] JsonValue field(std::string_view key) const;
    [[nodiscard]] QString id() const { return knownId.isNull() ? field("id").toString() : knownId; }
    [[nodiscard]] bool isSearch() const { return form != Form::Rest; }
};

// A status of an answer with the members the mapping reads, taken in one pass: an
// answer's objects have dozens of members, and each lookup by name walks them all.
struct RTTwitterStatus
{
    enum Member : quint8
    {
        Id,
        Text,
        CreatedAt,
        Source,
        InReplyToUserId,
        InReplyToStatusId,
        InReplyToScreenName,
        IsoLanguageCode,
        RetweetedStatus,
        User,
        Sender,
        Recipient,
        FromUserId,
        ToUserId,
        MemberCount
    };

    RTTwitterStatus() = default;
    explicit RTTwitterStatus(const JsonValue &status);

    JsonValue value;
    std::array<JsonValue, MemberCount> members;
    QString id;     // the id's text, shared by the message and the store's key
    QString userId; // the text of user.id, the author (the retweeter of a retweet)
    // created_at as the answer's date pattern reads it, once the mapping has read it.
    QDateTime createdAt;
    bool hasReadCreatedAt = false;

    [[nodiscard]] const JsonValue &operator[](Member m) const { return members[m]; }
};

// What the mapping needs of the account, taken on the main thread when a request is
// queued: workers must not read the account's user, which the main thread replaces.
struct RTTwitterMappingContext
{
    QString myUserId;
    // The user's screen name, or the account's service id while the user is unknown.
    QString myScreenName;
    bool isNewlyAdded = false;
    bool showMentionsInHome = false;

    // Main thread only. An empty context for nullptr (the searcher).
    [[nodiscard]] static RTTwitterMappingContext ofAccount(const RTServiceTwitter *account);
};

// A store that Twitter answers merge into: an account, or the shared searcher. Merges run
// on request workers; each store serialises its own merges.
class RTTwitterDataSource : public RTMessageDataSource
{
public:
    using MessageList = QList<RTMessageTwitterPtr>;
    using UserList = QList<RTUserTwitterPtr>;

    // Users of one answer by id, with the date of the status each was taken from.
    // Returns the users new to the store; parsedUsers gets every user of the answer.
    virtual UserList
    mergeExistingUsersWithNewUsers(const QHash<QString, RTTwitterUserRecord> &users,
                                   const QHash<QString, QDateTime> &userUpdateDates,
                                   int requestType, UserList *parsedUsers) = 0;
    // Status records of one answer. Returns the messages new to the store; parsedMessages
    // gets every message of the answer, known ones as stored.
    virtual MessageList mergeExistingMessagesWithNewMessages(const QList<RTTwitterStatus> &statuses,
                                                             int requestType,
                                                             const RTTwitterMappingContext &context,
                                                             MessageList *parsedMessages) = 0;
    // Messages made elsewhere: a known id takes the newcomer's flags, a new one moves here.
    // Returns the stored objects.
    virtual MessageList mergeExistingMessageWithMessageObjects(const MessageList &messages,
                                                               int requestType) = 0;

    [[nodiscard]] virtual RTMessageTwitterPtr twitterMessageWithId(const QString &id) const = 0;
    [[nodiscard]] virtual RTUserTwitterPtr userWithId(const QString &id) const = 0;
    // This store's message with the id and its retweets.
    [[nodiscard]] virtual MessageList repeatedMessagesWithId(const QString &id) const = 0;
    // This store's retweets of the message with the id.
    [[nodiscard]] virtual MessageList retweetsOfMessageWithId(const QString &id) const
    {
        MessageList retweets;
        for (const RTMessageTwitterPtr &copy : repeatedMessagesWithId(id)) {
            if (copy->retweetedStatusId() == id)
                retweets.append(copy);
        }
        return retweets;
    }
    // messagesLike for each message, in order: the stores to look in are found once.
    [[nodiscard]] virtual QList<QList<RTMessagePtr>> messagesLikeEach(const MessageList &messages)
    {
        QList<QList<RTMessagePtr>> out;
        out.reserve(messages.size());
        for (const RTMessageTwitterPtr &message : messages)
            out.append(messagesLike(*message));
        return out;
    }
    // The account behind the store; nullptr for the searcher.
    [[nodiscard]] virtual RTServiceTwitter *twitterAccount() = 0;
};
