#include "twitter/RTRequestOperationTwitter.h"

#include "foundation/HostProfile.h"
#include "foundation/RTGlobalVariables.h"
#include "platform/fake/FakeKeychain.h"
#include "twitter/RTListTwitter.h"
#include "twitter/RTSearchTwitter.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTreeNodeManagerInterface.h"
#include "twitter/TwitterRegistration.h"
#include "json/Json.h"

#include <gtest/gtest.h>

namespace {

class TwitterRequestTableTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Keychain::setShared(&keychain);
        HostProfile profile;
        profile.setName(QStringLiteral("test"));
        profile.setBaseUrl(QStringLiteral("twitter-api"),
                           QUrl(QStringLiteral("https://api.test:8443")));
        profile.setBaseUrl(QStringLiteral("twitter-oauth"),
                           QUrl(QStringLiteral("https://oauth.test")));
        profile.setBaseUrl(QStringLiteral("twitter-search"),
                           QUrl(QStringLiteral("http://search.test")));
        HostProfile::setCurrent(profile);

        account = std::make_shared<RTServiceTwitter>();
        account->setServiceId(QStringLiteral("alice"));
        auto me = RTUserTwitter::create(QStringLiteral("7"));
        me->setScreenName(QStringLiteral("Alice"));
        account->setMyself(me);
    }
    void TearDown() override
    {
        HostProfile::setCurrent(HostProfile::real());
        Keychain::setShared(nullptr);
    }

    RTUrlInformation urlFor(qint32 type, const QVariantMap &userInfo, bool *known = nullptr,
                            const QString &since = QString())
    {
        RTRequestOperationTwitter operation;
        operation.setService(account);
        operation.setUserInfo(userInfo);
        operation.setSince(since);
        RTUrlInformation info;
        const bool ok = operation.urlInformationForRequestType(type, info);
        if (known)
            *known = ok;
        return info;
    }

    FakeKeychain keychain;
    std::shared_ptr<RTServiceTwitter> account;
};

TEST_F(TwitterRequestTableTest, EveryRequestTypeBuildsTheUrlOfTheTable)
{
    auto other = RTUserTwitter::create(QStringLiteral("9"));
    other->setScreenName(QStringLiteral("bob"));
    auto message = RTMessageTwitter::create(QStringLiteral("500"));
    auto list = std::make_shared<RTListTwitter>(QStringLiteral("42"));
    list->setUser(other);
    auto search = std::make_shared<RTSearchTwitter>();
    search->setSearchQuery(QStringLiteral("a&b #c/d?é c++ x=1"));

    struct Row
    {
        qint32 type;
        QVariantMap userInfo;
        QString since;
        const char *method;
        const char *url; // protocol://host path format arguments
        int auth;
    };
    const QVariant msg = QVariant::fromValue(message);
    const QList<Row> rows = {
        {1, {}, {}, "GET", "https://api.test:8443/1/statuses/friends_timeline.json?count=200", 2},
        {55,
         {},
         "90",
         "GET",
         "https://api.test:8443/1/statuses/home_timeline.json?count=200&since=90",
         2},
        {55,
         {{"max_id", "80"}, {"count", 50}},
         "90",
         "GET",
         "https://api.test:8443/1/statuses/home_timeline.json?count=50&max_id=80",
         2},
        {2, {}, {}, "GET", "https://api.test:8443/1/statuses/user_timeline.json?count=200", 2},
        {3,
         {{"count", "20"}},
         {},
         "GET",
         "https://api.test:8443/1/statuses/mentions.json?count=20",
         2},
        {4,
         {},
         "5",
         "GET",
         "https://api.test:8443/1/statuses/user_timeline.json?count=200&since=5",
         2},
        {5, {{"messageId", "77"}}, {}, "GET", "https://api.test:8443/1/statuses/show/77.json", 2},
        {6, {}, {}, "POST", "https://api.test:8443/1/statuses/update.json?source=Talvo", 2},
        {7, {{"message", msg}}, {}, "POST", "https://api.test:8443/1/statuses/destroy/500.json", 2},
        // Favourites keep the default count and never page.
        {8,
         {{"count", 5}, {"max_id", "3"}},
         "9",
         "GET",
         "https://api.test:8443/1/favorites.json?count=200",
         2},
        {9,
         {{"messageId", "12"}},
         {},
         "POST",
         "https://api.test:8443/1/favorites/create/12.json",
         2},
        {10,
         {{"messageId", "12"}},
         {},
         "POST",
         "https://api.test:8443/1/favorites/destroy/12.json",
         2},
        {11, {}, "4", "GET", "https://api.test:8443/1/direct_messages.json?count=200&since=4", 2},
        {12, {}, {}, "GET", "https://api.test:8443/1/direct_messages/sent.json?count=200", 2},
        {13, {}, {}, "POST", "https://api.test:8443/1/direct_messages/new.json?source=Talvo", 2},
        {14,
         {{"message", msg}},
         {},
         "POST",
         "https://api.test:8443/1/direct_messages/destroy/500.json",
         2},
        {15, {}, {}, "POST", "https://api.test:8443/1/friendships/create.json", 2},
        {16, {}, {}, "POST", "https://api.test:8443/1/friendships/destroy.json", 2},
        {17, {}, {}, "GET", "https://api.test:8443/1/statuses/followers.json", 2},
        {18, {}, {}, "GET", "https://api.test:8443/1/statuses/friends.json", 2},
        {19,
         {{"user_data", QVariant::fromValue(other)}},
         {},
         "GET",
         "https://api.test:8443/1/friendships/exists.json?user_a=Alice&user_b=bob",
         2},
        {19,
         {{"screenName", "carol"}},
         {},
         "GET",
         "https://api.test:8443/1/friendships/exists.json?user_a=Alice&user_b=carol",
         2},
        {20, {}, {}, "GET", "https://api.test:8443/1/friends/ids.json", 2},
        {21, {}, "8", "GET", "https://api.test:8443/1/followers/ids.json?count=200", 2},
        {22,
         {{"user_data", QVariant::fromValue(other)}},
         {},
         "GET",
         "https://api.test:8443/1/friendships/"
         "show.json?source_screen_name=Alice&target_screen_name=bob",
         2},
        {23,
         {{"screenName", "bob"}},
         {},
         "GET",
         "https://api.test:8443/1/users/show.json?screen_name=bob",
         2},
        {24,
         {{"screenName", "alice"}},
         {},
         "GET",
         "https://api.test:8443/1/users/show.json?screen_name=alice",
         2},
        {25, {}, {}, "POST", "https://api.test:8443/1/account/update_profile_image.json", 2},
        {26, {}, {}, "GET", "https://api.test:8443/1/account/update_profile.json", 2},
        {27, {}, {}, "GET", "https://api.test:8443/1/notifications/follow.json", 2},
        {28, {}, {}, "GET", "https://api.test:8443/1/notifications/leave.json", 2},
        {29, {}, {}, "POST", "https://api.test:8443/1/blocks/create.json", 2},
        {30, {}, {}, "POST", "https://api.test:8443/1/blocks/destroy.json", 2},
        {31, {}, {}, "GET", "https://api.test:8443/1/blocks/exists.json", 2},
        {32, {}, {}, "GET", "https://api.test:8443/1/blocks/blocking.json", 2},
        {33, {}, {}, "GET", "https://api.test:8443/1/blocks/ids.json", 2},
        {34, {}, {}, "POST", "https://api.test:8443/1/report_spam.json", 2},
        // The query is escaped once here, as a form value: "&", "#", "/" and "?" may not
        // end it early, and "+" is not read as a space.
        {35,
         {{"searchObject", QVariant::fromValue(search)}},
         {},
         "GET",
         "http://search.test/search.json?q=a%26b%20%23c%2Fd%3F%C3%A9%20c%2B%2B%20x%3D1&rpp=100&"
         "show_user=true",
         0},
        {35,
         {{"searchObject", QVariant::fromValue(search)}},
         "66",
         "GET",
         "http://search.test/"
         "search.json?q=a%26b%20%23c%2Fd%3F%C3%A9%20c%2B%2B%20x%3D1&since=66&show_user=true&rpp="
         "100",
         0},
        {36, {}, {}, "GET", "https://api.test:8443/1/saved_searches.json", 2},
        {37, {}, {}, "GET", "https://api.test:8443/1/saved_searches/show.json", 2},
        {38, {}, {}, "POST", "https://api.test:8443/1/saved_searches/create.json", 2},
        {39,
         {{"searchId", "31"}},
         {},
         "POST",
         "https://api.test:8443/1/saved_searches/destroy/31.json",
         2},
        {40, {}, {}, "GET", "https://api.test:8443/1/alice/lists.json", 2},
        {41, {}, {}, "GET", "https://api.test:8443/1/alice/lists/subscriptions.json", 2},
        {46,
         {{"listObject", QVariant::fromValue(list)}},
         {},
         "GET",
         "https://api.test:8443/1/bob/lists/42/statuses.json?per_page=100",
         2},
        {46,
         {{"listObject", QVariant::fromValue(list)}, {"max_id", "10"}},
         {},
         "GET",
         "https://api.test:8443/1/bob/lists/42/statuses.json?per_page=100&max_id=10",
         2},
        {49,
         {{"message", msg}},
         {},
         "POST",
         "https://api.test:8443/1/statuses/retweet/500.json",
         2},
        {50,
         {},
         "3",
         "GET",
         "https://api.test:8443/1/statuses/retweeted_by_me.json?count=200&since=3",
         2},
        {51, {}, "3", "GET", "https://api.test:8443/1/statuses/retweeted_to_me.json?count=200", 2},
        {52, {}, {}, "GET", "https://api.test:8443/1/statuses/retweets_of_me.json?count=200", 2},
        {54, {}, {}, "GET", "https://api.test:8443/1/trends.json", 0},
        {56, {}, {}, "POST", "https://oauth.test/oauth/access_token", 2},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "type " << row.type << " " << row.url);
        bool known = false;
        const RTUrlInformation info = urlFor(row.type, row.userInfo, &known, row.since);
        EXPECT_TRUE(known);
        EXPECT_EQ(info.httpMethod.toStdString(), row.method);
        const QString url = info.httpProtocol + QStringLiteral("://") + info.hostString +
                            info.path + info.format + info.arguments;
        EXPECT_EQ(url.toStdString(), row.url);
        EXPECT_EQ(info.authentificationMethod, row.auth);
        EXPECT_TRUE(info.operationDescription.isNull());
    }
}

TEST_F(TwitterRequestTableTest, TypesWithoutAnEntryAreRefusedAndTheReservedOneTakesDefaults)
{
    for (const qint32 type : {0, 42, 43, 44, 45, 47, 48, 57, 100, -1}) {
        bool known = true;
        urlFor(type, {}, &known);
        EXPECT_FALSE(known) << type;
    }
    bool known = false;
    const RTUrlInformation info = urlFor(RTTwitterRequestReserved53, {}, &known);
    EXPECT_TRUE(known);
    const RTUrlInformation defaults;
    EXPECT_EQ(info.httpMethod, defaults.httpMethod);
    EXPECT_EQ(info.path, defaults.path);
    EXPECT_EQ(info.authentificationMethod, defaults.authentificationMethod);
}

TEST_F(TwitterRequestTableTest, SearchesTurnOffTheSecondEscapingAndFriendshipFallsBackToTheId)
{
    RTRequestOperationTwitter operation;
    operation.setService(account);
    RTUrlInformation info;
    ASSERT_TRUE(operation.shouldScape());
    ASSERT_TRUE(operation.urlInformationForRequestType(RTTwitterRequestSearch, info));
    EXPECT_FALSE(operation.shouldScape());

    // Without the account's own user the screen name is the account's id.
    account->setMyself(nullptr);
    const RTUrlInformation exists =
        urlFor(RTTwitterRequestFriendshipExists, {{QStringLiteral("screenName"), "bob"}});
    EXPECT_EQ(exists.arguments, QStringLiteral("?user_a=alice&user_b=bob"));
}

TEST(TwitterRequestNames, DisplayNamesOfRequestTypes)
{
    const QList<QPair<qint32, const char *>> rows = {
        {1, "Home"},       {55, "Home"},  {3, "Mentions"},
        {8, "Favorites"},  {4, "Sent"},   {12, "Direct message sent"},
        {11, "Direct"},    {46, "Lists"}, {51, "Retweets"},
        {50, "Retweeted"}, {2, ""},       {5, "--"},
        {56, "--"},        {0, "--"},
    };
    for (const auto &[type, name] : rows)
        EXPECT_EQ(RTRequestOperationTwitter::stringFromRequestType(type).toStdString(), name)
            << type;
}

TEST(TwitterAnswerJudging, EveryStatusGetsItsLogLineAndFailureText)
{
    struct Row
    {
        int status;
        bool clockChanged;
        const char *failure; // nullptr: success
        const char *logStart;
    };
    const QList<Row> rows = {
        {200, false, nullptr, "[alice] HTTP 200: OK [API:140/150]"},
        {301, false, "Unable to Connect to Twitter (30x)", "[alice] HTTP 301: Redirected"},
        {302, false, "Unable to Connect to Twitter (30x)", "[alice] HTTP 302: Redirected"},
        {303, false, "Unable to Connect to Twitter (30x)", "[alice] HTTP 303: Redirected"},
        {304, false, "No Changes on Twitter (304)", "[alice] HTTP 304: Not Modified"},
        {400, false, "Rate Limited by Twitter", "[alice] HTTP 400: Rate Limited (API:140/150)"},
        {401, false, "Could not Authenticate with Twitter", "[alice] HTTP 401: Auth Failure"},
        {401, true, "Wrong System Time", "[alice] HTTP 401: Auth Failure"},
        {403, false, "Rate Limited by Twitter", "[alice] HTTP 403: Update Limited"},
        {404, false, "Twitter Server Error (404)", "[alice] HTTP 404: Not Found"},
        {406, false, "Twitter Didn't Like this Request (406)", "[alice] HTTP 406: Not Acceptable"},
        {500, false, "Twitter Fail Whale (500)", "[alice] HTTP 500: Internal Server Error"},
        {502, false, "Twitter Fail Whale (502)", "[alice] HTTP 502: Bad Gateway"},
        {503, false, "Twitter Fail Whale (503)", "[alice] HTTP 503: Service Unavailable"},
        {201, false, "Can't Connect to Twitter",
         "[alice] HTTP 201: Can't Connect to Twitter\nERROR: e"},
        {0, false, "Can't Connect to Twitter",
         "[alice] HTTP 000: Can't Connect to Twitter\nERROR: e"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.status);
        const RTTwitterJudgement judgement = RTRequestOperationTwitter::judgeResponse(
            row.status, QStringLiteral("alice"), QStringLiteral("150"), QStringLiteral("140"),
            row.clockChanged, QStringLiteral("e"), QStringLiteral("info"), QStringLiteral("GET"),
            QByteArray());
        if (row.failure)
            EXPECT_EQ(judgement.failureText.toStdString(), row.failure);
        else
            EXPECT_TRUE(judgement.failureText.isNull());
        EXPECT_TRUE(judgement.logLine.startsWith(QString::fromUtf8(row.logStart)))
            << judgement.logLine.toStdString();
        EXPECT_EQ(judgement.logLine.contains(QStringLiteral("HTTP METHOD IN REQUEST: GET")),
                  row.failure != nullptr);
    }
}

TEST(TwitterAnswerJudging, LogLineDetails)
{
    // Without rate-limit headers a success logs a bare OK; a missing name is said so.
    const RTTwitterJudgement bare = RTRequestOperationTwitter::judgeResponse(
        200, QString(), QString(), QString(), false, {}, {}, QStringLiteral("GET"), {});
    EXPECT_EQ(bare.logLine, QStringLiteral("[NO SERVICE] HTTP 200: OK"));
    EXPECT_TRUE(bare.failureText.isNull());

    // The server's own error text goes into the log of a failure.
    const RTTwitterJudgement withBody = RTRequestOperationTwitter::judgeResponse(
        404, QStringLiteral("bob"), QString(), QString(), false, {}, {}, QStringLiteral("POST"),
        QByteArrayLiteral(R"({"error":"Not found","request":"/1/x.json"})"));
    EXPECT_EQ(withBody.logLine,
              QStringLiteral("[bob] HTTP 404: Not Found\nHTTP METHOD IN REQUEST: POST"
                             "\nError = Not found\nRequest = /1/x.json"));

    // A body that is not JSON adds nothing and breaks nothing.
    const RTTwitterJudgement garbage = RTRequestOperationTwitter::judgeResponse(
        500, QStringLiteral("bob"), QString(), QString(), false, {}, {}, QStringLiteral("GET"),
        QByteArrayLiteral("<html>whale</html>"));
    EXPECT_FALSE(garbage.logLine.contains(QStringLiteral("Error =")));
}

TEST(TwitterAnswerJudging, InternalErrorCodes)
{
    const QList<std::tuple<QString, qint32, int>> rows = {
        {QString(), 55, 1},          {QStringLiteral("0"), 55, 1}, {QStringLiteral("x"), 55, 1},
        {QStringLiteral("3"), 5, 2}, {QStringLiteral("3"), 55, 3}, {QStringLiteral("150"), 56, 3},
    };
    for (const auto &[remaining, type, code] : rows)
        EXPECT_EQ(RTRequestOperationTwitter::internalErrorCode(remaining, type), code)
            << remaining.toStdString() << " " << type;
}

TEST(TwitterAnswerParsing, FriendshipAndTokenAnswersAreReadWithoutJson)
{
    RTRequestOperationTwitter operation;
    operation.setRequestType(RTTwitterRequestFriendshipExists);
    EXPECT_EQ(operation.objCResponseFromString(QStringLiteral("true")).toMap().value("confirmed"),
              QVariant(true));
    EXPECT_EQ(operation.objCResponseFromString(QStringLiteral("false")).toMap().value("confirmed"),
              QVariant(false));
    EXPECT_TRUE(operation
                    .failureStringFromServerWithObjCResponse(
                        operation.objCResponseFromString(QStringLiteral("true")))
                    .isNull());
    EXPECT_EQ(operation.failureStringFromServerWithObjCResponse(QVariantMap{}),
              QStringLiteral("Bad response for friendship confirmation request."));

    operation.setRequestType(RTTwitterRequestAccessToken);
    const QVariant tokens =
        operation.objCResponseFromString(QStringLiteral("oauth_token=a&oauth_token_secret=b"));
    EXPECT_TRUE(operation.failureStringFromServerWithObjCResponse(tokens).isNull());
    EXPECT_EQ(operation.failureStringFromServerWithObjCResponse(
                  operation.objCResponseFromString(QStringLiteral("oauth_token=a"))),
              QStringLiteral("Missing response parameters for xAuth request."));

    // Everything else goes to the JSON reader.
    operation.setRequestType(RTTwitterRequestHomeTimeline);
    EXPECT_FALSE(operation.objCResponseFromString(QStringLiteral("[]")).isValid());
}

TEST(TwitterAnswerParsing, ResultKeysOfBodiesThatAreNotMerged)
{
    const QList<std::tuple<qint32, const char *, const char *>> rows = {
        {RTTwitterRequestFriendIds, "[1,2]", "followingIds"},
        {RTTwitterRequestFollowerIds, "[3]", "followersIds"},
        {RTTwitterRequestFriendshipShow, R"({"relationship":{}})", "results"},
        {RTTwitterRequestBlockIds, "[4]", "results"},
        {RTTwitterRequestUpdateProfile, R"({"id":1})", "results"},
    };
    for (const auto &[type, body, resultKey] : rows) {
        RTRequestOperationTwitter operation;
        operation.setRequestType(type);
        QVariantMap result;
        const QVariant parsed = QVariant::fromValue(objectFromJSON(QByteArray(body)));
        EXPECT_TRUE(operation.dealWithParsedResponse(parsed, result)) << type;
        EXPECT_TRUE(result.contains(QString::fromLatin1(resultKey))) << type;
    }
    RTRequestOperationTwitter unknown;
    unknown.setRequestType(RTTwitterRequestReserved53);
    QVariantMap result;
    EXPECT_FALSE(unknown.dealWithParsedResponse(
        QVariant::fromValue(objectFromJSON(QByteArray("[]"))), result));
}

} // namespace

namespace {

// Records what result handling tells the tree node manager.
class RecordingNodeManager : public RTTreeNodeManagerInterface
{
public:
    struct Call
    {
        QString what;
        QStringList ids;
        int type = 0;
    };
    QList<Call> calls;

    void allTreeNodesAddMessages(const QList<RTMessagePtr> &messages, int type,
                                 const QVariantMap &) override
    {
        record(QStringLiteral("add"), messages, type);
    }
    void allTreeNodesRemoveMessages(const QList<RTMessagePtr> &messages, int type,
                                    const QVariantMap &) override
    {
        record(QStringLiteral("remove"), messages, type);
    }
    void allTreeNodesReEvaluateMessages(const QList<RTMessagePtr> &messages, int type,
                                        const QVariantMap &) override
    {
        record(QStringLiteral("reevaluate"), messages, type);
    }

private:
    void record(const QString &what, const QList<RTMessagePtr> &messages, int type)
    {
        QStringList ids;
        for (const RTMessagePtr &m : messages)
            ids << m->messageId();
        ids.sort();
        calls.append({what, ids, type});
    }
};

QByteArray status(const char *id, const char *userId)
{
    return QByteArrayLiteral(R"({"id":)") + id +
           QByteArrayLiteral(R"(,"text":"hello","created_at":"Wed Dec 09 08:00:00 +0000 2026",)"
                             R"("user":{"id":)") +
           userId + QByteArrayLiteral(R"(,"screen_name":"u)") + userId + "\"}}";
}

TEST_F(TwitterRequestTableTest, ResultHandlingMergesAndTellsTheTreeNodes)
{
    RecordingNodeManager manager;
    RTTreeNodeManagerInterface::setShared(&manager);
    auto answer = [&](qint32 type, const QByteArray &body, const QVariantMap &userInfo = {}) {
        auto operation = std::make_shared<RTRequestOperationTwitter>();
        operation->setService(account);
        operation->setRequestType(type);
        operation->setUserInfo(userInfo);
        operation->setSince(QStringLiteral("1"));
        QVariantMap result;
        EXPECT_TRUE(
            operation->dealWithParsedResponse(QVariant::fromValue(objectFromJSON(body)), result));
        return operation;
    };

    // A page: merged, the newest id becomes the next since, every message offered.
    auto home = answer(RTTwitterRequestHomeTimeline,
                       "[" + status("30", "9") + "," + status("20", "8") + "]");
    EXPECT_EQ(home->since(), QStringLiteral("30"));
    EXPECT_EQ(home->allMessages().size(), 2);
    EXPECT_EQ(home->newMessages().size(), 2);
    EXPECT_EQ(account->messagesDictionary().size(), 2);
    // An empty page keeps the since value.
    EXPECT_EQ(answer(RTTwitterRequestHomeTimeline, "[]")->since(), QStringLiteral("1"));

    // Single statuses: deletions leave the nodes, favourites are re-evaluated.
    answer(RTTwitterRequestDestroyStatus, status("20", "8"));
    answer(RTTwitterRequestCreateFavorite, status("30", "9"));
    answer(RTTwitterRequestUpdateStatus, status("40", "7"));

    // Unfollowing a user takes that user's messages out of Home.
    const auto unfollowed =
        answer(RTTwitterRequestDestroyFriendship, R"({"id":9,"screen_name":"u9"})");
    EXPECT_EQ(unfollowed->allUsers().size(), 1);
    EXPECT_FALSE(account->messagesDictionary().value("30")->isHome());
    EXPECT_TRUE(account->messagesDictionary().value("40")->isHome());

    // A list's page also goes to the list.
    auto list = std::make_shared<RTListTwitter>(QStringLiteral("42"));
    answer(RTTwitterRequestListStatuses, "[" + status("50", "8") + "]",
           {{QStringLiteral("listObject"), QVariant::fromValue(list)}});
    EXPECT_TRUE(list->messagesSet().contains(QStringLiteral("50")));

    const QList<std::tuple<QString, QStringList, int>> expected = {
        {"add", {"20", "30"}, 55}, {"remove", {"20"}, 7},      {"reevaluate", {"30"}, 9},
        {"add", {"40"}, 6},        {"reevaluate", {"30"}, 16}, {"add", {"50"}, 46},
    };
    ASSERT_EQ(manager.calls.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const auto &[what, ids, type] = expected.at(i);
        EXPECT_EQ(manager.calls.at(i).what, what) << i;
        EXPECT_EQ(manager.calls.at(i).ids, ids) << i;
        EXPECT_EQ(manager.calls.at(i).type, type) << i;
    }
    RTTreeNodeManagerInterface::setShared(nullptr);
}

} // namespace

namespace {

TEST_F(TwitterRequestTableTest, AnswersAreMappedWithTheAccountAsItWasWhenQueued)
{
    RecordingNodeManager manager;
    RTTreeNodeManagerInterface::setShared(&manager);
    struct Row
    {
        const char *name;
        const char *authorId;
        const char *text;
        bool showMentionsInHome;
        qint32 type;
        quint32 expected; // flags the queued account gives
        quint32 absent;   // flags the replaced account would give
    };
    using namespace RTTemporaryFlag;
    const std::vector<Row> rows = {
        {"own status", "7", "hi", false, RTTwitterRequestHomeTimeline, IsSent | IsHome, 0},
        {"mention by old name", "9", "@Alice hi", false, RTTwitterRequestHomeTimeline, IsMention,
         0},
        {"no mention of the new name", "9", "@Bob hi", false, RTTwitterRequestHomeTimeline, 0,
         IsMention},
        {"mentions in home", "9", "@Alice", true, RTTwitterRequestMentions, IsMention | IsHome, 0},
    };
    int id = 100;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        auto me = RTUserTwitter::create(QStringLiteral("7"));
        me->setScreenName(QStringLiteral("Alice"));
        account->setMyself(me);
        account->setShowMentionsInHome(row.showMentionsInHome);
        auto operation = std::make_shared<RTRequestOperationTwitter>();
        operation->setService(account);
        operation->setRequestType(row.type);
        account->willAddOperation(*operation, nullptr, {});
        // The main thread replaces the user while the request waits.
        auto other = RTUserTwitter::create(QStringLiteral("8"));
        other->setScreenName(QStringLiteral("Bob"));
        account->setMyself(other);
        account->setShowMentionsInHome(!row.showMentionsInHome);

        const QByteArray body =
            QByteArrayLiteral(R"([{"id":)") + QByteArray::number(++id) +
            QByteArrayLiteral(R"(,"text":")") + row.text +
            QByteArrayLiteral(R"(","created_at":"Wed Dec 09 08:00:00 +0000 2026","user":{"id":)") +
            row.authorId + QByteArrayLiteral(R"(,"screen_name":"x"}}])");
        QVariantMap result;
        ASSERT_TRUE(
            operation->dealWithParsedResponse(QVariant::fromValue(objectFromJSON(body)), result));
        ASSERT_EQ(operation->allMessages().size(), 1);
        const quint32 flags = operation->allMessages().first()->temporaryFlags();
        EXPECT_EQ(flags & row.expected, row.expected);
        EXPECT_EQ(flags & row.absent, 0u);
    }
    RTTreeNodeManagerInterface::setShared(nullptr);
}

} // namespace
