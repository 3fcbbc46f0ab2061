// The sandbox's own behaviour where a bug would mislead the client's tests, checked
// against a real talvo-sandbox process.
#include "SandboxTestClient.h"

TEST_F(SandboxServer, XAuthAndSignaturesAreCheckedStrictly)
{
    const Answer ok = xAuth("alice", SandboxFixture::kPassword);
    ASSERT_EQ(ok.status, 200) << ok.body;
    EXPECT_NE(ok.body.find("oauth_token="), std::string::npos);
    EXPECT_NE(ok.body.find("&oauth_token_secret="), std::string::npos);
    EXPECT_NE(ok.body.find("&screen_name=alice"), std::string::npos);
    EXPECT_EQ(xAuth("alice", "wrong").status, 401);
    EXPECT_EQ(xAuth("nobody", SandboxFixture::kPassword).status, 401);
    EXPECT_EQ(xAuth("alice", SandboxFixture::kPassword, "another-secret").status, 401);

    const Credentials alice = login("alice");
    ASSERT_FALSE(alice.token.isEmpty());
    struct Case
    {
        const char *name;
        Credentials who;
        qint64 offset;
        int status;
    };
    const Case cases[] = {
        {"valid", alice, 0, 200},
        {"a minute off", alice, -60, 200},
        {"old timestamp", alice, -400, 401},
        {"future timestamp", alice, 400, 401},
        {"wrong token secret", {alice.token, alice.secret + "x"}, 0, 401},
        {"unknown token", {"1-unknown", alice.secret}, 0, 401},
        {"no token", {}, 0, 401},
    };
    for (const Case &c : cases) {
        const Answer a = signedCall("GET", "/1/statuses/home_timeline.json", {{"count", "2"}}, {},
                                    c.who, c.offset);
        EXPECT_EQ(a.status, c.status) << c.name << ": " << a.body;
        EXPECT_FALSE(a.header("Date").empty()) << c.name;
    }
    // A changed byte after signing: the query says 3, the signature was made for 2.
    OAuthVerifier::Request r;
    r.method = "GET";
    r.scheme = "https";
    r.host = "127.0.0.1:" + QByteArray::number(s_sandbox->tlsPort());
    r.path = "/1/statuses/mentions.json";
    r.queryParams = {{"count", "2"}};
    const QByteArray header = OAuthVerifier::sign(
        r, TALVO_TWITTER_CONSUMER_KEY, TALVO_TWITTER_CONSUMER_SECRET, alice.token, alice.secret,
        "tampered", QDateTime::currentSecsSinceEpoch());
    EXPECT_EQ(send("GET", "/1/statuses/mentions.json?count=3", {},
                   {{"Authorization", header.toStdString()}})
                  .status,
              401);
    EXPECT_EQ(send("GET", "/1/statuses/mentions.json?count=2", {},
                   {{"Authorization", header.toStdString()}})
                  .status,
              200);
    // The same nonce again is a replay.
    EXPECT_EQ(send("GET", "/1/statuses/mentions.json?count=2", {},
                   {{"Authorization", header.toStdString()}})
                  .status,
              401);
}

TEST_F(SandboxServer, TimelinePagingNeverRepeatsOrSkipsAStatus)
{
    const Credentials alice = login("alice");
    const Answer all =
        signedCall("GET", "/1/statuses/home_timeline.json", {{"count", "200"}}, {}, alice);
    ASSERT_EQ(all.status, 200) << all.body;
    const json full = all.parsed();
    const std::vector<std::string> expected = ids(full);
    ASSERT_GT(expected.size(), 100u);
    // Newest first, and ids on both sides of 2^53 written as exact integers.
    bool big = false, small = false;
    for (const json &s : full) {
        EXPECT_EQ(std::to_string(s.at("id").get<qint64>()), s.at("id_str").get<std::string>());
        big = big || s.at("id").get<qint64>() > (qint64(1) << 53);
        small = small || s.at("id").get<qint64>() < (qint64(1) << 53);
    }
    EXPECT_TRUE(big && small);
    EXPECT_TRUE(std::is_sorted(full.begin(), full.end(), [](const json &a, const json &b) {
        return a.at("id").get<qint64>() > b.at("id").get<qint64>();
    }));

    // Backwards with max_id, as the client pages for older statuses.
    std::vector<std::string> walked;
    QByteArray maxId;
    for (int page = 0; page < 100; ++page) {
        QList<OAuthVerifier::Param> q = {{"count", "7"}};
        if (!maxId.isEmpty())
            q.append({"max_id", maxId});
        const json batch =
            signedCall("GET", "/1/statuses/home_timeline.json", q, {}, alice).parsed();
        if (batch.empty())
            break;
        for (const std::string &id : ids(batch))
            walked.push_back(id);
        maxId = QByteArray::number(batch.back().at("id").get<qint64>() - 1);
    }
    EXPECT_EQ(walked, expected);

    // max_id is inclusive and since exclusive, as on the real service.
    const json at =
        signedCall("GET", "/1/statuses/home_timeline.json",
                   {{"count", "2"}, {"max_id", QByteArray::fromStdString(expected[5])}}, {}, alice)
            .parsed();
    EXPECT_EQ(ids(at), std::vector<std::string>({expected[5], expected[6]}));

    // Forwards with since: exactly the newer ones.
    const json newer =
        signedCall("GET", "/1/statuses/home_timeline.json",
                   {{"count", "200"}, {"since", QByteArray::fromStdString(expected[20])}}, {},
                   alice)
            .parsed();
    EXPECT_EQ(ids(newer), std::vector<std::string>(expected.begin(), expected.begin() + 20));
}

TEST_F(SandboxServer, RateLimitCountsDownPerAccountForReadsOnly)
{
    const Credentials bob = login("bob");
    const Credentials carol = login("carol");
    auto remaining = [](const Answer &a) { return std::stoi(a.header("X-Ratelimit-Remaining")); };
    const Answer first = signedCall("GET", "/1/statuses/mentions.json", {}, {}, bob);
    ASSERT_EQ(first.status, 200);
    EXPECT_EQ(first.header("X-Ratelimit-Limit"), "150");
    const int start = remaining(first);
    EXPECT_EQ(remaining(signedCall("GET", "/1/direct_messages.json", {}, {}, bob)), start - 1);
    const Answer post = signedCall("POST", "/1/statuses/update.json", {{"source", "Talvo"}},
                                   {{"status", "counting"}}, bob);
    EXPECT_EQ(post.status, 200) << post.body;
    EXPECT_EQ(remaining(post), start - 1); // writes are not counted
    EXPECT_EQ(remaining(signedCall("GET", "/1/favorites.json", {}, {}, carol)), 149);
    EXPECT_EQ(remaining(signedCall("GET", "/1/favorites.json", {}, {}, bob)), start - 2);
    // Unsigned answers carry no rate-limit headers.
    EXPECT_TRUE(send("GET", "/1/trends.json").header("X-Ratelimit-Remaining").empty());
}

TEST_F(SandboxServer, WritesChangeWhatLaterAnswersShow)
{
    const Credentials alice = login("alice");
    const Credentials dave = login("dave"); // every user follows alice
    const Answer posted = signedCall("POST", "/1/statuses/update.json", {{"source", "Talvo"}},
                                     {{"status", "Hello from the test & all"}}, alice);
    ASSERT_EQ(posted.status, 200) << posted.body;
    const json status = posted.parsed();
    const QByteArray id = QByteArray::number(status.at("id").get<qint64>());
    EXPECT_EQ(status.at("text"), "Hello from the test & all");
    EXPECT_EQ(status.at("user").at("screen_name"), "alice");
    EXPECT_NE(status.at("source").get<std::string>().find(">Talvo</a>"), std::string::npos);

    auto homeOf = [](const Credentials &who) {
        return ids(signedCall("GET", "/1/statuses/home_timeline.json", {{"count", "20"}}, {}, who)
                       .parsed());
    };
    auto contains = [](const std::vector<std::string> &v, const QByteArray &x) {
        return std::find(v.begin(), v.end(), x.toStdString()) != v.end();
    };
    EXPECT_TRUE(contains(homeOf(dave), id));
    EXPECT_EQ(signedCall("POST", "/1/statuses/update.json", {},
                         {{"status", "Hello from the test & all"}}, alice)
                  .status,
              403); // a duplicate

    // Favourite, then the status answers favorited for alice only.
    EXPECT_EQ(signedCall("POST", "/1/favorites/create/" + id + ".json", {}, {}, dave).status, 200);
    EXPECT_TRUE(signedCall("GET", "/1/statuses/show/" + id + ".json", {}, {}, dave)
                    .parsed()
                    .at("favorited"));
    EXPECT_FALSE(signedCall("GET", "/1/statuses/show/" + id + ".json", {}, {}, alice)
                     .parsed()
                     .at("favorited"));

    // A retweet carries the original under retweeted_status.
    const json rt =
        signedCall("POST", "/1/statuses/retweet/" + id + ".json", {}, {}, dave).parsed();
    EXPECT_EQ(rt.at("retweeted_status").at("id"), status.at("id"));
    EXPECT_EQ(rt.at("user").at("screen_name"), "dave");

    // Deleting: only the author may; afterwards it answers as deleted and leaves timelines.
    EXPECT_EQ(signedCall("POST", "/1/statuses/destroy/" + id + ".json", {}, {}, dave).status, 403);
    EXPECT_EQ(signedCall("POST", "/1/statuses/destroy/" + id + ".json", {}, {}, alice).status, 200);
    EXPECT_EQ(signedCall("GET", "/1/statuses/show/" + id + ".json", {}, {}, dave).status, 404);
    EXPECT_FALSE(contains(homeOf(dave), id));

    // Unfollow and block change the graph that timelines and friendships read.
    auto exists = [&alice](const char *a, const char *b) {
        return signedCall("GET", "/1/friendships/exists.json", {{"user_a", a}, {"user_b", b}}, {},
                          alice)
            .body;
    };
    EXPECT_EQ(exists("dave", "alice"), "true");
    EXPECT_EQ(
        signedCall("POST", "/1/friendships/destroy.json", {}, {{"screen_name", "alice"}}, dave)
            .status,
        200);
    EXPECT_EQ(exists("dave", "alice"), "false");
    EXPECT_EQ(signedCall("POST", "/1/friendships/create.json", {},
                         {{"screen_name", "alice"}, {"follow", "false"}}, dave)
                  .status,
              200);
    EXPECT_EQ(exists("dave", "alice"), "true");
    EXPECT_EQ(
        signedCall("POST", "/1/blocks/create.json", {}, {{"screen_name", "dave"}}, alice).status,
        200);
    EXPECT_EQ(exists("dave", "alice"), "false");
    EXPECT_EQ(
        signedCall("GET", "/1/blocks/exists.json", {{"screen_name", "dave"}}, {}, alice).status,
        200);
    const Answer daveRemains =
        signedCall("GET", "/1/statuses/user_timeline.json", {{"screen_name", "dave"}}, {}, alice);
    const json home =
        signedCall("GET", "/1/statuses/home_timeline.json", {{"count", "200"}}, {}, alice).parsed();
    for (const json &s : home)
        EXPECT_NE(s.at("user").at("screen_name"), "dave");
    EXPECT_EQ(daveRemains.status, 200);

    // Direct messages need a follower as recipient and carry sender and recipient.
    const Answer dm = signedCall("POST", "/1/direct_messages/new.json", {{"source", "Talvo"}},
                                 {{"text", "psst"}, {"screen_name", "bob"}}, alice);
    ASSERT_EQ(dm.status, 200) << dm.body;
    EXPECT_EQ(dm.parsed().at("sender").at("screen_name"), "alice");
    EXPECT_EQ(dm.parsed().at("recipient").at("screen_name"), "bob");
    EXPECT_EQ(signedCall("POST", "/1/direct_messages/new.json", {},
                         {{"text", "x"}, {"screen_name", "dave"}}, alice)
                  .status,
              403);
}

TEST_F(SandboxServer, SearchAndTrendsAnswerUnsignedInTheOldShape)
{
    const Answer a = send("GET", "/search.json?q=%23talvo%20OR%20coffee&rpp=100&show_user=true", {},
                          {{"Accept-Encoding", "gzip"}}, "127.0.0.1", false);
    ASSERT_EQ(a.status, 200);
    EXPECT_EQ(a.header("Content-Encoding"), "gzip");
    const Answer plain =
        send("GET", "/search.json?q=%23talvo%20OR%20coffee&rpp=100&show_user=true");
    const json s = plain.parsed();
    ASSERT_TRUE(s.contains("results"));
    ASSERT_FALSE(s.at("results").empty());
    const QRegularExpression date(QStringLiteral(
        "^[A-Z][a-z]{2}, \\d{2} [A-Z][a-z]{2} \\d{4} \\d{2}:\\d{2}:\\d{2} \\+0000$"));
    for (const json &r : s.at("results")) {
        const std::string text = r.at("text");
        const std::string from = r.at("from_user");
        EXPECT_EQ(text.rfind(from + ": ", 0), 0u) << text; // show_user prefixes the author
        QString lower = QString::fromStdString(text).toLower();
        EXPECT_TRUE(lower.contains(QLatin1String("#talvo")) ||
                    lower.contains(QLatin1String("coffee")))
            << text;
        EXPECT_TRUE(r.contains("from_user_id") && r.contains("to_user_id") &&
                    r.contains("iso_language_code"));
        EXPECT_TRUE(date.match(QString::fromStdString(r.at("created_at"))).hasMatch());
    }
    const json trends = send("GET", "/1/trends.json").parsed();
    ASSERT_TRUE(trends.at("trends").is_array());
    EXPECT_FALSE(trends.at("trends").empty());
    EXPECT_TRUE(trends.at("trends")[0].contains("name"));
}

TEST_F(SandboxServer, CompanionServiceKeepsFiltersAndGroupsPerAccount)
{
    const std::string key = "api_key=" TALVO_API_KEY "&guid=g1&platform=osx&build=1";
    const httplib::Headers alice = {
        {"Authorization", "Basic " + QByteArray("alice:sandbox").toBase64().toStdString()}};
    const httplib::Headers wrong = {
        {"Authorization", "Basic " + QByteArray("alice:nope").toBase64().toStdString()}};
    EXPECT_EQ(send("GET", "/v1/configurations?api_key=bad&guid=g1").status, 401);
    EXPECT_EQ(send("GET", "/v1/user/verify?api_key=" TALVO_API_KEY).status, 401);
    EXPECT_EQ(send("GET", "/v1/user/verify?api_key=" TALVO_API_KEY, {}, wrong).status, 401);
    EXPECT_EQ(send("GET", "/v1/user/verify?api_key=" TALVO_API_KEY, {}, alice)
                  .parsed()
                  .at("user")
                  .at("username"),
              "alice");

    const json mute =
        send("POST", "/v1/mute?" + key,
             "mute%5Bpredicate%5D=USER&mute%5Bfactor%5D=14007&mute%5Bduration%5D=3600", alice)
            .parsed();
    ASSERT_EQ(mute.at("status").at("result"), "OK") << mute.dump();
    const std::string muteId = std::to_string(mute.at("mute").at("id").get<qint64>());
    const json extended =
        send("PUT", "/v1/mute/" + muteId + "/extend?" + key + "&mute%5Bextension%5D=7200", {},
             alice)
            .parsed();
    EXPECT_GE(extended.at("mute").at("duration").get<qint64>(), 7200);
    const json config = send("GET", "/v1/configurations?" + key, {}, alice).parsed();
    ASSERT_EQ(config.at("mutes").size(), 1u);
    EXPECT_EQ(config.at("mutes")[0].at("factor"), "14007");
    // Another installation without the account sees none of alice's filters.
    EXPECT_TRUE(send("GET", "/v1/configurations?api_key=" TALVO_API_KEY "&guid=g2")
                    .parsed()
                    .at("mutes")
                    .empty());
    EXPECT_EQ(send("DELETE", "/v1/mute/" + muteId + "?" + key, {}, alice)
                  .parsed()
                  .at("status")
                  .at("result"),
              "OK");
    EXPECT_TRUE(send("GET", "/v1/configurations?" + key, {}, alice).parsed().at("mutes").empty());

    // Groups need the account and come back per network account.
    EXPECT_EQ(
        send("POST", "/v1/group", "api_key=" TALVO_API_KEY "&group%5Bname%5D=x&remote%5Bid%5D=1")
            .status,
        401);
    const json group =
        send("POST", "/v1/group",
             "api_key=" TALVO_API_KEY "&guid=g1&platform=osx&network=twitter&remote%5Bid%5D=14000"
             "&remote%5Busername%5D=alice&group%5Bname%5D=Friends&group%5Bmembers%5D=14007,14014",
             alice)
            .parsed();
    const std::string groupId = std::to_string(group.at("group").at("id").get<qint64>());
    EXPECT_EQ(send("PUT",
                   "/v1/group/" + groupId +
                       "/member/14021?api_key=" TALVO_API_KEY "&guid=g1&platform=osx",
                   {}, alice)
                  .status,
              200);
    const json groups =
        send("GET", "/v1/user/groups?api_key=" TALVO_API_KEY "&platform=osx&guid=g1", {}, alice)
            .parsed();
    ASSERT_EQ(groups.at("result").size(), 1u);
    EXPECT_EQ(groups.at("result")[0].at("username"), "alice");
    EXPECT_EQ(groups.at("result")[0].at("groups")[0].at("members"),
              json({"14007", "14014", "14021"}));

    const json reported =
        send("POST", "/v1/report/urls?" + key + "&report=%5B%7B%22url%22%3A%22u%22%7D%5D", {})
            .parsed();
    EXPECT_EQ(reported.at("status").at("result"), "OK");
    EXPECT_EQ(send("POST", "/v1/report/urls?" + key + "&report=not-json", {}).status, 400);
}

TEST_F(SandboxServer, ShortLinksRedirectAndShortenersAnswerInTheirShapes)
{
    const std::string api = "/shorten?version=2.0.1&login=talvo&apiKey=R_0&longUrl=http%3A%2F%"
                            "2Fwww.example.com%2Fa%3Fb%3D1";
    const json shortened = send("GET", api, {}, {}, "api.bitly.localhost").parsed();
    ASSERT_EQ(shortened.at("errorCode"), 0) << shortened.dump();
    const std::string shortUrl =
        shortened.at("results").at("http://www.example.com/a?b=1").at("shortUrl");
    const QUrl url(QString::fromStdString(shortUrl));
    EXPECT_EQ(url.host(), QStringLiteral("bitly.localhost"));
    const Answer hop = send("HEAD", url.path().toStdString(), {}, {}, "bitly.localhost");
    EXPECT_EQ(hop.status, 301);
    EXPECT_EQ(hop.header("Location"), "http://www.example.com/a?b=1");
    const json expanded =
        send("GET", "/expand?version=2.0.1&apiKey=R_0&login=talvo&shortUrl=" + shortUrl, {}, {},
             "api.bitly.localhost")
            .parsed();
    EXPECT_EQ(expanded.at("results").begin()->at("longUrl"), "http://www.example.com/a?b=1");
    EXPECT_NE(send("GET", "/shorten?longUrl=http%3A%2F%2Fx.org%2F", {}, {}, "api.bitly.localhost")
                  .parsed()
                  .at("errorCode"),
              0);

    // A chain: 302 to another short link, then 301 to the page.
    const Answer first = send("HEAD", "/chain1", {}, {}, "jmp.localhost");
    EXPECT_EQ(first.status, 302);
    const QUrl next(QString::fromStdString(first.header("Location")));
    const Answer second =
        send("HEAD", next.path().toStdString(), {}, {}, next.host().toStdString());
    EXPECT_EQ(second.status, 301);
    EXPECT_EQ(QUrl(QString::fromStdString(second.header("Location"))).host(),
              QStringLiteral("www.localhost"));

    // A plain-text shortener, and a framing page that holds its target in an iframe.
    const Answer isgd = send("GET", "/api.php?longurl=http%3A%2F%2Fwww.example.com%2Fz", {}, {},
                             "api.isgd.localhost");
    EXPECT_EQ(isgd.status, 200);
    EXPECT_EQ(isgd.body.rfind("https://isgd.localhost:", 0), 0u) << isgd.body;
    // Picture hosts: the page names its picture in <img id="photo-display">, the picture is
    // served.
    const Answer photoPage = send("GET", "/p5", {}, {}, "photos.localhost");
    EXPECT_NE(photoPage.body.find("id=\"photo-display\" src=\"/full/p5.png"), std::string::npos);
    const Answer thumb = send("GET", "/thumb/p5", {}, {}, "pics.localhost");
    EXPECT_EQ(thumb.header("Content-Type"), "image/bmp");
    EXPECT_EQ(thumb.body.substr(0, 2), "BM");
    const Answer framed = send("GET", "/f1", {}, {}, "frame.localhost");
    EXPECT_NE(framed.body.find("<iframe id=\"talvo_frame\" src=\"https://www.localhost:"),
              std::string::npos);
}

TEST_F(SandboxServer, FaultsApplyWhileRunningAndStateSurvivesARestart)
{
    const Credentials erin = login("erin");
    ASSERT_TRUE(s_sandbox->writeFaults("path /1/trends* status=503\nrate_limit_remaining = 0\n"));
    EXPECT_EQ(send("GET", "/1/trends.json").status, 503);
    const Answer limited = signedCall("GET", "/1/statuses/mentions.json", {}, {}, erin);
    EXPECT_EQ(limited.status, 400);
    EXPECT_EQ(limited.header("X-Ratelimit-Remaining"), "0");

    // A fault stands for the service failing once it let the caller in: unsigned and
    // over-limit calls still hear 401 and 400 first.
    const struct
    {
        const char *rules;
        bool sign;
        int status;
    } gated[] = {
        {"path /1/statuses/mentions* status=502\n", false, 401},
        {"path /1/statuses/mentions* status=502\nrate_limit_remaining = 0\n", true, 400},
        {"path /1/statuses/mentions* status=502\n", true, 502},
    };
    for (const auto &g : gated) {
        SCOPED_TRACE(g.rules);
        ASSERT_TRUE(s_sandbox->writeFaults(g.rules));
        const Answer a = g.sign ? signedCall("GET", "/1/statuses/mentions.json", {}, {}, erin)
                                : send("GET", "/1/statuses/mentions.json");
        EXPECT_EQ(a.status, g.status);
    }

    // The sandbox's clock runs ten minutes ahead: a request on our clock is refused.
    ASSERT_TRUE(s_sandbox->writeFaults("clock_skew = 600\n"));
    const Answer skewed = signedCall("GET", "/1/statuses/mentions.json", {}, {}, erin);
    EXPECT_EQ(skewed.status, 401);
    const QDateTime serverDate =
        QDateTime::fromString(QString::fromStdString(skewed.header("Date")).chopped(4),
                              QStringLiteral("ddd, dd MMM yyyy HH:mm:ss"));
    EXPECT_NEAR(QDateTime::currentDateTimeUtc().secsTo(
                    QDateTime(serverDate.date(), serverDate.time(), Qt::UTC)),
                600, 5);
    EXPECT_EQ(signedCall("GET", "/1/statuses/mentions.json", {}, {}, erin, 600).status, 200);

    ASSERT_TRUE(s_sandbox->writeFaults("path /1/statuses/show/* drop\n"));
    EXPECT_EQ(signedCall("GET", "/1/statuses/show/1.json", {}, {}, erin).status, 0); // no answer
    ASSERT_TRUE(s_sandbox->writeFaults(""));
    EXPECT_EQ(send("GET", "/1/trends.json").status, 200);

    const Answer posted =
        signedCall("POST", "/1/statuses/update.json", {}, {{"status", "still here"}}, erin);
    ASSERT_EQ(posted.status, 200);
    const QByteArray id = QByteArray::number(posted.parsed().at("id").get<qint64>());
    ASSERT_TRUE(s_sandbox->restart()) << s_sandbox->errorString().toStdString();
    // SIGTERM ended it by its own shutdown, not by the fixture's kill.
    EXPECT_TRUE(s_sandbox->stoppedCleanly());
    const Answer again = signedCall("GET", "/1/statuses/show/" + id + ".json", {}, {}, erin);
    ASSERT_EQ(again.status, 200) << again.body; // same token, same status
    EXPECT_EQ(again.parsed().at("text"), "still here");
}
