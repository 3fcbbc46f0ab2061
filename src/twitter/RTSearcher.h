#pragma once

#include "store/TASearcherInterface.h"
#include "twitter/RTTwitterDataSource.h"

#include <QHash>
#include <QMutex>
#include <QObject>
#include <functional>
#include <memory>

class OperationQueue;
class QTimer;
class RTSearchTwitter;
class RTServiceRegistry;

// The store of search results that belong to no account (temporary searches), and the
// timer that re-runs the accounts' saved searches, one search per tick.
class RTSearcher : public QObject, public TASearcherInterface, public RTTwitterDataSource
{
    Q_OBJECT
public:
    static constexpr int kTickMilliseconds = 20000;
    static constexpr double kServiceSearchTimeInterval = 300.0;
    // A temporary search open in the main window is re-run after this many seconds.
    static constexpr qint64 kCurrentSearchInterval = 60;

    explicit RTSearcher(RTServiceRegistry &registry, QObject *parent = nullptr);
    ~RTSearcher() override;

    void start() override;
    void stop();
    [[nodiscard]] bool isRunning() const { return m_isRunning; }
    // One tick, at most one search: the temporary search the main window shows when it is
    // due (searchCurrent), else the first saved search of any account that never
    // succeeded or not for the re-run interval. Returns whether one was run.
    bool servicesTimerTick();
    // Runs the window's temporary search on the searcher's queue when it last succeeded
    // more than kCurrentSearchInterval seconds ago (or never); returns whether it did.
    bool searchCurrent();
    // The temporary search the current main window shows alone, if any; the tree layer
    // installs it.
    using CurrentSearchSource = std::function<std::shared_ptr<RTSearchTwitter>()>;
    static void setCurrentSearchSource(CurrentSearchSource source);
    // Created by start(); nullptr before.
    [[nodiscard]] OperationQueue *searchesOperationQueue() const
    {
        return m_searchesOperationQueue.get();
    }
    // Every account refreshes its saved searches.
    void synchornizeSearches();

    UserList mergeExistingUsersWithNewUsers(const QHash<QString, RTTwitterUserRecord> &users,
                                            const QHash<QString, QDateTime> &userUpdateDates,
                                            int requestType, UserList *parsedUsers) override;
    MessageList mergeExistingMessagesWithNewMessages(const QList<RTTwitterStatus> &statuses,
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
    std::unique_ptr<OperationQueue> m_searchesOperationQueue;
    bool m_isRunning = false;
    mutable QMutex m_usersLock;
    mutable QMutex m_messagesLock;
    QHash<QString, RTUserTwitterPtr> m_usersDictionary;       // under m_usersLock
    QHash<QString, RTMessageTwitterPtr> m_messagesDictionary; // under m_messagesLock
};
