#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>
#include <mutex>
#include <set>
#include <utility>

// The sandbox's own check of OAuth 1.0 HMAC-SHA1 signatures (RFC 5849), independent of
// the client's signing code, so the two cannot share a mistake.
class OAuthVerifier
{
public:
    using Param = QPair<QByteArray, QByteArray>; // decoded name, decoded value

    struct Request
    {
        QByteArray method;
        QByteArray scheme;        // "http" or "https"
        QByteArray host;          // Host header, possibly with ":port"
        QByteArray path;          // decoded request path, no query
        QList<Param> queryParams; // decoded
        QList<Param> bodyParams;  // decoded; only for form-urlencoded bodies
        QByteArray authorization; // the "Authorization" header value
    };

    struct Result
    {
        bool ok = false;
        QString error;    // why it failed (for the log and the 401 body)
        QByteArray token; // oauth_token (empty for the xAuth exchange)
        QByteArray consumerKey;
    };

    // Looks up the secret of a token; false when the token is unknown.
    using TokenSecretLookup = std::function<bool(const QByteArray &token, QByteArray *secret)>;

    OAuthVerifier(QByteArray consumerKey, QByteArray consumerSecret);

    // Checks the header, the timestamp window (300 s either way of nowSecs), nonce reuse
    // and the signature.
    Result verify(const Request &request, qint64 nowSecs, const TokenSecretLookup &lookup);

    // RFC 5849 building blocks (public for tests and for signing test requests).
    static QByteArray percentEncode(const QByteArray &bytes);
    static QByteArray percentDecode(const QByteArray &text, bool plusIsSpace);
    static QList<Param> parseForm(const QByteArray &text);
    static QByteArray baseStringUri(const QByteArray &scheme, const QByteArray &host,
                                    const QByteArray &path);
    static QByteArray normalizedParameters(QList<Param> params);
    static QByteArray signatureBaseString(const QByteArray &method, const QByteArray &baseUri,
                                          const QList<Param> &params);
    static QByteArray hmacSha1Base64(const QByteArray &key, const QByteArray &text);
    // Parses `OAuth a="b", c="d"`; false when it is not an OAuth header.
    static bool parseAuthorizationHeader(const QByteArray &header, QList<Param> *params);
    // A complete header for a request, signed with the given credentials (test helper).
    static QByteArray sign(const Request &request, const QByteArray &consumerKey,
                           const QByteArray &consumerSecret, const QByteArray &token,
                           const QByteArray &tokenSecret, const QByteArray &nonce,
                           qint64 timestamp);

    static constexpr qint64 kTimestampWindowSecs = 300;

private:
    QByteArray m_consumerKey;
    QByteArray m_consumerSecret;
    std::mutex m_nonceMutex;
    std::set<std::pair<qint64, QByteArray>> m_seenNonces; // (timestamp, nonce)
};
