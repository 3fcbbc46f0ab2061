#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>
#include <utility>

// Process-wide state shared by every request: the cookie store, the credentials that
// earlier requests succeeded with, and libcurl's share handle (connections, DNS, TLS
// sessions). Each is guarded by its own lock.
namespace HttpSession {

// The curl share handle (as void* so that this header needs no curl include). The first
// call initialises libcurl.
void *curlShareHandle();

// "a=1; b=2" for the cookies that apply to url, empty when none.
QByteArray cookieHeaderForUrl(const QUrl &url);
// Stores the cookies of one response's Set-Cookie headers.
void storeCookies(const QUrl &url, const QList<QByteArray> &setCookieHeaders);
void clearCookies();

std::optional<std::pair<QString, QString>> credentialsForUrl(const QUrl &url);
void storeCredentials(const QUrl &url, const QString &username, const QString &password);
void clearCredentials();

} // namespace HttpSession
