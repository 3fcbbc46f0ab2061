#pragma once

#include "foundation/OperationQueue.h"

#include <QObject>
#include <QPointer>
#include <QString>

// Downloads one picture on a worker and hands {kRTImageURLKey, kRTImageDataKey} to the
// target's newImageDownloaded(QVariantMap) on the main thread, without waiting. Nothing
// is reported when no picture arrives. A target that is gone by then gets nothing.
class TAImageDownloadOperation : public Operation
{
public:
    TAImageDownloadOperation(const QString &url, QObject *target);

    [[nodiscard]] QString url() const { return m_url; }
    [[nodiscard]] QObject *target() const { return m_target.data(); }

    void main() override;

    // Larger answers are not pictures we show.
    static constexpr qint64 kMaxPictureSize = 8 * 1024 * 1024;

private:
    QString m_url;
    QPointer<QObject> m_target;
};
