#include "store/TAImageDownloadOperation.h"

#include "foundation/Log.h"
#include "foundation/MainThread.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/StringAdditions.h"
#include "http/HttpRequest.h"

#include <QMetaObject>
#include <QVariantMap>

TAImageDownloadOperation::TAImageDownloadOperation(const QString &url, QObject *target)
    : m_url(url)
    , m_target(target)
{
}

void TAImageDownloadOperation::main()
{
    const QUrl url(standardScapedOutString(m_url), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) {
        qCDebug(lcStore) << "not a picture link:" << m_url;
        return;
    }
    HttpRequest request(url);
    request.setMaxResponseBodySize(kMaxPictureSize);
    request.startSynchronous();
    // An error page is not a picture: only a successful answer with a body counts.
    const int status = request.responseStatusCode();
    if (request.error() || status < 200 || status > 299 || request.responseData().isEmpty()) {
        qCDebug(lcStore) << "picture download failed:" << status << request.error().codeValue();
        return;
    }
    if (isCancelled())
        return;
    QVariantMap info;
    info.insert(QLatin1String(kRTImageDataKey), request.responseData());
    info.insert(QLatin1String(kRTImageURLKey), m_url);
    // The target is checked and called on the main thread, where it would be deleted.
    runOnMainThread(
        [target = m_target, info] {
            if (target &&
                !QMetaObject::invokeMethod(target, "newImageDownloaded", Qt::DirectConnection,
                                           Q_ARG(QVariantMap, info)))
                qCDebug(lcStore) << "picture target does not take downloads";
        },
        false);
}
