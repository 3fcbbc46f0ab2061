#include "text/RTInlineImageObject.h"

#include "foundation/MainThread.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/UrlKeys.h"
#include "store/TADataManager.h"
#include "store/TAImageDownloadOperation.h"
#include "text/RTImageContainerResolver.h"

#include <QPointer>
#include <cmath>

RTInlineImageObject::RTInlineImageObject(const QVariantMap &record, QObject *parent)
    : QObject(parent)
    , m_thumbnailURL(record.value(QStringLiteral("thumbnailURL")).toString())
    , m_inlineImageLink(record.value(QStringLiteral("inlineImageLink")).toString())
    , m_standardLink(record.value(QStringLiteral("standardLink")).toString())
    , m_logoName(record.value(QStringLiteral("logoName")).toString())
{
}

RTInlineImageObject::~RTInlineImageObject() = default;

QSize RTInlineImageObject::displaySize(const QSize &picture, const QSize &limit)
{
    if (picture.isEmpty())
        return limit;
    if (picture.width() < limit.width() && picture.height() < limit.height())
        return picture;
    const double aspect = double(picture.width()) / double(picture.height());
    if (picture.width() > picture.height())
        return {limit.width(), int(std::ceil(limit.width() / aspect))};
    return {int(std::ceil(limit.height() * aspect)), limit.height()};
}

void RTInlineImageObject::setLoadImages(bool load)
{
    m_loadImages = load;
    if (load && !m_thumbnailURL.isEmpty())
        (void)TADataManager::sharedManager().getImageForUrl(m_thumbnailURL);
}

void RTInlineImageObject::setThumbnailURL(const QString &url)
{
    m_thumbnailURL = url;
    if (m_loadImages && !url.isEmpty())
        (void)TADataManager::sharedManager().getImageForUrl(url);
}

QByteArray RTInlineImageObject::thumbnailImage() const
{
    if (m_thumbnailURL.isEmpty())
        return {};
    return TADataManager::sharedManager().imageCache().picture(dotlessUrl(m_thumbnailURL));
}

void RTInlineImageObject::getTheInlineImage()
{
    Q_ASSERT(isOnMainThread());
    if (!m_inlineImage.isEmpty()) {
        emit inlineImageChanged();
        return;
    }
    if (m_resolver || !m_downloading.isEmpty())
        return;
    if (m_inlineImageLink.isEmpty()) {
        emit inlineImageFailed();
        return;
    }
    m_resolver = RTImageContainerResolver::resolverForUrlString(m_inlineImageLink);
    if (!m_resolver) {
        getImageForUrl(m_inlineImageLink);
        return;
    }
    QPointer<RTInlineImageObject> self(this);
    m_resolver->startResolving([self](const QString &imageLink) {
        if (!self)
            return;
        self->m_resolver.reset();
        // A page that cannot be read: the link itself may still be the picture.
        self->getImageForUrl(imageLink.isEmpty() ? self->m_inlineImageLink : imageLink);
    });
}

void RTInlineImageObject::getImageForUrl(const QString &url)
{
    TADataManager &store = TADataManager::sharedManager();
    const QByteArray cached = store.imageCache().picture(dotlessUrl(url));
    if (!cached.isEmpty()) {
        m_inlineImage = cached;
        emit inlineImageChanged();
        return;
    }
    m_downloading = url;
    auto operation = std::make_shared<TAImageDownloadOperation>(url, this);
    operation->setQueuePriority(Operation::QueuePriorityVeryHigh);
    store.imageDownloadingRequestsQueue().addOperation(operation);
}

void RTInlineImageObject::newImageDownloaded(const QVariantMap &info)
{
    const QString url = info.value(QLatin1String(kRTImageURLKey)).toString();
    if (url != m_downloading)
        return;
    m_downloading.clear();
    m_inlineImage = info.value(QLatin1String(kRTImageDataKey)).toByteArray();
    // Kept in the picture cache too, so the picture opens at once next time.
    TADataManager::sharedManager().newImageDownloaded(info);
    emit inlineImageChanged();
}

void RTInlineImageObject::imageDownloadFailed(const QVariantMap &info)
{
    if (info.value(QLatin1String(kRTImageURLKey)).toString() != m_downloading)
        return;
    m_downloading.clear();
    emit inlineImageFailed();
}

void RTInlineImageObject::releaseInlineImage()
{
    m_inlineImage.clear();
}
