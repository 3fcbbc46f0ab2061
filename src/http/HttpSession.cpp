#include "http/HttpSession.h"

#include <QMutex>
#include <QMutexLocker>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <array>
#include <curl/curl.h>
#include <map>
#include <mutex>

namespace {

// Bounds against a server that floods us with cookies.
constexpr int kMaxCookies = 3000;
constexpr int kMaxSetCookieLength = 8192;

class CookieJar : public QNetworkCookieJar
{
public:
    void trimTo(int maxCount)
    {
        QList<QNetworkCookie> all = allCookies();
        if (all.size() > maxCount) {
            all.erase(all.begin(), all.begin() + (all.size() - maxCount));
            setAllCookies(all);
        }
    }
    void clear() { setAllCookies({}); }
};

QMutex g_cookieLock;
CookieJar &cookieJar()
{
    static CookieJar jar;
    return jar;
}

QMutex g_credentialLock;
std::map<QString, std::pair<QString, QString>> &credentialTable()
{
    static std::map<QString, std::pair<QString, QString>> table;
    return table;
}

QString protectionSpace(const QUrl &url)
{
    const int defaultPort = url.scheme() == QLatin1String("https") ? 443 : 80;
    return url.scheme() + QLatin1String("://") + url.host().toLower() + QLatin1Char(':') +
           QString::number(url.port(defaultPort));
}

std::array<std::mutex, CURL_LOCK_DATA_LAST> g_shareLocks;

void lockShare(CURL *, curl_lock_data data, curl_lock_access, void *)
{
    g_shareLocks[static_cast<size_t>(data)].lock();
}

void unlockShare(CURL *, curl_lock_data data, void *)
{
    g_shareLocks[static_cast<size_t>(data)].unlock();
}

} // namespace

namespace HttpSession {

void *curlShareHandle()
{
    static CURLSH *share = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        CURLSH *sh = curl_share_init();
        for (curl_lock_data d :
             {CURL_LOCK_DATA_CONNECT, CURL_LOCK_DATA_DNS, CURL_LOCK_DATA_SSL_SESSION})
            curl_share_setopt(sh, CURLSHOPT_SHARE, d);
        curl_share_setopt(sh, CURLSHOPT_LOCKFUNC, lockShare);
        curl_share_setopt(sh, CURLSHOPT_UNLOCKFUNC, unlockShare);
        return sh;
    }();
    return share;
}

QByteArray cookieHeaderForUrl(const QUrl &url)
{
    QMutexLocker lock(&g_cookieLock);
    const QList<QNetworkCookie> cookies = cookieJar().cookiesForUrl(url);
    QByteArray header;
    for (const QNetworkCookie &c : cookies) {
        if (!header.isEmpty())
            header += "; ";
        header += c.name() + '=' + c.value();
    }
    return header;
}

void storeCookies(const QUrl &url, const QList<QByteArray> &setCookieHeaders)
{
    QList<QNetworkCookie> cookies;
    for (const QByteArray &h : setCookieHeaders) {
        if (h.size() <= kMaxSetCookieLength)
            cookies += QNetworkCookie::parseCookies(h);
    }
    if (cookies.isEmpty())
        return;
    QMutexLocker lock(&g_cookieLock);
    cookieJar().setCookiesFromUrl(cookies, url);
    cookieJar().trimTo(kMaxCookies);
}

void clearCookies()
{
    QMutexLocker lock(&g_cookieLock);
    cookieJar().clear();
}

std::optional<std::pair<QString, QString>> credentialsForUrl(const QUrl &url)
{
    QMutexLocker lock(&g_credentialLock);
    const auto it = credentialTable().find(protectionSpace(url));
    if (it == credentialTable().end())
        return std::nullopt;
    return it->second;
}

void storeCredentials(const QUrl &url, const QString &username, const QString &password)
{
    QMutexLocker lock(&g_credentialLock);
    credentialTable()[protectionSpace(url)] = {username, password};
}

void clearCredentials()
{
    QMutexLocker lock(&g_credentialLock);
    credentialTable().clear();
}

} // namespace HttpSession
