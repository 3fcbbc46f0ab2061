#pragma once

// A client for tests against a real talvo-sandbox: one sandbox per test suite, requests
// over HTTPS with the sandbox's CA, Twitter requests signed as our client signs them.
#include "OAuthVerifier.h"
#include "support/SandboxFixture.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QUrl>
#include <QUuid>
#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <set>

using json = nlohmann::json;

struct Answer
{
    int status = 0;
    std::string body;
    httplib::Headers headers;

    [[nodiscard]] std::string header(const char *name) const
    {
        const auto it = headers.find(name);
        return it == headers.end() ? std::string() : it->second;
    }
    [[nodiscard]] json parsed() const { return json::parse(body, nullptr, false); }
};

struct Credentials
{
    QByteArray token;
    QByteArray secret;
};

inline std::string encodePairs(const QList<OAuthVerifier::Param> &pairs)
{
    QByteArray out;
    for (const auto &p : pairs) {
        if (!out.isEmpty())
            out += '&';
        out += OAuthVerifier::percentEncode(p.first) + '=' + OAuthVerifier::percentEncode(p.second);
    }
    return out.toStdString();
}

class SandboxServer : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_sandbox = new SandboxFixture;
        ASSERT_TRUE(s_sandbox->start()) << s_sandbox->errorString().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete s_sandbox;
        s_sandbox = nullptr;
    }

    // One HTTPS exchange with the sandbox; host picks a virtual host on the same port.
    static Answer send(const std::string &method, const std::string &target,
                       const std::string &body = std::string(), httplib::Headers headers = {},
                       const std::string &host = "127.0.0.1", bool decompress = true)
    {
        httplib::SSLClient client("127.0.0.1", s_sandbox->tlsPort());
        client.set_ca_cert_path(s_sandbox->caBundle().toStdString().c_str());
        client.enable_server_certificate_verification(true);
        client.set_decompress(decompress);
        client.set_read_timeout(10, 0);
        if (host != "127.0.0.1")
            headers.emplace("Host", host + ":" + std::to_string(s_sandbox->tlsPort()));
        const char *form = "application/x-www-form-urlencoded";
        httplib::Result r = method == "GET"    ? client.Get(target.c_str(), headers)
                            : method == "HEAD" ? client.Head(target.c_str(), headers)
                            : method == "POST" ? client.Post(target.c_str(), headers, body, form)
                            : method == "PUT"  ? client.Put(target.c_str(), headers, body, form)
                                               : client.Delete(target.c_str(), headers);
        Answer a;
        if (r) {
            a.status = r->status;
            a.body = r->body;
            a.headers = r->headers;
        }
        return a;
    }

    // A request signed for an account, as the Twitter client signs it.
    static Answer signedCall(const std::string &method, const QByteArray &path,
                             const QList<OAuthVerifier::Param> &query,
                             const QList<OAuthVerifier::Param> &form, const Credentials &who,
                             qint64 clockOffset = 0,
                             const QByteArray &consumerSecret = TALVO_TWITTER_CONSUMER_SECRET)
    {
        OAuthVerifier::Request r;
        r.method = QByteArray::fromStdString(method);
        r.scheme = "https";
        r.host = "127.0.0.1:" + QByteArray::number(s_sandbox->tlsPort());
        r.path = path;
        r.queryParams = query;
        r.bodyParams = form;
        const QByteArray header =
            OAuthVerifier::sign(r, TALVO_TWITTER_CONSUMER_KEY, consumerSecret, who.token,
                                who.secret, QUuid::createUuid().toByteArray(QUuid::WithoutBraces),
                                QDateTime::currentSecsSinceEpoch() + clockOffset);
        std::string target = path.toStdString();
        if (!query.isEmpty())
            target += "?" + encodePairs(query);
        return send(method, target, encodePairs(form), {{"Authorization", header.toStdString()}});
    }

    // A signed multipart upload: only the file part is sent, and it takes no part in the
    // signature.
    static Answer signedUpload(const QByteArray &path, const std::string &field,
                               const std::string &bytes, const Credentials &who)
    {
        OAuthVerifier::Request r;
        r.method = "POST";
        r.scheme = "https";
        r.host = "127.0.0.1:" + QByteArray::number(s_sandbox->tlsPort());
        r.path = path;
        const QByteArray header = OAuthVerifier::sign(
            r, TALVO_TWITTER_CONSUMER_KEY, TALVO_TWITTER_CONSUMER_SECRET, who.token, who.secret,
            QUuid::createUuid().toByteArray(QUuid::WithoutBraces),
            QDateTime::currentSecsSinceEpoch());
        httplib::SSLClient client("127.0.0.1", s_sandbox->tlsPort());
        client.set_ca_cert_path(s_sandbox->caBundle().toStdString().c_str());
        client.enable_server_certificate_verification(true);
        const httplib::MultipartFormDataItems items = {{field, bytes, "me.jpg", "image/jpeg"}};
        const httplib::Result res =
            client.Post(path.constData(), {{"Authorization", header.toStdString()}}, items);
        Answer a;
        if (res) {
            a.status = res->status;
            a.body = res->body;
            a.headers = res->headers;
        }
        return a;
    }

    static Answer xAuth(const QByteArray &user, const QByteArray &password,
                        const QByteArray &consumerSecret = TALVO_TWITTER_CONSUMER_SECRET)
    {
        return signedCall("POST", "/oauth/access_token", {},
                          {{"x_auth_username", user},
                           {"x_auth_password", password},
                           {"x_auth_mode", "client_auth"}},
                          {}, 0, consumerSecret);
    }

    static Credentials login(const QByteArray &user)
    {
        const Answer a = xAuth(user, SandboxFixture::kPassword);
        Credentials c;
        for (const auto &p : OAuthVerifier::parseForm(QByteArray::fromStdString(a.body))) {
            if (p.first == "oauth_token")
                c.token = p.second;
            else if (p.first == "oauth_token_secret")
                c.secret = p.second;
        }
        return c;
    }

    static std::vector<std::string> ids(const json &statuses)
    {
        std::vector<std::string> out;
        for (const json &s : statuses)
            out.push_back(std::to_string(s.at("id").get<qint64>()));
        return out;
    }

    static inline SandboxFixture *s_sandbox = nullptr;
};
