// The sandbox's answers carry every key of the real answers of the era
// (tests/data/twitter-v1, captured from the live service).
#include "SandboxTestClient.h"

#include <QFile>

namespace {

class SandboxShapes : public SandboxServer
{
};

json sample(const char *name)
{
    QFile file(QStringLiteral(TALVO_TEST_SOURCE_DIR "/tests/data/twitter-v1/") +
               QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return json();
    return json::parse(file.readAll().toStdString(), nullptr, false);
}

// Keys of the real record that the sandbox's record lacks; keys the real service sent only
// sometimes are left out of the comparison.
std::vector<std::string> missingKeys(const json &real, const json &ours,
                                     const std::set<std::string> &optional = {})
{
    std::vector<std::string> missing;
    if (!real.is_object() || !ours.is_object())
        return {"<not an object>"};
    for (const auto &item : real.items()) {
        if (!optional.count(item.key()) && !ours.contains(item.key()))
            missing.push_back(item.key());
    }
    return missing;
}

} // namespace

TEST_F(SandboxShapes, AnswersCarryEveryKeyOfTheRealAnswers)
{
    const Credentials alice = login("alice");
    auto get = [&alice](const QByteArray &path, const QList<OAuthVerifier::Param> &query = {}) {
        return signedCall("GET", path, query, {}, alice).parsed();
    };
    const json home = get("/1/statuses/home_timeline.json");
    const json retweets = get("/1/statuses/retweeted_to_me.json");
    const json inbox = get("/1/direct_messages.json");
    const json user = get("/1/users/show.json", {{"screen_name", "bob"}});
    const json lists = get("/1/alice/lists.json");
    const json saved = get("/1/saved_searches.json");
    const json search = send("GET", "/search.json?q=coffee&rpp=5&show_user=true").parsed();
    ASSERT_TRUE(home.is_array() && !home.empty());
    ASSERT_TRUE(retweets.is_array() && !retweets.empty());
    ASSERT_TRUE(inbox.is_array() && !inbox.empty());
    ASSERT_TRUE(search.contains("results") && !search.at("results").empty());

    struct Case
    {
        const char *what;
        json real;
        json ours;
        std::set<std::string> optional;
    };
    const Case cases[] = {
        {"status", sample("home_timeline.json")[0], home[0], {}},
        {"user in a status", sample("home_timeline.json")[0]["user"], home[0]["user"], {}},
        {"mention", sample("mentions.json")[0], home[0], {}},
        {"retweet", sample("retweeted_to_me.json")[0], retweets[0], {}},
        {"retweeted status",
         sample("retweeted_to_me.json")[0]["retweeted_status"],
         retweets[0]["retweeted_status"],
         {}},
        {"direct message", sample("direct_messages.json")[0], inbox[0], {}},
        {"sender",
         sample("direct_messages.json")[0]["sender"],
         inbox[0]["sender"],
         {"contributors_enabled", "follow_request_sent", "geo_enabled", "lang", "listed_count",
          "profile_use_background_image", "show_all_inline_media"}},
        {"user", sample("user.json"), user, {}},
        {"lists answer", sample("lists.json"), lists, {}},
        {"list", sample("lists.json")["lists"][0], lists["lists"][0], {}},
        {"saved search", sample("saved_searches.json")[0], saved[0], {}},
        {"search answer", sample("search.json"), search, {"next_page"}},
        {"search result", sample("search.json")["results"][0], search["results"][0], {"to_user"}},
    };
    for (const Case &c : cases) {
        ASSERT_FALSE(c.real.is_null()) << c.what << ": sample missing";
        EXPECT_EQ(missingKeys(c.real, c.ours, c.optional), std::vector<std::string>()) << c.what;
    }
}
