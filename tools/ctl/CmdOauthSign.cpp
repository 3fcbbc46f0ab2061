// talvoctl oauth-sign: shows how a request would be signed, for comparing with a server's
// view of the same request.
#include "CtlCommand.h"

#include "network/OAuthSigning.h"

#include <QUrl>

int cmdOauthSign(const QStringList &args, QTextStream &out, QTextStream &err)
{
    OAuthRequestParts request;
    OAuthCredentials credentials;
    QString nonce;
    QString timestamp;
    bool haveUrl = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &option = args.at(i);
        if (option == QLatin1String("--no-version")) {
            credentials.sendVersion = false;
            continue;
        }
        if (i + 1 >= args.size()) {
            err << "oauth-sign: " << option << " needs a value\n";
            return 2;
        }
        const QString value = args.at(++i);
        if (option == QLatin1String("--method")) {
            request.method = value;
        } else if (option == QLatin1String("--url")) {
            request.url = QUrl(value, QUrl::StrictMode);
            haveUrl = true;
        } else if (option == QLatin1String("--form")) {
            const qsizetype eq = value.indexOf(QLatin1Char('='));
            if (eq < 0)
                request.formFields.append({value, QString()});
            else
                request.formFields.append({value.left(eq), value.mid(eq + 1)});
        } else if (option == QLatin1String("--consumer-key")) {
            credentials.consumerKey = value;
        } else if (option == QLatin1String("--consumer-secret")) {
            credentials.consumerSecret = value;
        } else if (option == QLatin1String("--token")) {
            credentials.token = value;
        } else if (option == QLatin1String("--token-secret")) {
            credentials.tokenSecret = value;
        } else if (option == QLatin1String("--nonce")) {
            nonce = value;
        } else if (option == QLatin1String("--timestamp")) {
            timestamp = value;
        } else {
            err << "oauth-sign: unknown option " << option << "\n";
            return 2;
        }
    }
    if (!haveUrl || !request.url.isValid() || request.url.host().isEmpty()) {
        err << "oauth-sign: --url with an absolute URL is required\n";
        return 2;
    }
    if (nonce.isEmpty())
        nonce = OAuthSigning::oauthNonceString();
    if (timestamp.isEmpty())
        timestamp = OAuthSigning::oauthTimestampString(nullptr);

    const SignatureProviderHMAC_SHA1 provider;
    out << "base string: "
        << OAuthSigning::signatureBaseString(request, credentials, provider.signatureMethod(),
                                             nonce, timestamp)
        << "\n";
    out << "signature: "
        << OAuthSigning::oauthSignature(request, credentials, provider, nonce, timestamp) << "\n";
    out << "Authorization: "
        << OAuthSigning::authorizationHeader(request, credentials, provider, nonce, timestamp)
        << "\n";
    return 0;
}
