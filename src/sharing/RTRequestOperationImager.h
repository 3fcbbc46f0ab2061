#pragma once

#include "network/RTRequestOperation.h"

// The upload request of every picture host: one table-driven operation, registered under
// the operation class name each host kind asks for (RTRequestOperationTwitpic, ...).
// Request type 1 is the upload; the answer is XML, and the picture's link is stored
// under kRTImageURLKey.
class RTRequestOperationImager : public RTRequestOperation
{
public:
    enum class Kind
    {
        Twitpic,
        Yfrog,
        Tweetphoto,
        Imgly,
        Twitgoo,
        Twicli,
        Mobypicture
    };

    explicit RTRequestOperationImager(Kind kind);

    static void registerClasses();
    // The kind of a picture-host class name; false for another name.
    static bool kindOfClass(const QString &serviceClassName, Kind *kind);
    // The form fields of an upload (the picture bytes and the credentials).
    [[nodiscard]] static QVariantMap uploadParameters(Kind kind, const QByteArray &jpeg,
                                                      const QString &user, const QString &password);
    // Reads a host's XML answer: {"ok": bool, "failure": text, "url": link}; invalid
    // when the text is not XML.
    [[nodiscard]] static QVariant readAnswer(Kind kind, const QString &xml);

    // Longest answer read, and longest link taken.
    static constexpr qsizetype kMaxAnswerLength = 64 * 1024;
    static constexpr qsizetype kMaxLinkLength = 2048;

protected:
    bool urlInformationForRequestType(qint32 requestType, RTUrlInformation &info) override;
    QString errorStringForHTTPResponseStatusCode(int statusCode, const QString &serviceName,
                                                 HttpRequest &request) override;
    QVariant objCResponseFromString(const QString &responseString) override;
    QString failureStringFromServerWithObjCResponse(const QVariant &response) override;
    bool dealWithResponse(const QVariant &response, QVariantMap &result,
                          HttpRequest &request) override;

private:
    Kind m_kind;
};
