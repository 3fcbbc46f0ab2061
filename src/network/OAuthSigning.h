#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QUrl>
#include <memory>

class HttpRequest;

// OAuth 1.0 request signing (RFC 5849): signature providers, parameter normalisation, the
// signature base string and the "Authorization" header. Everything here is pure apart
// from the nonce and the clock, and safe from any worker thread.

class SignatureProvider
{
public:
    virtual ~SignatureProvider() = default;
    [[nodiscard]] virtual QString signatureMethod() const = 0;
    [[nodiscard]] virtual QString signPlainText(const QString &text,
                                                const QString &secret) const = 0;
};

// Base64 of HMAC-SHA1(secret, text) without line breaks: a trailing line feed would be
// sent as "%0A" and strict servers reject it.
class SignatureProviderHMAC_SHA1 : public SignatureProvider
{
public:
    [[nodiscard]] QString signatureMethod() const override;
    [[nodiscard]] QString signPlainText(const QString &text, const QString &secret) const override;
};

// The secret itself; only meaningful over TLS.
class SignatureProviderPlainText : public SignatureProvider
{
public:
    [[nodiscard]] QString signatureMethod() const override;
    [[nodiscard]] QString signPlainText(const QString &text, const QString &secret) const override;
};

// Told the signed and the raw time whenever a request is signed, and asked for the
// process-wide clock correction.
class OAuthAuthenticationTimestampDelegate
{
public:
    virtual ~OAuthAuthenticationTimestampDelegate() = default;
    [[nodiscard]] virtual int timestampOffset() const = 0;
    virtual void setOAuthTimeStamp(qint64 signedTimestamp, qint64 originalTimestamp) = 0;
};

// One name/value pair of the normalised parameter list.
struct OAuthParameterPair
{
    QString name;
    QString value;
    friend bool operator==(const OAuthParameterPair &, const OAuthParameterPair &) = default;
};

// What signing reads from a request: the method, the URL as it will be sent and, for a
// URL-encoded form request, its string fields in order.
struct OAuthRequestParts
{
    QString method = QStringLiteral("GET");
    QUrl url;
    QList<QPair<QString, QString>> formFields;
};

// The consumer and token credentials of one signing. oauth_version is optional in the
// protocol; our requests send it, published examples without it need it left out.
struct OAuthCredentials
{
    QString consumerKey;
    QString consumerSecret;
    QString token;
    QString tokenSecret;
    bool sendVersion = true;
};

class OAuthSigning
{
public:
    // RFC 3986 unreserved characters stay, every other UTF-8 byte becomes %XX.
    [[nodiscard]] static QString encode(const QByteArray &bytes);
    [[nodiscard]] static QString encode(const QString &text);

    // A fresh UUID, 36 characters.
    [[nodiscard]] static QString oauthNonceString();
    // Seconds since 1970 from the shared clock plus the delegate's offset; the delegate
    // (when given) is told both values.
    [[nodiscard]] static QString
    oauthTimestampString(OAuthAuthenticationTimestampDelegate *delegate);

    // The pairs of the URL's query, decoded and re-encoded (so "%7e" and "~" agree).
    [[nodiscard]] static QList<OAuthParameterPair> queryParameters(const QUrl &url);
    // Sorted by name, then value; "n=v&..." for the base string, n="v",... for the header.
    // The pairs must already be encoded.
    [[nodiscard]] static QString oauthParametersString(QList<OAuthParameterPair> pairs,
                                                       bool forHeader);
    // scheme://host[:port]/path, lower-cased, the port only when not the scheme's default.
    [[nodiscard]] static QString baseUrl(const QUrl &url);
    [[nodiscard]] static QString signingKey(const QString &consumerSecret,
                                            const QString &tokenSecret);

    [[nodiscard]] static QString signatureBaseString(const OAuthRequestParts &request,
                                                     const OAuthCredentials &credentials,
                                                     const QString &signatureMethod,
                                                     const QString &nonce,
                                                     const QString &timestamp);
    [[nodiscard]] static QString oauthSignature(const OAuthRequestParts &request,
                                                const OAuthCredentials &credentials,
                                                const SignatureProvider &provider,
                                                const QString &nonce, const QString &timestamp);
    // The "Authorization" header value for a given nonce and timestamp.
    [[nodiscard]] static QString authorizationHeader(const OAuthRequestParts &request,
                                                     const OAuthCredentials &credentials,
                                                     const SignatureProvider &provider,
                                                     const QString &nonce,
                                                     const QString &timestamp);
    // The same with a new nonce and the (corrected) current time.
    [[nodiscard]] static QString
    authorizationHeader(const OAuthRequestParts &request, const OAuthCredentials &credentials,
                        const SignatureProvider &provider,
                        OAuthAuthenticationTimestampDelegate *delegate);

    // The method, URL and string form fields of a configured request.
    [[nodiscard]] static OAuthRequestParts partsOfRequest(const HttpRequest &request);
    // Signs a configured request: adds its "Authorization" header. Call it after the
    // method, URL and form fields are final.
    static void oauthAuthentication(HttpRequest &request, const OAuthCredentials &credentials,
                                    const SignatureProvider &provider,
                                    OAuthAuthenticationTimestampDelegate *delegate);
};
