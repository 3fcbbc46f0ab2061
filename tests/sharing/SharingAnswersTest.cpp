// What the shortener and picture-host requests send and how their answers are read.
#include "accounts/RTServiceBitly.h"
#include "accounts/RTServiceJmp.h"
#include "accounts/RTServiceTrim.h"
#include "foundation/HostProfile.h"
#include "foundation/RTGlobalVariables.h"
#include "http/HttpRequest.h"
#include "platform/fake/FakeKeychain.h"
#include "sharing/RTRequestOperationImager.h"
#include "sharing/RTRequestOperationShortener.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

class ShortenerProbe : public RTRequestOperationShortener
{
public:
    using RTRequestOperationShortener::failureStringFromServerWithObjCResponse;
    using RTRequestOperationShortener::objCResponseFromString;
    using RTRequestOperationShortener::RTRequestOperationShortener;
    using RTRequestOperationShortener::urlInformationForRequestType;

    QVariantMap deal(const QString &body)
    {
        QVariantMap result;
        const QVariant response = objCResponseFromString(body);
        if (!response.isValid() || !failureStringFromServerWithObjCResponse(response).isNull())
            return {};
        const auto request = HttpRequest::requestWithURL(QUrl(u"http://localhost/"_s));
        dealWithResponse(response, result, *request);
        return result.value(u"response"_s).toMap();
    }
};

TEST(ShortenerRequests, UrlsForAnonymousAndOwnAccounts)
{
    FakeKeychain keychain;
    Keychain::setShared(&keychain);
    HostProfile profile;
    profile.setBaseUrl(u"bitly"_s, QUrl(u"https://api.bitly.localhost:9"_s));
    profile.setBaseUrl(u"jmp"_s, QUrl(u"https://api.jmp.localhost:9"_s));
    profile.setBaseUrl(u"trim"_s, QUrl(u"http://api.tr.im"_s));
    HostProfile::setCurrent(profile);

    auto anonymous = std::make_shared<RTServiceBitly>();
    anonymous->setIsAnonymous(true);
    anonymous->setServiceId(u"Anonymous"_s);
    auto own = std::make_shared<RTServiceBitly>();
    own->setServiceId(u"ann"_s);
    own->setServicePassword(u"R_key"_s);
    auto jmp = std::make_shared<RTServiceJmp>();
    jmp->setServiceId(u"ann"_s);
    jmp->setServicePassword(u"R_key"_s);
    auto trim = std::make_shared<RTServiceTrim>();
    trim->setServiceId(u"ann"_s);

    const QString longUrl = u"http://example.com/a b?x=1&y=2"_s;
    struct Case
    {
        const char *name;
        RTServicePtr service;
        RTRequestOperationShortener::Kind kind;
        qint32 type;
        QVariantMap userInfo;
        QString host;
        QString path;
        QString arguments;
        int auth;
    };
    using K = RTRequestOperationShortener::Kind;
    const QString programKey = RTRequestOperationShortener::programBitlyApiKey();
    const QList<Case> cases = {
        {"anonymous bit.ly sends no history",
         anonymous,
         K::Bitly,
         0,
         {{u"longUrl"_s, longUrl}},
         u"api.bitly.localhost:9"_s,
         u"/shorten"_s,
         u"?version=2.0.1&login=talvo&apiKey="_s + programKey +
             u"&longUrl=http%3A%2F%2Fexample.com%2Fa%20b%3Fx%3D1%26y%3D2"_s,
         0},
        {"own bit.ly sends history",
         own,
         K::Bitly,
         0,
         {{u"longUrl"_s, longUrl}},
         u"api.bitly.localhost:9"_s,
         u"/shorten"_s,
         u"?version=2.0.1&login=ann&apiKey=R_key&longUrl=http%3A%2F%2Fexample.com%2Fa%20b%3Fx%3D1%26y%3D2&history=1"_s,
         0},
        {"bit.ly expands the link unchanged",
         own,
         K::Bitly,
         1,
         {{u"shortUrl"_s, u"http://bit.ly/a?b"_s}},
         u"api.bitly.localhost:9"_s,
         u"/expand"_s,
         u"?version=2.0.1&apiKey=R_key&login=ann&shortUrl=http://bit.ly/a?b"_s,
         0},
        {"j.mp escapes the link it expands",
         jmp,
         K::Jmp,
         1,
         {{u"shortUrl"_s, u"http://j.mp/a b"_s}},
         u"api.jmp.localhost:9"_s,
         u"/expand"_s,
         u"?version=2.0.1&apiKey=R_key&login=ann&shortUrl=http://j.mp/a%20b"_s,
         0},
        {"tr.im sends its key and basic auth",
         trim,
         K::Trim,
         0,
         {},
         u"api.tr.im"_s,
         u"/v1/trim_url"_s,
         u"?api_key="_s + RTRequestOperationShortener::programTrimApiKey(),
         1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ShortenerProbe op(c.kind);
        op.setService(c.service);
        op.setUserInfo(c.userInfo);
        RTUrlInformation info;
        ASSERT_TRUE(op.urlInformationForRequestType(c.type, info));
        EXPECT_EQ(info.hostString, c.host);
        EXPECT_EQ(info.path, c.path);
        EXPECT_EQ(info.arguments, c.arguments);
        EXPECT_EQ(info.authentificationMethod, c.auth);
    }
    ShortenerProbe unknown(K::Isgd);
    RTUrlInformation info;
    EXPECT_FALSE(unknown.urlInformationForRequestType(1, info));
    HostProfile::setCurrent(HostProfile::real());
    Keychain::setShared(nullptr);
}

TEST(ShortenerRequests, AnswersAreReadSafely)
{
    using K = RTRequestOperationShortener::Kind;
    struct Case
    {
        const char *name;
        K kind;
        QString body;
        QString expectedShort; // null: no short link
    };
    const QString bitly =
        uR"({"errorCode":0,"results":{"http://example.com/":{"shortUrl":"http://bit.ly/x"}}})"_s;
    const QList<Case> cases = {
        {"bit.ly result", K::Bitly, bitly, u"http://bit.ly/x"_s},
        {"bit.ly without the link", K::Bitly, uR"({"errorCode":0,"results":{}})"_s, QString()},
        {"plain text link", K::Isgd, u"http://is.gd/abc\n"_s, u"http://is.gd/abc"_s},
        {"plain text error page", K::Tinyurl, u"Error: invalid URL"_s, QString()},
        {"plain text script link", K::Unu, u"javascript:alert(1)"_s, QString()},
        {"BudURL", K::Budurl, uR"({"success":1,"budurl":"http://budurl.com/q"})"_s,
         u"http://budurl.com/q"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ShortenerProbe op(c.kind);
        op.setUserInfo({{u"longUrl"_s, u"http://example.com/"_s}});
        const QVariantMap urls = op.deal(c.body);
        EXPECT_EQ(urls.value(QString::fromLatin1(kRTShortStringURLKey)).toString(),
                  c.expectedShort);
    }
    ShortenerProbe op(K::Bitly);
    EXPECT_EQ(op.failureStringFromServerWithObjCResponse(op.objCResponseFromString(
                  uR"({"errorCode":203,"errorMessage":"You must be authenticated"})"_s)),
              u"You must be authenticated"_s);
    EXPECT_FALSE(op.objCResponseFromString(u"<html>"_s).isValid());
}

TEST(PictureHostAnswers, StatusAndLinkByHost)
{
    using K = RTRequestOperationImager::Kind;
    struct Case
    {
        const char *name;
        K kind;
        QString xml;
        bool parsed;
        bool ok;
        QString failure;
        QString link;
    };
    const QList<Case> cases = {
        {"Twitpic success", K::Twitpic,
         u"<rsp stat=\"ok\"><mediaid>a1</mediaid><mediaurl>http://twitpic.com/a1</mediaurl></rsp>"_s,
         true, true, u"ok"_s, u"http://twitpic.com/a1"_s},
        {"Twitpic failure", K::Twitpic, u"<rsp stat=\"fail\"><err code=\"1\"/></rsp>"_s, true,
         false, u"fail"_s, QString()},
        {"ok without a link", K::Yfrog, u"<rsp stat=\"ok\"/>"_s, true, true, u"ok"_s, QString()},
        {"no status at all", K::Imgly, u"<rsp><mediaurl>http://img.ly/x</mediaurl></rsp>"_s, true,
         false, QString(), u"http://img.ly/x"_s},
        {"Twic.li reads status and any url", K::Twicli,
         u"<rsp status=\"ok\"><photo><url>http://twic.li/p</url></photo></rsp>"_s, true, true,
         u"ok"_s, u"http://twic.li/p"_s},
        {"Mobypicture reads code", K::Mobypicture,
         u"<rsp code=\"ok\"><url>http://moby.to/m</url></rsp>"_s, true, true, u"ok"_s,
         u"http://moby.to/m"_s},
        {"a script link is dropped", K::Twitpic,
         u"<rsp stat=\"ok\"><mediaurl>javascript:alert(1)</mediaurl></rsp>"_s, true, true, u"ok"_s,
         QString()},
        {"not XML", K::Twitpic, u"Internal Server Error"_s, false, false, QString(), QString()},
        {"oversized", K::Twitpic,
         u"<rsp stat=\"ok\">"_s + QString(RTRequestOperationImager::kMaxAnswerLength, u'x') +
             u"</rsp>"_s,
         false, false, QString(), QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QVariant answer = RTRequestOperationImager::readAnswer(c.kind, c.xml);
        EXPECT_EQ(answer.isValid(), c.parsed);
        const QVariantMap map = answer.toMap();
        EXPECT_EQ(map.value(u"ok"_s).toBool(), c.ok);
        EXPECT_EQ(map.value(u"failure"_s).toString(), c.failure);
        EXPECT_EQ(map.value(u"url"_s).toString(), c.link);
    }
}

} // namespace
