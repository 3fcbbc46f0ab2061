#include "text/RTImageContainerResolver.h"

#include "foundation/Log.h"
#include "foundation/MainThread.h"
#include "foundation/OperationQueue.h"
#include "foundation/StringAdditions.h"
#include "http/HttpRequest.h"
#include "text/RTLinkHosts.h"
#include "text/RTShortURLResolver.h"

#include <QUrl>

namespace {
// At most this many tags are looked at in one page.
constexpr int kMaxTags = 20000;

QUrl pageUrl(const QString &link)
{
    return QUrl(standardScapedOutString(link), QUrl::TolerantMode);
}

// The picture-host record for a page link with a way of reading its pages, or empty.
QVariantMap readableRecord(const QUrl &url)
{
    const QString host = url.host();
    if (host.isEmpty())
        return {};
    const QVariantMap imagers = RTLinkHosts::tables().imagers;
    for (auto it = imagers.cbegin(); it != imagers.cend(); ++it) {
        const QVariantMap record = it.value().toMap();
        QString domain = record.value(QStringLiteral("domain")).toString();
        if (domain.isEmpty())
            domain = it.key();
        if (host.compare(domain, Qt::CaseInsensitive) != 0)
            continue;
        if (!record.value(RTImageContainerResolverInlineId::urlEncodeMethod()).toString().isEmpty())
            return record;
    }
    return {};
}

} // namespace

RTImageContainerResolver::RTImageContainerResolver(QString url, QVariantMap imagerInfo)
    : m_containedImageUrlString(std::move(url))
    , m_imagerInfo(std::move(imagerInfo))
{
}

RTImageContainerResolver::~RTImageContainerResolver() = default;

bool RTImageContainerResolver::isValidImageContainerDomainFromUrlString(const QString &url)
{
    return !readableRecord(pageUrl(url)).isEmpty();
}

std::shared_ptr<RTImageContainerResolver>
RTImageContainerResolver::resolverForUrlString(const QString &url)
{
    const QVariantMap record = readableRecord(pageUrl(url));
    if (record.isEmpty())
        return nullptr;
    return std::make_shared<RTImageContainerResolverInlineId>(url, record);
}

void RTImageContainerResolver::startResolving(Finished finished)
{
    Q_ASSERT(isOnMainThread());
    m_finished = std::move(finished);
    const QUrl url = pageUrl(m_containedImageUrlString);
    auto self = shared_from_this();
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        runOnMainThread([self] { self->requestDone(nullptr); }, false);
        return;
    }
    auto request = std::make_shared<HttpRequest>(url);
    RTShortURLResolver::setBrowserLikeHeadToRequest(*request);
    request->setTimeOutSeconds(RTShortURLResolver::timeOutSeconds());
    request->setDeadlineSeconds(RTShortURLResolver::timeOutSeconds() * 2);
    request->setMaxResponseBodySize(kMaxPageBytes);
    request->setDidFinishSelector([self](HttpRequest *r) { self->requestDone(r); });
    request->setDidFailSelector([self](HttpRequest *) { self->requestDone(nullptr); });
    OperationQueue::forType(OperationQueue::UrlFollowing).addOperation(request->operation());
}

void RTImageContainerResolver::requestDone(HttpRequest *request)
{
    QString link;
    if (request && request->responseStatusCode() >= 200 && request->responseStatusCode() < 300) {
        link = parseForLinkInResponseString(request->responseString());
        if (!link.isEmpty()) {
            // Relative sources are completed from the page they were found in.
            const QUrl resolved = request->url().resolved(QUrl(link, QUrl::TolerantMode));
            link = resolved.isValid() && (resolved.scheme() == QLatin1String("http") ||
                                          resolved.scheme() == QLatin1String("https"))
                       ? resolved.toString(QUrl::FullyEncoded)
                       : QString();
        }
    }
    if (link.isEmpty())
        qCDebug(lcText) << "no picture found in page" << m_containedImageUrlString;
    Finished finished = std::move(m_finished);
    m_finished = nullptr;
    if (finished)
        finished(link);
}

RTImageContainerResolverInlineId::RTImageContainerResolverInlineId(QString url,
                                                                   QVariantMap imagerInfo)
    : RTImageContainerResolver(std::move(url), std::move(imagerInfo))
{
}

QString RTImageContainerResolverInlineId::parseForLinkInResponseString(const QString &page) const
{
    const QString wanted = imagerInfo().value(urlEncodeMethod()).toString().toLower();
    if (wanted.isEmpty())
        return {};
    static const QLatin1String open("<img ");
    qsizetype from = 0;
    for (int tags = 0; tags < kMaxTags; ++tags) {
        const qsizetype start = page.indexOf(open, from, Qt::CaseInsensitive);
        if (start < 0)
            return {};
        qsizetype end = page.indexOf(u'>', start);
        if (end < 0)
            end = page.size();
        from = end;
        const QStringView tag = QStringView(page).mid(start, end - start);
        if (htmlAttributeValue(tag, QLatin1String(" id=")).toLower() != wanted)
            continue;
        const QString src =
            stringByUnescapingHTML(htmlAttributeValue(tag, QLatin1String(" src="))).trimmed();
        if (!src.isEmpty())
            return src;
    }
    return {};
}
