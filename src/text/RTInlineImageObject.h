#pragma once

#include <QByteArray>
#include <QObject>
#include <QSize>
#include <QString>
#include <QVariantMap>
#include <memory>

class RTImageContainerResolver;

// One inline picture of a message: its thumbnail (the picture cache entry of the
// thumbnail link) and, on request, the full picture, found through the host's page when
// the link is a picture page. Main thread only.
class RTInlineImageObject : public QObject
{
    Q_OBJECT
public:
    // record: "thumbnailURL", "inlineImageLink", "standardLink", "logoName".
    explicit RTInlineImageObject(const QVariantMap &record, QObject *parent = nullptr);
    ~RTInlineImageObject() override;

    [[nodiscard]] static QSize inlineImageSizeLimit() { return {800, 600}; }
    [[nodiscard]] static QSize thumbnailSizeLimit() { return {70, 70}; }
    // The size to show a picture of the given size in: the limit without a picture, the
    // picture's own size when it fits strictly inside, else scaled to the limit.
    [[nodiscard]] static QSize displaySize(const QSize &picture, const QSize &limit);

    [[nodiscard]] bool loadImages() const { return m_loadImages; }
    // On: the thumbnail is asked for (once; the picture cache answers later calls).
    void setLoadImages(bool load);
    [[nodiscard]] QString thumbnailURL() const { return m_thumbnailURL; }
    void setThumbnailURL(const QString &url);
    // The cached thumbnail, or a null array while it is not there.
    [[nodiscard]] QByteArray thumbnailImage() const;

    [[nodiscard]] QString inlineImageLink() const { return m_inlineImageLink; }
    [[nodiscard]] QString standardLink() const { return m_standardLink; }
    [[nodiscard]] QString logoName() const { return m_logoName; }

    // Starts finding and downloading the full picture; inlineImageChanged or
    // inlineImageFailed follows.
    void getTheInlineImage();
    [[nodiscard]] QByteArray inlineImage() const { return m_inlineImage; }
    void releaseInlineImage();

    Q_INVOKABLE void newImageDownloaded(const QVariantMap &info);
    Q_INVOKABLE void imageDownloadFailed(const QVariantMap &info);

signals:
    void inlineImageChanged();
    void inlineImageFailed();

private:
    void getImageForUrl(const QString &url);

    bool m_loadImages = false;
    QString m_thumbnailURL;
    QString m_inlineImageLink;
    QString m_standardLink;
    QString m_logoName;
    QByteArray m_inlineImage;
    QString m_downloading;
    std::shared_ptr<RTImageContainerResolver> m_resolver;
};
