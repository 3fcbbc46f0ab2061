#pragma once

#include "network/RTRequestOperation.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QUrl>
#include <memory>
#include <optional>

// Base of the one-off text requests the user starts (shrinking a post, translating a
// message). They are not account requests: main() runs one plain GET of its own with a
// status line, and the answer is read by the subclass. Failures are never shown to the
// user; they are logged and kept in failureReason() for the caller.
class RTTextServiceRequestOperation : public RTRequestOperation
{
public:
    // Answers are a few lines of JSON; anything larger is not one.
    static constexpr qint64 kMaxAnswerBytes = 256 * 1024;
    static constexpr double kTimeOutSeconds = 20.0;

    void cancel() override;

    // Why the last run gave no result; empty after a success.
    [[nodiscard]] QString failureReason() const;

    // The base URL of a host profile service, without a trailing slash; empty when the
    // installed profile does not name it.
    [[nodiscard]] static QString serviceBase(const char *profileService);

protected:
    // Runs a GET of url with a status line under context, unless cancelled before or
    // during the run. The body of a 200 answer; nullopt after a failure or a cancel.
    std::optional<QByteArray> runRequest(const QUrl &url, const char *context);
    void setFailureReason(const QString &reason);

    // Requests of this kind never go through the table-driven sequence.
    bool urlInformationForRequestType(qint32, RTUrlInformation &) override { return false; }
    QString errorStringForHTTPResponseStatusCode(int, const QString &, HttpRequest &) override
    {
        return {};
    }
    QString failureStringFromServerWithObjCResponse(const QVariant &) override { return {}; }
    bool dealWithResponse(const QVariant &, QVariantMap &, HttpRequest &) override { return false; }

private:
    mutable QMutex m_lock; // m_request, m_failureReason
    std::shared_ptr<HttpRequest> m_request;
    QString m_failureReason;
};
