// Finer points of the sandbox's answers that the client's tests rely on.
#include "SandboxTestClient.h"

#include "support/TestSupport.h"

namespace {
class SandboxDetails : public SandboxServer
{
};

int count(const json &statuses)
{
    return statuses.is_array() ? int(statuses.size()) : -1;
}
} // namespace

TEST_F(SandboxDetails, MentionsAndSearchMatchWhatTheyShould)
{
    const Credentials frank = login("frank");
    const Credentials bob = login("bob");
    const char *posts[] = {"@bob zebra one", "zebra two @bobcat", "write me@bob.example zebra",
                           "(@BOB) quagga phrase here", "quagga three"};
    for (const char *text : posts)
        ASSERT_EQ(
            signedCall("POST", "/1/statuses/update.json", {}, {{"status", text}}, frank).status,
            200)
            << text;

    std::set<std::string> mentionTexts;
    for (const json &s :
         signedCall("GET", "/1/statuses/mentions.json", {{"count", "200"}}, {}, bob).parsed())
        mentionTexts.insert(s.at("text").get<std::string>());
    EXPECT_TRUE(mentionTexts.count("@bob zebra one"));
    EXPECT_TRUE(mentionTexts.count("(@BOB) quagga phrase here"));   // any case
    EXPECT_FALSE(mentionTexts.count("zebra two @bobcat"));          // another name
    EXPECT_FALSE(mentionTexts.count("write me@bob.example zebra")); // an address

    struct Case
    {
        const char *query;
        int results;
    };
    const Case cases[] = {
        {"zebra", 3},           {"zebra -two", 2},        {"from:frank quagga", 2},
        {"from:bob quagga", 0}, {"\"quagga phrase\"", 1}, {"\"phrase quagga\"", 0},
        {"zebra OR quagga", 5}, {"QUAGGA three", 1}};
    for (const Case &c : cases) {
        const std::string target =
            "/search.json?rpp=100&q=" +
            QUrl::toPercentEncoding(QString::fromLatin1(c.query)).toStdString();
        EXPECT_EQ(count(send("GET", target).parsed().at("results")), c.results) << c.query;
    }
    // rpp and page split the answer without overlap.
    const json first = send("GET", "/search.json?q=zebra%20OR%20quagga&rpp=3").parsed();
    const json second = send("GET", "/search.json?q=zebra%20OR%20quagga&rpp=3&page=2").parsed();
    ASSERT_EQ(count(first.at("results")), 3);
    ASSERT_EQ(count(second.at("results")), 2);
    EXPECT_TRUE(first.contains("next_page"));
    EXPECT_FALSE(second.contains("next_page"));
    EXPECT_GT(first.at("results")[2].at("id").get<qint64>(),
              second.at("results")[0].at("id").get<qint64>());
    EXPECT_EQ(send("GET", "/search.json?q=").status, 403);
}

TEST_F(SandboxDetails, ListsSavedSearchesAndDirectMessagesFollowTheAccount)
{
    const Credentials alice = login("alice");
    const Credentials bob = login("bob");
    // alice owns a public list, carol a private one; alice follows bob's.
    const json own = signedCall("GET", "/1/alice/lists.json", {}, {}, alice).parsed();
    ASSERT_EQ(own.at("lists").size(), 1u);
    EXPECT_EQ(own.at("lists")[0].at("full_name"), "@alice/friends");
    EXPECT_EQ(own.at("lists")[0].at("user").at("screen_name"), "alice");
    EXPECT_EQ(signedCall("GET", "/1/alice/lists/subscriptions.json", {}, {}, alice)
                  .parsed()
                  .at("lists")[0]
                  .at("full_name"),
              "@bob/friends");
    EXPECT_TRUE(
        signedCall("GET", "/1/carol/lists.json", {}, {}, alice).parsed().at("lists").empty());
    const std::string listId = std::to_string(own.at("lists")[0].at("id").get<qint64>());
    EXPECT_EQ(signedCall("GET", "/1/carol/lists/friends/statuses.json", {}, {}, alice).status, 404);
    const json listed =
        signedCall("GET", QByteArray("/1/alice/lists/") + listId.c_str() + "/statuses.json",
                   {{"per_page", "5"}}, {}, alice)
            .parsed();
    ASSERT_EQ(count(listed), 5);
    const std::set<std::string> members = {"bob", "carol", "dave", "erin"};
    for (const json &s : listed)
        EXPECT_TRUE(members.count(s.at("user").at("screen_name").get<std::string>())) << s.dump();

    // Saved searches: create, list, destroy, and a second destroy finds nothing.
    const json created =
        signedCall("POST", "/1/saved_searches/create.json", {}, {{"query", "quagga"}}, bob)
            .parsed();
    const QByteArray searchId = QByteArray::number(created.at("id").get<qint64>());
    EXPECT_EQ(created.at("query"), "quagga");
    EXPECT_EQ(count(signedCall("GET", "/1/saved_searches.json", {}, {}, bob).parsed()), 1);
    EXPECT_EQ(
        signedCall("POST", "/1/saved_searches/destroy/" + searchId + ".json", {}, {}, alice).status,
        404);
    EXPECT_EQ(
        signedCall("POST", "/1/saved_searches/destroy/" + searchId + ".json", {}, {}, bob).status,
        200);
    EXPECT_EQ(
        signedCall("POST", "/1/saved_searches/destroy/" + searchId + ".json", {}, {}, bob).status,
        404);
    EXPECT_EQ(count(signedCall("GET", "/1/saved_searches.json", {}, {}, bob).parsed()), 0);

    // Direct messages: the inbox pages by since, and a destroyed message leaves it.
    const json inbox =
        signedCall("GET", "/1/direct_messages.json", {{"count", "200"}}, {}, alice).parsed();
    ASSERT_GT(count(inbox), 3);
    for (const json &m : inbox)
        EXPECT_EQ(m.at("recipient").at("screen_name"), "alice");
    const QByteArray since = QByteArray::number(inbox[3].at("id").get<qint64>());
    EXPECT_EQ(
        count(signedCall("GET", "/1/direct_messages.json", {{"since", since}}, {}, alice).parsed()),
        3);
    const QByteArray newest = QByteArray::number(inbox[0].at("id").get<qint64>());
    EXPECT_EQ(
        signedCall("POST", "/1/direct_messages/destroy/" + newest + ".json", {}, {}, alice).status,
        200);
    EXPECT_EQ(
        count(signedCall("GET", "/1/direct_messages.json", {{"since", since}}, {}, alice).parsed()),
        2);
}

TEST_F(SandboxDetails, ProfilePicturesUploadWithinTheSizeLimit)
{
    const Credentials grace = login("grace");
    const std::string picture(2048, '\xab');
    const Answer up = signedUpload("/1/account/update_profile_image.json", "image", picture, grace);
    ASSERT_EQ(up.status, 200) << up.body;
    const QUrl image(QString::fromStdString(up.parsed().at("profile_image_url")));
    const Answer served = send("GET", image.path().toStdString());
    EXPECT_EQ(served.status, 200);
    EXPECT_EQ(served.body, picture);
    EXPECT_EQ(signedUpload("/1/account/update_profile_image.json", "image",
                           std::string(701 * 1024, 'x'), grace)
                  .status,
              413);
    EXPECT_EQ(send("GET", image.path().toStdString()).body, picture); // unchanged by the refusal
}

TEST_F(SandboxDetails, CompanionHighlightsTranslatesAndGroupChanges)
{
    const std::string q = "api_key=" TALVO_API_KEY "&guid=g7&platform=osx&build=1";
    const httplib::Headers bob = {
        {"Authorization", "Basic " + QByteArray("bob:sandbox").toBase64().toStdString()}};
    const json hl = send("POST", "/v1/highlight?" + q,
                         "highlight%5Bpredicate%5D=HASHTAG&highlight%5Bfactor%5D=%23talvo&"
                         "highlight%5Bduration%5D=600",
                         bob)
                        .parsed();
    const std::string hlId = std::to_string(hl.at("highlight").at("id").get<qint64>());
    EXPECT_EQ(send("GET", "/v1/highlight/" + hlId + "?" + q, {}, bob)
                  .parsed()
                  .at("highlight")
                  .at("factor"),
              "#talvo");
    // An extension of 0 ends the highlight now.
    const json ended =
        send("PUT", "/v1/highlight/" + hlId + "/extend?" + q + "&highlight%5Bextension%5D=0", {},
             bob)
            .parsed();
    EXPECT_LE(ended.at("highlight").at("duration").get<qint64>(), 5);
    EXPECT_EQ(
        send("POST", "/v1/highlight?" + q,
             "highlight%5Bpredicate%5D=WORD&highlight%5Bfactor%5D=x&highlight%5Bduration%5D=1", bob)
            .status,
        400);

    const json tr = send("POST", "/v1/translate?" + q, "translate%5Bfactor%5D=14007", bob).parsed();
    const std::string trId = std::to_string(tr.at("translate").at("id").get<qint64>());
    EXPECT_EQ(tr.at("translate").at("is_active"), true);
    EXPECT_EQ(send("DELETE", "/v1/translate/" + trId + "?" + q, {}, bob).status, 200);
    const json config = send("GET", "/v1/configurations?" + q, {}, bob).parsed();
    ASSERT_EQ(config.at("translates").size(), 1u);
    EXPECT_EQ(config.at("translates")[0].at("is_active"), false); // kept, inactive
    EXPECT_EQ(config.at("highlights").size(), 1u);

    const json group = send("POST", "/v1/group",
                            "api_key=" TALVO_API_KEY
                            "&network=twitter&remote%5Bid%5D=14007&remote%5Busername%5D=bob"
                            "&group%5Bname%5D=Old",
                            bob)
                           .parsed();
    const std::string id = std::to_string(group.at("group").at("id").get<qint64>());
    EXPECT_TRUE(group.at("group").at("members").empty());
    const json renamed =
        send("PUT",
             "/v1/group/" + id + "?" + q + "&group%5Bmembers%5D=1,2&group%5Bname%5D=New%20name", {},
             bob)
            .parsed();
    EXPECT_EQ(renamed.at("group").at("name"), "New name");
    EXPECT_EQ(renamed.at("group").at("members"), json({"1", "2"}));
    EXPECT_EQ(send("DELETE", "/v1/group/" + id + "/member/1?" + q, {}, bob).status, 200);
    const httplib::Headers alice = {
        {"Authorization", "Basic " + QByteArray("alice:sandbox").toBase64().toStdString()}};
    EXPECT_EQ(send("DELETE", "/v1/group/" + id + "?" + q, {}, alice).status, 404); // not hers
    EXPECT_EQ(send("DELETE", "/v1/group/" + id + "?" + q, {}, bob).status, 200);
    EXPECT_TRUE(send("GET", "/v1/user/groups?" + q, {}, bob).parsed().at("result").empty());
    EXPECT_EQ(
        send("GET", "/v1/search/trends?api_key=" TALVO_API_KEY).parsed().at("status").at("result"),
        "OK");
    // The two answers our client asks for without the API key.
    EXPECT_TRUE(send("GET", "/v1/epoch").parsed().at("epoch").is_number());
    const json shorteners = send("GET", "/v1/static/shorteners").parsed();
    EXPECT_EQ(shorteners.at("status").at("result"), "OK");
    EXPECT_EQ(shorteners.at("framers")[0].at("sandboxframe").at("domain"), "frame.localhost");
    EXPECT_EQ(send("GET", "/v1/static/setups").status, 401);
}

TEST_F(SandboxDetails, StalledBodiesTimeOutAndActivityAddsStatuses)
{
    ASSERT_TRUE(s_sandbox->writeFaults("path /1/trends* stall=1500\n"));
    httplib::SSLClient client("127.0.0.1", s_sandbox->tlsPort());
    client.set_ca_cert_path(s_sandbox->caBundle().toStdString().c_str());
    client.set_read_timeout(0, 300000);
    EXPECT_FALSE(client.Get("/1/trends.json")); // headers and half the body, then nothing
    ASSERT_TRUE(s_sandbox->writeFaults(""));

    SandboxFixture busy;
    SandboxFixture::Options options;
    options.activity = 1200; // twenty a second
    ASSERT_TRUE(busy.start(options)) << busy.errorString().toStdString();
    httplib::SSLClient other("127.0.0.1", busy.tlsPort());
    other.set_ca_cert_path(busy.caBundle().toStdString().c_str());
    auto newest = [&other] {
        const auto r = other.Get("/search.json?q=e&rpp=1");
        return r ? json::parse(r->body, nullptr, false)["results"][0]["id"].get<qint64>() : 0;
    };
    const qint64 before = newest();
    EXPECT_TRUE(waitUntil([&] { return newest() > before; }, 5000));
}
