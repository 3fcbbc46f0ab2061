#include "TwitterPage.h"

#include <cstdint>
#include <string>

namespace {

struct Random
{
    std::uint64_t state = 0x9E3779B97F4A7C15ULL;
    std::uint64_t next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    int below(int n) { return int(next() % std::uint64_t(n)); }
};

const char *const kWords[] = {
    "the",   "quick",  "release",         "ruby",           "notre", "dame",    "café",
    "naïve", "über",   "日本語",          "tweet",          "about", "nothing", "rails",
    "json",  "streak", "\\u00e9t\\u00e9", "\\\"quoted\\\"", "a\\/b"};
const char *const kNames[] = {"jnunemaker",   "mojombo", "defunkt", "pjhyett", "wycats",
                              "technoweenie", "dhh",     "jack",    "biz",     "ev"};
const char *const kSources[] = {
    "web", "<a href=\\\"http:\\/\\/www.atebits.com\\/software\\/tweetie\\/\\\">Tweetie<\\/a>",
    "<a href=\\\"http:\\/\\/twitterrific.com\\\" rel=\\\"nofollow\\\">Twitterrific<\\/a>"};

class Writer
{
public:
    std::string out;
    Random rnd;

    void key(const char *k)
    {
        out += '"';
        out += k;
        out += "\":";
    }
    void str(const char *k, const std::string &v)
    {
        key(k);
        out += '"';
        out += v;
        out += "\",";
    }
    void num(const char *k, std::uint64_t v)
    {
        key(k);
        out += std::to_string(v);
        out += ',';
    }
    void boolean(const char *k, bool v)
    {
        key(k);
        out += v ? "true," : "false,";
    }
    void null(const char *k)
    {
        key(k);
        out += "null,";
    }
    void close(char c)
    {
        if (out.back() == ',')
            out.back() = c;
        else
            out += c;
        out += ',';
    }
    std::string sentence(int words)
    {
        std::string s;
        for (int i = 0; i < words; ++i) {
            if (i)
                s += ' ';
            s += kWords[rnd.below(int(std::size(kWords)))];
        }
        return s;
    }
    std::uint64_t statusId() { return 100000000000000000ULL + rnd.next() % 899999999999999999ULL; }

    void user(int who)
    {
        const std::string name = kNames[who % int(std::size(kNames))];
        const std::uint64_t id = 10000000ULL + std::uint64_t(who) * 7919;
        out += '{';
        num("id", id);
        str("id_str", std::to_string(id));
        str("name", name + " " + sentence(1));
        str("screen_name", name);
        str("location", "Mishawaka, Indiana");
        str("description", sentence(6));
        str("url", "http:\\/\\/example.com\\/" + name);
        boolean("protected", false);
        num("followers_count", 1000 + std::uint64_t(rnd.below(100000)));
        num("friends_count", std::uint64_t(rnd.below(2000)));
        str("created_at", "Sun Aug 13 22:56:06 +0000 2006");
        num("favourites_count", std::uint64_t(rnd.below(500)));
        key("utc_offset");
        out += "-18000,";
        str("time_zone", "Indiana (East)");
        boolean("geo_enabled", rnd.below(2) == 0);
        boolean("verified", who % 7 == 0);
        num("statuses_count", std::uint64_t(rnd.below(50000)));
        str("lang", "en");
        str("profile_background_color", "1A1B1F");
        str("profile_background_image_url",
            "http:\\/\\/static.twitter.com\\/images\\/themes\\/theme9\\/bg.gif");
        boolean("profile_background_tile", false);
        str("profile_image_url", "http:\\/\\/s3.amazonaws.com\\/twitter_production\\/"
                                 "profile_images\\/61024905\\/black250_normal.jpg");
        str("profile_link_color", "2FC2EF");
        str("profile_sidebar_border_color", "181A1E");
        str("profile_sidebar_fill_color", "252429");
        str("profile_text_color", "666666");
        boolean("following", true);
        boolean("notifications", false);
        close('}');
    }

    void entities(const std::string &text)
    {
        out += '{';
        key("hashtags");
        out += "[{\"text\":\"ruby\",\"indices\":[3,8]}],";
        key("urls");
        out += "[{\"url\":\"http:\\/\\/t.co\\/abc\",\"expanded_url\":null,\"indices\":[10," +
               std::to_string(text.size() % 140) + "]}],";
        key("user_mentions");
        out += "[{\"screen_name\":\"dhh\",\"name\":\"DHH\",\"id\":14561327,"
               "\"id_str\":\"14561327\",\"indices\":[0,4]}]";
        out += "},";
    }

    void status(int index, bool allowRetweet)
    {
        const std::uint64_t id = statusId();
        const std::string text = sentence(8 + rnd.below(10));
        out += '{';
        str("created_at", "Thu Apr 02 22:57:00 +0000 2009");
        num("id", id);
        str("id_str", std::to_string(id));
        str("text", text);
        str("source", kSources[rnd.below(int(std::size(kSources)))]);
        boolean("truncated", false);
        if (index % 3 == 0) {
            const std::uint64_t reply = statusId();
            num("in_reply_to_status_id", reply);
            str("in_reply_to_status_id_str", std::to_string(reply));
            num("in_reply_to_user_id", 14561327);
            str("in_reply_to_user_id_str", "14561327");
            str("in_reply_to_screen_name", "dhh");
        } else {
            null("in_reply_to_status_id");
            null("in_reply_to_status_id_str");
            null("in_reply_to_user_id");
            null("in_reply_to_user_id_str");
            null("in_reply_to_screen_name");
        }
        key("user");
        user(rnd.below(40));
        null("geo");
        null("coordinates");
        null("place");
        null("contributors");
        num("retweet_count", std::uint64_t(rnd.below(100)));
        key("entities");
        entities(text);
        boolean("favorited", false);
        boolean("retweeted", false);
        if (allowRetweet && index % 4 == 1) {
            key("retweeted_status");
            status(index + 1, false);
        }
        close('}');
    }
};

} // namespace

QByteArray makeTwitterPage(int count)
{
    Writer w;
    w.out.reserve(std::size_t(count) * 2400);
    w.out += '[';
    for (int i = 0; i < count; ++i)
        w.status(i, true);
    w.close(']');
    w.out.pop_back(); // the comma close() leaves after the outermost bracket
    return QByteArray(w.out.data(), qsizetype(w.out.size()));
}
