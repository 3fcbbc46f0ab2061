#pragma once

#include "OAuthVerifier.h"
#include "SandboxJson.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace httplib {
struct Request;
struct Response;
} // namespace httplib

// One request as the route handlers see it, and the answer they build.
struct SandboxCall
{
    const httplib::Request *req = nullptr;
    bool tls = false;
    QByteArray method;     // upper case
    QString host;          // lower case, without the port
    QByteArray hostHeader; // as sent, with the port
    QString path;          // decoded
    QByteArray rawPath;    // as sent, the form a signature covers
    QList<OAuthVerifier::Param> query;
    QList<OAuthVerifier::Param> form; // form-urlencoded body, or multipart text fields
    QByteArray authorization;
    qint64 now = 0; // the sandbox's clock, seconds since 1970

    // A status the faults file asks for; answered once the caller got past the checks.
    int injectedStatus = 0;
    // Milliseconds to wait before answering, outside the server's state lock (a host that
    // never answers).
    int holdMs = 0;

    qint64 userId = 0; // the account a signed Twitter request is for
    QString account;   // who to log (never a secret)

    // A recorded answer to give instead of the live one, once the request passed the
    // checks a live answer would need (set from the faults file).
    struct Replay
    {
        int status = 200;
        QByteArray body;
        QByteArray contentType;
    };
    std::optional<Replay> replay;

    int status = 200;
    QByteArray body;
    // No charset suffix: the server compresses only this exact type (JSON is UTF-8 anyway).
    QByteArray contentType = "application/json";
    QList<QPair<QByteArray, QByteArray>> headers;

    [[nodiscard]] bool has(const char *name) const;
    // Query parameter first, then form field; empty when absent.
    [[nodiscard]] QString param(const char *name) const;
    [[nodiscard]] qint64 intParam(const char *name, qint64 fallback) const;
    [[nodiscard]] QByteArray header(const char *name) const;
    // "https://host:port" as the client reached us, for links we hand out.
    [[nodiscard]] QString origin() const;

    void json(const SandboxJson &value, int httpStatus = 200);
    void text(const QByteArray &value, int httpStatus = 200,
              const QByteArray &type = "text/plain; charset=utf-8");
    void addHeader(const QByteArray &name, const QByteArray &value);
    // Answers with the replay when there is one; false otherwise.
    bool answerWithReplay();
};

// Dates in the two forms the client parses, always with English names and +0000.
QString twitterDate(qint64 secs); // "Thu Apr 02 22:57:00 +0000 2009"
QString searchDate(qint64 secs);  // "Fri, 03 Apr 2009 16:55:40 +0000"
QByteArray httpDate(qint64 secs); // "Fri, 03 Apr 2009 16:55:40 GMT"
QString htmlEscape(const QString &s);

// lo <= v <= hi, for numbers that come from requests.
constexpr qint64 boundInt(qint64 lo, qint64 v, qint64 hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}
