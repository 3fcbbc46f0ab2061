#pragma once

#include "foundation/OperationQueue.h"

#include <QObject>
#include <QPointer>
#include <QString>

// Downloads one picture on a worker and hands {kRTImageURLKey, kRTImageDataKey} to the
// target's newImageDownloaded(QVariantMap) on the main thread, without waiting. When no
// picture arrives (a failure, an error page, an answer that is not a picture) a target
// with imageDownloadFailed(QVariantMap) gets {kRTImageURLKey}; others get nothing. A
// target that is gone by then gets nothing.
class TAImageDownloadOperation : public Operation
{
public:
    TAImageDownloadOperation(const QString &url, QObject *target);

    [[nodiscard]] QString url() const { return m_url; }
    [[nodiscard]] QObject *target() const { return m_target.data(); }

    void main() override;

    // Larger answers are not pictures we show.
    static constexpr qint64 kMaxPictureSize = 8 * 1024 * 1024;

    // Whether data starts like a picture format we show (PNG, JPEG, GIF, BMP, WebP).
    [[nodiscard]] static bool looksLikePicture(const QByteArray &data);

private:
    void reportFailure() const;

    QString m_url;
    QPointer<QObject> m_target;
};
