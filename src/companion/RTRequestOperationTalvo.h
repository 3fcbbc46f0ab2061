#pragma once

#include "network/RTRequestOperation.h"

// Requests of the companion service: the request type gives method, path and query; the
// JSON answer becomes the result entries the client applies. Answers are bounded: lists
// longer than kMaxListLength make the answer fail instead of being copied.
class RTRequestOperationTalvo : public RTRequestOperation
{
public:
    static constexpr qsizetype kMaxListLength = 2000;

    // userInfo key of the installation id, which the client reads on the main thread.
    static constexpr char kGuidKey[] = "talvoGuid";

    // The query parts that name this installation.
    [[nodiscard]] static QString apiKey();
    [[nodiscard]] QString guid() const;
    [[nodiscard]] static QString build();
    // "?guid=..&api_key=..&platform=osx&build=.." and its two siblings.
    [[nodiscard]] QString guidQueryWithBuild() const;
    [[nodiscard]] QString guidQuery() const;
    [[nodiscard]] QString apiKeyFirstQuery() const;

protected:
    bool urlInformationForRequestType(qint32 requestType, RTUrlInformation &info) override;
    [[nodiscard]] QString serviceName() const override;
    void willStartRequest(HttpRequest &request) override;
    QString errorStringForHTTPResponseStatusCode(int statusCode, const QString &serviceName,
                                                 HttpRequest &request) override;
    QVariant objCResponseFromString(const QString &responseString) override;
    QString failureStringFromServerWithObjCResponse(const QVariant &response) override;
    bool dealWithResponse(const QVariant &response, QVariantMap &result,
                          HttpRequest &request) override;
};
