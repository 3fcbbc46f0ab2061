#include "foundation/StringAdditions.h"
#include "text/RTMessageTextParser.h"
#include "text/RTMessageTextPatterns.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace Qt::Literals::StringLiterals;
using P = RTMessageTextParser;

namespace {

struct EntityCase
{
    QString text;
    QStringList links; // unescaped link texts
    QStringList mentions;
    QStringList hashtags;
    QStringList emails;
    QStringList stocks;
};

// The text under each run that carries a link, with its target.
QList<std::pair<QString, QString>> linkRuns(const RTStyledText &t)
{
    QList<std::pair<QString, QString>> out;
    for (const RTTextRun &r : t.runs()) {
        if (!r.attributes.link.isEmpty())
            out.append({t.text().mid(r.start, r.length), r.attributes.link});
    }
    return out;
}

} // namespace

TEST(MessageTextParser, FindsEntitiesInManyScripts)
{
    const EntityCase cases[] = {
        {u"Visit www.example.com."_s, {u"http://www.example.com"_s}, {}, {}, {}, {}},
        {u"see http://example.com/page?a=1&b=2, then"_s,
         {u"http://example.com/page?a=1&b=2"_s},
         {},
         {},
         {},
         {}},
        {u"(http://example.com/x) \"https://example.org\""_s,
         {u"http://example.com/x"_s, u"https://example.org"_s},
         {},
         {},
         {},
         {}},
        {u"ftp://files.example.org/pub feed://example.com/rss.xml"_s,
         {u"ftp://files.example.org/pub"_s, u"feed://example.com/rss.xml"_s},
         {},
         {},
         {},
         {}},
        // The raw lists do not know about links; parse() sorts out the overlaps.
        {u"user:pw@www.example.com:8080/a"_s,
         {u"http://user:pw@www.example.com:8080/a"_s},
         {u"www"_s},
         {},
         {u"pw@www.example.com"_s},
         {}},
        {u"http://www.example.com/x"_s, {u"http://www.example.com/x"_s}, {}, {}, {}, {}},
        {u"short bit.ly/abc123, ok"_s, {u"http://bit.ly/abc123"_s}, {}, {}, {}, {}},
        {u"go to talvo.app now"_s, {u"http://talvo.app"_s}, {}, {}, {}, {}},
        // An address on a special host is no link to the host.
        {u"write me@talvo.app"_s, {}, {u"talvo"_s}, {}, {u"me@talvo.app"_s}, {}},
        {u"mail bob_smith+x@mail.example.co.uk!"_s,
         {},
         {u"mail"_s},
         {},
         {u"bob_smith+x@mail.example.co.uk"_s},
         {}},
        {u"@alice/friends! and @bob, @carol_2: hi"_s,
         {},
         {u"alice/friends"_s, u"bob"_s, u"carol_2"_s},
         {},
         {},
         {}},
        // A name stops where a screen name cannot go on; a list path keeps its letters.
        {u"@usernameに到着を待っている @bob-smith @ann/リスト"_s,
         {},
         {u"username"_s, u"bob"_s, u"ann/リスト"_s},
         {},
         {},
         {}},
        {u"#1 #42 #999 #2010 #word #abc_def-1"_s,
         {},
         {},
         {u"#2010"_s, u"#word"_s, u"#abc_def-1"_s},
         {},
         {}},
        {u"http://example.com/page#section"_s,
         {u"http://example.com/page#section"_s},
         {},
         {u"#section"_s},
         {},
         {}},
        {u"$AAPL up, $IBM down, $GOOGL"_s, {}, {}, {}, {}, {u"$AAPL"_s, u"$GOOG"_s}},
        {u"こんにちは @山田 #日本語 http://例え.jp/パス です"_s,
         {u"http://例え.jp/パス"_s},
         {},
         {u"#日本語"_s},
         {},
         {}},
        {u"Привет, @Иван! #Москва2010 www.пример.рф/путь."_s,
         {u"http://www.пример.рф/путь"_s},
         {},
         {u"#Москва2010"_s},
         {},
         {}},
        {u"مرحبا #عربي @user_1"_s, {}, {u"user_1"_s}, {u"#عربي"_s}, {}, {}},
        {u"Ça va? @josé #café… www.café.fr"_s,
         {u"http://www.café.fr"_s},
         {u"jos"_s},
         {u"#café"_s},
         {},
         {}},
        {u"fun 😀 @a😀b #fun😀"_s, {}, {u"a"_s}, {u"#fun"_s}, {}, {}},
        {QString(), {}, {}, {}, {}, {}},
        {u"nothing to see here."_s, {}, {}, {}, {}, {}},
    };
    for (const EntityCase &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(P::unescapedLinksInMessageText(c.text), c.links);
        EXPECT_EQ(P::mentionsInMessageText(c.text), c.mentions);
        EXPECT_EQ(P::hashtagsInMessageText(c.text), c.hashtags);
        EXPECT_EQ(P::emailsInMessageText(c.text), c.emails);
        EXPECT_EQ(P::stockSymbolsInMessageText(c.text), c.stocks);
    }
}

TEST(MessageTextParser, RangesAreUtf16UnitsOfTheTrimmedMatch)
{
    const QString text = u"😀 (www.example.com). @bob, #tag!"_s;
    const auto links = P::linksRangesInMessageText(text);
    ASSERT_EQ(links.size(), 1);
    EXPECT_EQ(links[0].location, 4);
    EXPECT_EQ(links[0].length, 15);
    EXPECT_EQ(links[0].link, u"http://www.example.com"_s);
    EXPECT_TRUE(links[0].linkIsValid);

    const auto mentions = P::mentionRangesInMessageText(text);
    ASSERT_EQ(mentions.size(), 1);
    EXPECT_EQ(text.mid(mentions[0].location, mentions[0].length), u"@bob"_s);

    const auto hashes = P::hashRangesInMessageText(text);
    ASSERT_EQ(hashes.size(), 1);
    EXPECT_EQ(text.mid(hashes[0].location, hashes[0].length), u"#tag"_s);

    const QVariantMap map = links[0].toVariantMap("kRTParseLink");
    EXPECT_EQ(map.value(u"kRTParseLinkUnescaped"_s).toString(), u"http://www.example.com"_s);
    EXPECT_EQ(map.value(u"kRTParseRange"_s).toMap().value(u"location"_s).toInt(), 4);

    // Non-ASCII links are escaped for the URL and kept as written for display.
    const auto intl = P::linksRangesInMessageText(u"http://example.com/ä b"_s);
    ASSERT_EQ(intl.size(), 1);
    EXPECT_EQ(intl[0].value, u"http://example.com/ä"_s);
    EXPECT_EQ(intl[0].link, u"http://example.com/%C3%A4"_s);
    EXPECT_EQ(P::linksInMessageText(u"http://example.com/%C3%A4"_s),
              QStringList{u"http://example.com/ä"_s});
}

TEST(MessageTextParser, RepairsMistypedProtocols)
{
    const std::pair<QString, QString> cases[] = {
        {u"look ttp://example.com"_s, u"look http://example.com"_s},
        {u"htp//example.com"_s, u"http://example.com"_s},
        {u"htp/example.com"_s, u"http://example.com"_s},
        {u"http:/example.com"_s, u"http://example.com"_s},
        {u"htp:/example.com"_s, u"http://example.com"_s},
        {u"htp://example.com"_s, u"http://example.com"_s},
        {u"HTPS:example.com"_s, u"https://example.com"_s},
        {u"htps:/example.com and htps://b.org"_s, u"https://example.com and https://b.org"_s},
        {u"a ttp://x.com, b;ttp://y.com"_s, u"a http://x.com, b;http://y.com"_s},
        {u"http://fine.com ttp:// alone"_s, u"http://fine.com ttp:// alone"_s},
        {u"no protocol"_s, u"no protocol"_s},
        {QString(), u""_s},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(P::fixBadProtocolsInMessage(in), out) << in.toStdString();
    EXPECT_FALSE(P::fixBadProtocolsInMessage(QString()).isNull());
    // Links are found after the repair.
    EXPECT_EQ(P::linksInMessageText(u"htp//example.com/a"_s),
              QStringList{u"http://example.com/a"_s});
}

TEST(MessageTextParser, ParseStylesLinksWithOverlapRules)
{
    const QString text = u"Hi @bob, mail a@b.example.org, see www.x.com/p#frag or "
                         u"http://y.org/@carol #tag #12 $ABCD"_s;
    const RTStyledText styled = P::parse(text);
    EXPECT_EQ(styled.text(), text);
    const QList<std::pair<QString, QString>> expected = {
        {u"@bob"_s, P::linkForUser(u"bob"_s)},
        {u"a@b.example.org"_s, u"mailto:a@b.example.org"_s},
        {u"www.x.com/p#frag"_s, u"http://www.x.com/p#frag"_s},
        {u"http://y.org/@carol"_s, u"http://y.org/@carol"_s},
        {u"#tag"_s, P::linkForSearch(u"#tag"_s)},
    };
    EXPECT_EQ(linkRuns(styled), expected);

    const RTTextAttributes link = styled.attributesAt(text.indexOf(u"@bob"_s));
    EXPECT_EQ(link.textColor, 0xFF0000FFu);
    EXPECT_EQ(link.cursor, RTTextCursor::PointingHand);
    EXPECT_EQ(link.underlineColor, 0u);
    const RTTextAttributes plain = styled.attributesAt(0);
    EXPECT_EQ(plain, P::messageMainTextAttributes());
    EXPECT_EQ(plain.textColor, 0xFF000000u);
    EXPECT_EQ(plain.cursor, RTTextCursor::Arrow);
    EXPECT_GT(plain.fontSize, 0);

    // A mistyped protocol is repaired in the shown text, then linked.
    const RTStyledText repaired = P::parse(u"go htp//example.com"_s);
    EXPECT_EQ(repaired.text(), u"go http://example.com"_s);
    EXPECT_EQ(linkRuns(repaired).size(), 1);

    // Hosts in other scripts are links too, with their escaped form as the target.
    const RTStyledText idn = P::parse(u"見て http://例え.jp/パス www.café.fr"_s);
    const QList<std::pair<QString, QString>> idnLinks = {
        {u"http://例え.jp/パス"_s, standardScapedOutString(u"http://例え.jp/パス"_s)},
        {u"www.café.fr"_s, u"http://www.caf%C3%A9.fr"_s},
    };
    EXPECT_EQ(linkRuns(idn), idnLinks);
    EXPECT_EQ(P::linksInMessageText(idn.text()),
              (QStringList{u"http://例え.jp/パス"_s, u"http://www.café.fr"_s}));

    const RTStyledText empty = P::parse(QString());
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_TRUE(empty.runs().isEmpty());
}

TEST(MessageTextParser, InternalLinksKeepTheirValues)
{
    const QString names[] = {u"bob"_s, u"alice/friends"_s, u"#tag"_s, u"$ABCD"_s, u"c++ & ü"_s};
    for (const QString &name : names) {
        const auto user = P::internalLinkTarget(P::linkForUser(name));
        EXPECT_EQ(user.first, P::InternalLinkKind::User);
        EXPECT_EQ(user.second, name);
        const auto search = P::internalLinkTarget(P::linkForSearch(name));
        EXPECT_EQ(search.first, P::InternalLinkKind::Search);
        EXPECT_EQ(search.second, name);
    }
    EXPECT_EQ(P::internalLinkTarget(P::linkForSearchHashTag(u"tag"_s)).second, u"#tag"_s);
    EXPECT_EQ(P::internalLinkTarget(P::linkForSearchStock(u"ABCD"_s)).second, u"$ABCD"_s);
    EXPECT_EQ(P::internalLinkTarget(u"http://example.com/x"_s).first, P::InternalLinkKind::None);
}

TEST(MessageTextParser, Questions)
{
    struct Case
    {
        QString text;
        QString hashTag;
        bool hasTag;
        QString name;
        bool hasName;
    };
    const Case cases[] = {
        {u"#Talvo rocks @Bob"_s, u"#talvo"_s, true, u"bob"_s, true},
        {u"#talvo2 @bobby"_s, u"#talvo"_s, false, u"bob"_s, false},
        {u"@bob/friends list"_s, u"talvo"_s, false, u"BOB"_s, true},
        {u"mail bob@example.com"_s, u"#example"_s, false, u"bob"_s, false},
        {u"no mentions bob"_s, u"#x"_s, false, u"bob"_s, false},
        {u"#2010 @alice, @bob!"_s, u"#2010"_s, true, u"@bob"_s, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(P::messageTextHasHashTag(c.text, c.hashTag), c.hasTag);
        EXPECT_EQ(P::messageTextHasScreenName(c.text, c.name), c.hasName);
    }
    EXPECT_EQ(P::screenNamesInMessageText(u"@bob, @alice/list!"_s),
              (QStringList{u"@bob"_s, u"@alice/list"_s}));
    EXPECT_EQ(P::termsFromString(u"c++ (rocks), über  😀"_s),
              (QStringList{u"c"_s, u"(rocks),"_s, u"über"_s, u"😀"_s}));
}

TEST(MessageTextParser, HighlightsTermsLiterallyIgnoringCase)
{
    const RTStyledText base = P::parse(u"I like C++ (and c++), see http://x.org/C++"_s);
    const RTStyledText marked =
        P::highlightTermsInAttributeMessage(base, {u"c++"_s, u"("_s, QString(), u".*"_s});
    QStringList bold;
    for (const RTTextRun &r : marked.runs()) {
        if (r.attributes.bold)
            bold.append(marked.text().mid(r.start, r.length));
    }
    EXPECT_EQ(bold, (QStringList{u"C++"_s, u"("_s, u"c++"_s, u"C++"_s}));
    // Bold keeps the link under it.
    EXPECT_EQ(marked.attributesAt(marked.text().size() - 1).link, u"http://x.org/C++"_s);

    const RTStyledText searched =
        P::highlightSearchResultsInAttributeMessage(P::parse(u"Talvo and TALVO"_s), u"talvo"_s);
    EXPECT_TRUE(searched.attributesAt(0).bold);
    EXPECT_FALSE(searched.attributesAt(6).bold);
    EXPECT_TRUE(searched.attributesAt(10).bold);
    EXPECT_EQ(base.text(), marked.text());
}

TEST(MessageTextParser, DimmingGreysTextAndLinks)
{
    const RTStyledText dimmed =
        P::dimmedAttributedStringFromAttributedString(P::parse(u"hi @bob"_s), 11);
    EXPECT_EQ(dimmed.attributesAt(0).textColor, 0xFF727272u);
    const RTTextAttributes link = dimmed.attributesAt(4);
    EXPECT_EQ(link.link, P::linkForUser(u"bob"_s));
    EXPECT_EQ(link.fontSize, 11);
    EXPECT_EQ(link.cursor, RTTextCursor::PointingHand);
    EXPECT_EQ(P::dimmedAttributedStringFromAttributedString(P::parse(u"@bob"_s), 0)
                  .attributesAt(0)
                  .fontSize,
              P::messageFontSize());
}

TEST(MessageTextParser, TextOverTheWorkLimitStaysUnstyled)
{
    const QString text = u"see http://example.com/a/b/c?x=1 @bob #tag"_s;
    ASSERT_EQ(linkRuns(P::parse(text)).size(), 3);
    // The shipped patterns stay far below the limit on any text we found, so lower it to
    // reach it with an ordinary message.
    RTRegex::setMatchLimit(5);
    const RTStyledText styled = P::parse(text);
    const auto links = P::linksRangesInMessageText(text);
    RTRegex::setMatchLimit(0);
    EXPECT_EQ(styled.text(), text);
    ASSERT_EQ(styled.runs().size(), 1);
    EXPECT_EQ(styled.runs()[0].attributes, P::messageMainTextAttributes());
    EXPECT_TRUE(links.isEmpty()); // a search over its limit finds nothing

    // A catastrophic pattern given as text stops at the default limit.
    EXPECT_FALSE(P::searchForMatchesOf(u"(a+)+$"_s, QString(40, u'a') + u"b"_s).has_value());
    EXPECT_EQ(linkRuns(P::parse(text)).size(), 3);
}

TEST(MessageTextParser, BadInputIsBounded)
{
    // Lone surrogates (invalid UTF-16 from the network) are replaced, not fed to the engine.
    QString broken = u"x @bob "_s;
    broken.append(QChar(0xD800));
    broken.append(u" www.example.com"_s);
    const RTStyledText fixed = P::parse(broken);
    EXPECT_EQ(fixed.text().size(), broken.size());
    EXPECT_EQ(linkRuns(fixed).size(), 2);

    const QString huge(P::kMaxTextLength + 1, u'a');
    EXPECT_EQ(P::parse(huge).runs().size(), 1);
    EXPECT_TRUE(P::linksRangesInMessageText(huge).isEmpty());

    EXPECT_FALSE(P::searchForMatchesOf(u"(unclosed"_s, u"x"_s).has_value());
    const auto ok = P::searchForMatchesOf(u"b+"_s, u"abba b"_s);
    ASSERT_TRUE(ok.has_value());
    EXPECT_EQ(ok->size(), 2);
    // Empty matches step over whole characters, never into a surrogate pair.
    const auto empty = P::searchForMatchesOf(u"x*"_s, u"😀a"_s);
    ASSERT_TRUE(empty.has_value());
    QList<qsizetype> starts;
    for (const RTRegex::Match &m : *empty)
        starts.append(m.start);
    EXPECT_EQ(starts, (QList<qsizetype>{0, 2, 3}));
}

namespace {
class FakeImagers : public RTImagerSource
{
public:
    QVariantMap imagers() const override
    {
        return {{u"pics.example"_s,
                 QVariantMap{{u"thumbnail_url"_s, u"http://pics.example/thumb/[hash]"_s},
                             {u"inline_url"_s, u""_s},
                             {u"inline_logo"_s, u"pics_logo"_s}}},
                {u"img.example"_s,
                 QVariantMap{{u"thumbnail_url"_s, u"http://img.example/t/[hash].jpg"_s},
                             {u"inline_url"_s, u"http://img.example/full/[hash].jpg"_s},
                             {u"inline_logo"_s, u"img_logo"_s}}}};
    }
    bool isResolvableImageContainer(const QString &host) const override
    {
        return host == u"pics.example"_s;
    }
};
} // namespace

TEST(MessageTextParser, PictureLinksFromTheHostTable)
{
    const QString text = u"pics http://pics.example/abc and http://img.example/xyz "
                         u"http://pics.example/a/b http://pics.example/ http://other.example/q"_s;
    EXPECT_TRUE(P::imagersInMessageText(text).isEmpty()); // empty table until configured

    P::setImagerSource(std::make_shared<FakeImagers>());
    const QList<RTInlineImageInfo> found = P::imagersInMessageText(text);
    P::setImagerSource(nullptr);
    const QList<RTInlineImageInfo> expected = {
        {u"http://pics.example/thumb/abc"_s, u"http://pics.example/abc"_s,
         u"http://pics.example/abc"_s, u"pics_logo"_s},
        {u"http://img.example/t/xyz.jpg"_s, u"http://img.example/full/xyz.jpg"_s,
         u"http://img.example/xyz"_s, u"img_logo"_s},
    };
    EXPECT_EQ(found, expected);
}

TEST(MessageTextParser, ThreadsShareThePatterns)
{
    const QStringList texts = {u"@bob see www.example.com #tag"_s, u"mail a@b.example.org"_s,
                               u"htp//example.com/x $ABCD"_s, u"Привет @Иван #Москва"_s};
    QList<RTStyledText> expected;
    for (const QString &t : texts)
        expected.append(P::parse(t));
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] {
            for (int round = 0; round < 50; ++round) {
                for (qsizetype k = 0; k < texts.size(); ++k) {
                    if (!(P::parse(texts[k]) == expected[k]))
                        ++mismatches;
                }
            }
        });
    }
    for (std::thread &t : threads)
        t.join();
    EXPECT_EQ(mismatches.load(), 0);
}

TEST(MessageTextParser, RangeOverlapSharesACharacter)
{
    // Ranges 10..14 and 20..39 (a long one) and 22..24 inside it.
    const RTRangeIndex index(
        {{10, 5, {}, {}, false}, {20, 20, {}, {}, false}, {22, 3, {}, {}, false}});
    const struct
    {
        qsizetype start, length;
        bool overlaps;
    } cases[] = {
        {0, 10, false}, {0, 11, true},  {14, 1, true}, {15, 5, false}, {15, 6, true},
        {39, 5, true},  {40, 5, false}, {30, 1, true}, {12, 0, false}, {5, 100, true},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(index.overlaps(c.start, c.length), c.overlaps) << c.start << "+" << c.length;
    }
    EXPECT_FALSE(RTRangeIndex({}).overlaps(0, 100));
}
