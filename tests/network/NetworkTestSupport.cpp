#include "NetworkTestSupport.h"

#include "foundation/RTGlobalVariables.h"
#include "http/HttpRequest.h"
#include "network/OAuthClock.h"
#include "network/RTServiceRequests.h"
#include "network/RTXAuthExchange.h"
#include "json/JsonValue.h"

QString TestRequestTarget::host;
QString TestRequestTarget::secureHost;
int TestRequestTarget::closedPort = 1;

void AnswerLog::record(bool success, const QVariantMap &result)
{
    RecordedAnswer answer;
    answer.success = success;
    answer.result = result;
    answer.onMainThread = isOnMainThread();
    const auto op =
        result.value(QString::fromLatin1(kRTRequestOperationKey)).value<RTRequestOperationPtr>();
    answer.workerWaiting = op && op->isExecuting() && !op->isFinished();
    QMutexLocker locker(&m_lock);
    m_answers.append(answer);
}

QList<RecordedAnswer> AnswerLog::answers() const
{
    QMutexLocker locker(&m_lock);
    return m_answers;
}

int AnswerLog::count() const
{
    QMutexLocker locker(&m_lock);
    return static_cast<int>(m_answers.size());
}

void AnswerLog::clear()
{
    QMutexLocker locker(&m_lock);
    m_answers.clear();
}

namespace {

// One subclass drives every path of the base class; the request type picks the path.
// Signs with the process-wide clock offset and corrects it from every answer, as the
// Twitter operation does.
class TestRequestOperation : public RTRequestOperation, public OAuthTimestampTracker
{
public:
    void requestWillCancelLoad(HttpRequest *request) override { saveResponseHeaderOf(*request); }

protected:
    bool urlInformationForRequestType(qint32 requestType, RTUrlInformation &info) override
    {
        info.hostString = TestRequestTarget::host;
        info.operationDescription = QStringLiteral("Testing");
        switch (requestType) {
        case TestRequestOk:
        case TestRequestDealRefuses:
            info.path = QStringLiteral("/ok");
            return true;
        case TestRequestEscapedUrl:
            info.path = QStringLiteral("/ok");
            info.arguments = QStringLiteral("?q=caf\u00e9 \"x\"&done=100%25");
            return true;
        case TestRequestHttpError:
            info.path = QStringLiteral("/status/500");
            info.format = QStringLiteral("");
            return true;
        case TestRequestNoConnection:
            info.hostString = QStringLiteral("127.0.0.1:%1").arg(TestRequestTarget::closedPort);
            info.path = QStringLiteral("/ok");
            return true;
        case TestRequestGarbageJson:
            info.path = QStringLiteral("/garbage");
            return true;
        case TestRequestXmlWithoutParser:
            info.path = QStringLiteral("/doc");
            info.format = QStringLiteral(".xml");
            return true;
        case TestRequestServerError:
            info.path = QStringLiteral("/server-error");
            return true;
        case TestRequestSlow:
            info.path = QStringLiteral("/slow");
            return true;
        case TestRequestEcho:
            info.httpMethod = QStringLiteral("POST");
            info.path = QStringLiteral("/echo");
            info.format = QStringLiteral("");
            return true;
        case TestRequestSigned:
            info.httpMethod = QStringLiteral("POST");
            info.path = QStringLiteral("/signed");
            info.format = QStringLiteral("");
            info.arguments = QStringLiteral("?since_id=5&q=%23tag%20one");
            info.authentificationMethod = AuthentificationOAuth;
            return true;
        case TestRequestSignedGet:
            info.path = QStringLiteral("/signed");
            info.format = QStringLiteral("");
            info.arguments = QStringLiteral("?status=100%2541%20sure&q=caf%C3%A9&q=bar");
            info.authentificationMethod = AuthentificationOAuth;
            return true;
        case TestRequestXAuth:
            RTXAuthExchange::fillUrlInformation(info, TestRequestTarget::secureHost);
            return true;
        default:
            return false;
        }
    }

    QString errorStringForHTTPResponseStatusCode(int statusCode, const QString &name,
                                                 HttpRequest &request) override
    {
        m_clockCorrected = updateTimestampWithRequest(request);
        if (statusCode >= 400)
            return QStringLiteral("HTTP %1 from %2").arg(statusCode).arg(name);
        return {};
    }

    QVariant internvalErrorCodeForHTTPResponseStatusCode(int statusCode, const QString &,
                                                         HttpRequest &) override
    {
        return statusCode >= 500 ? QVariant(7) : QVariant();
    }

    QVariant objCResponseFromString(const QString &responseString) override
    {
        // Answers without a format suffix are plain text.
        if (requestType() == TestRequestEcho || requestType() == TestRequestSigned ||
            requestType() == TestRequestSignedGet || requestType() == TestRequestXAuth)
            return responseString;
        return {};
    }

    QString failureStringFromServerWithObjCResponse(const QVariant &response) override
    {
        const JsonValue json = response.value<JsonValue>();
        return json["error"].isString() ? json["error"].toString() : QString();
    }

    bool dealWithResponse(const QVariant &response, QVariantMap &result,
                          HttpRequest &request) override
    {
        result.insert(QStringLiteral("clockCorrected"), m_clockCorrected);
        result.insert(QStringLiteral("signedAt"), oAuthTimestamp());
        if (requestType() == TestRequestXAuth)
            return RTXAuthExchange::dealWithResponse(response.toString(), *service(), result);
        if (requestType() == TestRequestDealRefuses)
            return false;
        if (response.metaType() == QMetaType::fromType<JsonValue>())
            result.insert(QStringLiteral("value"), response.value<JsonValue>()["value"].toString());
        else
            result.insert(QStringLiteral("body"), response.toString());
        result.insert(QStringLiteral("contentType"),
                      request.responseHeader(QStringLiteral("Content-Type")));
        return true;
    }

private:
    bool m_clockCorrected = false;
};

} // namespace

void registerTestRequestOperation()
{
    RTServiceRequests::registerRequestOperationClass(QStringLiteral("TestRequestOperation"), [] {
        return std::make_shared<TestRequestOperation>();
    });
}
