#include "sharing/RTTextServiceRequestOperation.h"

#include "foundation/HostProfile.h"
#include "foundation/Log.h"
#include "http/HttpRequest.h"
#include "network/RTStatusManager.h"

#include <QMutexLocker>

void RTTextServiceRequestOperation::cancel()
{
    RTRequestOperation::cancel();
    std::shared_ptr<HttpRequest> running;
    {
        QMutexLocker lock(&m_lock);
        running = m_request;
    }
    if (running)
        running->cancel();
}

QString RTTextServiceRequestOperation::failureReason() const
{
    QMutexLocker lock(&m_lock);
    return m_failureReason;
}

void RTTextServiceRequestOperation::setFailureReason(const QString &reason)
{
    QMutexLocker lock(&m_lock);
    m_failureReason = reason;
}

QString RTTextServiceRequestOperation::serviceBase(const char *profileService)
{
    const QUrl base = HostProfile::current().baseUrl(QString::fromLatin1(profileService));
    if (!base.isValid() || base.host().isEmpty())
        return {};
    QString text = base.toString(QUrl::FullyEncoded);
    while (text.endsWith(QLatin1Char('/')))
        text.chop(1);
    return text;
}

std::optional<QByteArray> RTTextServiceRequestOperation::runRequest(const QUrl &url,
                                                                    const char *context)
{
    setFailureReason(QString());
    if (isCancelled())
        return std::nullopt;
    if (!url.isValid() || url.host().isEmpty()) {
        setFailureReason(QStringLiteral("No host is configured for this service"));
        qCWarning(lcNetwork) << "text service: no host configured";
        return std::nullopt;
    }
    auto request = HttpRequest::requestWithURL(url);
    request->setTimeOutSeconds(kTimeOutSeconds);
    request->setMaxResponseBodySize(kMaxAnswerBytes);
    request->setShouldAttemptPersistentConnection(false);
    {
        QMutexLocker lock(&m_lock);
        m_request = request;
    }
    // A cancel between the check above and the store would have missed the request.
    if (isCancelled())
        return std::nullopt;

    const QString contextString = QString::fromLatin1(context);
    RTStatusManager::sharedManager().addStatusWithObject(this, contextString, QString(), true);
    request->startSynchronous();
    RTStatusManager::sharedManager().removeStatusForObject(this, contextString);
    {
        QMutexLocker lock(&m_lock);
        m_request.reset();
    }
    if (isCancelled())
        return std::nullopt;
    if (!request->error().isNull()) {
        setFailureReason(request->error().localizedDescription());
        qCInfo(lcNetwork) << "text service:" << request->error().localizedDescription();
        return std::nullopt;
    }
    if (request->responseStatusCode() != 200) {
        setFailureReason(
            QStringLiteral("The service answered HTTP %1").arg(request->responseStatusCode()));
        qCInfo(lcNetwork) << "text service: HTTP" << request->responseStatusCode();
        return std::nullopt;
    }
    return request->responseData();
}
