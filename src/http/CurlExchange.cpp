#include "http/CurlExchange.h"

#include "foundation/Log.h"
#include "http/HttpSession.h"

#include <QFile>
#include <QHostAddress>
#include <algorithm>
#include <chrono>
#include <curl/curl.h>

namespace {

// curl caps single header lines; this caps their sum.
constexpr qint64 kMaxResponseHeaderBytes = 256 * 1024;

bool isSslError(CURLcode code)
{
    switch (code) {
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
        return true;
    default:
        return false;
    }
}

bool isLoopbackHost(const QString &host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

// State of the transfer, shared with curl's callbacks.
struct Transfer
{
    enum class Abort
    {
        None,
        Cancelled,
        TimedOut,
        TooLarge,
        HeadersTooLarge,
    };

    const CurlExchange::Request *request = nullptr;
    qint64 maxRawBody = 0;
    double timeOut = 0;
    int status = 0;
    QString statusMessage;
    QList<QPair<QString, QString>> headers;
    QList<QByteArray> setCookies;
    QByteArray body;
    qint64 headerBytes = 0;
    Abort abort = Abort::None;
    std::chrono::steady_clock::time_point lastActivity = std::chrono::steady_clock::now();
    curl_off_t lastDown = 0;
    curl_off_t lastUp = 0;

    void touch() { lastActivity = std::chrono::steady_clock::now(); }

    // A status line starts a new response (interim 1xx answers and curl's own
    // authentication round trips come through here too).
    void headerLine(QByteArray line)
    {
        touch();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        if (line.startsWith("HTTP/")) {
            headers.clear();
            setCookies.clear();
            body.clear();
            const QList<QByteArray> parts = line.split(' ');
            status = parts.size() > 1 ? parts[1].toInt() : 0;
            const qsizetype messageStart = line.indexOf(' ', line.indexOf(' ') + 1);
            statusMessage =
                messageStart > 0 ? QString::fromLatin1(line.mid(messageStart + 1)) : QString();
            return;
        }
        if (line.isEmpty())
            return;
        if ((line.startsWith(' ') || line.startsWith('\t')) && !headers.isEmpty()) {
            headers.last().second += QLatin1Char(' ') + QString::fromLatin1(line.trimmed());
            return;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return;
        const QByteArray name = line.left(colon).trimmed();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name.compare("Set-Cookie", Qt::CaseInsensitive) == 0)
            setCookies.append(value);
        // An early refusal of an announced oversize body; a HEAD answer has no body.
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0 && status >= 200 &&
            request->method != "HEAD") {
            bool ok = false;
            if (value.toLongLong(&ok) > maxRawBody && ok)
                abort = Abort::TooLarge;
        }
        headers.append({QString::fromLatin1(name), QString::fromLatin1(value)});
    }

    static size_t onHeader(char *data, size_t size, size_t count, void *self)
    {
        auto *ex = static_cast<Transfer *>(self);
        const size_t n = size * count;
        ex->headerBytes += static_cast<qint64>(n);
        if (ex->headerBytes > kMaxResponseHeaderBytes) {
            ex->abort = Abort::HeadersTooLarge;
            return 0;
        }
        ex->headerLine(QByteArray(data, static_cast<qsizetype>(n)));
        return ex->abort == Abort::None ? n : 0;
    }

    static size_t onBody(char *data, size_t size, size_t count, void *self)
    {
        auto *ex = static_cast<Transfer *>(self);
        const size_t n = size * count;
        ex->touch();
        if (ex->body.size() + static_cast<qint64>(n) > ex->maxRawBody) {
            ex->abort = Abort::TooLarge;
            return 0;
        }
        ex->body.append(data, static_cast<qsizetype>(n));
        return n;
    }

    static int onProgress(void *self, curl_off_t, curl_off_t down, curl_off_t upTotal,
                          curl_off_t up)
    {
        auto *ex = static_cast<Transfer *>(self);
        if (ex->request->isCancelled && ex->request->isCancelled()) {
            ex->abort = Abort::Cancelled;
            return 1;
        }
        if (up != ex->lastUp && upTotal > 0 && ex->request->onUploadProgress)
            ex->request->onUploadProgress(qint64(up), qint64(upTotal));
        if (down != ex->lastDown || up != ex->lastUp) {
            ex->lastDown = down;
            ex->lastUp = up;
            ex->touch();
        }
        const auto now = std::chrono::steady_clock::now();
        const std::chrono::duration<double> idle = now - ex->lastActivity;
        if ((ex->timeOut > 0 && idle.count() >= ex->timeOut) ||
            (ex->request->deadline && now >= *ex->request->deadline)) {
            ex->abort = Abort::TimedOut;
            return 1;
        }
        return 0;
    }
};

HttpError run(const CurlExchange::Request &request, Transfer &ex)
{
    CURL *h = curl_easy_init();
    if (!h)
        return {HttpErrorCode::InternalErrorWhileBuildingRequest,
                QStringLiteral("Unable to create read stream")};
    struct Cleanup
    {
        CURL *handle;
        curl_slist *headers = nullptr;
        ~Cleanup()
        {
            curl_slist_free_all(headers);
            curl_easy_cleanup(handle);
        }
    } cleanup{h};

    const QByteArray urlBytes = request.url.toEncoded();
    const QByteArray &method = request.method;
    const QByteArray &body = request.body;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(h, CURLOPT_SHARE, HttpSession::curlShareHandle());
    curl_easy_setopt(h, CURLOPT_URL, urlBytes.constData());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);

    if (method == "HEAD") {
        curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    } else if (!body.isEmpty() || method == "POST") {
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.constData());
        if (method != "POST")
            curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, method.constData());
    } else if (method == "GET") {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, method.constData());
    }

    for (const QByteArray &line : request.headerLines)
        cleanup.headers = curl_slist_append(cleanup.headers, line.constData());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, cleanup.headers);

    if (request.withAuth) {
        curl_easy_setopt(h, CURLOPT_HTTPAUTH, CURLAUTH_BASIC | CURLAUTH_DIGEST);
        curl_easy_setopt(h, CURLOPT_USERNAME, request.authUser.constData());
        curl_easy_setopt(h, CURLOPT_PASSWORD, request.authPassword.constData());
    }

    // Certificates are always verified, whatever validatesSecureCertificate says.
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    const QByteArray caBundleBytes = QFile::encodeName(request.caBundle);
    if (!request.caBundle.isEmpty())
        curl_easy_setopt(h, CURLOPT_CAINFO, caBundleBytes.constData());

    // A proxy from the environment never helps for loopback.
    if (isLoopbackHost(request.url.host()))
        curl_easy_setopt(h, CURLOPT_PROXY, "");

    if (request.persistent) {
        curl_easy_setopt(h, CURLOPT_MAXAGE_CONN,
                         static_cast<long>(request.persistentTimeoutSeconds));
    } else {
        curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
        curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 1L);
    }
    if (request.timeOutSeconds > 0)
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS,
                         std::max(1L, static_cast<long>(request.timeOutSeconds * 1000)));

    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &ex);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Transfer::onBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &ex);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &Transfer::onProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &ex);

    const CURLcode rc = curl_easy_perform(h);
    switch (ex.abort) {
    case Transfer::Abort::Cancelled:
        return HttpError::cancelled();
    case Transfer::Abort::TimedOut:
        return HttpError::timedOut();
    case Transfer::Abort::TooLarge:
        return {HttpErrorCode::FileManagementError,
                QStringLiteral("The response from %1 is larger than %2 bytes")
                    .arg(request.url.toDisplayString(QUrl::RemoveQuery | QUrl::RemoveUserInfo))
                    .arg(request.maxBodySize)};
    case Transfer::Abort::HeadersTooLarge:
        return HttpError::connectionFailure();
    case Transfer::Abort::None:
        break;
    }
    if (rc == CURLE_OK)
        return {};
    const QString detail = errorBuffer[0] ? QString::fromLocal8Bit(errorBuffer)
                                          : QString::fromLatin1(curl_easy_strerror(rc));
    qCDebug(lcHttp) << "transport error" << rc << detail;
    if (request.isCancelled && request.isCancelled())
        return HttpError::cancelled();
    if (rc == CURLE_OPERATION_TIMEDOUT)
        return HttpError::timedOut();
    if (isSslError(rc))
        return HttpError::sslFailure(detail);
    // The scheme was checked before; an "unsupported protocol" now is a server that
    // does not speak HTTP.
    if (rc == CURLE_URL_MALFORMAT)
        return HttpError::badUrl();
    if (rc == CURLE_COULDNT_RESOLVE_PROXY)
        return {HttpErrorCode::InternalErrorWhileBuildingRequest,
                QStringLiteral("Unable to obtain information on proxy servers needed for request")};
    if (rc == CURLE_FAILED_INIT || rc == CURLE_OUT_OF_MEMORY)
        return {HttpErrorCode::InternalErrorWhileBuildingRequest,
                QStringLiteral("Unable to start HTTP connection")};
    return HttpError::connectionFailure();
}

} // namespace

CurlExchange::Response CurlExchange::perform(const Request &request)
{
    Transfer ex;
    ex.request = &request;
    ex.maxRawBody = request.maxBodySize;
    ex.timeOut = request.timeOutSeconds;
    Response response;
    response.error = run(request, ex);
    response.status = ex.status;
    response.statusMessage = ex.statusMessage;
    response.headers = std::move(ex.headers);
    response.setCookies = std::move(ex.setCookies);
    response.body = std::move(ex.body);
    return response;
}
