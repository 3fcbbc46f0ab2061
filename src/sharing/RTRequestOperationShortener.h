#pragma once

#include "network/RTRequestOperation.h"

// The requests of every link shortener: one table-driven operation, registered under the
// operation class name each shortener kind asks for (RTRequestOperationBitly, ...).
//
// Request type 0 shortens userInfo["longUrl"] (tr.im: the form field "url"); type 1
// expands userInfo["shortUrl"] (tr.im: "trimpath"). The answer is stored under "response"
// as {kRTLongStringURLKey, kRTShortStringURLKey}.
class RTRequestOperationShortener : public RTRequestOperation
{
public:
    enum class Kind
    {
        Bitly,
        Jmp,
        Trim,
        Cligs,
        Isgd,
        Tinyurl,
        Unu,
        Budurl
    };

    explicit RTRequestOperationShortener(Kind kind);

    [[nodiscard]] Kind kind() const { return m_kind; }
    [[nodiscard]] bool shouldScape() const override { return false; }

    // Registers the operation class names of all kinds.
    static void registerClasses();
    // The build-time program credentials anonymous instances use.
    [[nodiscard]] static QString programBitlyLogin();
    [[nodiscard]] static QString programBitlyApiKey();
    [[nodiscard]] static QString programTrimApiKey();
    [[nodiscard]] static QString programCligsAppId();

    // Longest answer taken as a short link.
    static constexpr qsizetype kMaxShortUrlLength = 2048;

protected:
    bool urlInformationForRequestType(qint32 requestType, RTUrlInformation &info) override;
    [[nodiscard]] QString serviceName() const override;
    QString errorStringForHTTPResponseStatusCode(int statusCode, const QString &serviceName,
                                                 HttpRequest &request) override;
    QVariant objCResponseFromString(const QString &responseString) override;
    QString failureStringFromServerWithObjCResponse(const QVariant &response) override;
    bool dealWithResponse(const QVariant &response, QVariantMap &result,
                          HttpRequest &request) override;

private:
    [[nodiscard]] bool readsJson() const;
    [[nodiscard]] bool isAnonymousInstance() const;
    [[nodiscard]] QString storedPassword() const;

    Kind m_kind;
};
