#include "network/OAuthSigning.h"

#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "foundation/StringAdditions.h"
#include "http/FormDataRequest.h"

#include <QUuid>
#include <algorithm>
#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace {

// Form-style decoding: "+" is a space, as the server reads it.
QByteArray decodeComponent(QByteArray raw)
{
    raw.replace('+', ' ');
    return QByteArray::fromPercentEncoding(raw);
}

} // namespace

QString SignatureProviderHMAC_SHA1::signatureMethod() const
{
    return QStringLiteral("HMAC-SHA1");
}

QString SignatureProviderHMAC_SHA1::signPlainText(const QString &text, const QString &secret) const
{
    const QByteArray data = text.toUtf8();
    const QByteArray key = secret.toUtf8();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    if (!HMAC(EVP_sha1(), key.constData(), static_cast<int>(key.size()),
              reinterpret_cast<const unsigned char *>(data.constData()),
              static_cast<size_t>(data.size()), digest, &digestLength))
        return {};
    // 20 bytes give 28 characters plus the terminator.
    unsigned char base64[64];
    const int length = EVP_EncodeBlock(base64, digest, static_cast<int>(digestLength));
    return QString::fromLatin1(reinterpret_cast<const char *>(base64), length);
}

QString SignatureProviderPlainText::signatureMethod() const
{
    return QStringLiteral("PLAINTEXT");
}

QString SignatureProviderPlainText::signPlainText(const QString &, const QString &secret) const
{
    return secret;
}

QString OAuthSigning::encode(const QByteArray &bytes)
{
    // RFC 5849's encoding is the query encoding: unreserved bytes kept, the rest %XX.
    return encodeForQueryString(bytes);
}

QString OAuthSigning::encode(const QString &text)
{
    return encode(text.toUtf8());
}

QString OAuthSigning::oauthNonceString()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString OAuthSigning::oauthTimestampString(OAuthAuthenticationTimestampDelegate *delegate)
{
    const qint64 raw = Clock::secondsSinceEpoch();
    qint64 corrected = raw;
    if (delegate) {
        corrected += delegate->timestampOffset();
        delegate->setOAuthTimeStamp(corrected, raw);
    }
    return QString::number(corrected);
}

QList<OAuthParameterPair> OAuthSigning::queryParameters(const QUrl &url)
{
    QList<OAuthParameterPair> pairs;
    if (!url.hasQuery())
        return pairs;
    const QByteArray query = url.query(QUrl::FullyEncoded).toLatin1();
    for (const QByteArray &component : query.split('&')) {
        const qsizetype eq = component.indexOf('=');
        const QByteArray name = eq < 0 ? component : component.left(eq);
        const QByteArray value = eq < 0 ? QByteArray() : component.mid(eq + 1);
        pairs.append({encode(decodeComponent(name)), encode(decodeComponent(value))});
    }
    return pairs;
}

QString OAuthSigning::oauthParametersString(QList<OAuthParameterPair> pairs, bool forHeader)
{
    std::sort(pairs.begin(), pairs.end(),
              [](const OAuthParameterPair &a, const OAuthParameterPair &b) {
                  const int byName = QString::compare(a.name, b.name, Qt::CaseSensitive);
                  return byName != 0 ? byName < 0
                                     : QString::compare(a.value, b.value, Qt::CaseSensitive) < 0;
              });
    QStringList parts;
    parts.reserve(pairs.size());
    for (const OAuthParameterPair &pair : pairs) {
        if (forHeader)
            parts.append(pair.name + QStringLiteral("=\"") + pair.value + QLatin1Char('"'));
        else
            parts.append(pair.name + QLatin1Char('=') + pair.value);
    }
    return parts.join(forHeader ? QLatin1Char(',') : QLatin1Char('&'));
}

QString OAuthSigning::baseUrl(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    const QString host = url.host(QUrl::FullyEncoded).toLower();
    QString path = url.path(QUrl::FullyEncoded);
    if (path.isEmpty())
        path = QStringLiteral("/");
    const int port = url.port();
    const bool defaultPort = port < 0 || (scheme == QLatin1String("http") && port == 80) ||
                             (scheme == QLatin1String("https") && port == 443) ||
                             (scheme != QLatin1String("http") && scheme != QLatin1String("https"));
    if (defaultPort)
        return scheme + QStringLiteral("://") + host + path;
    return scheme + QStringLiteral("://") + host + QLatin1Char(':') + QString::number(port) + path;
}

QString OAuthSigning::signingKey(const QString &consumerSecret, const QString &tokenSecret)
{
    return encode(consumerSecret) + QLatin1Char('&') + encode(tokenSecret);
}

QString OAuthSigning::signatureBaseString(const OAuthRequestParts &request,
                                          const OAuthCredentials &credentials,
                                          const QString &signatureMethod, const QString &nonce,
                                          const QString &timestamp)
{
    QList<OAuthParameterPair> pairs{
        {QStringLiteral("oauth_nonce"), encode(nonce)},
        {QStringLiteral("oauth_timestamp"), encode(timestamp)},
        {QStringLiteral("oauth_signature_method"), encode(signatureMethod)},
        {QStringLiteral("oauth_token"), encode(credentials.token)},
        {QStringLiteral("oauth_consumer_key"), encode(credentials.consumerKey)},
    };
    if (credentials.sendVersion)
        pairs.append({QStringLiteral("oauth_version"), QStringLiteral("1.0")});
    // Form values are the decoded values the body carries; encoding them here is what a
    // server does after decoding the body, so a literal "%41" is signed as "%2541".
    for (const auto &field : request.formFields)
        pairs.append({encode(field.first), encode(field.second)});
    pairs.append(queryParameters(request.url));

    return request.method.toUpper() + QLatin1Char('&') + encode(baseUrl(request.url)) +
           QLatin1Char('&') + encode(oauthParametersString(pairs, false));
}

QString OAuthSigning::oauthSignature(const OAuthRequestParts &request,
                                     const OAuthCredentials &credentials,
                                     const SignatureProvider &provider, const QString &nonce,
                                     const QString &timestamp)
{
    const QString base =
        signatureBaseString(request, credentials, provider.signatureMethod(), nonce, timestamp);
    return provider.signPlainText(base,
                                  signingKey(credentials.consumerSecret, credentials.tokenSecret));
}

QString OAuthSigning::authorizationHeader(const OAuthRequestParts &request,
                                          const OAuthCredentials &credentials,
                                          const SignatureProvider &provider, const QString &nonce,
                                          const QString &timestamp)
{
    const QString signature = oauthSignature(request, credentials, provider, nonce, timestamp);
    const QString realm = request.url.scheme() + QStringLiteral("://") +
                          request.url.host(QUrl::FullyEncoded) +
                          request.url.path(QUrl::FullyEncoded);
    QList<OAuthParameterPair> pairs{
        {QStringLiteral("realm"), encode(realm)},
        {QStringLiteral("oauth_consumer_key"), encode(credentials.consumerKey)},
        {QStringLiteral("oauth_token"), encode(credentials.token)},
        {QStringLiteral("oauth_nonce"), encode(nonce)},
        {QStringLiteral("oauth_signature"), encode(signature)},
        {QStringLiteral("oauth_timestamp"), encode(timestamp)},
        {QStringLiteral("oauth_signature_method"), encode(provider.signatureMethod())},
    };
    if (credentials.sendVersion)
        pairs.append({QStringLiteral("oauth_version"), QStringLiteral("1.0")});
    return QStringLiteral("OAuth ") + oauthParametersString(pairs, true);
}

QString OAuthSigning::authorizationHeader(const OAuthRequestParts &request,
                                          const OAuthCredentials &credentials,
                                          const SignatureProvider &provider,
                                          OAuthAuthenticationTimestampDelegate *delegate)
{
    const QString nonce = oauthNonceString();
    const QString timestamp = oauthTimestampString(delegate);
    return authorizationHeader(request, credentials, provider, nonce, timestamp);
}

OAuthRequestParts OAuthSigning::partsOfRequest(const HttpRequest &request)
{
    OAuthRequestParts parts;
    parts.method = request.requestMethod();
    parts.url = request.url();
    if (const auto *form = dynamic_cast<const FormDataRequest *>(&request)) {
        // A form request is sent as POST unless it is a PUT.
        if (parts.method.compare(QLatin1String("PUT"), Qt::CaseInsensitive) != 0)
            parts.method = QStringLiteral("POST");
        parts.formFields = form->postData();
    }
    return parts;
}

void OAuthSigning::oauthAuthentication(HttpRequest &request, const OAuthCredentials &credentials,
                                       const SignatureProvider &provider,
                                       OAuthAuthenticationTimestampDelegate *delegate)
{
    const QString header =
        authorizationHeader(partsOfRequest(request), credentials, provider, delegate);
    request.addRequestHeader(QByteArrayLiteral("Authorization"), header.toLatin1());
}
