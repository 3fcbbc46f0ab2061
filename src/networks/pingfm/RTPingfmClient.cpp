#include "networks/pingfm/RTPingfmClient.h"

#include "accounts/RTServicePingfm.h"
#include "accounts/RTServiceRegistry.h"
#include "foundation/HostProfile.h"
#include "foundation/OperationQueue.h"
#include "foundation/RTGlobalVariables.h"
#include "network/RTServiceRequests.h"
#include "networks/pingfm/RTRequestOperationPingfm.h"
#include "sharing/RTRequestCallback.h"

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

// Reports the links of a shortening answer to the asker, once; a failure hands back the
// long link it was asked for and no short one, so the caller keeps the long link.
RTRequestDelegatePtr linkCallback(const QString &askedLongUrl, RTShortenerClient::Finished finished)
{
    auto shared = std::make_shared<RTShortenerClient::Finished>(std::move(finished));
    return RTRequestCallback::make(
        [shared, askedLongUrl](const QVariantMap &result) {
            const QVariantMap urls = result.value(QStringLiteral("response")).toMap();
            QString longUrl = urls.value(key(kRTLongStringURLKey)).toString();
            if (longUrl.isEmpty())
                longUrl = askedLongUrl;
            (*shared)(longUrl, urls.value(key(kRTShortStringURLKey)).toString());
        },
        [shared, askedLongUrl](const QVariantMap &) { (*shared)(askedLongUrl, QString()); });
}

} // namespace

QString RTPingfmClient::postMethodForType(int postType)
{
    switch (postType) {
    case PostMicroBlog:
        return QStringLiteral("microblog");
    case PostStatus:
        return QStringLiteral("status");
    case PostBlog:
        return QStringLiteral("blog");
    default:
        return QStringLiteral("default");
    }
}

int RTPingfmClient::postTypeForAccount(const RTServicePingfm &account)
{
    if (account.postStatus())
        return PostStatus;
    if (account.postMicroBlog())
        return PostMicroBlog;
    return PostDefault;
}

RTRequestOperationPtr RTPingfmClient::send(const std::shared_ptr<RTServicePingfm> &account,
                                           qint32 type, QVariantMap parameters,
                                           RTRequestDelegatePtr delegate, QVariantMap userInfo,
                                           int operationType)
{
    if (!account)
        return nullptr;
    parameters.insert(QStringLiteral("api_key"), RTRequestOperationPingfm::developerKey());
    const QString appKey = account->servicePassword();
    parameters.insert(QStringLiteral("user_app_key"), appKey.isNull() ? QString() : appKey);
    return RTServiceRequests::doRequest(account, type, std::move(delegate), parameters, userInfo,
                                        operationType);
}

RTRequestOperationPtr
RTPingfmClient::verifyCredentials(const std::shared_ptr<RTServicePingfm> &account,
                                  RTRequestDelegatePtr delegate)
{
    return send(account, RTRequestOperationPingfm::Validate, {}, std::move(delegate),
                {{key(kRTBypassCredentialsCheckKey), true}}, OperationQueue::ServiceRequests);
}

RTRequestOperationPtr RTPingfmClient::getLatest(const std::shared_ptr<RTServicePingfm> &account,
                                                RTRequestDelegatePtr delegate)
{
    return send(account, RTRequestOperationPingfm::Latest, {}, std::move(delegate), {},
                OperationQueue::ServiceRequests);
}

RTRequestOperationPtr RTPingfmClient::postItem(const std::shared_ptr<RTServicePingfm> &account,
                                               int postType, const QString &messageText,
                                               RTRequestDelegatePtr delegate)
{
    return send(account, RTRequestOperationPingfm::Post,
                {{QStringLiteral("post_method"), postMethodForType(postType)},
                 {QStringLiteral("body"), messageText}},
                std::move(delegate), {}, OperationQueue::ServiceRequests);
}

bool RTPingfmClient::shorten(const RTServicePtr &account, const QString &longUrl,
                             RTShortenerClient::Finished finished)
{
    const auto pingfm = std::dynamic_pointer_cast<RTServicePingfm>(account);
    if (!pingfm)
        return false;
    return send(pingfm, RTRequestOperationPingfm::Shorten, {{QStringLiteral("long_url"), longUrl}},
                linkCallback(longUrl, std::move(finished)),
                {{key(kRTBypassCredentialsCheckKey), true}},
                OperationQueue::ImmediateRequests) != nullptr;
}

bool RTPingfmClient::expand(const RTServicePtr &account, const QString &shortUrl,
                            RTShortenerClient::Finished finished)
{
    const auto pingfm = std::dynamic_pointer_cast<RTServicePingfm>(account);
    if (!pingfm)
        return false;
    // The account's own domain, or the short-link host the host profile names for it.
    const QUrl links = HostProfile::current().baseUrl(QStringLiteral("pingfm-links"));
    const bool ownLink =
        shortUrl.startsWith(pingfm->hostStringURL()) ||
        (links.isValid() && !links.host().isEmpty() &&
         shortUrl.startsWith(links.toString(QUrl::StripTrailingSlash) + QLatin1Char('/')));
    if (!ownLink)
        return false;
    return send(pingfm, RTRequestOperationPingfm::Expand, {{QStringLiteral("short_url"), shortUrl}},
                linkCallback(QString(), std::move(finished)),
                {{key(kRTBypassCredentialsCheckKey), true}},
                OperationQueue::UrlFollowing) != nullptr;
}

RTServicePtr RTPingfmClient::defaultShortener()
{
    for (const RTServicePtr &service : RTServiceRegistry::shared().services())
        if (service && service->serviceType() == 4 && !service->isDeleted())
            return service;
    return nullptr;
}

void RTPingfmClient::registerClasses()
{
    RTRequestOperationPingfm::registerClass();
    RTShortenerClient::registerShortenerRequests(QStringLiteral("RTServicePingfm"),
                                                 &RTPingfmClient::shorten, &RTPingfmClient::expand);
}
