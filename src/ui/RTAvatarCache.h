#pragma once

#include <QHash>
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QSet>
#include <functional>

// Profile pictures for the rows: bytes from the store's picture cache (which downloads
// what it lacks on its own queue), decoded and scaled on a worker, kept as pixmaps.
// Main thread only; emits changed() when a picture becomes available.
class RTAvatarCache : public QObject
{
    Q_OBJECT
public:
    // fetch answers the cached bytes for a URL or an empty array (and starts a download).
    using Fetch = std::function<QByteArray(const QString &url)>;

    explicit RTAvatarCache(Fetch fetch, QObject *parent = nullptr);
    ~RTAvatarCache() override;

    // The picture at the given device-independent size, or a null pixmap for now.
    QPixmap avatar(const QString &url, int size, qreal devicePixelRatio);
    // A download finished somewhere: ask again for what was missing.
    void imagesArrived();

signals:
    void changed();

private:
    void decoded(const QString &key, const QImage &image);

    Fetch m_fetch;
    QHash<QString, QPixmap> m_pixmaps;
    QSet<QString> m_pending;
    QSet<QString> m_waitingForDownload;
    int m_observer = 0;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
