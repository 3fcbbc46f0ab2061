#include "ui/RTAvatarCache.h"

#include "foundation/NotificationCenter.h"
#include "foundation/RTGlobalVariables.h"

#include <QPointer>
#include <QThreadPool>

namespace {
constexpr int kMaxPixmaps = 1500;
}

RTAvatarCache::RTAvatarCache(Fetch fetch, QObject *parent)
    : QObject(parent)
    , m_fetch(std::move(fetch))
{
    m_observer = NotificationCenter::defaultCenter().addObserver(
        QLatin1String(RTNewImageDownloadedNotification),
        [this](const void *, const QVariantMap &) { imagesArrived(); });
}

RTAvatarCache::~RTAvatarCache()
{
    *m_alive = false;
    NotificationCenter::defaultCenter().removeObserver(m_observer);
}

QPixmap RTAvatarCache::avatar(const QString &url, int size, qreal devicePixelRatio)
{
    if (url.isEmpty() || size <= 0)
        return {};
    const int pixels = int(size * devicePixelRatio);
    const QString key = url + QLatin1Char('@') + QString::number(pixels);
    auto it = m_pixmaps.constFind(key);
    if (it != m_pixmaps.constEnd())
        return *it;
    if (m_pending.contains(key) || m_waitingForDownload.contains(key))
        return {};
    const QByteArray bytes = m_fetch ? m_fetch(url) : QByteArray();
    if (bytes.isEmpty()) {
        m_waitingForDownload.insert(key);
        return {};
    }
    m_pending.insert(key);
    QPointer<RTAvatarCache> self(this);
    std::shared_ptr<bool> alive = m_alive;
    QThreadPool::globalInstance()->start([self, alive, key, bytes, pixels, devicePixelRatio] {
        QImage image = QImage::fromData(bytes);
        if (!image.isNull()) {
            image = image.scaled(pixels, pixels, Qt::KeepAspectRatioByExpanding,
                                 Qt::SmoothTransformation);
            image.setDevicePixelRatio(devicePixelRatio);
        }
        if (!*alive)
            return;
        QMetaObject::invokeMethod(
            self.data(),
            [self, key, image] {
                if (self)
                    self->decoded(key, image);
            },
            Qt::QueuedConnection);
    });
    return {};
}

void RTAvatarCache::decoded(const QString &key, const QImage &image)
{
    m_pending.remove(key);
    if (m_pixmaps.size() > kMaxPixmaps)
        m_pixmaps.clear();
    // A picture that does not decode stays a placeholder: it is not asked for again.
    m_pixmaps.insert(key, image.isNull() ? QPixmap() : QPixmap::fromImage(image));
    emit changed();
}

void RTAvatarCache::imagesArrived()
{
    if (m_waitingForDownload.isEmpty())
        return;
    m_waitingForDownload.clear();
    emit changed();
}
