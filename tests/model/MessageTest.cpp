#include "ModelFakes.h"

#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "model/RTMessageHooks.h"
#include "support/TestSupport.h"

#include <barrier>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace {
class MessageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SettingsStore::resetShared(testTempDir() + QStringLiteral("/message.conf"));
    }
    void TearDown() override { RTMessageHooks::install({}); }
};

// Records every announcement as "will key" / "did key".
QStringList *recordChanges(RTObservable &object)
{
    auto *log = new QStringList;
    object.addObserver([log](const char *key, RTObservable::ChangePhase phase) {
        *log << QLatin1String(phase == RTObservable::ChangePhase::Will ? "will " : "did ") +
                    QLatin1String(key);
    });
    return log;
}
} // namespace

TEST_F(MessageTest, FlagWordsKeepTheirBitsApartAndMergesOnlyAdd)
{
    auto sent = RTMessageTwitter::create(QStringLiteral("1"));
    sent->setIsSent(true);
    sent->setIsTranslated(true);
    EXPECT_EQ(sent->temporaryFlags(), 0x00010010u);
    EXPECT_EQ(sent->permanentFlags(), 0u);
    EXPECT_FALSE(sent->isSeen()); // same bit value as isTranslated, other word

    struct Case
    {
        quint32 mine, theirs, expected;
    } cases[] = {
        {RTPermanentFlag::IsHidden, RTPermanentFlag::IsSeen, 0x00030000},
        {RTPermanentFlag::IsSeen | RTPermanentFlag::IsMuted, 0, 0x00110000},
        {0, RTPermanentFlag::IsDeleted, 0x00080000},
    };
    for (const Case &c : cases) {
        auto stored = RTMessage::create(QStringLiteral("2"));
        auto arrived = RTMessage::create(QStringLiteral("2"));
        stored->setPermanentFlags(c.mine);
        stored->setTemporaryFlags(RTTemporaryFlag::IsHighlighted);
        arrived->setPermanentFlags(c.theirs);
        arrived->setTemporaryFlags(RTTemporaryFlag::IsRepeated);
        stored->mergeFlagsWithMessage(*arrived);
        EXPECT_EQ(stored->permanentFlags(), c.expected) << c.mine << " + " << c.theirs;
        EXPECT_EQ(stored->temporaryFlags(),
                  RTTemporaryFlag::IsHighlighted | RTTemporaryFlag::IsRepeated);
    }
}

TEST_F(MessageTest, SettersAnnounceOnlyRealChanges)
{
    auto message = RTMessageTwitter::create(QStringLiteral("1"));
    std::unique_ptr<QStringList> log(recordChanges(*message));
    message->setIsMuted(true);
    message->setIsMuted(true);
    message->setIsHome(false);
    message->setIsHome(true);
    message->setIsMuted(false);
    EXPECT_EQ(*log, QStringList({"will isMuted", "did isMuted", "will isHome", "did isHome",
                                 "will isMuted", "did isMuted"}));
    EXPECT_EQ(message->permanentFlags(), 0u);
    EXPECT_EQ(message->temporaryFlags(), RTTemporaryFlag::IsHome);
}

TEST_F(MessageTest, SeenMovesTheCountOfEveryHoldingNodeOnce)
{
    FakeNode home(5), mentions(3), other(7);
    auto message = RTMessage::create(QStringLiteral("1"));
    message->willBeAddedToTreeNode(&home);
    message->willBeAddedToTreeNode(&mentions);
    message->willBeAddedToTreeNode(&mentions);

    message->setIsSeen(true);
    message->setIsSeen(true);
    EXPECT_EQ(home.newMessagesCount, 4);
    EXPECT_EQ(mentions.newMessagesCount, 2);
    EXPECT_EQ(other.newMessagesCount, 7);

    message->willBeRemovedFromTreeNode(&home);
    message->setIsSeen(false);
    EXPECT_EQ(home.newMessagesCount, 4);
    EXPECT_EQ(mentions.newMessagesCount, 3);
    EXPECT_EQ(message->containedInTreeNodesSet(), QSet<RTMessageHolder *>({&mentions}));
}

TEST_F(MessageTest, SeenSetByAnotherCallerMidwayCountsOnce)
{
    // Replays the race of two threads marking the same message: the second caller runs
    // completely between the first one's check of the old value and its change of the bit.
    for (const bool value : {true, false}) {
        FakeNode node(10);
        auto message = RTMessage::create(QStringLiteral("1"));
        message->setPermanentFlag(RTPermanentFlag::IsSeen, !value);
        message->willBeAddedToTreeNode(&node);
        bool interleaved = false;
        message->addObserver([&](const char *key, RTObservable::ChangePhase phase) {
            if (!interleaved && phase == RTObservable::ChangePhase::Will &&
                qstrcmp(key, RTMessageProperty::IsSeen) == 0) {
                interleaved = true;
                message->setIsSeen(value);
            }
        });
        message->setIsSeen(value);
        EXPECT_TRUE(interleaved);
        EXPECT_EQ(message->isSeen(), value);
        EXPECT_EQ(node.newMessagesCount, value ? 9 : 11);
    }
}

TEST_F(MessageTest, ConcurrentSetAndClearOfDifferentBitsLoseNothing)
{
    auto message = RTMessageTwitter::create(QStringLiteral("1"));
    // Each thread owns one bit of each word and toggles it many times, ending set for
    // even threads and clear for odd ones; a non-atomic read-modify-write would lose bits.
    const quint32 permanentBits[] = {RTPermanentFlag::IsSeen, RTPermanentFlag::IsHidden,
                                     RTPermanentFlag::IsSpecialHidden, RTPermanentFlag::IsDeleted};
    const quint32 temporaryBits[] = {RTTemporaryFlag::IsHome, RTTemporaryFlag::IsMention,
                                     RTTemporaryFlag::IsReply, RTTemporaryFlag::IsPrivate};
    std::atomic<int> lostWrites{0};
    std::barrier start(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            for (int i = 0; i < 100000; ++i) {
                const bool on = (i % 2 == 0) != (t % 2 == 1);
                message->setPermanentFlag(permanentBits[t], on);
                message->setTemporaryFlag(temporaryBits[t], on);
                // Nobody else touches these bits, so they must read as just written.
                if (message->readPermanentFlag(permanentBits[t]) != on ||
                    message->readTemporaryFlag(temporaryBits[t]) != on)
                    ++lostWrites;
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(lostWrites, 0);
    // The last i is odd: even threads end clear, odd threads end set.
    EXPECT_EQ(message->permanentFlags(), RTPermanentFlag::IsHidden | RTPermanentFlag::IsDeleted);
    EXPECT_EQ(message->temporaryFlags(), RTTemporaryFlag::IsMention | RTTemporaryFlag::IsPrivate);
}

TEST_F(MessageTest, MarkingReachesCopiesOnlyOfRepeatedMessages)
{
    FakeAccount first, second;
    auto inSecond = RTMessage::create(QStringLiteral("7"));
    auto inSearch = RTMessage::create(QStringLiteral("7"));
    FakeNode secondHome(2);
    inSecond->willBeAddedToTreeNode(&secondHome);
    auto message = RTMessage::create(QStringLiteral("7"));
    message->setService(&first);
    first.copies = {inSecond, inSearch, message};

    message->markHidden(true);
    EXPECT_TRUE(message->isHidden());
    EXPECT_FALSE(inSecond->isHidden());

    message->setIsRepeated(true);
    message->markHidden(true);
    message->markSpecialHidden(true);
    message->markSeen(true);
    for (const auto &m : {message, inSecond, inSearch}) {
        EXPECT_TRUE(m->isHidden());
        EXPECT_TRUE(m->isSpecialHidden());
        EXPECT_TRUE(m->isSeen());
    }
    EXPECT_EQ(secondHome.newMessagesCount, 1);
    message->markHidden(false);
    EXPECT_FALSE(inSearch->isHidden());
}

TEST_F(MessageTest, ProcessBodyBuildsEachDisplayForm)
{
    RTMessageHooks hooks;
    hooks.parse = [](const QString &text) {
        RTAttributedString s(text);
        if (const qsizetype at = text.indexOf(QStringLiteral("http")); at >= 0)
            s.addAttribute(QStringLiteral("link"), true, at, text.indexOf(' ', at) - at);
        return s;
    };
    hooks.highlightTerms = [](const RTAttributedString &text, const QStringList &terms) {
        RTAttributedString s = text;
        s.addAttribute(QStringLiteral("highlight"), terms.join(','), 0, 1);
        return s;
    };
    hooks.shortURLReplacementDictionary = [](const QString &) {
        return QHash<QString, QString>{
            {QStringLiteral("http://t.co/a"), QStringLiteral("http://example.com/long")}};
    };
    RTMessageHooks::install(hooks);

    auto message = RTMessage::create(QStringLiteral("1"));
    message->setBody(QStringLiteral("a &amp; b http://t.co/a &lt;3"));
    std::unique_ptr<QStringList> log(recordChanges(*message));
    message->processBody();

    auto bodies = message->attributedBodyDictionary();
    const RTAttributedString plain = bodies.value(QLatin1String(kRTAttributedBodyUnHighlighted));
    EXPECT_EQ(plain.string(), QStringLiteral("a & b http://example.com/long <3"));
    EXPECT_EQ(plain.runs().value(0).length, QStringLiteral("http://example.com/long").size());
    EXPECT_EQ(bodies.value(QLatin1String(kRTAttributedBodyHighlighted)), plain);
    EXPECT_FALSE(bodies.contains(QLatin1String(kRTAttributedBodyTranslated)));
    EXPECT_EQ(plain.fontSize(), 12.0);
    EXPECT_EQ(*log, QStringList({"will isTranslated", "did isTranslated"}));

    SettingsStore::shared().setBool(RTShouldResolveShortURLsKey, false);
    message->setHighlightTerms({QStringLiteral("b")});
    message->setTranslatedBody(QStringLiteral("x http://t.co/a y"));
    message->processBody();
    bodies = message->attributedBodyDictionary();
    EXPECT_EQ(bodies.value(QLatin1String(kRTAttributedBodyUnHighlighted)).string(),
              QStringLiteral("a & b http://t.co/a <3"));
    const RTAttributedString translated =
        bodies.value(QLatin1String(kRTAttributedBodyUnHighlightedTransalated));
    EXPECT_EQ(translated.string(), QString(RTAttributedString::attachmentCharacter) +
                                       QStringLiteral("x http://t.co/a y"));
    EXPECT_EQ(translated.attributesAt(0).value(QLatin1String("attachment")),
              QStringLiteral("tweet_translated"));
    EXPECT_EQ(translated.attributesAt(3).value(QStringLiteral("link")), true);
    EXPECT_EQ(bodies.value(QLatin1String(kRTAttributedBodyTranslated))
                  .attributesAt(0)
                  .value(QStringLiteral("highlight")),
              QStringLiteral("b"));

    EXPECT_EQ(message->attributedBody().attributesAt(0).value(QStringLiteral("highlight")),
              QStringLiteral("b"));
    message->setIsTranslated(true);
    EXPECT_EQ(message->attributedBodyString(),
              bodies.value(QLatin1String(kRTAttributedBodyTranslated)).string());
}

TEST_F(MessageTest, DisplayBodiesKeepEveryKeyAndProcessingReplacesOnlyItsOwn)
{
    const QString plainKey = QLatin1String(kRTAttributedBodyUnHighlighted);
    const QString highlightedKey = QLatin1String(kRTAttributedBodyHighlighted);
    const QString translatedKey = QLatin1String(kRTAttributedBodyTranslated);
    const QString otherKey = QStringLiteral("someOtherForm");
    const QHash<QString, RTAttributedString> given{
        {highlightedKey, RTAttributedString(QStringLiteral("h"))},
        {translatedKey, RTAttributedString(QStringLiteral("t"))},
        {otherKey, RTAttributedString(QStringLiteral("o"))}};
    auto message = RTMessage::create(QStringLiteral("1"));
    message->setAttributedBodyDictionary(given);
    EXPECT_EQ(message->attributedBodyDictionary(), given);

    const struct
    {
        bool translated;
        const char *shown;
    } lookups[] = {{false, "h"}, {true, "t"}};
    for (const auto &l : lookups) {
        message->setIsTranslated(l.translated);
        EXPECT_EQ(message->attributedBodyString(), QLatin1String(l.shown)) << l.translated;
    }

    // Without a translation the translated forms and the unknown key stay as they were.
    message->setIsTranslated(false);
    message->setBody(QStringLiteral("body"));
    message->processBody();
    const auto bodies = message->attributedBodyDictionary();
    EXPECT_EQ(bodies.size(), 4);
    EXPECT_EQ(bodies.value(plainKey).string(), QStringLiteral("body"));
    EXPECT_EQ(bodies.value(highlightedKey).string(), QStringLiteral("body"));
    EXPECT_EQ(bodies.value(translatedKey).string(), QStringLiteral("t"));
    EXPECT_EQ(bodies.value(otherKey).string(), QStringLiteral("o"));

    message->setAttributedBodyDictionary({});
    EXPECT_TRUE(message->attributedBodyDictionary().isEmpty());
    EXPECT_TRUE(message->attributedBodyString().isEmpty());
}

// Bodies are built when first asked for; whatever happens to the message in between,
// they must be what asking at once would have given.
TEST_F(MessageTest, BodiesBuiltLateEqualBodiesBuiltAtOnce)
{
    RTMessageHooks hooks;
    hooks.highlightTerms = [](const RTAttributedString &text, const QStringList &terms) {
        RTAttributedString s = text;
        s.addAttribute(QStringLiteral("highlight"), terms.join(','), 0, 1);
        return s;
    };
    RTMessageHooks::install(hooks);
    SettingsStore::shared().setFloat(TAMessageFontSizeKey, 12.0);

    const struct
    {
        const char *name;
        std::function<void(RTMessage &)> change;
    } changes[] = {
        {"nothing", [](RTMessage &) {}},
        {"body", [](RTMessage &m) { m.setBody(QStringLiteral("other text")); }},
        {"translation", [](RTMessage &m) { m.setTranslatedBody(QStringLiteral("changed")); }},
        {"terms", [](RTMessage &m) { m.setHighlightTerms({QStringLiteral("z")}); }},
        {"font",
         [](RTMessage &m) {
             SettingsStore::shared().setFloat(TAMessageFontSizeKey, 15.0);
             m.updateAttributedBodyFont();
         }},
        {"short links",
         [](RTMessage &m) {
             m.replaceShortURLsUsingURLsDictionary(
                 {{QStringLiteral("text"), QStringLiteral("TEXT")}});
         }},
        {"given bodies",
         [](RTMessage &m) {
             m.setAttributedBodyDictionary(
                 {{QStringLiteral("k"), RTAttributedString(QStringLiteral("given"))}});
         }},
    };
    for (const auto &c : changes) {
        SettingsStore::shared().setFloat(TAMessageFontSizeKey, 12.0);
        auto early = RTMessage::create(QStringLiteral("1"));
        auto late = RTMessage::create(QStringLiteral("1"));
        for (const auto &m : {early, late}) {
            m->setBody(QStringLiteral("some &amp; text"));
            m->setTranslatedBody(QStringLiteral("translated text"));
            m->setHighlightTerms({QStringLiteral("some")});
            m->processBody();
        }
        const auto before = early->attributedBodyDictionary();
        EXPECT_EQ(before.size(), 4) << c.name;
        c.change(*early);
        c.change(*late);
        EXPECT_EQ(late->attributedBodyDictionary(), early->attributedBodyDictionary()) << c.name;
        EXPECT_EQ(late->attributedBodyForRequestType(0), early->attributedBodyForRequestType(0))
            << c.name;
    }
}

TEST_F(MessageTest, TranslateShowsAKnownTranslationOrAsksForOne)
{
    QList<RTMessagePtr> asked;
    RTMessageHooks hooks;
    hooks.requestTranslation = [&asked](const RTMessagePtr &m) { asked << m; };
    RTMessageHooks::install(hooks);

    auto message = RTMessage::create(QStringLiteral("1"));
    message->translate();
    EXPECT_TRUE(message->isTranslated());
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked.first(), message);

    message->setTranslatedBody(QStringLiteral("hello"));
    message->translate();
    message->translate();
    EXPECT_TRUE(message->isTranslated());
    EXPECT_EQ(asked.size(), 1);
    EXPECT_TRUE(
        message->attributedBodyDictionary().contains(QLatin1String(kRTAttributedBodyTranslated)));
}

TEST(AttributedString, ReplacementsMoveAndStretchRuns)
{
    struct Case
    {
        qsizetype location, length;
        QString replacement;
        QString text;
        QList<QPair<qsizetype, qsizetype>> runs; // link 6..11, bold 0..3
    } cases[] = {
        {6, 5, QStringLiteral("planet"), QStringLiteral("hello planet!"), {{6, 6}, {0, 3}}},
        {0, 2, QString(), QStringLiteral("llo world!"), {{4, 5}, {0, 1}}},
        {11, 1, QStringLiteral("?!"), QStringLiteral("hello world?!"), {{6, 5}, {0, 3}}},
        {2, 6, QStringLiteral("-"), QStringLiteral("he-rld!"), {{3, 3}, {0, 3}}},
        {0, 12, QString(), QString(), {}},
        {6, 0, QStringLiteral("XX"), QStringLiteral("hello XXworld!"), {{8, 5}, {0, 3}}},
        {3, 0, QStringLiteral("p"), QStringLiteral("helplo world!"), {{7, 5}, {0, 4}}},
    };
    for (const Case &c : cases) {
        RTAttributedString s(QStringLiteral("hello world!"));
        s.addAttribute(QStringLiteral("link"), 1, 6, 5);
        s.addAttribute(QStringLiteral("bold"), 1, 0, 3);
        s.replaceCharacters(c.location, c.length, c.replacement);
        EXPECT_EQ(s.string(), c.text);
        QList<QPair<qsizetype, qsizetype>> runs;
        for (const auto &run : s.runs())
            runs.append({run.location, run.length});
        EXPECT_EQ(runs, c.runs) << c.text.toStdString();
    }

    // An expansion that contains its short form is not expanded again.
    RTAttributedString links(QStringLiteral("a bit.ly/x b bit.ly/x"));
    EXPECT_EQ(
        links.replaceOccurrences({{QStringLiteral("bit.ly/x"), QStringLiteral("bit.ly/x/long")}}),
        2);
    EXPECT_EQ(links.string(), QStringLiteral("a bit.ly/x/long b bit.ly/x/long"));
}

TEST(AttributedString, RepeatedAttributesKeepTheirOwnValuesAndTypes)
{
    const QString longLink =
        QStringLiteral("http://example.com/a/long/path/that/is/not/kept/for/sharing");
    const struct
    {
        const char *name;
        QVariant value;
    } attributes[] = {
        {"size", 12},
        {"size", 12.0},
        {"size", 13.0},
        {"bold", true},
        {"bold", 1},
        {"family", QStringLiteral("Sans")},
        {"family", QStringLiteral("Serif")},
        {"link", longLink},
        {"link", longLink + QLatin1Char('2')},
    };
    // Twice, so the second pass meets what the first one left behind.
    for (int pass = 0; pass < 2; ++pass) {
        RTAttributedString s(QStringLiteral("abcdefghij"));
        for (qsizetype i = 0; i < qsizetype(std::size(attributes)); ++i)
            s.addAttribute(QLatin1String(attributes[i].name), attributes[i].value, i, 1);
        ASSERT_EQ(s.runs().size(), qsizetype(std::size(attributes)));
        for (qsizetype i = 0; i < s.runs().size(); ++i) {
            const QVariantMap &got = s.runs().at(i).attributes;
            ASSERT_EQ(got.size(), 1);
            EXPECT_EQ(got.firstKey(), QLatin1String(attributes[i].name));
            EXPECT_EQ(got.first().metaType(), attributes[i].value.metaType()) << pass << " " << i;
            EXPECT_EQ(got.first(), attributes[i].value) << pass << " " << i;
        }
    }
}

TEST(MessageHooks, EntitiesUnescapeSafely)
{
    const QPair<QString, QString> cases[] = {
        {QStringLiteral("a &amp;amp; b"), QStringLiteral("a &amp; b")},
        {QStringLiteral("&#60;&#x3E;&quot;&apos;"), QStringLiteral("<>\"'")},
        {QStringLiteral("&#128512;"), QString::fromUtf8("\xF0\x9F\x98\x80")},
        {QStringLiteral("&#xD800; &#0; &#99999999999; &bogus; & ;"),
         QStringLiteral("&#xD800; &#0; &#99999999999; &bogus; & ;")},
        {QStringLiteral("AT&T; tail &"), QStringLiteral("AT&T; tail &")},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(unescapeBasicHTMLEntities(in), out) << in.toStdString();
}
