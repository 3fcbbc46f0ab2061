#include "http/HttpRequest.h"

#include "foundation/Log.h"
#include "foundation/MainThread.h"
#include "http/CurlExchange.h"
#include "http/HttpRequestDelegate.h"
#include "http/HttpRequestOperation.h"
#include "http/HttpSession.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QMimeDatabase>
#include <QMutexLocker>
#include <QStringDecoder>
#include <chrono>
#include <exception>
#include <optional>
#include <sys/utsname.h>
#include <zlib.h>

#ifndef TALVO_VERSION
#define TALVO_VERSION "0"
#endif

namespace {

constexpr int kMaxRedirects = 5;

std::atomic<double> g_defaultTimeOut{10.0};
QMutex g_caBundleLock;
QString g_defaultCaBundle;

bool isSafeHeaderText(const QByteArray &text)
{
    return !text.contains('\r') && !text.contains('\n') && !text.contains('\0');
}

bool sameOrigin(const QUrl &a, const QUrl &b)
{
    return a.scheme() == b.scheme() && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port() == b.port();
}

QByteArray charsetOf(const QString &contentType)
{
    const QStringList parts = contentType.split(QLatin1Char(';'));
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString p = parts[i].trimmed();
        if (p.startsWith(QLatin1String("charset="), Qt::CaseInsensitive)) {
            QString value = p.mid(8).trimmed();
            if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) &&
                value.endsWith(QLatin1Char('"')))
                value = value.mid(1, value.size() - 2);
            return value.toLatin1();
        }
    }
    return {};
}

} // namespace

void HttpRequestDelegate::requestFinished(HttpRequest *) {}
void HttpRequestDelegate::requestFailed(HttpRequest *) {}
void HttpRequestDelegate::requestWillCancelLoad(HttpRequest *) {}

HttpRequest::HttpRequest(const QUrl &url)
    : m_url(url)
    , m_timeOutSeconds(g_defaultTimeOut.load())
{
}

HttpRequest::~HttpRequest() = default;

std::shared_ptr<HttpRequest> HttpRequest::requestWithURL(const QUrl &url)
{
    return std::make_shared<HttpRequest>(url);
}

QUrl HttpRequest::url() const
{
    return m_url;
}

void HttpRequest::setUrl(const QUrl &url)
{
    m_url = url;
}

void HttpRequest::setRequestMethod(const QString &method)
{
    m_requestMethod = method;
}

void HttpRequest::addRequestHeader(const QByteArray &name, const QByteArray &value)
{
    for (auto &header : m_requestHeaders) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0) {
            header.second = value;
            return;
        }
    }
    m_requestHeaders.append({name, value});
}

QByteArray HttpRequest::requestHeader(const QByteArray &name) const
{
    for (const auto &header : m_requestHeaders) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return header.second;
    }
    return {};
}

double HttpRequest::defaultTimeOutSeconds()
{
    return g_defaultTimeOut.load();
}

void HttpRequest::setDefaultTimeOutSeconds(double seconds)
{
    g_defaultTimeOut.store(seconds);
}

QString HttpRequest::defaultCaBundle()
{
    QMutexLocker lock(&g_caBundleLock);
    return g_defaultCaBundle;
}

void HttpRequest::setDefaultCaBundle(const QString &path)
{
    QMutexLocker lock(&g_caBundleLock);
    g_defaultCaBundle = path;
}

void HttpRequest::basicHTTPAuthentication()
{
    const QByteArray pair = QStringLiteral("%1:%2").arg(m_username, m_password).toUtf8();
    addRequestHeader("Authorization", "Basic " + pair.toBase64());
}

HttpRequestDelegate *HttpRequest::delegate() const
{
    return m_delegate.load();
}

void HttpRequest::setDelegate(HttpRequestDelegate *delegate)
{
    m_delegate.store(delegate);
}

void HttpRequest::cancel()
{
    std::lock_guard<std::recursive_mutex> lock(m_cancelLock);
    m_cancelled = true;
}

bool HttpRequest::isCancelled() const
{
    std::lock_guard<std::recursive_mutex> lock(m_cancelLock);
    return m_cancelled || (m_runningOperation && m_runningOperation->isCancelled());
}

QMap<QString, QString> HttpRequest::responseHeaders() const
{
    QMap<QString, QString> map;
    for (const auto &header : m_responseHeaders) {
        auto it = map.find(header.first);
        if (it == map.end())
            map.insert(header.first, header.second);
        else
            it.value() += QLatin1String(", ") + header.second;
    }
    return map;
}

QString HttpRequest::responseHeader(const QString &name) const
{
    QString value;
    for (const auto &header : m_responseHeaders) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0) {
            if (!value.isEmpty())
                value += QLatin1String(", ");
            value += header.second;
        }
    }
    return value;
}

QString HttpRequest::responseString() const
{
    if (!m_responseEncoding.isEmpty()) {
        QStringDecoder decoder(m_responseEncoding.constData());
        if (decoder.isValid())
            return decoder.decode(m_responseData);
    }
    QStringDecoder fallback(m_defaultEncoding.constData());
    if (fallback.isValid())
        return fallback.decode(m_responseData);
    return QString::fromLatin1(m_responseData);
}

QString HttpRequest::defaultUserAgentString()
{
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        name = QStringLiteral("Talvo");
    QString version = QCoreApplication::applicationVersion();
    if (version.isEmpty())
        version = QStringLiteral(TALVO_VERSION);
    struct utsname system = {};
    QString systemName = QStringLiteral("Linux");
    QString release;
    if (uname(&system) == 0) {
        systemName = QString::fromLocal8Bit(system.sysname);
        release = QString::fromLocal8Bit(system.release);
    }
    return QStringLiteral("%1 %2 (%3; %4 %5; %6)")
        .arg(name, version, QStringLiteral("X11"), systemName, release, QLocale().name());
}

QByteArray HttpRequest::uncompressZippedData(const QByteArray &data, qint64 maxSize, int *zlibCode)
{
    if (zlibCode)
        *zlibCode = Z_OK;
    if (data.isEmpty())
        return {};
    z_stream stream = {};
    // 15 window bits + 32: accept both gzip and zlib headers.
    int rc = inflateInit2(&stream, 47);
    if (rc != Z_OK) {
        if (zlibCode)
            *zlibCode = rc;
        return {};
    }
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = static_cast<uInt>(data.size());
    QByteArray out;
    char buffer[64 * 1024];
    do {
        stream.next_out = reinterpret_cast<Bytef *>(buffer);
        stream.avail_out = sizeof buffer;
        rc = inflate(&stream, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END)
            break;
        const qint64 produced = static_cast<qint64>(sizeof buffer - stream.avail_out);
        if (out.size() + produced > maxSize) {
            rc = Z_MEM_ERROR;
            break;
        }
        out.append(buffer, static_cast<qsizetype>(produced));
        // No progress with input left means the stream is stuck (corrupt or truncated).
        if (rc == Z_OK && stream.avail_in == 0 && produced == 0) {
            rc = Z_BUF_ERROR;
            break;
        }
    } while (rc != Z_STREAM_END);
    inflateEnd(&stream);
    if (rc != Z_STREAM_END) {
        if (zlibCode)
            *zlibCode = rc;
        return {};
    }
    return out;
}

QString HttpRequest::mimeTypeForFileAtPath(const QString &path)
{
    static const QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault())
        return QStringLiteral("application/octet-stream");
    return type.name();
}

void HttpRequest::clearSession()
{
    HttpSession::clearCredentials();
}

HttpError HttpRequest::buildPostBody()
{
    return {};
}

void HttpRequest::startSynchronous()
{
    run();
}

void HttpRequest::startAsynchronous()
{
    OperationQueue::forType(OperationQueue::ImmediateRequests).addOperation(operation());
}

std::shared_ptr<Operation> HttpRequest::operation()
{
    return std::make_shared<HttpRequestOperation>(shared_from_this());
}

void HttpRequest::fail(const HttpError &error)
{
    m_error = error;
    qCDebug(lcHttp) << "request failed:" << error.codeValue() << error.localizedDescription();
}

void HttpRequest::discardResponse()
{
    if (HttpRequestDelegate *d = m_delegate.load())
        d->requestWillCancelLoad(this);
    m_responseHeaders.clear();
    m_responseData.clear();
    m_responseEncoding.clear();
}

void HttpRequest::run()
{
    if (m_started.exchange(true)) {
        qCWarning(lcHttp) << "a request runs only once";
        fail({HttpErrorCode::InternalErrorWhileBuildingRequest,
              QStringLiteral("Unable to start HTTP connection")});
        return;
    }
    try {
        if (isCancelled()) {
            fail(HttpError::cancelled());
        } else if (!m_url.isValid() || m_url.host().isEmpty() ||
                   (m_url.scheme() != QLatin1String("http") &&
                    m_url.scheme() != QLatin1String("https"))) {
            fail(HttpError::badUrl());
        } else if (HttpError buildError = buildPostBody()) {
            fail(buildError);
        } else {
            runExchanges();
        }
    } catch (const std::exception &e) {
        fail({HttpErrorCode::UnhandledException, QString::fromLocal8Bit(e.what())});
    } catch (...) {
        fail({HttpErrorCode::UnhandledException, QStringLiteral("Unknown exception")});
    }
    m_complete.store(true);
}

void HttpRequest::runExchanges()
{
    const QByteArray method = m_requestMethod.toLatin1();
    for (const auto &header : m_requestHeaders) {
        if (header.first.isEmpty() || !isSafeHeaderText(header.first) ||
            header.first.contains(':') || !isSafeHeaderText(header.second)) {
            fail({HttpErrorCode::InternalErrorWhileBuildingRequest,
                  QStringLiteral("Unable to start HTTP connection")});
            return;
        }
    }
    if (method.isEmpty() || !isSafeHeaderText(method) || method.contains(' ')) {
        fail({HttpErrorCode::InternalErrorWhileBuildingRequest,
              QStringLiteral("Unable to start HTTP connection")});
        return;
    }

    // Credentials given for the first URL's origin go nowhere else.
    const QUrl origin = m_url;
    std::optional<std::chrono::steady_clock::time_point> deadline;
    if (m_deadlineSeconds > 0)
        deadline = std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(static_cast<qint64>(m_deadlineSeconds * 1000));
    int redirects = 0;
    int timeOutRetries = 0;
    bool authTried = false;
    bool withAuth = false;
    QString authUser;
    QString authPassword;
    for (;;) {
        if (isCancelled()) {
            discardResponse();
            fail(HttpError::cancelled());
            return;
        }
        CurlExchange::Request exchange = exchangeRequest(withAuth, authUser, authPassword);
        exchange.deadline = deadline;
        const CurlExchange::Response ex = CurlExchange::perform(exchange);
        const HttpError &transportError = ex.error;
        m_statusCode = ex.status;
        m_statusMessage = ex.statusMessage;
        m_responseHeaders = ex.headers;
        m_responseData = ex.body;
        if (m_useCookies && !ex.setCookies.isEmpty())
            HttpSession::storeCookies(m_url, ex.setCookies);

        if (transportError) {
            const auto code = transportError.code();
            if (code == HttpErrorCode::RequestTimedOut && timeOutRetries < m_retriesOnTimeout) {
                ++timeOutRetries;
                discardResponse();
                m_statusCode = 0;
                m_statusMessage.clear();
                continue;
            }
            if (code == HttpErrorCode::RequestTimedOut || code == HttpErrorCode::RequestCancelled)
                discardResponse();
            fail(transportError);
            return;
        }

        const int status = m_statusCode;
        const QString location = responseHeader(QStringLiteral("Location"));
        if (m_shouldRedirect && !location.isEmpty() &&
            (status == 301 || status == 302 || status == 303 || status == 307)) {
            if (redirects >= kMaxRedirects) {
                (void)finishBody();
                fail(HttpError::tooManyRedirects());
                return;
            }
            ++redirects;
            const QUrl target = m_url.resolved(QUrl(location));
            discardResponse();
            const bool keepMethod = status == 307 || (m_rfc2616Redirects && status != 303);
            if (!keepMethod) {
                m_requestMethod = QStringLiteral("GET");
                m_postBody.clear();
            }
            // A caller's credentials are meant for the host they were made for.
            if (!sameOrigin(m_url, target)) {
                m_requestHeaders.removeIf([](const QPair<QByteArray, QByteArray> &h) {
                    return h.first.compare("Authorization", Qt::CaseInsensitive) == 0;
                });
                withAuth = false;
                authTried = false;
            }
            m_url = target;
            if (!m_url.isValid() || m_url.host().isEmpty() ||
                (m_url.scheme() != QLatin1String("http") &&
                 m_url.scheme() != QLatin1String("https"))) {
                fail(HttpError::badUrl());
                return;
            }
            continue;
        }

        if (status == 401) {
            if (!authTried) {
                authTried = true;
                if ((!m_username.isEmpty() || !m_password.isEmpty()) && sameOrigin(origin, m_url)) {
                    authUser = m_username;
                    authPassword = m_password;
                    withAuth = true;
                } else if (m_useSession) {
                    if (const auto stored = HttpSession::credentialsForUrl(m_url)) {
                        authUser = stored->first;
                        authPassword = stored->second;
                        withAuth = true;
                    }
                }
                if (withAuth) {
                    discardResponse();
                    continue;
                }
            }
            (void)finishBody();
            fail(HttpError::authenticationNeeded());
            return;
        }
        if (withAuth && m_useSession)
            HttpSession::storeCredentials(m_url, authUser, authPassword);

        if (HttpError bodyError = finishBody())
            fail(bodyError);
        return;
    }
}

HttpError HttpRequest::finishBody()
{
    m_responseEncoding = charsetOf(responseHeader(QStringLiteral("Content-Type")));
    if (!responseHeader(QStringLiteral("Content-Encoding"))
             .contains(QLatin1String("gzip"), Qt::CaseInsensitive) ||
        m_responseData.isEmpty())
        return {};
    int zlibCode = 0;
    QByteArray inflated = uncompressZippedData(m_responseData, m_maxBodySize, &zlibCode);
    if (zlibCode != Z_OK) {
        return {HttpErrorCode::FileManagementError,
                QStringLiteral("Decompression of %1 failed with code %2")
                    .arg(m_url.toDisplayString(QUrl::RemoveQuery | QUrl::RemoveUserInfo))
                    .arg(zlibCode)};
    }
    m_responseData = std::move(inflated);
    return {};
}

CurlExchange::Request HttpRequest::exchangeRequest(bool withAuth, const QString &authUser,
                                                   const QString &authPassword) const
{
    CurlExchange::Request r;
    r.url = m_url;
    r.method = m_requestMethod.toLatin1();
    r.body = m_postBody;
    auto hasHeader = [this](const char *name) { return !requestHeader(name).isNull(); };
    for (const auto &header : m_requestHeaders) {
        // "Name;" is curl's way to send a header with an empty value.
        r.headerLines.append(header.second.isEmpty() ? header.first + ';'
                                                     : header.first + ": " + header.second);
    }
    if (!hasHeader("User-Agent"))
        r.headerLines.append("User-Agent: " + defaultUserAgentString().toUtf8());
    if (m_allowCompressed && !hasHeader("Accept-Encoding"))
        r.headerLines.append("Accept-Encoding: gzip");
    if (m_useCookies && !hasHeader("Cookie")) {
        const QByteArray cookies = HttpSession::cookieHeaderForUrl(m_url);
        if (!cookies.isEmpty())
            r.headerLines.append("Cookie: " + cookies);
    }
    // Switch off headers curl would add on its own.
    for (const char *name : {"Accept", "Expect", "Content-Type"}) {
        if (!hasHeader(name))
            r.headerLines.append(QByteArray(name) + ':');
    }
    r.withAuth = withAuth;
    r.authUser = authUser.toUtf8();
    r.authPassword = authPassword.toUtf8();
    // Certificates are always verified, whatever validatesSecureCertificate says.
    r.caBundle = m_caBundle.isEmpty() ? defaultCaBundle() : m_caBundle;
    r.persistent = m_persistent;
    r.persistentTimeoutSeconds = m_persistentTimeout;
    r.timeOutSeconds = m_timeOutSeconds;
    r.maxBodySize = m_maxBodySize;
    r.isCancelled = [this] { return isCancelled(); };
    r.onUploadProgress = m_uploadProgress;
    return r;
}

void HttpRequest::deliverCallbacks()
{
    const bool failed = !m_error.isNull();
    runOnMainThread(
        [this, failed] {
            if (failed && m_didFail) {
                m_didFail(this);
                return;
            }
            if (!failed && m_didFinish) {
                m_didFinish(this);
                return;
            }
            if (HttpRequestDelegate *d = m_delegate.load()) {
                if (failed)
                    d->requestFailed(this);
                else
                    d->requestFinished(this);
            }
        },
        true);
}
