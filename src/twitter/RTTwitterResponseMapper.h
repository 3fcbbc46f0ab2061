#pragma once

#include "twitter/RTTwitterDataSource.h"
#include "twitter/RTTwitterDateParser.h"

#include <QStringList>
#include <QVariantMap>
#include <functional>

class RTServiceTwitter;

// What one status array of an answer became.
struct RTTwitterParseResult
{
    RTTwitterDataSource::MessageList newMessages;
    RTTwitterDataSource::MessageList allMessages;
    RTTwitterDataSource::UserList newUsers;
    RTTwitterDataSource::UserList allUsers;
    // The first status's id, the next poll's since value; null for an empty array.
    QString since;

    // The operation's users and messages dictionaries (kRTNewUsersKey, ...), holding
    // QList<RTUserTwitterPtr> and QList<RTMessageTwitterPtr>.
    [[nodiscard]] QVariantMap usersDictionary() const;
    [[nodiscard]] QVariantMap messagesDictionary() const;
    // allMessages as the node manager takes them.
    [[nodiscard]] QList<RTMessagePtr> allMessagesAsBase() const;
};

// Turns Twitter status and user records into messages and users and merges them into a
// store. Everything here runs on request workers.
class RTTwitterResponseMapper
{
public:
    // Parses and merges one array of status records into dataSource: users first, then
    // messages; marks repeats across stores and runs the dated filters.
    // Workers pass the context their request took when it was queued; without one the
    // account's is read here, which only the main thread may do.
    static RTTwitterParseResult parseMessages(const QList<JsonValue> &statuses, int requestType,
                                              RTTwitterDataSource &dataSource,
                                              const RTTwitterMappingContext *context = nullptr);
    // The same for a JSON array value (anything else gives an empty result).
    static RTTwitterParseResult parseMessages(const JsonValue &statuses, int requestType,
                                              RTTwitterDataSource &dataSource,
                                              const RTTwitterMappingContext *context = nullptr);

    using UsersById = QHash<QString, RTUserTwitterPtr>;

    // A new message from a status record, or nullptr when it has no id. Users are looked
    // up in users, the store's users as the user merge has just left them (a snapshot, so
    // no users lock is held while the messages lock is).
    [[nodiscard]] static RTMessageTwitterPtr
    messageWithDictionary(const RTTwitterStatus &status, int requestType, RTServiceTwitter *service,
                          const RTTwitterMappingContext &context, const UsersById &users,
                          const RTTwitterDateParser &dateParser);

    // The flag bits the request gives a message (new or stored) it brought.
    [[nodiscard]] static quint32 temporaryFlagsForMessage(const RTMessageTwitter &message,
                                                          int requestType,
                                                          const RTTwitterStatus &status,
                                                          const RTTwitterMappingContext &context);
    [[nodiscard]] static quint32 permanentFlagsForMessage(const RTMessageTwitter &message,
                                                          int requestType);

    // Line feeds become spaces and every run of white space one space.
    [[nodiscard]] static QString preprocessMessageText(const QString &text);

    // The user records of one status, in the order they are taken.
    [[nodiscard]] static QList<RTTwitterUserRecord>
    usersInMessageDictionary(const RTTwitterStatus &status);
    [[nodiscard]] static QList<RTTwitterUserRecord>
    usersInSearchMessageDictionary(const RTTwitterStatus &status);

    [[nodiscard]] static RTUserTwitterPtr userWithDictionary(const RTTwitterUserRecord &record,
                                                             int requestType,
                                                             RTServiceTwitter *service,
                                                             const QDateTime &date);
    static void updateUserWithDictionary(RTUserTwitter &user, const RTTwitterUserRecord &record,
                                         const QDateTime &date);

    // The mention finder of the message text parser; the text layer installs it. Until
    // then a plain "@name" scan stands in.
    using MentionsFinder = std::function<QStringList(const QString &)>;
    static void setMentionsFinder(MentionsFinder finder);
    [[nodiscard]] static QStringList mentionsInMessageText(const QString &text);

    // Seconds from now beyond which an arriving message counts as read.
    static constexpr qint64 kNewAccountSeenAge = 2 * 24 * 3600;
    static constexpr qint64 kSeenAge = 7 * 24 * 3600;
};
