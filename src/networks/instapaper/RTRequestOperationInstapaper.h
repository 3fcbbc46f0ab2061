#pragma once

#include "network/RTRequestOperation.h"

// The requests of an Instapaper account: 0 checks the user name and password, 1 saves
// the link userInfo["urlToAdd"] in the user's reading list. HTTP 400 and 403 fail with
// their own texts, other statuses outside 2xx with the status; the body is not read.
class RTRequestOperationInstapaper : public RTRequestOperation
{
public:
    enum RequestType : qint32
    {
        Authenticate = 0,
        AddUrl = 1,
    };

    static void registerClass();

    [[nodiscard]] bool shouldScape() const override { return false; }

protected:
    bool urlInformationForRequestType(qint32 requestType, RTUrlInformation &info) override;
    [[nodiscard]] QUrl formURL() const override;
    QString errorStringForHTTPResponseStatusCode(int statusCode, const QString &serviceName,
                                                 HttpRequest &request) override;
    QVariant objCResponseFromString(const QString &responseString) override;
    QString failureStringFromServerWithObjCResponse(const QVariant &response) override;
    bool dealWithResponse(const QVariant &response, QVariantMap &result,
                          HttpRequest &request) override;

private:
    // The URL with the password; the one the base class records (and may log) has it
    // masked.
    QUrl m_url;
};
