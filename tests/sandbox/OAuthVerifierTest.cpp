#include "OAuthVerifier.h"

#include <gtest/gtest.h>

namespace {

// RFC 5849, section 1.2: the photo request signed with the printer's token.
OAuthVerifier::Request photoRequest()
{
    OAuthVerifier::Request r;
    r.method = "GET";
    r.scheme = "http";
    r.host = "photos.example.net";
    r.path = "/photos";
    r.queryParams = {{"file", "vacation.jpg"}, {"size", "original"}};
    r.authorization = "OAuth realm=\"Photos\", oauth_consumer_key=\"dpf43f3p2l4k3l03\", "
                      "oauth_token=\"nnch734d00sl2jdk\", oauth_signature_method=\"HMAC-SHA1\", "
                      "oauth_timestamp=\"137131202\", oauth_nonce=\"chapoH\", "
                      "oauth_signature=\"MdpQcU8iPSUjWoN%2FUDMsK2sui9I%3D\"";
    return r;
}

constexpr qint64 kPhotoTimestamp = 137131202;

bool photoTokenSecret(const QByteArray &token, QByteArray *secret)
{
    if (token != "nnch734d00sl2jdk")
        return false;
    *secret = "pfkkdhi9sl3r4s00";
    return true;
}

} // namespace

TEST(OAuthVerifier, BuildsTheRfc5849SignatureBaseString)
{
    // RFC 5849, section 3.4.1.1: repeated names, an empty value, "+" in the form body,
    // escapes in the query, and the realm left out.
    const QList<OAuthVerifier::Param> params =
        OAuthVerifier::parseForm("b5=%3D%253D&a3=a&c%40=&a2=r%20b") +
        OAuthVerifier::parseForm("c2&a3=2+q") +
        QList<OAuthVerifier::Param>{{"oauth_consumer_key", "9djdj82h48djs9d2"},
                                    {"oauth_token", "kkk9d7dh3k39sjv7"},
                                    {"oauth_signature_method", "HMAC-SHA1"},
                                    {"oauth_timestamp", "137131201"},
                                    {"oauth_nonce", "7d8f3e4a"}};
    EXPECT_EQ(
        OAuthVerifier::signatureBaseString(
            "post", OAuthVerifier::baseStringUri("HTTP", "Example.com:80", "/request"), params),
        QByteArray("POST&http%3A%2F%2Fexample.com%2Frequest&a2%3Dr%2520b%26a3%3D2%2520q%26a3%"
                   "3Da%26b5%3D%253D%25253D%26c%2540%3D%26c2%3D%26oauth_consumer_key%3D9djdj82h"
                   "48djs9d2%26oauth_nonce%3D7d8f3e4a%26oauth_signature_method%3DHMAC-SHA1%26oau"
                   "th_timestamp%3D137131201%26oauth_token%3Dkkk9d7dh3k39sjv7"));
    // Default ports drop out of the base URI, others stay.
    EXPECT_EQ(OAuthVerifier::baseStringUri("https", "127.0.0.1:443", "/x"), "https://127.0.0.1/x");
    EXPECT_EQ(OAuthVerifier::baseStringUri("https", "127.0.0.1:8443", "/x"),
              "https://127.0.0.1:8443/x");
    EXPECT_EQ(OAuthVerifier::baseStringUri("http", "Host:8080", "/x"), "http://host:8080/x");
}

TEST(OAuthVerifier, AcceptsTheRfcExampleAndRejectsEveryAlteration)
{
    struct Case
    {
        const char *name;
        std::function<void(OAuthVerifier::Request &)> change;
        QByteArray consumerSecret;
        qint64 now;
        bool ok;
    };
    const QByteArray secret = "kd94hf93k423kf44";
    const QList<Case> cases = {
        {"unchanged", [](auto &) {}, secret, kPhotoTimestamp, true},
        {"299 s behind", [](auto &) {}, secret, kPhotoTimestamp + 299, true},
        {"300 s ahead", [](auto &) {}, secret, kPhotoTimestamp - 300, true},
        {"old timestamp", [](auto &) {}, secret, kPhotoTimestamp + 301, false},
        {"future timestamp", [](auto &) {}, secret, kPhotoTimestamp - 301, false},
        {"wrong consumer secret", [](auto &) {}, "kd94hf93k423kf45", kPhotoTimestamp, false},
        {"changed query byte", [](auto &r) { r.queryParams[1].second = "originaL"; }, secret,
         kPhotoTimestamp, false},
        {"added parameter",
         [](auto &r) {
             r.bodyParams = {{"status", "hi"}};
         },
         secret, kPhotoTimestamp, false},
        {"changed method", [](auto &r) { r.method = "POST"; }, secret, kPhotoTimestamp, false},
        {"changed host", [](auto &r) { r.host = "photos.example.net:8080"; }, secret,
         kPhotoTimestamp, false},
        {"changed signature byte", [](auto &r) { r.authorization.replace("MdpQcU8i", "MdpQcU9i"); },
         secret, kPhotoTimestamp, false},
        {"unknown token",
         [](auto &r) { r.authorization.replace("nnch734d00sl2jdk", "nnch734d00sl2jdx"); }, secret,
         kPhotoTimestamp, false},
        {"plain-text method", [](auto &r) { r.authorization.replace("HMAC-SHA1", "PLAINTEXT"); },
         secret, kPhotoTimestamp, false},
        {"no header", [](auto &r) { r.authorization.clear(); }, secret, kPhotoTimestamp, false},
        {"signature with line feed",
         [](auto &r) { r.authorization.replace("sui9I%3D\"", "sui9I%3D%0A\""); }, secret,
         kPhotoTimestamp, false},
        {"decoded path signed", [](auto &r) { r.path = "/photo s"; }, secret, kPhotoTimestamp,
         false},
    };
    for (const Case &c : cases) {
        OAuthVerifier verifier("dpf43f3p2l4k3l03", c.consumerSecret);
        OAuthVerifier::Request r = photoRequest();
        c.change(r);
        const OAuthVerifier::Result result = verifier.verify(r, c.now, photoTokenSecret);
        EXPECT_EQ(result.ok, c.ok) << c.name << ": " << result.error.toStdString();
    }
}

TEST(OAuthVerifier, RefusesAReplayedNonceAndVerifiesWhatItSigns)
{
    OAuthVerifier verifier("dpf43f3p2l4k3l03", "kd94hf93k423kf44");
    EXPECT_TRUE(verifier.verify(photoRequest(), kPhotoTimestamp, photoTokenSecret).ok);
    const OAuthVerifier::Result replay =
        verifier.verify(photoRequest(), kPhotoTimestamp, photoTokenSecret);
    EXPECT_FALSE(replay.ok);
    EXPECT_EQ(replay.error, QStringLiteral("nonce already used"));

    // sign() (used by the tests to talk to the sandbox) produces the RFC's signature.
    OAuthVerifier::Request r = photoRequest();
    r.authorization =
        OAuthVerifier::sign(r, "dpf43f3p2l4k3l03", "kd94hf93k423kf44", "nnch734d00sl2jdk",
                            "pfkkdhi9sl3r4s00", "n1", kPhotoTimestamp);
    EXPECT_TRUE(verifier.verify(r, kPhotoTimestamp, photoTokenSecret).ok)
        << r.authorization.constData();
    // An xAuth exchange signs with an empty token secret.
    r.authorization = OAuthVerifier::sign(r, "dpf43f3p2l4k3l03", "kd94hf93k423kf44", "", "", "n2",
                                          kPhotoTimestamp);
    EXPECT_TRUE(verifier.verify(r, kPhotoTimestamp, {}).ok);
}
