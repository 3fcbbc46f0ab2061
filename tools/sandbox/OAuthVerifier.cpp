#include "OAuthVerifier.h"

#include <QMessageAuthenticationCode>

#include <algorithm>

OAuthVerifier::OAuthVerifier(QByteArray consumerKey, QByteArray consumerSecret)
    : m_consumerKey(std::move(consumerKey))
    , m_consumerSecret(std::move(consumerSecret))
{
}

QByteArray OAuthVerifier::percentEncode(const QByteArray &bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(bytes.size() * 3);
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

QByteArray OAuthVerifier::percentDecode(const QByteArray &text, bool plusIsSpace)
{
    auto hexValue = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '%' && i + 2 < text.size() && hexValue(text.at(i + 1)) >= 0 &&
            hexValue(text.at(i + 2)) >= 0) {
            out += static_cast<char>(hexValue(text.at(i + 1)) * 16 + hexValue(text.at(i + 2)));
            i += 2;
        } else if (c == '+' && plusIsSpace) {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

QList<OAuthVerifier::Param> OAuthVerifier::parseForm(const QByteArray &text)
{
    QList<Param> params;
    if (text.isEmpty())
        return params;
    for (const QByteArray &part : text.split('&')) {
        if (part.isEmpty())
            continue;
        const qsizetype eq = part.indexOf('=');
        const QByteArray name = eq < 0 ? part : part.left(eq);
        const QByteArray value = eq < 0 ? QByteArray() : part.mid(eq + 1);
        params.append({percentDecode(name, true), percentDecode(value, true)});
    }
    return params;
}

QByteArray OAuthVerifier::baseStringUri(const QByteArray &scheme, const QByteArray &host,
                                        const QByteArray &path)
{
    const QByteArray lowerScheme = scheme.toLower();
    QByteArray lowerHost = host.toLower();
    // The default port is left out, any other kept.
    const qsizetype colon = lowerHost.lastIndexOf(':');
    if (colon > 0 && !lowerHost.endsWith(']')) {
        const QByteArray port = lowerHost.mid(colon + 1);
        if ((lowerScheme == "http" && port == "80") || (lowerScheme == "https" && port == "443"))
            lowerHost.truncate(colon);
    }
    return lowerScheme + "://" + lowerHost + (path.isEmpty() ? QByteArray("/") : path);
}

QByteArray OAuthVerifier::normalizedParameters(QList<Param> params)
{
    for (Param &p : params)
        p = {percentEncode(p.first), percentEncode(p.second)};
    std::sort(params.begin(), params.end());
    QByteArray out;
    for (const Param &p : params) {
        if (!out.isEmpty())
            out += '&';
        out += p.first + '=' + p.second;
    }
    return out;
}

QByteArray OAuthVerifier::signatureBaseString(const QByteArray &method, const QByteArray &baseUri,
                                              const QList<Param> &params)
{
    return method.toUpper() + '&' + percentEncode(baseUri) + '&' +
           percentEncode(normalizedParameters(params));
}

QByteArray OAuthVerifier::hmacSha1Base64(const QByteArray &key, const QByteArray &text)
{
    return QMessageAuthenticationCode::hash(text, key, QCryptographicHash::Sha1).toBase64();
}

bool OAuthVerifier::parseAuthorizationHeader(const QByteArray &header, QList<Param> *params)
{
    const QByteArray trimmed = header.trimmed();
    if (!trimmed.startsWith("OAuth ") && trimmed != "OAuth")
        return false;
    qsizetype i = 5;
    const qsizetype n = trimmed.size();
    while (i < n) {
        while (i < n && (trimmed.at(i) == ' ' || trimmed.at(i) == ','))
            ++i;
        if (i >= n)
            break;
        const qsizetype eq = trimmed.indexOf('=', i);
        if (eq < 0)
            return false;
        const QByteArray name = trimmed.mid(i, eq - i).trimmed();
        i = eq + 1;
        if (i >= n || trimmed.at(i) != '"')
            return false;
        const qsizetype close = trimmed.indexOf('"', i + 1);
        if (close < 0)
            return false;
        const QByteArray value = trimmed.mid(i + 1, close - i - 1);
        params->append({percentDecode(name, false), percentDecode(value, false)});
        i = close + 1;
    }
    return true;
}

OAuthVerifier::Result OAuthVerifier::verify(const Request &request, qint64 nowSecs,
                                            const TokenSecretLookup &lookup)
{
    Result result;
    auto fail = [&result](const char *why) {
        result.ok = false;
        result.error = QString::fromLatin1(why);
        return result;
    };
    QList<Param> headerParams;
    if (request.authorization.isEmpty())
        return fail("missing Authorization header");
    if (!parseAuthorizationHeader(request.authorization, &headerParams))
        return fail("malformed OAuth Authorization header");

    QList<Param> oauthParams;
    QByteArray signature, timestamp, nonce, method, version;
    bool hasToken = false;
    for (const Param &p : headerParams) {
        if (p.first == "realm")
            continue; // not signed
        if (p.first == "oauth_signature") {
            signature = p.second;
            continue;
        }
        for (const Param &seen : oauthParams) {
            if (seen.first == p.first)
                return fail("repeated OAuth parameter");
        }
        oauthParams.append(p);
        if (p.first == "oauth_consumer_key")
            result.consumerKey = p.second;
        else if (p.first == "oauth_token") {
            result.token = p.second;
            hasToken = true;
        } else if (p.first == "oauth_timestamp")
            timestamp = p.second;
        else if (p.first == "oauth_nonce")
            nonce = p.second;
        else if (p.first == "oauth_signature_method")
            method = p.second;
        else if (p.first == "oauth_version")
            version = p.second;
    }
    if (result.consumerKey.isEmpty() || signature.isEmpty() || timestamp.isEmpty() ||
        nonce.isEmpty() || method.isEmpty())
        return fail("missing OAuth parameter");
    if (method != "HMAC-SHA1")
        return fail("unsupported signature method");
    if (!version.isEmpty() && version != "1.0")
        return fail("unsupported OAuth version");
    if (result.consumerKey != m_consumerKey)
        return fail("unknown consumer key");
    bool numeric = false;
    const qint64 ts = timestamp.toLongLong(&numeric);
    if (!numeric || ts <= 0)
        return fail("bad timestamp");
    if (ts < nowSecs - kTimestampWindowSecs || ts > nowSecs + kTimestampWindowSecs)
        return fail("timestamp out of bounds");

    QByteArray tokenSecret;
    if (hasToken && !result.token.isEmpty()) {
        if (!lookup || !lookup(result.token, &tokenSecret))
            return fail("invalid token");
    }

    QList<Param> all = oauthParams;
    all += request.queryParams;
    all += request.bodyParams;
    const QByteArray base = signatureBaseString(
        request.method, baseStringUri(request.scheme, request.host, request.path), all);
    const QByteArray key = percentEncode(m_consumerSecret) + '&' + percentEncode(tokenSecret);
    const QByteArray expected = hmacSha1Base64(key, base);
    // Exactly the signature: a service accepts nothing else, so neither does the sandbox.
    if (signature != expected)
        return fail("invalid signature");

    {
        std::lock_guard lock(m_nonceMutex);
        // Forget nonces that fell out of the window, then refuse a replay.
        while (!m_seenNonces.empty() &&
               m_seenNonces.begin()->first < nowSecs - 2 * kTimestampWindowSecs)
            m_seenNonces.erase(m_seenNonces.begin());
        if (!m_seenNonces.insert({ts, nonce}).second)
            return fail("nonce already used");
    }
    result.ok = true;
    return result;
}

QByteArray OAuthVerifier::sign(const Request &request, const QByteArray &consumerKey,
                               const QByteArray &consumerSecret, const QByteArray &token,
                               const QByteArray &tokenSecret, const QByteArray &nonce,
                               qint64 timestamp)
{
    QList<Param> oauth = {{"oauth_consumer_key", consumerKey},
                          {"oauth_nonce", nonce},
                          {"oauth_signature_method", "HMAC-SHA1"},
                          {"oauth_timestamp", QByteArray::number(timestamp)},
                          {"oauth_token", token},
                          {"oauth_version", "1.0"}};
    QList<Param> all = oauth + request.queryParams + request.bodyParams;
    const QByteArray base = signatureBaseString(
        request.method, baseStringUri(request.scheme, request.host, request.path), all);
    const QByteArray signature =
        hmacSha1Base64(percentEncode(consumerSecret) + '&' + percentEncode(tokenSecret), base);
    oauth.insert(2, {"oauth_signature", signature});
    QByteArray header = "OAuth ";
    for (qsizetype i = 0; i < oauth.size(); ++i) {
        if (i)
            header += ", ";
        header += oauth[i].first + "=\"" + percentEncode(oauth[i].second) + '"';
    }
    return header;
}
