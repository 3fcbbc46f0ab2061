#include "sharing/RTImageUploader.h"

#include "accounts/RTServiceImager.h"
#include "foundation/Localization.h"
#include "foundation/OperationQueue.h"
#include "foundation/RTGlobalVariables.h"
#include "network/RTServiceRequests.h"
#include "platform/Alerts.h"
#include "platform/DesktopApplication.h"
#include "sharing/RTRequestCallback.h"
#include "sharing/RTRequestOperationImager.h"
#include "twitter/RTServiceTwitter.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>

RTServicePtr RTImageUploader::imagerForAccount(const RTServicePtr &account)
{
    if (const auto twitter = std::dynamic_pointer_cast<RTServiceTwitter>(account))
        if (twitter->defaultImager())
            return twitter->defaultImager();
    if (RTServicePtr registered = RTServiceImager::defaultImager())
        return registered;
    return RTServiceImager::anonymousImagerService(QStringLiteral("RTServiceTwitpic"));
}

RTRequestOperationPtr RTImageUploader::uploadImageWithTwitterService(
    const RTServicePtr &imager, const RTServicePtr &account, RTRequestDelegatePtr delegate,
    int insertionTag, const QByteArray &jpeg, std::function<void(qint64, qint64)> progress)
{
    const auto host = std::dynamic_pointer_cast<RTServiceImager>(imager);
    RTRequestOperationImager::Kind kind{};
    const QString className =
        host ? QString::fromLatin1(host->metaObject()->className()) : QString();
    if (!host || !account || !RTRequestOperationImager::kindOfClass(className, &kind) ||
        jpeg.isEmpty())
        return nullptr;
    if (jpeg.size() > host->imageSizeLimitInBytes()) {
        const auto text = [&className](int n) {
            return localizedString(QStringLiteral("##%1:%2##").arg(className).arg(n));
        };
        if (Alerts::hasShared())
            Alerts::shared().runInformation(text(1), text(2), text(0));
        if (DesktopApplication::hasShared())
            DesktopApplication::shared().beep();
        return nullptr;
    }
    const bool ownAccount = kind == RTRequestOperationImager::Kind::Mobypicture;
    const RTServicePtr credentials = ownAccount ? imager : account;
    const QVariantMap parameters = RTRequestOperationImager::uploadParameters(
        kind, jpeg, credentials->serviceId(), credentials->servicePassword());
    const QVariantMap userInfo{{QStringLiteral("insertionTag"), insertionTag},
                               {QString::fromLatin1(kRTQueuePriorityKey), 4},
                               {QStringLiteral("service"), QVariant::fromValue(account)},
                               {QString::fromLatin1(kRTBypassCredentialsCheckKey), true}};
    // The host is set on the operation here rather than by the account path, so the
    // progress handler is in place before a worker can start the upload.
    const RTRequestDelegatePtr answer = std::move(delegate);
    auto forward = [answer](bool success) {
        return [answer, success](const QVariantMap &result) {
            if (!answer)
                return;
            if (success)
                answer->serviceRequestSuccess(result);
            else
                answer->serviceRequestFailure(result);
        };
    };
    auto setup = [imager, progress = std::move(progress)](RTRequestOperation &operation) {
        operation.setService(imager);
        if (progress)
            operation.setUploadProgressHandler(progress);
    };
    return RTServiceRequests::doRequest(
        1, RTRequestCallback::make(forward(true), forward(false), std::move(setup)), parameters,
        userInfo, OperationQueue::ImmediateRequests, imager->requestOperationClass());
}

QByteArray RTImageUploader::getUploadDataFromImage(const QImage &image)
{
    if (image.isNull())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPEG", 90))
        return {};
    return bytes;
}

QByteArray RTImageUploader::uploadDataFromFile(const QString &path, qint64 maxFileBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxFileBytes)
        return {};
    QImageReader reader(&file);
    // Refuse pictures whose decoded size would exhaust memory.
    reader.setAllocationLimit(512);
    const QByteArray format = reader.format();
    if (format.isEmpty())
        return {};
    if (format == "jpeg" || format == "jpg") {
        file.seek(0);
        return file.readAll();
    }
    return getUploadDataFromImage(reader.read());
}
