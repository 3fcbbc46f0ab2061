#pragma once

#include "accounts/RTService.h"
#include "foundation/OperationQueue.h"
#include "http/HttpRequestDelegate.h"

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <utility>

class HttpRequest;
class RTRequestOperation;
using RTRequestOperationPtr = std::shared_ptr<RTRequestOperation>;

// Receives the answers of requests it started (the compose line, the add-account sheet,
// a service that is not the request's own account). Every method is optional. An account
// class that wants the queueing hook implements this interface too.
class RTRequestDelegate
{
public:
    virtual ~RTRequestDelegate() = default;
    // Main thread, with the result dictionary.
    virtual void serviceRequestSuccess(const QVariantMap &result);
    virtual void serviceRequestFailure(const QVariantMap &result);
    // Just before the operation is queued: may adjust it or pick another queue.
    virtual OperationQueue *willAddOperation(RTRequestOperation &operation, OperationQueue *queue,
                                             const QVariantMap &userInfo);
};
using RTRequestDelegatePtr = std::shared_ptr<RTRequestDelegate>;

// What a subclass says about one request type. The defaults are those every subclass
// starts from.
struct RTUrlInformation
{
    QString httpMethod = QStringLiteral("GET");
    QString httpProtocol = QStringLiteral("http");
    QString hostString = QStringLiteral("");
    QString path = QStringLiteral("");
    QString format = QStringLiteral(".json");
    QString arguments = QStringLiteral("");
    QString operationDescription; // null: no status text of its own
    int authentificationMethod = 0;
};

// One web request: built from a request type, signed, run synchronously on a queue's
// worker, judged, parsed and answered to its account and delegate on the main thread,
// or turned into a failure text, a status line and an entry in the error list.
//
// Subclasses (one per web service) fill in the template operations; the base class owns
// the sequence in main(). Configure an operation before queueing it; afterwards only the
// worker touches it.
class RTRequestOperation : public Operation,
                           public HttpRequestDelegate,
                           public std::enable_shared_from_this<RTRequestOperation>
{
public:
    enum AuthentificationMethod : int
    {
        AuthentificationNone = 0,
        AuthentificationBasic = 1,
        AuthentificationOAuth = 2,
    };

    // Seconds a failure's status line stays.
    static constexpr double kFailureStatusDuration = 3.0;
    static constexpr double kRequestTimeOutSeconds = 15.0;

    RTRequestOperation();
    ~RTRequestOperation() override;

    // --- fields ---------------------------------------------------------------------
    [[nodiscard]] RTRequestDelegatePtr delegate() const { return m_delegate; }
    void setDelegate(RTRequestDelegatePtr delegate) { m_delegate = std::move(delegate); }
    // Form fields of a POST: QString values become fields, QByteArray values binary parts,
    // the value under kRTKeylessPostData the raw body.
    [[nodiscard]] QVariantMap postParameters() const { return m_postParameters; }
    void setPostParameters(const QVariantMap &parameters) { m_postParameters = parameters; }
    [[nodiscard]] QVariantList fileParameters() const { return m_fileParameters; }
    void setFileParameters(const QVariantList &parameters) { m_fileParameters = parameters; }
    [[nodiscard]] QObject *progressIndicator() const { return m_progressIndicator; }
    void setProgressIndicator(QObject *indicator) { m_progressIndicator = indicator; }
    // Told how much of a POST body was sent, on the worker; set before queueing.
    void setUploadProgressHandler(std::function<void(qint64 sent, qint64 total)> handler)
    {
        m_uploadProgress = std::move(handler);
    }
    [[nodiscard]] QVariantMap userInfo() const { return m_userInfo; }
    void setUserInfo(const QVariantMap &userInfo) { m_userInfo = userInfo; }
    [[nodiscard]] qint32 requestType() const { return m_requestType; }
    void setRequestType(qint32 requestType) { m_requestType = requestType; }
    // Null for calls that belong to no account.
    [[nodiscard]] RTServicePtr service() const { return m_service; }
    void setService(RTServicePtr service) { m_service = std::move(service); }
    [[nodiscard]] virtual bool shouldScape() const { return m_shouldScape; }
    void setShouldScape(bool shouldScape) { m_shouldScape = shouldScape; }

    // Cancels the operation and the exchange it is running; no callback follows. A queue's
    // cancelAllOperations() comes here too.
    void cancel() override;
    void cancelRequest() { cancel(); }

    // "?k=v?k2=v2" in key order, values as they are; null for no parameters.
    [[nodiscard]] static QString argumentStringFromDictionary(const QVariantMap &dictionary);

    void main() override;

protected:
    // --- template operations ----------------------------------------------------------
    // Fills info for requestType; false when the type is unknown.
    virtual bool urlInformationForRequestType(qint32 requestType, RTUrlInformation &info) = 0;
    // Name in status lines and error texts; the account's serviceId by default.
    [[nodiscard]] virtual QString serviceName() const;
    // A complete URL that replaces the built one; invalid: use the built one.
    [[nodiscard]] virtual QUrl formURL() const { return {}; }
    virtual void willStartRequest(HttpRequest &request);
    // The failure text for the status, or a null string when it means success.
    virtual QString errorStringForHTTPResponseStatusCode(int statusCode, const QString &serviceName,
                                                         HttpRequest &request) = 0;
    // An internal error code to report beside the text; invalid when there is none.
    virtual QVariant internvalErrorCodeForHTTPResponseStatusCode(int statusCode,
                                                                 const QString &serviceName,
                                                                 HttpRequest &request);
    // The parsed body; invalid to fall back on JSON (only for the ".json" format).
    virtual QVariant objCResponseFromString(const QString &responseString);
    // A failure text when a well-formed answer reports an error, else a null string.
    virtual QString failureStringFromServerWithObjCResponse(const QVariant &response) = 0;
    // Puts the results into result; false makes the request fail with whatever failure
    // text it stored.
    virtual bool dealWithResponse(const QVariant &response, QVariantMap &result,
                                  HttpRequest &request) = 0;

    // Adds the credentials of method 1 (basic) or 2 (OAuth) to the request.
    virtual void setCredentialsForRequest(HttpRequest &request, int authentificationMethod);

    void notifySuccess(QVariantMap &result);
    void notifyFailure(QVariantMap &result);

private:
    void perform(QVariantMap &result);
    std::shared_ptr<HttpRequest> buildRequest(const QUrl &url, const QString &method);
    void deliver(const QVariantMap &result, bool success);
    void postErrorMessage(const QVariantMap &result);

    RTRequestDelegatePtr m_delegate;
    QVariantMap m_postParameters;
    QVariantList m_fileParameters;
    QPointer<QObject> m_progressIndicator;
    std::function<void(qint64, qint64)> m_uploadProgress;
    QVariantMap m_userInfo;
    qint32 m_requestType = 0;
    RTServicePtr m_service;
    bool m_shouldScape = true;

    QMutex m_requestLock; // guards m_runningRequest against cancelRequest()
    std::shared_ptr<HttpRequest> m_runningRequest;
};
