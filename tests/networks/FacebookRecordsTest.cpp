// Facebook answers read into records: the token answer, error bodies, people, posts and
// their dates, merging into the account, the query string and the account's archive.
#include "accounts/AccountsRegistration.h"
#include "foundation/HostProfile.h"
#include "foundation/KeyedArchive.h"
#include "foundation/RTGlobalVariables.h"
#include "networks/NetworksRegistration.h"
#include "networks/facebook/RTFacebookKeys.h"
#include "networks/facebook/RTFacebookLogin.h"
#include "networks/facebook/RTRequestOperationFacebook.h"
#include "networks/facebook/RTServiceFacebook.h"
#include "platform/fake/FakeKeychain.h"
#include "json/Json.h"

#include <QCborMap>
#include <gtest/gtest.h>

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

const QString kPrefix = QStringLiteral("http://www.facebook.com/");

JsonValue json(const char *text)
{
    return objectFromJSON(QByteArray(text));
}

} // namespace

TEST(FacebookTokenAnswer, TheTokenEndsAtItsFieldAndAnythingMalformedIsRefused)
{
    const struct
    {
        const char *answer;
        const char *token; // nullptr: refused
    } cases[] = {
        {"access_token=abc123&expires=5183999", "abc123"},
        {"access_token=abc123", "abc123"},
        {"access_token=abc&expires=1&machine_id=xyz", "abc"},
        {"expires=5183999&access_token=abc", "abc"},
        {"access_token=AAA%7CBBB&expires=9", "AAA|BBB"},
        {"  access_token=abc\n", "abc"},
        {"access_token=&expires=1", nullptr},
        {"access_token", nullptr},
        {"access_token=abc&garbage", nullptr},
        {"access_token=a&access_token=b", nullptr},
        {"access_token=ab cd", nullptr},
        {"access_token=abc%0A", nullptr},
        {"expires=1", nullptr},
        {"", nullptr},
        {"{\"error_code\":100,\"error_msg\":\"bad\"}", nullptr},
        {"<html><body>Success</body></html>", nullptr},
    };
    for (const auto &c : cases) {
        const std::optional<QString> token =
            RTRequestOperationFacebook::accessTokenFromAnswer(QString::fromUtf8(c.answer));
        if (c.token) {
            ASSERT_TRUE(token.has_value()) << c.answer;
            EXPECT_EQ(*token, QString::fromUtf8(c.token)) << c.answer;
        } else {
            EXPECT_FALSE(token.has_value()) << c.answer << " gave " << token->toStdString();
        }
    }
}

TEST(FacebookErrorBody, OnlyADecodableBodyWithACodeIsAnErrorRecord)
{
    const struct
    {
        const char *body;
        int code; // 0: not an error record
        const char *message;
    } cases[] = {
        {R"({"error_code":190,"error_msg":"Invalid OAuth access token."})", 190,
         "Invalid OAuth access token."},
        {R"({"error_code":"100"})", 100, "Unspecified Error"},
        {R"({"error_code":"","error_msg":"x"})", 0, nullptr},
        {"error_code: 12, but this is not JSON", 0, nullptr},
        {R"({"data":[{"message":"mentions error_code in a post"}]})", 0, nullptr},
        {R"([{"error_code":5}])", 0, nullptr},
    };
    for (const auto &c : cases) {
        const QVariant record = RTRequestOperationFacebook::errorDictionaryFromResponseString(
            QString::fromUtf8(c.body));
        if (c.code == 0) {
            EXPECT_FALSE(record.isValid()) << c.body;
            continue;
        }
        const QVariantMap map = record.toMap();
        EXPECT_EQ(map.value(key(kRTFacebookOperationFailureCode)).toInt(), c.code) << c.body;
        EXPECT_EQ(map.value(key(kRTFacebookOperationFailureMessageKey)).toString(),
                  QString::fromUtf8(c.message))
            << c.body;
        EXPECT_TRUE(map.value(key(kRTFacebookOperationFailureErrorDict))
                        .toMap()
                        .contains(QStringLiteral("error_code")));
    }
}

TEST(FacebookUser, RecordFieldsNamesAndUserNames)
{
    const struct
    {
        const char *record;
        const char *fullName;
        const char *userName;
        QDate birthDate;
        const char *picUrl;
    } cases[] = {
        {R"({"id":"7","name":"Ann Lee","full_name":"","link":"http://www.facebook.com/ann",
             "birthday":"04/21/1980","picture":"http://p/7.jpg"})",
         "Ann Lee", "ann", QDate(1980, 4, 21), "http://p/7.jpg"},
        {R"({"id":"8","name":"B","full_name":"Bea Full","link":"http://other.example/bea"})",
         "Bea Full", "No username set", QDate(), ""},
        {R"({"id":"9","name":"C","link":"http://www.facebook.com/","birthday":"21/04/1980",
             "picture":{"data":{"url":"http://p/9.jpg"}}})",
         "C", "No username set", QDate(), "http://p/9.jpg"},
        {R"({"id":"10","name":"D","link":"http://www.facebook.com/profile.php?id=10"})", "D",
         "profile.php?id=10", QDate(), ""},
    };
    for (const auto &c : cases) {
        const auto user = RTUserFacebook::parseUser(json(c.record), kPrefix);
        ASSERT_TRUE(user) << c.record;
        EXPECT_EQ(user->fullName(), QString::fromUtf8(c.fullName)) << c.record;
        EXPECT_EQ(user->userName(), QString::fromUtf8(c.userName)) << c.record;
        EXPECT_EQ(user->birthDate(), c.birthDate) << c.record;
        EXPECT_EQ(user->picUrl(), QString::fromUtf8(c.picUrl)) << c.record;
    }
    EXPECT_EQ(RTUserFacebook::parseUser(json(R"({"name":"no id"})"), kPrefix), nullptr);
    EXPECT_EQ(RTUserFacebook::parseUser(json(R"(["x"])"), kPrefix), nullptr);
}

TEST(FacebookDates, GraphTimesWithTheirOffsets)
{
    const QDateTime noon(QDate(2010, 5, 1), QTime(12, 34, 56), Qt::UTC);
    const struct
    {
        const char *text;
        QDateTime expected; // invalid: refused
    } cases[] = {
        {"2010-05-01T12:34:56+0000", noon},
        {"2010-05-01T14:34:56+0200", noon},
        {"2010-05-01T07:04:56-05:30", noon},
        {"2010-05-01T12:34:56Z", noon},
        {"2010-05-01 12:34:56+0000", noon},
        {"2010-05-01T12:34:56", QDateTime()},
        {"2010-13-01T12:34:56+0000", QDateTime()},
        {"2010-05-01T12:34:56+9900", QDateTime()},
        {"yesterday", QDateTime()},
        {"", QDateTime()},
    };
    for (const auto &c : cases) {
        const QDateTime got = RTMessageFacebook::dateFromGraphTime(QString::fromUtf8(c.text));
        EXPECT_EQ(got.isValid(), c.expected.isValid()) << c.text;
        if (c.expected.isValid()) {
            EXPECT_EQ(got.toSecsSinceEpoch(), c.expected.toSecsSinceEpoch()) << c.text;
        }
    }
}

TEST(FacebookPost, FieldsActionsLikesAndCommentsWithTheirSenders)
{
    const auto ann = std::make_shared<RTUserFacebook>(QStringLiteral("7"));
    const RTMessageFacebook::UserLookup users = [&](const QString &id) {
        return id == QLatin1String("7") ? ann : nullptr;
    };
    const auto post = RTMessageFacebook::parseMessage(
        json(R"({"id":"7_1","from":{"id":"7","name":"Ann"},"message":"Hi",
                 "created_time":"2010-05-01T12:34:56+0000","link":"http://l","name":"N",
                 "actions":[{"name":"Comment"},{"name":"Like"}],"likes":3,
                 "comments":{"data":[{"id":"7_1_1","from":{"id":"7"},"message":"me too",
                                      "created_time":"2010-05-01T13:00:00+0000"},
                                     {"id":"7_1_2","from":{"id":"99"},"message":"who?"},
                                     {"message":"no id"}]}})"),
        nullptr, users);
    ASSERT_TRUE(post);
    EXPECT_EQ(post->body(), QStringLiteral("Hi"));
    EXPECT_EQ(post->sender(), ann);
    EXPECT_EQ(post->userId(), QStringLiteral("7"));
    EXPECT_TRUE(post->canAddComment());
    EXPECT_TRUE(post->canAddLike());
    EXPECT_EQ(post->likesCount(), 3);
    EXPECT_EQ(post->link(), QStringLiteral("http://l"));
    const auto comments = post->comments();
    ASSERT_EQ(comments.size(), 2);
    EXPECT_EQ(comments.value(QStringLiteral("7_1_1"))->sender(), ann);
    EXPECT_EQ(comments.value(QStringLiteral("7_1_1"))->message(), post);
    EXPECT_EQ(comments.value(QStringLiteral("7_1_2"))->sender(), nullptr);

    const auto bare = RTMessageFacebook::parseMessage(
        json(R"({"id":"8_1","actions":[{"name":"Share"}],"likes":{"count":5,"data":[]}})"), nullptr,
        users);
    ASSERT_TRUE(bare);
    EXPECT_FALSE(bare->canAddComment());
    EXPECT_FALSE(bare->canAddLike());
    EXPECT_EQ(bare->likesCount(), 5);
    EXPECT_EQ(bare->sender(), nullptr);
}

TEST(FacebookAccount, AKnownPostGainsOnlyTheCommentsItLacks)
{
    RTServiceFacebook account;
    const RTMessageFacebook::UserLookup none;
    auto first = RTMessageFacebook::parseMessage(
        json(R"({"id":"1_1","message":"first","comments":{"data":[{"id":"c1","message":"a"}]}})"),
        &account, none);
    account.addMessagesFromArray({first});
    auto again =
        RTMessageFacebook::parseMessage(json(R"({"id":"1_1","message":"edited","comments":{"data":[
                 {"id":"c1","message":"changed"},{"id":"c2","message":"b"}]}})"),
                                        &account, none);
    auto other =
        RTMessageFacebook::parseMessage(json(R"({"id":"2_1","message":"x"})"), &account, none);
    account.addMessagesFromArray({again, other, nullptr});

    const auto stored = account.messagesDictionary();
    ASSERT_EQ(stored.size(), 2);
    const auto kept = stored.value(QStringLiteral("1_1"));
    EXPECT_EQ(kept, first);
    EXPECT_EQ(kept->body(), QStringLiteral("first"));
    const auto comments = kept->comments();
    ASSERT_EQ(comments.size(), 2);
    EXPECT_EQ(comments.value(QStringLiteral("c1"))->body(), QStringLiteral("a"));
    EXPECT_EQ(comments.value(QStringLiteral("c2"))->message(), first);
}

TEST(FacebookAccount, TheStoreKeepsTheNewestPostsWhenItOverflows)
{
    RTServiceFacebook account;
    QList<RTMessageFacebookPtr> posts;
    const QDateTime start(QDate(2010, 1, 1), QTime(0, 0), Qt::UTC);
    for (int i = 0; i < RTServiceFacebook::kMaxStoredMessages + 10; ++i) {
        auto post = std::make_shared<RTMessageFacebook>(QString::number(i));
        post->setCreatedAt(start.addSecs(i));
        posts.append(post);
    }
    account.addMessagesFromArray(posts);
    const auto stored = account.messagesDictionary();
    EXPECT_EQ(stored.size(), RTServiceFacebook::kMaxStoredMessages);
    EXPECT_FALSE(stored.contains(QStringLiteral("9")));
    EXPECT_TRUE(stored.contains(QStringLiteral("10")));
}

TEST(FacebookQuery, ParametersKeepTheirOrderAndValuesCannotBreakTheQuery)
{
    const struct
    {
        RTRequestOperationFacebook::Params params;
        const char *expected;
    } cases[] = {
        {{}, ""},
        {{{"ids", "1,2"}}, "?ids=1%2C2"},
        {{{"z", "1"}, {"a", "2"}}, "?z=1&a=2"},
        {{{"message", "a&b=c #d"}}, "?message=a%26b%3Dc%20%23d"},
        {{{"message", "\u00e9"}}, "?message=%C3%A9"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(RTRequestOperationFacebook::createParamsStringWithParams(c.params),
                  QString::fromUtf8(c.expected));
    EXPECT_EQ(RTRequestOperationFacebook::generateCommaSeparatedArrayWithArray({"a", "b", "c"}),
              QStringLiteral("a,b,c"));
}

TEST(FacebookLogin, ChallengeAndRandomValues)
{
    // The example of RFC 7636, appendix B.
    EXPECT_EQ(RTFacebookLogin::codeChallengeForVerifier(
                  QStringLiteral("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk")),
              QStringLiteral("E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"));
    const QString a = RTFacebookLogin::randomToken();
    EXPECT_EQ(a.size(), 43);
    EXPECT_NE(a, RTFacebookLogin::randomToken());
    EXPECT_FALSE(a.contains(QLatin1Char('=')) || a.contains(QLatin1Char('+')) ||
                 a.contains(QLatin1Char('/')));
}

TEST(FacebookAccount, TheTokenStaysOutOfTheArchiveAndAnOldOneMovesToTheKeyring)
{
    registerAccountArchiveClasses();
    registerNetworksClasses();
    FakeKeychain keychain;
    Keychain::setShared(&keychain);

    RTServiceFacebook account;
    account.setServiceId(QStringLiteral("100"));
    account.setAccessToken(QStringLiteral("secret-token"));
    account.setBigPicture(QByteArray("png"));
    const QCborMap archived = KeyedArchiver::archiveObject(&account).toMap();
    EXPECT_FALSE(KeyedArchiver::archivedData(archived).contains("secret-token"));

    keychain.items.clear();
    RTServiceFacebook restored;
    restored.decodeWithCoder(KeyedUnarchiver(archived));
    EXPECT_EQ(restored.serviceId(), QStringLiteral("100"));
    EXPECT_EQ(restored.bigPicture(), QByteArray("png"));
    EXPECT_TRUE(restored.accessToken().isEmpty());

    // A store of an older version held the token in the archive.
    QCborMap old = archived;
    old.insert(QStringLiteral("accessToken"), QStringLiteral("old-token"));
    RTServiceFacebook upgraded;
    upgraded.decodeWithCoder(KeyedUnarchiver(old));
    EXPECT_EQ(upgraded.accessToken(), QStringLiteral("old-token"));
    RTServiceFacebook reread;
    reread.setServiceId(QStringLiteral("100"));
    reread.loadOAuthTokens();
    EXPECT_EQ(reread.accessToken(), QStringLiteral("old-token"));
    Keychain::setShared(nullptr);
}

TEST(FacebookAccount, WithoutATokenItDoesNotStartButAsksForALogIn)
{
    FakeKeychain keychain;
    Keychain::setShared(&keychain);
    RTServiceFacebook account;
    account.setServiceId(QStringLiteral("100"));
    int asked = 0;
    QObject::connect(&account, &RTServiceFacebook::loginRequired, [&] { ++asked; });
    account.start();
    EXPECT_FALSE(account.running());
    EXPECT_TRUE(account.pollingObjects().isEmpty());
    EXPECT_EQ(asked, 1);
    Keychain::setShared(nullptr);
}
