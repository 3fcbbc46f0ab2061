#pragma once

#include "accounts/RTPollingObject.h"
#include "accounts/RTService.h"
#include "accounts/RTServiceProtocols.h"
#include "model/RTMessageTwitter.h"
#include "model/RTTwitterAccountActions.h"
#include "model/RTUserTwitter.h"
#include "network/RTRequestOperation.h"
#include "twitter/RTListTwitter.h"
#include "twitter/RTRequestOperationTwitter.h"
#include "twitter/RTSearchTwitter.h"
#include "twitter/RTTwitterDataSource.h"

#include <QHash>
#include <QMutex>
#include <atomic>
#include <optional>

class QTimer;
class RTServiceRegistry;

// A Twitter account: its settings, its own user, and its message and user stores.
//
// The two stores are written by the response mapping on workers: each is replaced or
// merged under its own lock (messagesDictionaryLock(), usersDictionaryLock()); readers
// take the current dictionary, an implicitly shared copy that later merges do not touch.
// The locks are recursive so a merge holding one may still call the accessors.
class RTServiceTwitter : public RTService,
                         public RTMessageReceivingProtocol,
                         public RTSearchingProtocol,
                         public RTMessageSendingProtocol,
                         public RTTwitterDataSource,
                         public RTRequestDelegate,
                         public RTTwitterAccountActions,
                         public std::enable_shared_from_this<RTServiceTwitter>
{
    Q_OBJECT

public:
    using MessagesDictionary = QHash<QString, RTMessageTwitterPtr>;
    using UsersDictionary = QHash<QString, RTUserTwitterPtr>;
    using FlagsDictionary = QHash<QString, quint32>;

    // How many messages' permanent flags an archive keeps.
    static constexpr int kMaxArchivedMessageFlags = 50000;

    Q_INVOKABLE explicit RTServiceTwitter(QObject *parent = nullptr);
    ~RTServiceTwitter() override;

    // --- kind ---------------------------------------------------------------------
    static constexpr int kServiceType = 2;
    [[nodiscard]] int serviceType() const override { return kServiceType; }
    [[nodiscard]] int sortWeight() const override { return 2; }
    [[nodiscard]] QString treeNodeClass() const override
    {
        return QStringLiteral("RTTreeNodeTwitter");
    }
    [[nodiscard]] QString requestOperationClass() const override
    {
        return QStringLiteral("RTRequestOperationTwitter");
    }
    [[nodiscard]] bool includeMessagesInListViewScopeMeasurement() const override { return true; }
    [[nodiscard]] std::shared_ptr<RTMessage> messageWithId(const QString &messageId) const override;
    [[nodiscard]] bool isSearchEnabled() const override { return true; }
    [[nodiscard]] QString directInputServiceName() const override;

    // What the add-account screen shows for this kind.
    [[nodiscard]] static int maxAccountsCount() { return 0; } // no limit
    [[nodiscard]] static QString accountAdditionControllerClass();
    [[nodiscard]] static QString localizedServiceName();
    [[nodiscard]] static QString classServiceImage();
    [[nodiscard]] static QString localizedServiceDesription();

    // --- lifecycle ----------------------------------------------------------------
    // Without an access token the account asks for one instead of starting.
    void start() override;
    void stop() override;
    bool setServicePassword(const QString &password) override;
    // Asks the OAuth exchange for a new access token; announced as accessTokenRequested.
    virtual void requestOAuthToken();

    // --- fields -------------------------------------------------------------------
    [[nodiscard]] RTUserTwitterPtr myself() const { return m_myself; }
    void setMyself(const RTUserTwitterPtr &user);
    [[nodiscard]] RTServicePtr defaultShortener() const { return m_defaultShortener; }
    void setDefaultShortener(const RTServicePtr &shortener) { m_defaultShortener = shortener; }
    [[nodiscard]] RTServicePtr defaultImager() const { return m_defaultImager; }
    void setDefaultImager(const RTServicePtr &imager) { m_defaultImager = imager; }
    // The archive holds copies of the two services above; after the store is restored
    // this swaps in the registered instance with the same id and type.
    void resolveRegisteredServices(const RTServiceRegistry &registry);

    [[nodiscard]] bool shouldPollTwitterLists() const { return m_shouldPollTwitterLists; }
    void setShouldPollTwitterLists(bool on) { m_shouldPollTwitterLists = on; }
    [[nodiscard]] bool showListsNode() const { return m_showListsNode; }
    void setShowListsNode(bool on);
    [[nodiscard]] bool showFavoritesNode() const { return m_showFavoritesNode; }
    void setShowFavoritesNode(bool on);
    [[nodiscard]] bool showSearchesNode() const { return m_showSearchesNode; }
    void setShowSearchesNode(bool on);
    [[nodiscard]] bool showGroupsNode() const { return m_showGroupsNode; }
    void setShowGroupsNode(bool on);
    [[nodiscard]] bool showRetweetsNode() const { return m_showRetweetsNode; }
    void setShowRetweetsNode(bool on);
    [[nodiscard]] bool showCombinedNode() const { return m_showCombinedNode; }
    void setShowCombinedNode(bool on);
    [[nodiscard]] QVariantMap olderTweetPollControl() const { return m_olderTweetPollControl; }
    void setOlderTweetPollControl(const QVariantMap &control) { m_olderTweetPollControl = control; }
    [[nodiscard]] QString homeReferenceMessageId() const { return m_homeReferenceMessageId; }
    void setHomeReferenceMessageId(const QString &id) { m_homeReferenceMessageId = id; }
    [[nodiscard]] QString sentReferenceMessageId() const { return m_sentReferenceMessageId; }
    void setSentReferenceMessageId(const QString &id) { m_sentReferenceMessageId = id; }
    [[nodiscard]] bool showRetweetsInHome() const { return m_showRetweetsInHome; }
    void setShowRetweetsInHome(bool on);
    [[nodiscard]] bool showSentInHome() const { return m_showSentInHome; }
    void setShowSentInHome(bool on);
    [[nodiscard]] bool showMentionsInHome() const { return m_showMentionsInHome; }
    void setShowMentionsInHome(bool on);

    // --- stores -------------------------------------------------------------------
    [[nodiscard]] QRecursiveMutex &messagesDictionaryLock() const
    {
        return m_messagesDictionaryLock;
    }
    [[nodiscard]] QRecursiveMutex &usersDictionaryLock() const { return m_usersDictionaryLock; }
    [[nodiscard]] MessagesDictionary messagesDictionary() const;
    void setMessagesDictionary(const MessagesDictionary &messages);
    [[nodiscard]] UsersDictionary usersDictionary() const;
    void setUsersDictionary(const UsersDictionary &users);
    // Users offered for mention completion; unset until an archive or the app sets it.
    [[nodiscard]] std::optional<UsersDictionary> autocompleteUsers() const;
    void setAutocompleteUsers(const std::optional<UsersDictionary> &users);
    // Stored permanent flag words by message id; unset until loaded from an archive.
    [[nodiscard]] std::optional<FlagsDictionary> permanentMessageFlags() const;
    void setPermanentMessageFlags(const std::optional<FlagsDictionary> &flags);

    // The words an archive keeps: those of the newest kMaxArchivedMessageFlags messages
    // by creation date, so the state of what the timelines bring back survives.
    // Stored words of messages not fetched again since the start fill the remaining room,
    // largest ids first, so saving before the timelines arrive loses no read state.
    [[nodiscard]] static FlagsDictionary
    newestPermanentFlags(const MessagesDictionary &messages,
                         const std::optional<FlagsDictionary> &stored = std::nullopt,
                         int maxCount = kMaxArchivedMessageFlags);

    // --- archive ------------------------------------------------------------------
    void encodeWithCoder(KeyedArchiver &coder) const override;
    void decodeWithCoder(const KeyedUnarchiver &coder) override;

signals:
    void accessTokenRequested();
    void myselfChanged();
    void showNodesChanged();
    void homeContentsChanged();
    void listsArrayChanged();
    void savedSearchesArrayChanged();
    void messagesDictionaryChanged();
    void usersDictionaryChanged();
    // --- requests ---
    // Every answer, after the account's own reaction: the poll sequence, the rate-limit
    // adaptation and the list views follow it.
    void requestFinished(const QVariantMap &result, bool success);

private:
    // The stores messagesLike looks in: this one first, the other accounts, the searcher.
    struct RepeatStores
    {
        QList<RTTwitterDataSource *> stores;
        RTTwitterDataSource *searcher = nullptr;
    };
    [[nodiscard]] RepeatStores repeatStores();
    [[nodiscard]] QList<RTMessagePtr> messagesLike(const RTMessage &message,
                                                   const RepeatStores &where) const;
    void applyMessageFontSize();
    void decodeLegacyFlagSets(const KeyedUnarchiver &coder);

    RTUserTwitterPtr m_myself;
    RTServicePtr m_defaultShortener;
    RTServicePtr m_defaultImager;
    bool m_shouldPollTwitterLists = true;
    bool m_showListsNode = true;
    bool m_showFavoritesNode = false;
    bool m_showSearchesNode = true;
    bool m_showGroupsNode = false;
    bool m_showRetweetsNode = false;
    bool m_showCombinedNode = false;
    QVariantMap m_olderTweetPollControl;
    mutable QRecursiveMutex m_usersDictionaryLock;
    mutable QRecursiveMutex m_messagesDictionaryLock;
    UsersDictionary m_usersDictionary;
    std::optional<UsersDictionary> m_autocompleteUsers;
    MessagesDictionary m_messagesDictionary;
    std::optional<FlagsDictionary> m_permanentMessageFlags; // under m_messagesDictionaryLock
    // A process-unique value that moves on whenever the messages dictionary or the stored
    // flags change (under the messages lock); with the messages' own flag generation it
    // tells whether the archived flags can have changed.
    std::atomic<quint64> m_messagesGeneration;
    void messagesChanged();
    QString m_homeReferenceMessageId;
    QString m_sentReferenceMessageId;
    bool m_showRetweetsInHome = true;
    bool m_showSentInHome = true;
    bool m_showMentionsInHome = true;

    // --- requests ---
public:
    // The account's calls of the Twitter API (RTServiceTwitterRequests.cpp). Each queues
    // one RTRequestOperationTwitter; "account" answers come to serviceRequestSuccess() and
    // serviceRequestFailure() once, other delegates get them as well.
    void pollTimelineSince(const QString &since, const QVariant &pollObject, qint32 requestType,
                           const QVariantMap &userInfo);
    void getHomeTimelineMessagesSince(const QString &since);
    void getHomeTimelineMessagesSince(const QString &since, const QVariant &pollObject,
                                      const QVariantMap &userInfo);
    void getHomeTimelineForUserId(const QString &userId, const QString &since,
                                  const RTRequestDelegatePtr &delegate);
    void getRetweetsToMeSince(const QString &since);
    void getRetweetsByMeSince(const QString &since);
    // One older page below maxId, once at a time per request type.
    // Returns whether a page is on its way (queued now or already running).
    bool pollForOlderTweetsOfRequestType(qint32 requestType, const QString &maxId,
                                         const RTRequestDelegatePtr &callingTreeNode);
    void pollList(const RTListTwitterPtr &list);
    void pollList(const RTListTwitterPtr &list, const QVariant &pollingObject,
                  const QVariantMap &userInfo);
    // Whether a page was queued: not while the list is polling.
    bool pollList(const RTListTwitterPtr &list, const QString &maxId,
                  const RTRequestDelegatePtr &callingTreeNode);
    void getUserLists();
    void getSubscribedLists();
    void synchronizeLists();
    static void getTrendsWithDelegate(const RTRequestDelegatePtr &delegate);
    // delegate: also told how the post ended (the compose line keeps a failed text).
    void sendStatus(const QString &status, const QString &replyStatusId,
                    const RTRequestDelegatePtr &delegate = nullptr);
    void sendDirectMessageWithText(const QString &text, const QString &recipient,
                                   const RTRequestDelegatePtr &delegate = nullptr);
    void deleteMessage(const RTMessageTwitterPtr &message);
    void retweetWithMessage(const RTMessageTwitterPtr &message) override;
    void favoriteCreateWithMessage(const RTMessageTwitterPtr &message) override;
    void favoriteDestroyWithMessage(const RTMessageTwitterPtr &message) override;
    void createFriendshipWithUser(const RTUserTwitterPtr &user) override;
    void createFriendshipWithScreenName(const QString &screenName,
                                        const RTRequestDelegatePtr &delegate);
    void destroyFriendshipWithUser(const RTUserTwitterPtr &user) override;
    void verifyFriendshipWithUser(const RTUserTwitterPtr &user,
                                  const RTRequestDelegatePtr &delegate);
    void verifyFriendshipWithScreenName(const QString &screenName,
                                        const RTRequestDelegatePtr &delegate);
    void getFriendshipInfoWithUser(const RTUserTwitterPtr &user,
                                   const RTRequestDelegatePtr &delegate, const QVariant &extraData);
    void updateUser(const RTUserTwitterPtr &user);
    void updateMyUserWithDelegate(const RTRequestDelegatePtr &delegate);
    void blockUser(const RTUserTwitterPtr &user);
    void reportSpam(const RTUserTwitterPtr &user);
    void savedSearchesCreateWithObject(const QVariant &searchObject, const QString &searchName,
                                       const QVariant &existingMessages);
    void savedSearchesDestroyWithObject(const QString &searchId);
    // Lists: each answers whether a request was queued. Only the owner changes a list
    // or its members; only others' lists are subscribed to. Answers come back through
    // dealWithListChange().
    bool createListWithName(const QString &name, bool isPrivate, const QString &description);
    bool updateList(const RTListTwitterPtr &list, const QString &name, bool isPrivate,
                    const QString &description);
    bool destroyList(const RTListTwitterPtr &list);
    bool getMembersOfList(const RTListTwitterPtr &list, const RTRequestDelegatePtr &delegate);
    bool addMemberToList(const RTListTwitterPtr &list, const QString &screenName);
    bool removeMemberFromList(const RTListTwitterPtr &list, const QString &screenName);
    bool subscribeToList(const RTListTwitterPtr &list);
    bool unsubscribeFromList(const RTListTwitterPtr &list);
    // Why a list name would be refused, or an empty text.
    [[nodiscard]] static QString listNameProblem(const QString &name);
    // "@name" or "name" as Twitter spells screen names; empty when it cannot be one.
    [[nodiscard]] static QString normalizedScreenName(const QString &screenName);
    [[nodiscard]] RTListTwitterPtr listWithId(const QString &listId) const;
    // On the main thread, after a list request succeeded: the account's lists follow.
    void dealWithListChange(const QVariantMap &result, qint32 requestType);
    // A search request of this account with the search as delegate.
    RTRequestOperationPtr queueSearchRequest(const RTSearchTwitterPtr &search,
                                             const QVariantMap &userInfo, int operationType);
    // Keeps the lists of an answer of own (40) or subscribed (41) lists: new ones are
    // appended (and polled at once when lists are polled), those of the same kind that
    // the answer no longer holds are removed.
    void dealWithLists(const QList<RTListTwitterPtr> &lists, qint32 requestType);
    // Keeps the saved searches of an answer: new ids appended, absent ones removed.
    void addSavedSearchesListWithSeachesArray(const QList<RTSearchTwitterPtr> &searches,
                                              qint32 requestType);
    // A search just saved keeps what its temporary search had found (a list of messages).
    void adoptSavedSearchMessages(const QString &searchId, const QVariant &existingMessages);
    // jpegData: the picture already encoded (quality 90). Too large a picture is refused
    // with an alert; returns whether a request was queued.
    bool updateProfileImageWithImage(const QByteArray &jpegData,
                                     const RTRequestDelegatePtr &delegate,
                                     QObject *progressIndicator);
    // The stored message when it is complete; otherwise nullptr, and the status is
    // fetched for sender.
    RTMessageTwitterPtr messageWithId(const QString &messageId, const QVariantMap &userInfo,
                                      const RTRequestDelegatePtr &sender);
    // The xAuth exchange with the stored password; delegate null: the account itself.
    void requestOAuthTokenWithDelegate(const RTRequestDelegatePtr &delegate);

    // Reactions to answers, on the main thread.
    void serviceRequestSuccess(const QVariantMap &result) override;
    // The sound and the pop-ups for messages just received by a request of requestType.
    void addSoundAlerts(const QList<RTMessageTwitterPtr> &messages, qint32 requestType);
    void showPopupNotificationsForRecievedMessages(const QList<RTMessageTwitterPtr> &messages,
                                                   qint32 requestType);
    void serviceRequestFailure(const QVariantMap &result) override;
    OperationQueue *willAddOperation(RTRequestOperation &operation, OperationQueue *queue,
                                     const QVariantMap &userInfo) override;

    static constexpr qint64 kMaxProfileImageBytes = 716800;
    // Lists are fetched again after a missing list at most this often (seconds) when no
    // lists polling object says otherwise.
    static constexpr double kListsResyncInterval = 900.0;
    // Token retries give up after this many failures while the account is stopped.
    static constexpr qint32 kMaxStoppedTokenRetries = 3;

protected:
    // Seams the tests replace: queueing a request and running something later.
    virtual RTRequestOperationPtr queueRequest(qint32 requestType, RTRequestDelegatePtr delegate,
                                               const QVariantMap &parameters,
                                               const QVariantMap &userInfo, int operationType);
    virtual void performAfterDelay(double seconds, std::function<void()> action);

private:
    void reactToFailure(const QVariantMap &result);
    void forgetListMember(const RTListTwitterPtr &list, const QString &screenName);
    // Re-evaluates messages once the nodes of sections this answer adds exist.
    void offerToNewNodes(const QList<RTMessagePtr> &messages, qint32 requestType);
    QDateTime m_lastListsResync;

    // --- merge ---
public:
    // Answers merge into copies of the two stores under their locks (users first, then
    // messages, never both at once) that then replace the stores.
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
    [[nodiscard]] MessageList retweetsOfMessageWithId(const QString &id) const override;
    [[nodiscard]] RTServiceTwitter *twitterAccount() override { return this; }
    // Copies of the message held elsewhere: the retweeted status in every account, the
    // same id in the other accounts, retweets of it anywhere, the searcher's copy.
    [[nodiscard]] QList<std::shared_ptr<RTMessage>> messagesLike(const RTMessage &message) override;
    [[nodiscard]] QList<QList<RTMessagePtr>> messagesLikeEach(const MessageList &messages) override;
    // After a Home or Sent answer (main thread): the smallest status id of the answer
    // becomes the reference id when it is older, announced when the loop is idle.
    void updateReferenceMessageIds(int requestType, const MessageList &allMessages);

private:
    // Retweets by the id they retweet, so looking up copies does not scan the store.
    // Rebuilt when the store was replaced other than by a merge. Under the messages lock.
    [[nodiscard]] const QHash<QString, MessageList> &retweetIndex() const;
    mutable QHash<QString, MessageList> m_retweetsByStatusId;
    mutable quint64 m_indexedGeneration = 0; // 0: not built
    // Indexes the messages a merge added and announces the grown store.
    void storeMerged(const MessageList &fresh);

    // --- polling ---
public:
    // Request types that exist only for polling: groups of lists polled together.
    static constexpr qint32 kOwnPublicListsGroup = 5001;
    static constexpr qint32 kSubscribedListsGroup = 5002;
    static constexpr qint32 kOwnPrivateListsGroup = 5003;
    static constexpr double kServiceTimerInterval = 30.0;
    // The service timer is first armed this long after start, whatever the sequence does.
    static constexpr double kStartTimersDelay = 20.0;

    [[nodiscard]] QList<RTListTwitterPtr> listsArray() const { return m_listsArray; }
    void setListsArray(const QList<RTListTwitterPtr> &lists);
    [[nodiscard]] QList<RTSearchTwitterPtr> savedSearchesArray() const
    {
        return m_savedSearchesArray;
    }
    void setSavedSearchesArray(const QList<RTSearchTwitterPtr> &searches);

    [[nodiscard]] QList<RTPollingObjectPtr> pollingObjects() const { return m_pollingObjects; }
    // Stacks: the next poll to run is the last element.
    [[nodiscard]] QList<RTPollingObjectPtr> startupPollSequence() const
    {
        return m_startupPollSequence;
    }
    [[nodiscard]] QList<RTPollingObjectPtr> refreshPollSequence() const
    {
        return m_refreshPollSequence;
    }
    [[nodiscard]] RTPollingObjectPtr pollingObjectForRequestType(qint32 requestType) const;
    [[nodiscard]] bool timelinesPollingTimerIsActive() const;

    // The polling part of start(): own user, polling objects, startup sequence, timer.
    void startPolling();
    void setupPollingObjects();
    // Polls the first polling object; each answer of the account then runs the next.
    void createStartupPollSequence();
    // label: where it was armed from, for the log only.
    void startTimers(const QString &label);
    // The service timer's tick: every polling object checks whether it is due.
    void pollTimelines();
    void invalidateAllTimers();
    // After every answer of the account, success or failure.
    void processPollSequenceWithResultsDictionary(const QVariantMap &result);
    // Reload-all: searches, then lists, then every timeline, one after another. Nothing
    // happens while a refresh is still running.
    void refreshTimelines();
    void refreshSearches();
    void refreshLists();
    [[nodiscard]] QList<RTPollingObjectPtr> inmediatePollObjectsForSearches();
    [[nodiscard]] QList<RTPollingObjectPtr> inmediatePollObjectsForLists();
    // The list-group call: polls the lists of the group, skipping (once) those that
    // arrived moments ago.
    void pollListSince(const QString &since, qint32 requestType);
    void pollListsInArray(const QList<RTListTwitterPtr> &lists);
    // Adapts the intervals of the busy timelines to the remaining API allowance.
    void updateTimeIntervalsWithApiLimit(qint64 limit);
    void reloadListWithRequestType(qint32 requestType);

private:
    void updatePollingActivity();
    void pollingRequestFinished(const QVariantMap &result, bool success);
    void runNextRefreshPoll();
    void pollSearch(const RTSearchTwitterPtr &search, const QVariant &pollingObject,
                    const QVariantMap &userInfo);

    QList<RTPollingObjectPtr> m_pollingObjects;
    QList<RTPollingObjectPtr> m_startupPollSequence;
    QList<RTPollingObjectPtr> m_refreshPollSequence;
    QTimer *m_timelinesPollingTimer = nullptr;
    QList<RTListTwitterPtr> m_listsArray;
    QList<RTSearchTwitterPtr> m_savedSearchesArray;
};

using RTServiceTwitterPtr = std::shared_ptr<RTServiceTwitter>;
