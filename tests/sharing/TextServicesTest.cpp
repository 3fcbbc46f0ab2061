// The shrinking and translation requests without a server: what they send and how they
// read answers, and how a tweet's tokens survive a translation.
#include "foundation/HostProfile.h"
#include "sharing/RTTweetShrinkRequestOperation.h"
#include "sharing/RTTwitterMessageTranslationRequestOperation.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

using Translation = RTTwitterMessageTranslationRequestOperation;

TEST(TweetTranslationTokens, PlaceholdersGoOutAndTokensComeBackInOrder)
{
    struct Case
    {
        const char *name;
        QString body;
        QString protectedText;
        QString translation; // what the service answers for protectedText
        QString restored;
    };
    const QList<Case> cases = {
        {"hashtag and mention", u"Good morning #Coffee with @Bob!"_s,
         u"Good morning RT_TWITTER_HASHTAG with RT_TWITTER_USER!"_s,
         u"Guten Morgen RT_TWITTER_HASHTAG mit RT_TWITTER_USER!"_s,
         u"Guten Morgen #Coffee mit @Bob!"_s},
        {"two of a kind keep their order", u"#one before #two"_s,
         u"RT_TWITTER_HASHTAG before RT_TWITTER_HASHTAG"_s,
         u"RT_TWITTER_HASHTAG avant RT_TWITTER_HASHTAG"_s, u"#one avant #two"_s},
        {"stock symbol", u"Buy $AAPL now"_s, u"Buy RT_TWITTER_STOCKTAG now"_s,
         u"Kaufe RT_TWITTER_STOCKTAG jetzt"_s, u"Kaufe $AAPL jetzt"_s},
        {"a dropped placeholder loses its token only", u"@ann and @bob"_s,
         u"RT_TWITTER_USER and RT_TWITTER_USER"_s, u"RT_TWITTER_USER und"_s, u"@ann und"_s},
        {"an added placeholder stays as it is", u"hi @ann"_s, u"hi RT_TWITTER_USER"_s,
         u"salut RT_TWITTER_USER RT_TWITTER_USER"_s, u"salut @ann RT_TWITTER_USER"_s},
        {"nothing to protect", u"plain words"_s, u"plain words"_s, u"mots simples"_s,
         u"mots simples"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Translation::Tokens tokens;
        EXPECT_EQ(Translation::protectTokens(c.body, &tokens), c.protectedText);
        EXPECT_EQ(Translation::restoreTokens(c.translation, tokens), c.restored);
    }
}

TEST(TextServiceAnswers, ShrinkAnswers)
{
    struct Case
    {
        const char *name;
        QByteArray body;
        bool read;
        QString text;
        QString difference;
    };
    const QList<Case> cases = {
        {"number difference", R"({"text": "u r gr8", "difference": 9})", true, u"u r gr8"_s,
         u"9"_s},
        {"string difference", R"({"text": "u", "difference": "2"})", true, u"u"_s, u"2"_s},
        {"no difference", R"({"text": "u"})", true, u"u"_s, QString()},
        {"no text", R"({"difference": 2})", false, {}, {}},
        {"text is a number", R"({"text": 5})", false, {}, {}},
        {"an array", R"(["u"])", false, {}, {}},
        {"not JSON", "Service Unavailable", false, {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QString text, difference;
        EXPECT_EQ(RTTweetShrinkRequestOperation::readAnswer(c.body, &text, &difference), c.read);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(difference, c.difference);
    }
}

TEST(TextServiceAnswers, TranslationAnswers)
{
    struct Case
    {
        const char *name;
        QByteArray body;
        QString translated; // null: none
        QString failure;
    };
    const QList<Case> cases = {
        {"translation",
         R"({"responseData": {"translatedText": "Hallo"}, "responseStatus": 200})",
         u"Hallo"_s,
         {}},
        {"the service's own error",
         R"({"responseData": null, "responseDetails": "invalid text", "responseStatus": 400})",
         {},
         u"invalid text"_s},
        {"nothing said", R"({"responseStatus": 200})", {}, u"The answer held no translation"_s},
        {"wrong type",
         R"({"responseData": {"translatedText": 7}})",
         {},
         u"The answer held no translation"_s},
        {"not JSON", "<html>", {}, u"The translation service's answer could not be read"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QString failure;
        const QString translated = RTTextTranslationRequestOperation::readAnswer(c.body, &failure);
        EXPECT_EQ(translated, c.translated);
        EXPECT_EQ(translated.isNull(), c.translated.isNull());
        EXPECT_EQ(failure, c.failure);
    }
}

TEST(TextServiceRequests, UrlsEscapeWhatTheyCarry)
{
    HostProfile profile;
    profile.setBaseUrl(u"translate"_s, QUrl(u"https://api.translate.localhost:9/"_s));
    profile.setBaseUrl(u"shrink"_s, QUrl(u"https://api.shrink.localhost:9"_s));
    HostProfile::setCurrent(profile);
    struct Case
    {
        const char *name;
        QUrl url;
        QString expected;
    };
    const QList<Case> cases = {
        {"detected source language",
         RTTextTranslationRequestOperation::translationUrl({}, u"de"_s, u"Hi you"_s),
         u"https://api.translate.localhost:9/ajax/services/language/"
         "translate?v=1.0&langpair=%7Cde&q=Hi%20you"_s},
        {"entities are unescaped before they are escaped",
         RTTextTranslationRequestOperation::translationUrl(u"en"_s, u"fr"_s, u"a &amp; b?#"_s),
         u"https://api.translate.localhost:9/ajax/services/language/"
         "translate?v=1.0&langpair=en%7Cfr&q=a%20%26%20b%3F%23"_s},
        {"a language cannot add parameters",
         RTTextTranslationRequestOperation::translationUrl(u"en"_s, u"de&q=x"_s, u"a"_s),
         u"https://api.translate.localhost:9/ajax/services/language/"
         "translate?v=1.0&langpair=en%7Cde%26q%3Dx&q=a"_s},
        {"shrink text", RTTweetShrinkRequestOperation::shrinkUrl(u"you & me é"_s),
         u"https://api.shrink.localhost:9/shrink?text=you%20%26%20me%20%C3%A9"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.url.toString(QUrl::FullyEncoded), c.expected);
    }
    // A profile that names no service sends nowhere.
    HostProfile::setCurrent(HostProfile());
    EXPECT_FALSE(RTTweetShrinkRequestOperation::shrinkUrl(u"x"_s).isValid());
    HostProfile::setCurrent(HostProfile::real());
}

} // namespace
