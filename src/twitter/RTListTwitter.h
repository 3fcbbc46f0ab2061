#pragma once

#include "foundation/KeyedArchive.h"
#include "model/RTMessage.h"
#include "model/RTUserTwitter.h"
#include "json/JsonValue.h"

#include <QHash>
#include <QMutex>
#include <QPointer>
#include <atomic>
#include <memory>

class RTServiceTwitter;
class RTListTwitter;
using RTListTwitterPtr = std::shared_ptr<RTListTwitter>;

// A Twitter list the account owns or follows, with the messages it delivered. Archived
// with its account (without members, followers and messages, which are fetched again).
class RTListTwitter : public RTArchivable
{
public:
    explicit RTListTwitter(const QString &listId = QString());

    // One list record. The owner is looked up among the account's users, so the users
    // embedded in the records must be merged first (parseUserLists does).
    [[nodiscard]] static RTListTwitterPtr
    listWithDictionary(const JsonValue &record, RTServiceTwitter *service, int requestType);
    // The answer of the own or subscribed lists ("lists" of the body): merges the owners
    // into the account's users, then makes the lists.
    [[nodiscard]] static QList<RTListTwitterPtr>
    parseUserLists(const JsonValue &body, int requestType, RTServiceTwitter &service);
    // The same for list records on their own (the answers of list changes).
    [[nodiscard]] static QList<RTListTwitterPtr>
    parseListRecords(const QList<JsonValue> &records, int requestType, RTServiceTwitter &service);

    [[nodiscard]] QString listId() const { return m_listId; }
    [[nodiscard]] QString fullName() const { return m_fullName; }
    void setFullName(const QString &name) { m_fullName = name; }
    [[nodiscard]] QString slugName() const { return m_slugName; }
    void setSlugName(const QString &name) { m_slugName = name; }
    [[nodiscard]] QString urlPath() const { return m_urlPath; }
    void setUrlPath(const QString &path) { m_urlPath = path; }
    [[nodiscard]] qint32 memberCount() const { return m_memberCount; }
    void setMemberCount(qint32 count) { m_memberCount = count; }
    [[nodiscard]] qint32 subscriberCount() const { return m_subscriberCount; }
    void setSubscriberCount(qint32 count) { m_subscriberCount = count; }
    [[nodiscard]] RTUserTwitterPtr user() const { return m_user; }
    void setUser(const RTUserTwitterPtr &owner) { m_user = owner; }
    [[nodiscard]] QList<RTUserTwitterPtr> members() const { return m_members; }
    void setMembers(const QList<RTUserTwitterPtr> &members) { m_members = members; }
    [[nodiscard]] QList<RTUserTwitterPtr> followers() const { return m_followers; }
    void setFollowers(const QList<RTUserTwitterPtr> &followers) { m_followers = followers; }
    [[nodiscard]] RTServiceTwitter *service() const;
    void setService(RTServiceTwitter *service);
    [[nodiscard]] bool isPrivate() const { return m_isPrivate; }
    void setIsPrivate(bool on) { m_isPrivate = on; }
    [[nodiscard]] bool isMine() const { return m_isMine; }
    void setIsMine(bool on) { m_isMine = on; }
    // A poll of the list is queued or running; set and cleared on the main thread.
    [[nodiscard]] bool isPolling() const { return m_isPolling.load(); }
    void setIsPolling(bool on) { m_isPolling.store(on); }
    [[nodiscard]] bool justArrived() const { return m_justArrived; }
    void setJustArrived(bool on) { m_justArrived = on; }
    [[nodiscard]] bool isEmpty() const { return m_isEmpty; }
    void setIsEmpty(bool empty) { m_isEmpty = empty; }

    // Names, counts, mode and owner of the same list as another answer has it.
    void takeDetailsOf(const RTListTwitter &other);
    // Forgets the messages of a member that left; returns them.
    QList<RTMessagePtr> removeMessagesOfUser(const QString &userId);

    // Every message the list delivered, by id. Added to from request workers.
    void addMessagesToMessagesSet(const QList<RTMessagePtr> &messages);
    [[nodiscard]] QHash<QString, RTMessagePtr> messagesSet() const;

    // Lists of several accounts with the same full name share one section.
    [[nodiscard]] QString identificationString() const { return m_fullName.toLower(); }
    [[nodiscard]] QString description() const;

    [[nodiscard]] QString archiveClassName() const override;
    void encodeWithCoder(KeyedArchiver &coder) const override;
    // The owner comes back as archived; the account swaps in its own user object.
    void decodeWithCoder(const KeyedUnarchiver &coder) override;

private:
    QString m_listId;
    QString m_fullName;
    QString m_slugName;
    QString m_urlPath;
    qint32 m_memberCount = 0;
    qint32 m_subscriberCount = 0;
    RTUserTwitterPtr m_user;
    QList<RTUserTwitterPtr> m_members;
    QList<RTUserTwitterPtr> m_followers;
    QPointer<QObject> m_service;
    bool m_isPrivate = false;
    bool m_isMine = false;
    std::atomic<bool> m_isPolling{false};
    bool m_justArrived = false;
    bool m_isEmpty = false;
    mutable QMutex m_messagesLock;
    QHash<QString, RTMessagePtr> m_messagesSet; // under m_messagesLock
};
