#include "networks/facebook/RTServiceFacebook.h"

#include "accounts/RTServiceRegistry.h"
#include "accounts/RTShortenerService.h"
#include "foundation/HostProfile.h"
#include "foundation/Log.h"
#include "foundation/RTGlobalVariables.h"
#include "network/RTServiceRequests.h"
#include "networks/facebook/RTFacebookKeys.h"
#include "networks/facebook/RTFacebookRequestTypes.h"
#include "networks/facebook/RTRequestOperationFacebook.h"

#include <QDateTime>
#include <algorithm>

namespace {

const QString kDefaultShortenerKey = QStringLiteral("defaultShortener");
const QString kBigPictureKey = QStringLiteral("bigPicture");
const QString kAccessTokenKey = QStringLiteral("accessToken");

// The fields a status update asks back.
const QString kPostFields = QStringLiteral("id,message,from,created_time");

// The Graph error code of a token the service no longer accepts.
constexpr int kInvalidTokenErrorCode = 190;

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

// Keeps the newest posts when the store grows past its bound.
void trimToNewest(RTServiceFacebook::MessagesDictionary &messages, int maxCount)
{
    if (messages.size() <= maxCount)
        return;
    QList<RTMessageFacebookPtr> all = messages.values();
    std::sort(all.begin(), all.end(),
              [](const auto &a, const auto &b) { return a->createdAt() > b->createdAt(); });
    for (qsizetype i = maxCount; i < all.size(); ++i)
        messages.remove(all.at(i)->messageId());
}

} // namespace

RTServiceFacebook::RTServiceFacebook(QObject *parent)
    : RTService(parent)
{
    setHttpProtocol(QStringLiteral("http"));
    const QUrl web = HostProfile::current().baseUrl(QStringLiteral("facebook-web"));
    setHostname(web.isValid() ? web.host() : QStringLiteral("www.facebook.com"));
    setServiceName(QStringLiteral("facebook"));
    setServiceImage(QStringLiteral("facebook_60"));
    m_defaultShortener = RTShortenerService::defaultShortener();
}

RTServiceFacebook::~RTServiceFacebook() = default;

QString RTServiceFacebook::profilePrefix()
{
    const QUrl web = HostProfile::current().baseUrl(QStringLiteral("facebook-web"));
    if (!web.isValid())
        return {};
    QString prefix = web.toString(QUrl::StripTrailingSlash);
    return prefix + QLatin1Char('/');
}

// --- store ------------------------------------------------------------------------------

RTServiceFacebook::MessagesDictionary RTServiceFacebook::messagesDictionary() const
{
    QMutexLocker locker(&m_messagesLock);
    return m_messagesDictionary;
}

RTServiceFacebook::UsersDictionary RTServiceFacebook::usersDictionary() const
{
    QMutexLocker locker(&m_usersLock);
    return m_usersDictionary;
}

RTUserFacebookPtr RTServiceFacebook::userWithId(const QString &userId) const
{
    QMutexLocker locker(&m_usersLock);
    return m_usersDictionary.value(userId);
}

RTMessageFacebookPtr RTServiceFacebook::messageWithId(const QString &messageId) const
{
    QMutexLocker locker(&m_messagesLock);
    return m_messagesDictionary.value(messageId);
}

void RTServiceFacebook::addMessagesFromArray(const QList<RTMessageFacebookPtr> &messages)
{
    QMutexLocker locker(&m_messagesLock);
    MessagesDictionary copy = m_messagesDictionary;
    for (const RTMessageFacebookPtr &incoming : messages) {
        if (!incoming)
            continue;
        if (const RTMessageFacebookPtr existing = copy.value(incoming->messageId()))
            existing->addNewComments(incoming->comments());
        else
            copy.insert(incoming->messageId(), incoming);
    }
    trimToNewest(copy, kMaxStoredMessages);
    m_messagesDictionary = copy;
}

void RTServiceFacebook::addUsersFromArray(const QList<RTUserFacebookPtr> &users)
{
    QMutexLocker locker(&m_usersLock);
    UsersDictionary copy = m_usersDictionary;
    for (const RTUserFacebookPtr &user : users) {
        if (!user)
            continue;
        user->setService(this);
        copy.insert(user->userId(), user);
    }
    m_usersDictionary = copy;
}

// --- requests ---------------------------------------------------------------------------

std::shared_ptr<RTRequestOperation>
RTServiceFacebook::request(qint32 requestType, std::shared_ptr<RTRequestDelegate> delegate,
                           const QVariantMap &parameters, const QVariantMap &userInfo,
                           int operationType)
{
    // Accounts restored from the store are owned through their base class, so the
    // registry's pointer stands in when ours is not set.
    RTServicePtr self = weak_from_this().lock();
    if (!self) {
        for (const RTServicePtr &registered : RTServiceRegistry::shared().services()) {
            if (registered.get() == this)
                self = registered;
        }
    }
    if (!self) {
        qCWarning(lcNetwork).noquote()
            << "Facebook request" << requestType << "without an owned account";
        return nullptr;
    }
    return RTServiceRequests::doRequest(self, requestType, std::move(delegate), parameters,
                                        userInfo, operationType);
}

std::shared_ptr<RTRequestOperation> RTServiceFacebook::getLoggedUserInfo()
{
    return request(RTFacebookRequestLoggedUserInfo, nullptr, {},
                   {{key(kRTFacebookUserIdsKey), QStringList{QStringLiteral("me")}},
                    {key(kRTBypassCredentialsCheckKey), true}});
}

std::shared_ptr<RTRequestOperation> RTServiceFacebook::getUserInfoForId(const QString &userId)
{
    return request(RTFacebookRequestUserInfo, nullptr, {},
                   {{key(kRTFacebookUserIdsKey), QStringList{userId}}});
}

std::shared_ptr<RTRequestOperation>
RTServiceFacebook::getUserInfoForIds(const QStringList &userIds,
                                     std::shared_ptr<RTRequestDelegate> delegate, int operationType)
{
    return request(RTFacebookRequestUserInfo, std::move(delegate), {},
                   {{key(kRTFacebookUserIdsKey), userIds}}, operationType);
}

std::shared_ptr<RTRequestOperation> RTServiceFacebook::refreshNewsFeed()
{
    return request(RTFacebookRequestNewsFeed, nullptr, {}, {});
}

void RTServiceFacebook::pollTimelineSince(const QString &since, const QVariant &pollObject,
                                          qint32 requestType, const QVariantMap &userInfo)
{
    QVariantMap info = userInfo;
    if (!since.isEmpty())
        info.insert(key(kRTSinceKey), since);
    info.insert(key(kRTPollingObjectKey), pollObject);
    info.insert(key(kRTQueuePriorityKey), -4);
    if (!request(requestType, nullptr, {}, info))
        return;
    // The next poll asks only for what is newer than this one.
    if (requestType == RTFacebookRequestNewsFeed) {
        if (const auto object = pollObject.value<RTPollingObjectPtr>())
            object->setSinceString(QString::number(QDateTime::currentSecsSinceEpoch()));
    }
}

std::shared_ptr<RTRequestOperation>
RTServiceFacebook::setUserStatusWithString(const QString &text,
                                           std::shared_ptr<RTRequestDelegate> delegate)
{
    return request(RTFacebookRequestPostStatus, std::move(delegate),
                   {{QStringLiteral("message"), text}, {QStringLiteral("fields"), kPostFields}},
                   {});
}

std::shared_ptr<RTRequestOperation> RTServiceFacebook::getDetailsForPost(const QString &postId)
{
    return getDetailsForPosts({postId});
}

std::shared_ptr<RTRequestOperation>
RTServiceFacebook::getDetailsForPosts(const QStringList &postIds)
{
    return request(RTFacebookRequestPostDetails, nullptr, {},
                   {{key(kRTFacebookPostIdsKey), postIds}});
}

// --- lifecycle --------------------------------------------------------------------------

void RTServiceFacebook::start()
{
    if (running())
        return;
    loadOAuthTokens();
    if (accessToken().isEmpty()) {
        qCInfo(lcNetwork).noquote() << description() << "has no access token; log in first";
        setNeedsLogIn(true);
        emit loginRequired();
        return;
    }
    RTService::start();
    getLoggedUserInfo();
    setupPollingObjects();
    createStartupPollSequence();
    for (const RTPollingObjectPtr &object : m_startupPollSequence)
        object->pollIfNeeded();
    startTimers(QStringLiteral("START METHOD"));
}

void RTServiceFacebook::stop()
{
    if (m_timelinesPollTimer) {
        m_timelinesPollTimer->stop();
        m_timelinesPollTimer->deleteLater();
        m_timelinesPollTimer = nullptr;
    }
    RTService::stop();
}

void RTServiceFacebook::setupPollingObjects()
{
    m_pollingObjects.clear();
    // A profile may ask for quicker polling (the sandbox's does, so a demo moves).
    const int profileInterval = HostProfile::current().pollInterval();
    const double interval = profileInterval > 0 ? profileInterval : kNewsFeedPollInterval;
    auto feed = RTPollingObject::defaultPollingObjectWithRequestType(RTFacebookRequestNewsFeed,
                                                                     this, interval);
    feed->setIsActive(true);
    m_pollingObjects.append(feed);
}

void RTServiceFacebook::createStartupPollSequence()
{
    m_startupPollSequence.clear();
    for (auto it = m_pollingObjects.crbegin(); it != m_pollingObjects.crend(); ++it)
        m_startupPollSequence.append(*it);
}

void RTServiceFacebook::startTimers(const QString &label)
{
    qCDebug(lcNetwork).noquote() << description() << "timers:" << label;
    if (m_timelinesPollTimer)
        m_timelinesPollTimer->deleteLater();
    m_timelinesPollTimer = new QTimer(this);
    m_timelinesPollTimer->setInterval(int(kPollTimerInterval * 1000));
    connect(m_timelinesPollTimer, &QTimer::timeout, this, &RTServiceFacebook::pollTimelines);
    m_timelinesPollTimer->start();
}

void RTServiceFacebook::pollTimelines()
{
    if (!running() || isDeleted())
        return;
    for (const RTPollingObjectPtr &object : m_pollingObjects)
        object->pollIfNeeded();
}

void RTServiceFacebook::setMySelf(const RTUserFacebookPtr &user)
{
    m_mySelf = user;
    if (m_mySelf) {
        m_mySelf->setService(this);
        m_username = m_mySelf->userName();
        m_picUrl = m_mySelf->picUrl();
    }
    emit mySelfChanged();
}

void RTServiceFacebook::fetchPictures(const QList<RTMessageFacebookPtr> &messages)
{
    // Through the store's picture cache, which asks each address once: the rows show the
    // people's pictures as soon as they are painted.
    QSet<const RTUserFacebook *> asked;
    for (const RTMessageFacebookPtr &message : messages) {
        const RTUserFacebookPtr sender = message ? message->sender() : nullptr;
        if (sender && !asked.contains(sender.get())) {
            asked.insert(sender.get());
            static_cast<void>(sender->profileImage());
        }
    }
}

void RTServiceFacebook::serviceRequestSuccess(const QVariantMap &result)
{
    if (isDeleted())
        return;
    const int type = result.value(key(kRTRequestType)).toInt();
    if (type == RTFacebookRequestLoggedUserInfo) {
        const auto users = result.value(key(kRTFacebookUsersKey)).value<QList<RTUserFacebookPtr>>();
        if (!users.isEmpty())
            setMySelf(users.last());
        for (const RTUserFacebookPtr &user : users)
            static_cast<void>(user->profileImage());
        // The service took the token.
        setNeedsLogIn(false);
    } else if (type == RTFacebookRequestPostStatus) {
        // The post just written arrives as a message.
        const QString postId =
            result.value(key(kRTFacebookResultKey)).toMap().value(QStringLiteral("id")).toString();
        if (!postId.isEmpty())
            getDetailsForPost(postId);
    } else if (type == RTFacebookRequestNewsFeed || type == RTFacebookRequestPostDetails) {
        fetchPictures(
            result.value(key(kRTFacebookMessagesKey)).value<QList<RTMessageFacebookPtr>>());
        emit messagesChanged();
    }
}

void RTServiceFacebook::serviceRequestFailure(const QVariantMap &result)
{
    if (isDeleted())
        return;
    const int status = result.value(key(kRTResponseStatusCodeKey)).toInt();
    const auto operation = std::dynamic_pointer_cast<RTRequestOperationFacebook>(
        result.value(key(kRTRequestOperationKey)).value<RTRequestOperationPtr>());
    const int code =
        operation ? operation->errorRecord().value(key(kRTFacebookOperationFailureCode)).toInt()
                  : 0;
    if (status != 401 && code != kInvalidTokenErrorCode)
        return;
    // Polling on with a refused token would only fill the error list; the account keeps
    // its posts and starts again once the user has logged in again.
    if (running())
        stop();
    setNeedsLogIn(true);
    emit loginRequired();
}

// --- archive ----------------------------------------------------------------------------

void RTServiceFacebook::encodeWithCoder(KeyedArchiver &coder) const
{
    RTService::encodeWithCoder(coder);
    coder.encodeObject(kDefaultShortenerKey, m_defaultShortener.get());
    if (!m_bigPicture.isEmpty())
        coder.encodeValue(kBigPictureKey, QCborValue(m_bigPicture));
    // The access token is a secret: it stays in the keyring.
}

void RTServiceFacebook::decodeWithCoder(const KeyedUnarchiver &coder)
{
    RTService::decodeWithCoder(coder);
    if (coder.containsValueForKey(kDefaultShortenerKey))
        m_defaultShortener =
            RTServicePtr(coder.decodeObjectOfClass<RTService>(kDefaultShortenerKey));
    if (!m_defaultShortener)
        m_defaultShortener = RTShortenerService::defaultShortener();
    if (coder.containsValueForKey(kBigPictureKey))
        m_bigPicture = coder.value(kBigPictureKey).toByteArray();
    // Older stores kept the token in the archive; it moves into the keyring.
    if (coder.containsValueForKey(kAccessTokenKey)) {
        const QString token = coder.decodeString(kAccessTokenKey);
        if (!token.isEmpty())
            setAccessToken(token);
    }
}
