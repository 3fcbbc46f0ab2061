#include "sharing/RTShortenerClient.h"

#include "accounts/RTShortenerService.h"
#include "foundation/OperationQueue.h"
#include "foundation/RTGlobalVariables.h"
#include "network/RTServiceRequests.h"
#include "sharing/RTRequestCallback.h"

#include <QHash>

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

bool isKind(const RTServicePtr &service, const char *className)
{
    return QLatin1String(service->metaObject()->className()) == QLatin1String(className);
}

RTRequestDelegatePtr callbackFor(const QString &askedLongUrl, RTShortenerClient::Finished finished)
{
    auto shared = std::make_shared<RTShortenerClient::Finished>(std::move(finished));
    auto urlsOf = [](const QVariantMap &result) {
        const QVariantMap urls = result.value(QStringLiteral("response")).toMap();
        return std::pair{urls.value(key(kRTLongStringURLKey)).toString(),
                         urls.value(key(kRTShortStringURLKey)).toString()};
    };
    return RTRequestCallback::make(
        [shared, urlsOf, askedLongUrl](const QVariantMap &result) {
            auto [longUrl, shortUrl] = urlsOf(result);
            if (longUrl.isEmpty())
                longUrl = askedLongUrl;
            (*shared)(longUrl, shortUrl);
        },
        [shared, askedLongUrl](const QVariantMap &) { (*shared)(askedLongUrl, QString()); });
}

struct Registered
{
    RTShortenerClient::Request shorten;
    RTShortenerClient::Request expand;
};

// Filled at start-up on the main thread, read on the main thread.
QHash<QString, Registered> &registered()
{
    static QHash<QString, Registered> table;
    return table;
}

const Registered *registeredFor(const RTServicePtr &service)
{
    const auto it = registered().constFind(QLatin1String(service->metaObject()->className()));
    return it == registered().constEnd() ? nullptr : &*it;
}

} // namespace

void RTShortenerClient::registerShortenerRequests(const QString &serviceClass, Request shorten,
                                                  Request expand)
{
    registered().insert(serviceClass, {std::move(shorten), std::move(expand)});
}

bool RTShortenerClient::shortByLongStringURL(const RTServicePtr &shortener, const QString &longUrl,
                                             Finished finished)
{
    if (!std::dynamic_pointer_cast<RTShortenerService>(shortener))
        return false;
    if (const Registered *own = registeredFor(shortener))
        return own->shorten && own->shorten(shortener, longUrl, std::move(finished));
    QVariantMap userInfo{{key(kRTBypassCredentialsCheckKey), true}};
    QVariantMap form;
    if (isKind(shortener, "RTServiceTrim")) {
        form.insert(QStringLiteral("url"), longUrl);
    } else {
        userInfo.insert(QStringLiteral("longUrl"), longUrl);
        userInfo.insert(QStringLiteral("version"), QStringLiteral("2.0.1"));
    }
    const RTRequestOperationPtr op =
        RTServiceRequests::doRequest(shortener, 0, callbackFor(longUrl, std::move(finished)), form,
                                     userInfo, OperationQueue::ImmediateRequests);
    return op != nullptr;
}

bool RTShortenerClient::longByShortStringURL(const RTServicePtr &shortener, const QString &shortUrl,
                                             Finished finished)
{
    const auto service = std::dynamic_pointer_cast<RTShortenerService>(shortener);
    if (!service)
        return false;
    // Registered kinds decide themselves which links are theirs.
    if (const Registered *own = registeredFor(shortener))
        return own->expand && own->expand(shortener, shortUrl, std::move(finished));
    if (!shortUrl.startsWith(service->hostStringURL()))
        return false;
    QVariantMap userInfo{{key(kRTBypassCredentialsCheckKey), true}};
    if (isKind(shortener, "RTServiceTrim"))
        userInfo.insert(QStringLiteral("trimpath"), shortUrl);
    else if (isKind(shortener, "RTServiceBitly") || isKind(shortener, "RTServiceJmp") ||
             isKind(shortener, "RTServiceBudurl"))
        userInfo.insert(QStringLiteral("shortUrl"), shortUrl);
    else
        return false;
    userInfo.insert(QStringLiteral("version"), QStringLiteral("2.0.1"));
    const RTRequestOperationPtr op =
        RTServiceRequests::doRequest(shortener, 1, callbackFor(QString(), std::move(finished)), {},
                                     userInfo, OperationQueue::UrlFollowing);
    return op != nullptr;
}
