#pragma once

#include "network/RTRequestOperation.h"

#include <QString>
#include <QVariantMap>

// The xAuth token exchange: the user's screen name and password, signed with the
// consumer credentials and an empty token, are posted to the access-token path; the
// form-encoded answer carries the account's token pair. The Twitter request operation
// runs it as one of its request types with these pieces.
class RTXAuthExchange
{
public:
    static constexpr char kAccessTokenPath[] = "/oauth/access_token";
    // Longest answer body looked at; a token answer is a few hundred bytes.
    static constexpr qsizetype kMaxResponseLength = 64 * 1024;

    // POST over https to host + the access-token path, no format suffix, OAuth-signed.
    static void fillUrlInformation(RTUrlInformation &info, const QString &host);
    // x_auth_username, x_auth_password and x_auth_mode.
    [[nodiscard]] static QVariantMap postParameters(const QString &screenName,
                                                    const QString &password);
    // Very high priority, and past the credentials check: the account is not verified yet.
    [[nodiscard]] static QVariantMap userInfo();

    // Blanks the account's tokens and queues the exchange for it as requestType;
    // delegate null: the account is its own delegate.
    static RTRequestOperationPtr requestOAuthToken(const RTServicePtr &service, qint32 requestType,
                                                   RTRequestDelegatePtr delegate);

    // "a=b&c=d" into a dictionary with unescaped values; pieces without "=" are skipped.
    [[nodiscard]] static QVariantMap parseResponse(const QString &body);
    // Stores the tokens of a parsed answer on the account and in result ("oauthToken",
    // "oauthTokenSecret", "responseString", "screenName"). Without both tokens it stores
    // the failure text and returns false. Call it on the request's worker.
    static bool dealWithResponse(const QString &body, RTService &service, QVariantMap &result);

    [[nodiscard]] static QString missingParametersText();
};
