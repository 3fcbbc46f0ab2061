#pragma once

#include "http/HttpError.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>
#include <optional>

// One request/response round trip over libcurl. It knows nothing of redirects, cookies
// or form bodies: HttpRequest decides those and drives it.
class CurlExchange
{
public:
    struct Request
    {
        QUrl url;
        QByteArray method;
        // Complete "Name: value" lines; "Name:" removes a header curl would add itself.
        QList<QByteArray> headerLines;
        QByteArray body;
        // Answer Basic and Digest challenges with these.
        bool withAuth = false;
        QByteArray authUser;
        QByteArray authPassword;
        QString caBundle;
        bool persistent = true;
        int persistentTimeoutSeconds = 60;
        // Seconds without any bytes moving.
        double timeOutSeconds = 10;
        // When the exchange must have ended, bytes moving or not; none when unset.
        std::optional<std::chrono::steady_clock::time_point> deadline;
        qint64 maxBodySize = 0;
        std::function<bool()> isCancelled;
        // Bytes of the body sent so far and in all; called on the exchange's thread.
        std::function<void(qint64 sent, qint64 total)> onUploadProgress;
    };

    struct Response
    {
        // Of the last response received; interim and challenge responses are dropped.
        int status = 0;
        QString statusMessage;
        QList<QPair<QString, QString>> headers;
        QList<QByteArray> setCookies;
        QByteArray body;
        HttpError error;
    };

    [[nodiscard]] static Response perform(const Request &request);
};
