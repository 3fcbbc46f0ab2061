#pragma once

#include "http/CurlExchange.h"
#include "http/HttpError.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class HttpRequestDelegate;
class Operation;

// One HTTP exchange: configure it, run it once (synchronously on the calling thread or
// asynchronously on a queue), then read the response. Redirects, authentication retries,
// gzip, cookies and time-outs are handled here; libcurl is only the transport.
// Failures are reported through error(), never thrown. The configuration setters are
// meant to be called before the run, from one thread.
class HttpRequest : public std::enable_shared_from_this<HttpRequest>
{
public:
    using Callback = std::function<void(HttpRequest *)>;

    explicit HttpRequest(const QUrl &url);
    virtual ~HttpRequest();
    HttpRequest(const HttpRequest &) = delete;
    HttpRequest &operator=(const HttpRequest &) = delete;

    [[nodiscard]] static std::shared_ptr<HttpRequest> requestWithURL(const QUrl &url);

    // --- Configuration -------------------------------------------------------------
    [[nodiscard]] QUrl url() const;
    void setUrl(const QUrl &url);
    [[nodiscard]] QString requestMethod() const { return m_requestMethod; }
    void setRequestMethod(const QString &method);

    // Header names compare case-insensitively; a later value replaces the earlier one.
    void addRequestHeader(const QByteArray &name, const QByteArray &value);
    [[nodiscard]] QList<QPair<QByteArray, QByteArray>> requestHeaders() const
    {
        return m_requestHeaders;
    }
    [[nodiscard]] QByteArray requestHeader(const QByteArray &name) const;

    [[nodiscard]] QByteArray postBody() const { return m_postBody; }
    void setPostBody(const QByteArray &body) { m_postBody = body; }
    void appendPostData(const QByteArray &data) { m_postBody.append(data); }

    // Seconds without any network activity before the request fails with a time-out.
    [[nodiscard]] double timeOutSeconds() const { return m_timeOutSeconds; }
    void setTimeOutSeconds(double seconds) { m_timeOutSeconds = seconds; }
    // Told the bytes of the body sent so far and in all, on the thread running the exchange.
    void setUploadProgressHandler(std::function<void(qint64 sent, qint64 total)> handler)
    {
        m_uploadProgress = std::move(handler);
    }
    [[nodiscard]] static double defaultTimeOutSeconds();
    static void setDefaultTimeOutSeconds(double seconds);
    // Seconds the whole exchange may take, redirects and retries included, however
    // steadily the server drips its answer; 0: no limit. Passing it fails with a time-out.
    [[nodiscard]] double deadlineSeconds() const { return m_deadlineSeconds; }
    void setDeadlineSeconds(double seconds) { m_deadlineSeconds = seconds; }
    static constexpr double kDefaultDeadlineSeconds = 120.0;

    [[nodiscard]] bool shouldRedirect() const { return m_shouldRedirect; }
    void setShouldRedirect(bool on) { m_shouldRedirect = on; }
    [[nodiscard]] bool shouldUseRFC2616RedirectBehaviour() const { return m_rfc2616Redirects; }
    void setShouldUseRFC2616RedirectBehaviour(bool on) { m_rfc2616Redirects = on; }
    [[nodiscard]] bool shouldAttemptPersistentConnection() const { return m_persistent; }
    void setShouldAttemptPersistentConnection(bool on) { m_persistent = on; }
    [[nodiscard]] int persistentConnectionTimeoutSeconds() const { return m_persistentTimeout; }
    void setPersistentConnectionTimeoutSeconds(int seconds) { m_persistentTimeout = seconds; }
    [[nodiscard]] bool allowCompressedResponse() const { return m_allowCompressed; }
    void setAllowCompressedResponse(bool on) { m_allowCompressed = on; }
    [[nodiscard]] bool useCookiePersistence() const { return m_useCookies; }
    void setUseCookiePersistence(bool on) { m_useCookies = on; }
    [[nodiscard]] bool useSessionPersistence() const { return m_useSession; }
    void setUseSessionPersistence(bool on) { m_useSession = on; }
    // Kept for callers that switch it off; certificates are verified regardless.
    [[nodiscard]] bool validatesSecureCertificate() const { return m_validatesCertificate; }
    void setValidatesSecureCertificate(bool on) { m_validatesCertificate = on; }

    [[nodiscard]] QString username() const { return m_username; }
    void setUsername(const QString &username) { m_username = username; }
    [[nodiscard]] QString password() const { return m_password; }
    void setPassword(const QString &password) { m_password = password; }
    // Adds "Authorization: Basic ..." made of username() and password().
    void basicHTTPAuthentication();

    [[nodiscard]] HttpRequestDelegate *delegate() const;
    void setDelegate(HttpRequestDelegate *delegate);
    // Replace the delegate's requestFinished()/requestFailed() for an asynchronous run.
    void setDidFinishSelector(Callback callback) { m_didFinish = std::move(callback); }
    void setDidFailSelector(Callback callback) { m_didFail = std::move(callback); }

    [[nodiscard]] QVariantMap userInfo() const { return m_userInfo; }
    void setUserInfo(const QVariantMap &userInfo) { m_userInfo = userInfo; }

    [[nodiscard]] int numberOfTimesToRetryOnTimeout() const { return m_retriesOnTimeout; }
    void setNumberOfTimesToRetryOnTimeout(int times) { m_retriesOnTimeout = times; }

    // Charset name used for responseString() when the response names none.
    [[nodiscard]] QByteArray defaultResponseEncoding() const { return m_defaultEncoding; }
    void setDefaultResponseEncoding(const QByteArray &name) { m_defaultEncoding = name; }

    // Largest body accepted, after inflation. Larger answers fail with code 8.
    [[nodiscard]] qint64 maxResponseBodySize() const { return m_maxBodySize; }
    void setMaxResponseBodySize(qint64 bytes) { m_maxBodySize = bytes; }
    static constexpr qint64 kDefaultMaxResponseBodySize = 32 * 1024 * 1024;

    // PEM file of the certificate authorities to trust; empty: the process default,
    // and when that is empty too, the system store.
    [[nodiscard]] QString caBundle() const { return m_caBundle; }
    void setCaBundle(const QString &path) { m_caBundle = path; }
    [[nodiscard]] static QString defaultCaBundle();
    static void setDefaultCaBundle(const QString &path);

    // --- Running -------------------------------------------------------------------
    // Runs the whole exchange on the calling thread; read the results afterwards. A
    // request runs once: a second run fails without contacting the server.
    void startSynchronous();
    // Runs the exchange on the immediate-requests queue; the callbacks arrive on the
    // main thread.
    // The request must be owned by a shared_ptr; the queue keeps it alive until done.
    void startAsynchronous();
    // An operation that runs this request, for callers that pick the queue themselves.
    [[nodiscard]] std::shared_ptr<Operation> operation();
    // Thread-safe. An unfinished exchange fails with code 4.
    void cancel();
    [[nodiscard]] bool isCancelled() const;
    [[nodiscard]] bool complete() const { return m_complete.load(); }

    // --- Results -------------------------------------------------------------------
    [[nodiscard]] int responseStatusCode() const { return m_statusCode; }
    [[nodiscard]] QString responseStatusMessage() const { return m_statusMessage; }
    // Header names as the server sent them; repeated headers are joined with ", ".
    [[nodiscard]] QMap<QString, QString> responseHeaders() const;
    // Case-insensitive lookup.
    [[nodiscard]] QString responseHeader(const QString &name) const;
    [[nodiscard]] QByteArray responseData() const { return m_responseData; }
    // The body decoded with the response's charset, else defaultResponseEncoding().
    [[nodiscard]] QString responseString() const;
    // Charset named by the response's Content-Type, empty when none.
    [[nodiscard]] QByteArray responseEncoding() const { return m_responseEncoding; }
    [[nodiscard]] HttpError error() const { return m_error; }

    // --- Utilities -----------------------------------------------------------------
    [[nodiscard]] static QString defaultUserAgentString();
    // Inflates gzip or zlib data. On failure returns an empty array and sets *zlibCode
    // (when given) to the zlib error; output beyond maxSize fails with Z_MEM_ERROR.
    [[nodiscard]] static QByteArray
    uncompressZippedData(const QByteArray &data, qint64 maxSize = kDefaultMaxResponseBodySize,
                         int *zlibCode = nullptr);
    [[nodiscard]] static QString mimeTypeForFileAtPath(const QString &path);
    // Forget the credentials that earlier requests succeeded with.
    static void clearSession();

protected:
    // Lets subclasses add their body and headers just before the first exchange.
    // Returning an error fails the request without contacting the server.
    virtual HttpError buildPostBody();

private:
    friend class HttpRequestOperation;

    void run();
    void runExchanges();
    CurlExchange::Request exchangeRequest(bool withAuth, const QString &authUser,
                                          const QString &authPassword) const;
    // Inflates a gzip body and reads the charset, for answers and error answers alike.
    HttpError finishBody();
    void discardResponse();
    void fail(const HttpError &error);
    void deliverCallbacks();

    QUrl m_url;
    QString m_requestMethod = QStringLiteral("GET");
    QList<QPair<QByteArray, QByteArray>> m_requestHeaders;
    QByteArray m_postBody;
    double m_timeOutSeconds;
    std::function<void(qint64, qint64)> m_uploadProgress;
    double m_deadlineSeconds = kDefaultDeadlineSeconds;
    bool m_shouldRedirect = true;
    bool m_rfc2616Redirects = false;
    bool m_persistent = true;
    int m_persistentTimeout = 60;
    bool m_allowCompressed = true;
    bool m_useCookies = true;
    bool m_useSession = true;
    bool m_validatesCertificate = true;
    QString m_username;
    QString m_password;
    std::atomic<HttpRequestDelegate *> m_delegate{nullptr};
    Callback m_didFinish;
    Callback m_didFail;
    QVariantMap m_userInfo;
    int m_retriesOnTimeout = 0;
    QByteArray m_defaultEncoding = QByteArrayLiteral("ISO-8859-1");
    qint64 m_maxBodySize = kDefaultMaxResponseBodySize;
    QString m_caBundle;

    mutable std::recursive_mutex m_cancelLock;
    bool m_cancelled = false;
    const Operation *m_runningOperation = nullptr;
    std::atomic<bool> m_started{false};
    std::atomic<bool> m_complete{false};

    int m_statusCode = 0;
    QString m_statusMessage;
    QList<QPair<QString, QString>> m_responseHeaders;
    QByteArray m_responseData;
    QByteArray m_responseEncoding;
    HttpError m_error;
};
