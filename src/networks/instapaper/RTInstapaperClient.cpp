#include "networks/instapaper/RTInstapaperClient.h"

#include "accounts/RTServiceInstapaper.h"
#include "accounts/RTServiceRegistry.h"
#include "foundation/OperationQueue.h"
#include "foundation/RTGlobalVariables.h"
#include "network/RTServiceRequests.h"
#include "networks/instapaper/RTRequestOperationInstapaper.h"

RTRequestOperationPtr
RTInstapaperClient::verifyCredentials(const std::shared_ptr<RTServiceInstapaper> &account,
                                      RTRequestDelegatePtr delegate)
{
    if (!account)
        return nullptr;
    return RTServiceRequests::doRequest(account, RTRequestOperationInstapaper::Authenticate,
                                        std::move(delegate), {},
                                        {{QString::fromLatin1(kRTQueuePriorityKey), 8},
                                         {QString::fromLatin1(kRTBypassCredentialsCheckKey), true}},
                                        OperationQueue::ServiceRequests);
}

RTRequestOperationPtr
RTInstapaperClient::addUrl(const std::shared_ptr<RTServiceInstapaper> &account, const QString &url,
                           RTRequestDelegatePtr delegate)
{
    if (!account || url.trimmed().isEmpty())
        return nullptr;
    return RTServiceRequests::doRequest(
        account, RTRequestOperationInstapaper::AddUrl, std::move(delegate), {},
        {{QStringLiteral("urlToAdd"), url.trimmed()}}, OperationQueue::ImmediateRequests);
}

int RTInstapaperClient::addUrls(const std::shared_ptr<RTServiceInstapaper> &account,
                                const QStringList &urls, RTRequestDelegatePtr delegate)
{
    int queued = 0;
    for (const QString &url : urls)
        queued += addUrl(account, url, delegate) ? 1 : 0;
    return queued;
}

QList<std::shared_ptr<RTServiceInstapaper>> RTInstapaperClient::instapaperServices()
{
    QList<std::shared_ptr<RTServiceInstapaper>> out;
    for (const RTServicePtr &service : RTServiceRegistry::shared().services())
        if (auto instapaper = std::dynamic_pointer_cast<RTServiceInstapaper>(service);
            instapaper && instapaper->serviceType() == 18 && !instapaper->isDeleted())
            out.append(instapaper);
    return out;
}

void RTInstapaperClient::registerClasses()
{
    RTRequestOperationInstapaper::registerClass();
}
