#pragma once

#include "store/TASearcherInterface.h"
#include "twitter/RTTwitterDataSource.h"

#include <QHash>
#include <QMutex>
#include <QObject>

class QTimer;
class RTServiceRegistry;

// The store of search results that belong to no account (temporary searches), and the
// timer that re-runs the accounts' saved searches, one search per tick.
class RTSearcher : public QObject, public TASearcherInterface, public RTTwitterDataSource
{
    Q_OBJECT
public:
    static constexpr int kTickMilliseconds = 20000;
    static constexpr double kServiceSearchTimeInterval = 300.0;

    explicit RTSearcher(RTServiceRegistry &registry, QObject *parent = nullptr);
    ~RTSearcher() override;

    void start() override;
    void stop();
    [[nodiscard]] bool isRunning() const { return m_isRunning; }
    // One tick: the first saved search of any account that never succeeded or not for
    // the re-run interval is run. Returns whether one was.
    bool servicesTimerTick();
    // Every account refreshes its saved searches.
    void synchornizeSearches();

    UserList mergeExistingUsersWithNewUsers(const QHash<QString, RTTwitterUserRecord> &users,
                                            const QHash<QString, QDateTime> &userUpdateDates,
                                            int requestType, UserList *parsedUsers) override;
    MessageList mergeExistingMessagesWithNewMessages(const QList<JsonValue> &statuses,
                                                     int requestType,
                                                     const RTTwitterMappingContext &context,
                                                     MessageList *parsedMessages) override;
    MessageList mergeExistingMessageWithMessageObjects(const MessageList &messages,
                                                       int requestType) override;
    [[nodiscard]] RTMessageTwitterPtr twitterMessageWithId(const QString &id) const override;
    [[nodiscard]] RTUserTwitterPtr userWithId(const QString &id) const override;
    [[nodiscard]] MessageList repeatedMessagesWithId(const QString &id) const override;
    [[nodiscard]] RTServiceTwitter *twitterAccount() override { return nullptr; }
    [[nodiscard]] QList<std::shared_ptr<RTMessage>> messagesLike(const RTMessage &message) override;
    [[nodiscard]] int messageCount() const;

private:
    RTServiceRegistry &m_registry;
    QTimer *m_timer = nullptr;
    bool m_isRunning = false;
    mutable QMutex m_usersLock;
    mutable QMutex m_messagesLock;
    QHash<QString, RTUserTwitterPtr> m_usersDictionary;       // under m_usersLock
    QHash<QString, RTMessageTwitterPtr> m_messagesDictionary; // under m_messagesLock
};
