#pragma once

#include "accounts/RTService.h"
#include "network/RTRequestOperation.h"

#include <QByteArray>

class QImage;

// Uploads a picture to a picture host for a posting account.
class RTImageUploader
{
public:
    // The host the account posts pictures to: its own choice, else the first registered
    // Twitpic service, else an anonymous Twitpic, so a picture can always be shared.
    [[nodiscard]] static RTServicePtr imagerForAccount(const RTServicePtr &account);

    // Sends jpeg to the host as request type 1 on the immediate queue; the delegate gets
    // the result with the link under kRTImageURLKey; progress is told the bytes sent and in
    // all, on the request's worker thread. A picture larger than the host
    // allows is refused with an alert and a beep: null, nothing sent. Credentials are the
    // posting account's, except for a host that is an account of its own.
    static RTRequestOperationPtr
    uploadImageWithTwitterService(const RTServicePtr &imager, const RTServicePtr &account,
                                  RTRequestDelegatePtr delegate, int insertionTag,
                                  const QByteArray &jpeg,
                                  std::function<void(qint64, qint64)> progress = {});

    // The picture as JPEG at quality 90; empty for a null picture.
    [[nodiscard]] static QByteArray getUploadDataFromImage(const QImage &image);
    // A picture file as upload data: a JPEG file as it is, any other picture re-encoded.
    // Empty when the file is no picture or is larger than maxFileBytes.
    [[nodiscard]] static QByteArray uploadDataFromFile(const QString &path,
                                                       qint64 maxFileBytes = 64 * 1024 * 1024);
};
