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

bool TAImageDownloadOperation::looksLikePicture(const QByteArray &data)
{
    return data.startsWith("\x89PNG") || data.startsWith("\xff\xd8\xff") ||
           data.startsWith("GIF87a") || data.startsWith("GIF89a") ||
           (data.startsWith("BM") && data.size() > 26) ||
           (data.startsWith("RIFF") && data.mid(8, 4) == "WEBP");
}

void TAImageDownloadOperation::reportFailure() const
{
    if (isCancelled())
        return;
    const QVariantMap info{{QLatin1String(kRTImageURLKey), m_url}};
    runOnMainThread(
        [target = m_target, info] {
            if (target &&
                target->metaObject()->indexOfMethod("imageDownloadFailed(QVariantMap)") >= 0)
                QMetaObject::invokeMethod(target, "imageDownloadFailed", Qt::DirectConnection,
                                          Q_ARG(QVariantMap, info));
        },
        false);
}

void TAImageDownloadOperation::main()
{
    const QUrl url(standardScapedOutString(m_url), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) {
        qCDebug(lcStore) << "not a picture link:" << m_url;
        reportFailure();
        return;
    }
    HttpRequest request(url);
    request.setMaxResponseBodySize(kMaxPictureSize);
    request.startSynchronous();
    // An error page is not a picture: only a successful answer with a body counts.
    const int status = request.responseStatusCode();
    if (request.error() || status < 200 || status > 299 || request.responseData().isEmpty()) {
        qCDebug(lcStore) << "picture download failed:" << status << request.error().codeValue();
        reportFailure();
        return;
    }
    // A page where a picture was expected is kept out of the picture cache.
    if (!looksLikePicture(request.responseData())) {
        qCDebug(lcStore) << "answer is not a picture:" << m_url;
        reportFailure();
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
