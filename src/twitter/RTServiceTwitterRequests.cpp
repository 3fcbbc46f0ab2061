// The Twitter account's API calls and its reactions to their answers.
#include "twitter/RTServiceTwitter.h"

#include "accounts/RTServiceRegistry.h"
#include "foundation/Clock.h"
#include "foundation/Localization.h"
#include "foundation/Log.h"
#include "foundation/RTGlobalVariables.h"
#include "network/RTServiceRequests.h"
#include "network/RTXAuthExchange.h"
#include "platform/Alerts.h"
#include "platform/DesktopApplication.h"
#include "twitter/RTReceivedMessageAlertsInterface.h"
#include "twitter/RTRequestOperationTwitterLists.h"
#include "twitter/RTSearchTwitter.h"

#include <QTimer>

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

constexpr int kPriorityLow = Operation::QueuePriorityLow;
constexpr int kPriorityHigh = Operation::QueuePriorityHigh;
constexpr int kPriorityVeryHigh = Operation::QueuePriorityVeryHigh;

QVariantMap withPriority(QVariantMap userInfo, int priority)
{
    userInfo.insert(key(kRTQueuePriorityKey), priority);
    return userInfo;
}

// Form fields up to the first absent value: a status without a reply id carries only
// "status".
QVariantMap formFields(std::initializer_list<std::pair<const char *, QString>> fields)
{
    QVariantMap form;
    for (const auto &[name, value] : fields) {
        if (value.isNull())
            break;
        form.insert(QString::fromLatin1(name), value);
    }
    return form;
}

QString olderTweetsKey(qint32 requestType)
{
    return QStringLiteral("REQ:%1").arg(requestType);
}

} // namespace

// --- seams ---------------------------------------------------------------------------

RTRequestOperationPtr RTServiceTwitter::queueRequest(qint32 requestType,
                                                     RTRequestDelegatePtr delegate,
                                                     const QVariantMap &parameters,
                                                     const QVariantMap &userInfo, int operationType)
{
    // Requests hold the account. Accounts restored from the store are owned through their
    // base class, so the registry's pointer stands in when ours is not set.
    RTServicePtr self = weak_from_this().lock();
    if (!self) {
        for (const RTServicePtr &registered : RTServiceRegistry::shared().services()) {
            if (registered.get() == this)
                self = registered;
        }
    }
    if (!self) {
        qCWarning(lcTwitter).noquote() << "request" << requestType << "without an owned account";
        return nullptr;
    }
    return RTServiceRequests::doRequest(
        self, requestType, std::move(delegate), parameters, userInfo, operationType,
        isTwitterListManagementRequest(requestType)
            ? QString::fromLatin1(RTRequestOperationTwitterLists::kClassName)
            : QString());
}

void RTServiceTwitter::performAfterDelay(double seconds, std::function<void()> action)
{
    QTimer::singleShot(qRound(seconds * 1000.0), this, std::move(action));
}

OperationQueue *RTServiceTwitter::willAddOperation(RTRequestOperation &operation,
                                                   OperationQueue *queue,
                                                   const QVariantMap &userInfo)
{
    if (auto *twitter = dynamic_cast<RTRequestOperationTwitter *>(&operation)) {
        const QString since = userInfo.value(key(kRTSinceKey)).toString();
        if (!since.isEmpty())
            twitter->setSince(since);
        twitter->setMappingContext(RTTwitterMappingContext::ofAccount(this));
    }
    return RTSearchTwitter::queueFromUserInfo(userInfo, queue);
}

// --- timelines -----------------------------------------------------------------------

void RTServiceTwitter::pollTimelineSince(const QString &since, const QVariant &pollObject,
                                         qint32 requestType, const QVariantMap &userInfo)
{
    QVariantMap info = userInfo;
    if (!since.isNull())
        info.insert(key(kRTSinceKey), since);
    if (pollObject.isValid())
        info.insert(key(kRTPollingObjectKey), pollObject);
    queueRequest(requestType, nullptr, {}, withPriority(info, kPriorityLow),
                 OperationQueue::ImmediateRequests);
}

void RTServiceTwitter::getHomeTimelineMessagesSince(const QString &since)
{
    getHomeTimelineMessagesSince(since, QVariant(), {});
}

void RTServiceTwitter::getHomeTimelineMessagesSince(const QString &since,
                                                    const QVariant &pollObject,
                                                    const QVariantMap &userInfo)
{
    pollTimelineSince(since, pollObject, RTTwitterRequestHomeTimeline, userInfo);
}

void RTServiceTwitter::getHomeTimelineForUserId(const QString &, const QString &since,
                                                const RTRequestDelegatePtr &delegate)
{
    QVariantMap info;
    if (!since.isNull())
        info.insert(key(kRTSinceKey), since);
    queueRequest(RTTwitterRequestHomeTimeline, delegate, {}, withPriority(info, kPriorityLow),
                 OperationQueue::ImmediateRequests);
}

void RTServiceTwitter::getRetweetsToMeSince(const QString &since)
{
    QVariantMap info;
    if (!since.isNull())
        info.insert(key(kRTSinceKey), since);
    queueRequest(RTTwitterRequestRetweetedToMe, nullptr, {}, withPriority(info, kPriorityLow),
                 OperationQueue::ServiceRequests);
}

void RTServiceTwitter::getRetweetsByMeSince(const QString &since)
{
    QVariantMap info;
    if (!since.isNull())
        info.insert(key(kRTSinceKey), since);
    queueRequest(RTTwitterRequestRetweetedByMe, nullptr, {}, withPriority(info, kPriorityLow),
                 OperationQueue::ServiceRequests);
}

bool RTServiceTwitter::pollForOlderTweetsOfRequestType(qint32 requestType, const QString &maxId,
                                                       const RTRequestDelegatePtr &callingTreeNode)
{
    if (maxId.isEmpty())
        return false;
    const QString controlKey = olderTweetsKey(requestType);
    QVariantMap control = olderTweetPollControl();
    if (control.contains(controlKey))
        return true;
    control.insert(controlKey, QStringLiteral("pollForOlderTweets"));
    setOlderTweetPollControl(control);
    const QVariantMap info{
        {QStringLiteral("max_id"), maxId},
        {QStringLiteral("count"), 50},
        {QStringLiteral("pollForOlderTweets"), controlKey},
    };
    queueRequest(requestType, callingTreeNode, {}, info, OperationQueue::ImmediateRequests);
    return true;
}

// --- lists and trends ----------------------------------------------------------------

void RTServiceTwitter::pollList(const RTListTwitterPtr &list)
{
    pollList(list, QVariant(), QVariantMap());
}

void RTServiceTwitter::pollList(const RTListTwitterPtr &list, const QVariant &pollingObject,
                                const QVariantMap &userInfo)
{
    if (!list || list->isPolling())
        return;
    list->setIsPolling(true);
    QVariantMap info = userInfo;
    info.insert(QStringLiteral("listObject"), QVariant::fromValue(list));
    if (pollingObject.isValid())
        info.insert(key(kRTPollingObjectKey), pollingObject);
    queueRequest(RTTwitterRequestListStatuses, nullptr, {}, info, OperationQueue::ServiceRequests);
}

bool RTServiceTwitter::pollList(const RTListTwitterPtr &list, const QString &maxId,
                                const RTRequestDelegatePtr &callingTreeNode)
{
    if (!list || list->isPolling() || maxId.isEmpty())
        return false;
    list->setIsPolling(true);
    const QVariantMap info{
        {QStringLiteral("listObject"), QVariant::fromValue(list)},
        {QStringLiteral("max_id"), maxId},
        {QStringLiteral("callingTreeNode"), QVariant::fromValue(callingTreeNode)},
        {QStringLiteral("pollForOlderTweets"), true},
    };
    queueRequest(RTTwitterRequestListStatuses, nullptr, {}, info, OperationQueue::ServiceRequests);
    return true;
}

void RTServiceTwitter::getUserLists()
{
    queueRequest(RTTwitterRequestUserLists, nullptr, {}, {}, OperationQueue::ServiceRequests);
}

void RTServiceTwitter::getSubscribedLists()
{
    queueRequest(RTTwitterRequestListSubscriptions, nullptr, {}, {},
                 OperationQueue::ServiceRequests);
}

void RTServiceTwitter::synchronizeLists()
{
    getUserLists();
    getSubscribedLists();
}

void RTServiceTwitter::getTrendsWithDelegate(const RTRequestDelegatePtr &delegate)
{
    RTServiceRequests::doRequest(RTTwitterRequestTrends, delegate, {}, {},
                                 OperationQueue::ServiceRequests,
                                 QStringLiteral("RTRequestOperationTwitter"));
}

// --- posting -------------------------------------------------------------------------

void RTServiceTwitter::sendStatus(const QString &status, const QString &replyStatusId,
                                  const RTRequestDelegatePtr &delegate)
{
    const QVariantMap form =
        formFields({{"status", status}, {"in_reply_to_status_id", replyStatusId}});
    queueRequest(RTTwitterRequestUpdateStatus, delegate, form, withPriority({}, kPriorityVeryHigh),
                 OperationQueue::ImmediateRequests);
}

void RTServiceTwitter::sendDirectMessageWithText(const QString &text, const QString &recipient,
                                                 const RTRequestDelegatePtr &delegate)
{
    const QVariantMap form = formFields({{"text", text}, {"screen_name", recipient}});
    queueRequest(RTTwitterRequestNewDirectMessage, delegate, form,
                 withPriority({}, kPriorityVeryHigh), OperationQueue::ImmediateRequests);
}

void RTServiceTwitter::deleteMessage(const RTMessageTwitterPtr &message)
{
    if (!message)
        return;
    const qint32 type =
        message->isPrivate() ? RTTwitterRequestDestroyDirectMessage : RTTwitterRequestDestroyStatus;
    queueRequest(
        type, nullptr, {},
        withPriority({{QStringLiteral("message"), QVariant::fromValue(message)}}, kPriorityHigh),
        OperationQueue::ImmediateRequests);
}

void RTServiceTwitter::retweetWithMessage(const RTMessageTwitterPtr &message)
{
    if (!message)
        return;
    queueRequest(
        RTTwitterRequestRetweet, nullptr, {},
        withPriority({{QStringLiteral("message"), QVariant::fromValue(message)}}, kPriorityHigh),
        OperationQueue::ImmediateRequests);
}

void RTServiceTwitter::favoriteCreateWithMessage(const RTMessageTwitterPtr &message)
{
    if (!message)
        return;
    queueRequest(RTTwitterRequestCreateFavorite, nullptr, {},
                 {{QStringLiteral("messageId"), message->messageId()}},
                 OperationQueue::ImmediateRequests);
}

void RTServiceTwitter::favoriteDestroyWithMessage(const RTMessageTwitterPtr &message)
{
    if (!message)
        return;
    queueRequest(RTTwitterRequestDestroyFavorite, nullptr, {},
                 {{QStringLiteral("messageId"), message->messageId()}},
                 OperationQueue::ImmediateRequests);
}

// --- users ---------------------------------------------------------------------------

void RTServiceTwitter::createFriendshipWithUser(const RTUserTwitterPtr &user)
{
    if (!user)
        return;
    const QVariantMap form = formFields({{"id", myself() ? myself()->userId() : QString()},
                                         {"user_id", user->userId()},
                                         {"screen_name", user->screenName()},
                                         {"follow", QStringLiteral("false")}});
    queueRequest(RTTwitterRequestCreateFriendship, nullptr, form, {},
                 OperationQueue::ImmediateRequests);
}

void RTServiceTwitter::createFriendshipWithScreenName(const QString &screenName,
                                                      const RTRequestDelegatePtr &delegate)
{
    const QVariantMap form =
        formFields({{"screen_name", screenName}, {"follow", QStringLiteral("false")}});
    queueRequest(RTTwitterRequestCreateFriendship, delegate, form, {},
                 OperationQueue::ImmediateRequests);
}

void RTServiceTwitter::destroyFriendshipWithUser(const RTUserTwitterPtr &user)
{
    if (!user)
        return;
    const QVariantMap form = formFields({{"id", myself() ? myself()->userId() : QString()},
                                         {"user_id", user->userId()},
                                         {"screen_name", user->screenName()}});
    queueRequest(RTTwitterRequestDestroyFriendship, nullptr, form, {},
                 OperationQueue::ImmediateRequests);
}

void RTServiceTwitter::verifyFriendshipWithUser(const RTUserTwitterPtr &user,
                                                const RTRequestDelegatePtr &delegate)
{
    queueRequest(
        RTTwitterRequestFriendshipExists, delegate, {},
        withPriority({{QStringLiteral("user_data"), QVariant::fromValue(user)}}, kPriorityLow),
        OperationQueue::ImmediateRequests);
}

void RTServiceTwitter::verifyFriendshipWithScreenName(const QString &screenName,
                                                      const RTRequestDelegatePtr &delegate)
{
    queueRequest(RTTwitterRequestFriendshipExists, delegate, {},
                 withPriority({{QStringLiteral("screenName"), screenName}}, kPriorityLow),
                 OperationQueue::ImmediateRequests);
}

void RTServiceTwitter::getFriendshipInfoWithUser(const RTUserTwitterPtr &user,
                                                 const RTRequestDelegatePtr &delegate,
                                                 const QVariant &extraData)
{
    queueRequest(RTTwitterRequestFriendshipShow, delegate, {},
                 withPriority({{QStringLiteral("user_data"), QVariant::fromValue(user)},
                               {QStringLiteral("extra_data"), extraData}},
                              kPriorityLow),
                 OperationQueue::ImmediateRequests);
}

void RTServiceTwitter::updateUser(const RTUserTwitterPtr &user)
{
    if (!user)
        return;
    queueRequest(RTTwitterRequestUserShow, nullptr, {},
                 {{QStringLiteral("user"), QVariant::fromValue(user)},
                  {QStringLiteral("screenName"), user->screenName()},
                  {QStringLiteral("userId"), user->userId()}},
                 OperationQueue::ServiceRequests);
}

void RTServiceTwitter::updateMyUserWithDelegate(const RTRequestDelegatePtr &delegate)
{
    queueRequest(RTTwitterRequestMyUserShow, delegate, {},
                 {{QStringLiteral("screenName"), serviceId()}}, OperationQueue::ServiceRequests);
}

void RTServiceTwitter::blockUser(const RTUserTwitterPtr &user)
{
    if (!user)
        return;
    queueRequest(RTTwitterRequestCreateBlock, nullptr,
                 formFields({{"screen_name", user->screenName()}}),
                 withPriority({{QStringLiteral("user"), QVariant::fromValue(user)}}, kPriorityHigh),
                 OperationQueue::ImmediateRequests);
}

void RTServiceTwitter::reportSpam(const RTUserTwitterPtr &user)
{
    if (!user)
        return;
    queueRequest(
        RTTwitterRequestReportSpam, nullptr, formFields({{"screen_name", user->screenName()}}),
        withPriority({{QStringLiteral("user"), QVariant::fromValue(user)}}, kPriorityVeryHigh),
        OperationQueue::ImmediateRequests);
}

void RTServiceTwitter::savedSearchesCreateWithObject(const QVariant &searchObject,
                                                     const QString &searchName,
                                                     const QVariant &existingMessages)
{
    queueRequest(RTTwitterRequestCreateSavedSearch, nullptr, formFields({{"query", searchName}}),
                 withPriority({{QStringLiteral("searchObject"), searchObject},
                               {QStringLiteral("existingMessages"), existingMessages}},
                              kPriorityVeryHigh),
                 OperationQueue::ImmediateRequests);
}

void RTServiceTwitter::savedSearchesDestroyWithObject(const QString &searchId)
{
    queueRequest(RTTwitterRequestDestroySavedSearch, nullptr, {},
                 withPriority({{QStringLiteral("searchId"), searchId}}, kPriorityVeryHigh),
                 OperationQueue::ImmediateRequests);
}

bool RTServiceTwitter::updateProfileImageWithImage(const QByteArray &jpegData,
                                                   const RTRequestDelegatePtr &delegate,
                                                   QObject *progressIndicator)
{
    if (jpegData.size() > kMaxProfileImageBytes) {
        if (Alerts::hasShared())
            Alerts::shared().runInformation(localizedString("##RTTwitter+APIImplementation:0##"),
                                            localizedString("##RTTwitter+APIImplementation:1##"),
                                            localizedString("##RTTwitter+APIImplementation:2##"));
        if (DesktopApplication::hasShared())
            DesktopApplication::shared().beep();
        return false;
    }
    const RTRequestOperationPtr operation =
        queueRequest(RTTwitterRequestUpdateProfileImage, delegate,
                     {{QStringLiteral("image"), jpegData}}, {}, OperationQueue::ImmediateRequests);
    if (operation)
        operation->setProgressIndicator(progressIndicator);
    return operation != nullptr;
}

RTMessageTwitterPtr RTServiceTwitter::messageWithId(const QString &messageId,
                                                    const QVariantMap &userInfo,
                                                    const RTRequestDelegatePtr &sender)
{
    RTMessageTwitterPtr stored;
    {
        QMutexLocker locker(&messagesDictionaryLock());
        stored = messagesDictionary().value(messageId);
    }
    if (stored && stored->isFullyDownloaded())
        return stored;
    QVariantMap info = userInfo;
    info.insert(QStringLiteral("messageId"), messageId);
    queueRequest(RTTwitterRequestShowStatus, sender, {}, info, OperationQueue::ImmediateRequests);
    return nullptr;
}

void RTServiceTwitter::requestOAuthTokenWithDelegate(const RTRequestDelegatePtr &delegate)
{
    setOAuthTokenPair(QStringLiteral(""), QStringLiteral(""));
    const QVariantMap form = RTXAuthExchange::postParameters(serviceId(), servicePassword());
    queueRequest(RTTwitterRequestAccessToken, delegate, form, RTXAuthExchange::userInfo(),
                 OperationQueue::ServiceRequests);
}

// --- answers -------------------------------------------------------------------------

void RTServiceTwitter::serviceRequestSuccess(const QVariantMap &result)
{
    if (isDeleted())
        return;
    const qint32 type = result.value(key(kRTRequestType)).toInt();
    const QVariantMap userInfo = result.value(key(kRTUserInfoKey)).toMap();
    const auto operation = std::dynamic_pointer_cast<RTRequestOperationTwitter>(
        result.value(key(kRTRequestOperationKey)).value<RTRequestOperationPtr>());

    if (operation)
        updateReferenceMessageIds(type, operation->allMessages());
    if (type == RTTwitterRequestAccessToken) {
        setVerifiedCredentials(true);
        setNeedsLogIn(false);
        if (!running())
            start();
    }
    setAuthFailureCount(0);
    if (operation)
        addSoundAlerts(operation->newMessages(), type);
    if (operation && type == RTTwitterRequestMyUserShow && !operation->allUsers().isEmpty()) {
        const RTUserTwitterPtr me = operation->allUsers().constLast();
        // The screen name as Twitter writes it.
        if (me->screenName().size() > 1)
            setServiceId(me->screenName());
        setMyself(me);
    }
    if (operation)
        showPopupNotificationsForRecievedMessages(operation->newMessages(), type);
    if (type == RTTwitterRequestCreateFriendship)
        getHomeTimelineMessagesSince(QString());
    if (result.contains(QStringLiteral("searches")))
        addSavedSearchesListWithSeachesArray(
            result.value(QStringLiteral("searches")).value<QList<RTSearchTwitterPtr>>(), type);
    if (const auto search = result.value(QStringLiteral("search")).value<RTSearchTwitterPtr>()) {
        addSavedSearchesListWithSeachesArray({search}, type);
        if (type == RTTwitterRequestCreateSavedSearch)
            adoptSavedSearchMessages(search->searchId(),
                                     userInfo.value(QStringLiteral("existingMessages")));
    }
    if (result.contains(QStringLiteral("lists")))
        dealWithLists(result.value(QStringLiteral("lists")).value<QList<RTListTwitterPtr>>(), type);
    if (isTwitterListManagementRequest(type))
        dealWithListChange(result, type);

    const QString olderKey = QStringLiteral("pollForOlderTweets");
    if (userInfo.contains(olderKey)) {
        QVariantMap control = olderTweetPollControl();
        if (control.remove(userInfo.value(olderKey).toString()) > 0)
            setOlderTweetPollControl(control);
        if (const auto list =
                userInfo.value(QStringLiteral("listObject")).value<RTListTwitterPtr>())
            list->setIsPolling(false);
    } else if (type == RTTwitterRequestListStatuses) {
        if (const auto list =
                userInfo.value(QStringLiteral("listObject")).value<RTListTwitterPtr>())
            list->setIsPolling(false);
    }
    if (type == RTTwitterRequestListStatuses) {
        if (const auto list =
                userInfo.value(QStringLiteral("listObject")).value<RTListTwitterPtr>())
            list->setIsEmpty(!operation || operation->allMessages().isEmpty());
    }
    emit requestFinished(result, true);
    // A list page goes to the node that asked for it.
    if (type == RTTwitterRequestListStatuses) {
        if (const auto node =
                userInfo.value(QStringLiteral("callingTreeNode")).value<RTRequestDelegatePtr>())
            node->serviceRequestSuccess(result);
    }
}

void RTServiceTwitter::addSoundAlerts(const QList<RTMessageTwitterPtr> &messages,
                                      qint32 requestType)
{
    if (RTReceivedMessageAlertsInterface::hasShared())
        RTReceivedMessageAlertsInterface::shared().addSoundAlerts(*this, messages, requestType);
}

void RTServiceTwitter::showPopupNotificationsForRecievedMessages(
    const QList<RTMessageTwitterPtr> &messages, qint32 requestType)
{
    if (RTReceivedMessageAlertsInterface::hasShared())
        RTReceivedMessageAlertsInterface::shared().showPopupNotificationsForRecievedMessages(
            *this, messages, requestType);
}

void RTServiceTwitter::serviceRequestFailure(const QVariantMap &result)
{
    if (isDeleted())
        return;
    reactToFailure(result);
    emit requestFinished(result, false);
    const QVariantMap userInfo = result.value(key(kRTUserInfoKey)).toMap();
    if (result.value(key(kRTRequestType)).toInt() == RTTwitterRequestListStatuses) {
        if (const auto node =
                userInfo.value(QStringLiteral("callingTreeNode")).value<RTRequestDelegatePtr>())
            node->serviceRequestFailure(result);
    }
}

void RTServiceTwitter::reactToFailure(const QVariantMap &result)
{
    const qint32 type = result.value(key(kRTRequestType)).toInt();
    const int status = result.value(key(kRTResponseStatusCodeKey)).toInt();
    const QVariantMap userInfo = result.value(key(kRTUserInfoKey)).toMap();

    if (type == RTTwitterRequestListStatuses ||
        userInfo.contains(QStringLiteral("pollForOlderTweets"))) {
        // Let the next poll or page of the list go out.
        if (const auto list =
                userInfo.value(QStringLiteral("listObject")).value<RTListTwitterPtr>())
            list->setIsPolling(false);
        QVariantMap control = olderTweetPollControl();
        if (control.remove(userInfo.value(QStringLiteral("pollForOlderTweets")).toString()) > 0)
            setOlderTweetPollControl(control);
    }

    if (type == RTTwitterRequestAccessToken) {
        // Twitter refused the stored password: only the user can mend that.
        if (status == 401)
            setNeedsLogIn(true);
        if (running()) {
            performAfterDelay(60.0, [this] { requestOAuthToken(); });
            return;
        }
        const qint32 before = authFailureCount();
        setAuthFailureCount(before + 1);
        if (before < kMaxStoppedTokenRetries)
            performAfterDelay(60.0, [this] { requestOAuthToken(); });
        return;
    }
    if (status == 404 &&
        (type == RTTwitterRequestListStatuses || isTwitterListManagementRequest(type))) {
        // A list that is gone: fetch the lists again, but only once per polling interval,
        // and never on a missing list of lists, or the two requests would feed each other.
        const QDateTime now = Clock::currentDateTime();
        const RTPollingObjectPtr lists = pollingObjectForRequestType(RTTwitterRequestUserLists);
        const double interval = lists ? lists->currentTimeInterval() : kListsResyncInterval;
        if (!m_lastListsResync.isValid() || m_lastListsResync.secsTo(now) >= interval) {
            m_lastListsResync = now;
            synchronizeLists();
        }
        return;
    }
    if (status == 401) {
        setVerifiedCredentials(false);
        performAfterDelay(240.0, [this] { resetVerifiedCredentials(); });
        setAuthFailureCount(0);
        performAfterDelay(2.0, [this] { requestOAuthToken(); });
    }
}
