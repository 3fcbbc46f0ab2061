#pragma once

#include "network/RTRequestOperation.h"

// The requests of a Ping.fm account: posts with the program's developer key and the
// account's application key, answered in XML (<rsp status="OK">...</rsp>).
//
// Types: 1 user.validate, 2 user.services, 3 user.triggers, 4 user.latest, 5 user.links,
// 6 user.post, 10 url.create (shorten the posted "long_url"), 11 url.resolve (expand the
// posted "short_url"). The answer is stored under "response" as {"status", "transaction"}
// and, for 10 and 11, the two link keys.
class RTRequestOperationPingfm : public RTRequestOperation
{
public:
    enum RequestType : qint32
    {
        Validate = 1,
        Services = 2,
        Triggers = 3,
        Latest = 4,
        Links = 5,
        Post = 6,
        Shorten = 10,
        Expand = 11,
    };

    // Larger answers are not Ping.fm's.
    static constexpr qsizetype kMaxAnswerLength = 1024 * 1024;
    static constexpr qsizetype kMaxLinkLength = 2048;

    static void registerClass();
    // The program's developer key (32 hexadecimal digits, given at build time).
    [[nodiscard]] static QString developerKey();

    // Reads an answer into {"status", "transaction", "short_url", "url"}; invalid when
    // it is not XML.
    [[nodiscard]] static QVariant readAnswer(const QString &xml);

protected:
    bool urlInformationForRequestType(qint32 requestType, RTUrlInformation &info) override;
    [[nodiscard]] QString serviceName() const override;
    // The request's body is built by now: the application key is a secret, and the
    // operation outlives the request in the error list.
    void willStartRequest(HttpRequest &request) override;
    QString errorStringForHTTPResponseStatusCode(int statusCode, const QString &serviceName,
                                                 HttpRequest &request) override;
    QVariant objCResponseFromString(const QString &responseString) override;
    QString failureStringFromServerWithObjCResponse(const QVariant &response) override;
    bool dealWithResponse(const QVariant &response, QVariantMap &result,
                          HttpRequest &request) override;
};
