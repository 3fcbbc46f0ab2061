#pragma once

#include "network/RTRequestOperation.h"
#include "networks/facebook/RTMessageFacebook.h"
#include "networks/facebook/RTUserFacebook.h"

#include <QList>
#include <QPair>
#include <atomic>
#include <optional>

class RTServiceFacebook;

// One request to the Facebook Graph API. Reading a news-feed page first fetches the
// authors the account does not know yet, as a second request on the immediate queue that
// this one waits for, so the posts arrive with their senders.
class RTRequestOperationFacebook : public RTRequestOperation
{
public:
    using Params = QList<QPair<QString, QString>>;

    enum FetchedNewUsersState : int
    {
        FetchIdle = 0,
        Fetching = 1,
        Fetched = 2,
        FetchFailed = 3,
    };
    static constexpr int kAuthorLookupAttempts = 3;

    RTRequestOperationFacebook();

    static void registerClass();

    // "?k=v&k2=v2" in the given order, values fully percent-escaped; empty for none.
    [[nodiscard]] static QString createParamsStringWithParams(const Params &params);
    // "a,b,c".
    [[nodiscard]] static QString generateCommaSeparatedArrayWithArray(const QStringList &items);
    // The token of a form-encoded token answer ("access_token=T&expires=5183999"): it ends
    // at the first "&". Nothing when the answer has no well-formed, non-empty token.
    [[nodiscard]] static std::optional<QString> accessTokenFromAnswer(const QString &answer);
    // The error record of a Graph error body, or an invalid value when the body is not one.
    [[nodiscard]] static QVariant errorDictionaryFromResponseString(const QString &body);

    [[nodiscard]] QString since() const { return m_since; }
    // The error record of the answer, when it was a Graph error; read it on the main
    // thread once the operation has answered.
    [[nodiscard]] QVariantMap errorRecord() const { return m_errorRecord; }
    [[nodiscard]] int fetchedNewUsersState() const { return m_fetchedNewUsersState.load(); }

    // The base URL of the Graph API from the installed profile.
    [[nodiscard]] static QUrl graphBaseUrl();

protected:
    bool urlInformationForRequestType(qint32 requestType, RTUrlInformation &info) override;
    [[nodiscard]] QString serviceName() const override { return QStringLiteral("Facebook"); }
    [[nodiscard]] QUrl formURL() const override { return m_formUrl; }
    QString errorStringForHTTPResponseStatusCode(int statusCode, const QString &serviceName,
                                                 HttpRequest &request) override;
    QVariant objCResponseFromString(const QString &responseString) override;
    QString failureStringFromServerWithObjCResponse(const QVariant &response) override;
    bool dealWithResponse(const QVariant &response, QVariantMap &result,
                          HttpRequest &request) override;

private:
    [[nodiscard]] std::shared_ptr<RTServiceFacebook> account() const;
    QList<RTUserFacebookPtr> parseUsers(const JsonValue &records);
    QList<RTMessageFacebookPtr> parseMessages(const JsonValue &posts);
    // Asks for the authors and waits for the answer; true when they arrived.
    bool fetchAuthors(const QStringList &userIds);

    QString m_since;
    std::atomic<int> m_fetchedNewUsersState{FetchIdle};
    // The complete URL with the token; the one reported in results has no token.
    QUrl m_formUrl;
    QVariantMap m_errorRecord;
};
