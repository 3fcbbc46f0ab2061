// The parts of short-link expansion and inline pictures that need no network: reading
// framing and picture pages, which links qualify, display sizes, and how expansions show.
#include "foundation/UrlKeys.h"
#include "http/HttpRequest.h"
#include "store/TADataManager.h"
#include "store/TAImageDownloadOperation.h"
#include "support/TestSupport.h"
#include "text/RTImageContainerResolver.h"
#include "text/RTInlineImageObject.h"
#include "text/RTLinkExpansionQueue.h"
#include "text/RTLinkHosts.h"
#include "text/RTMessageTextParser.h"
#include "text/RTShortURLParser.h"
#include "text/RTShortURLResolver.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

class LinkTablesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QVariantMap framers{{QStringLiteral("frm"),
                             QVariantMap{{QStringLiteral("domain"), QStringLiteral("frm.example")},
                                         {QStringLiteral("method"), QStringLiteral("IFRAME")},
                                         {QStringLiteral("frame_id"), QStringLiteral("target")}}}};
        QVariantMap imagers{
            {QStringLiteral("pics.example"),
             QVariantMap{{QStringLiteral("inline_id"), QStringLiteral("Main_Image")}}},
            {QStringLiteral("direct.example"),
             QVariantMap{{QStringLiteral("inline_url"),
                          QStringLiteral("http://direct.example/f/[hash]")}}}};
        RTLinkHosts::setTables(
            {{QStringLiteral("sho.rt"), QStringLiteral("bit.ly")}, framers, imagers});
    }
    void TearDown() override { RTLinkHosts::setTables(RTLinkHosts::builtInTables()); }
};

} // namespace

TEST_F(LinkTablesTest, LinksQualifyWhenAServiceOwnsThemAndTheyHoldMoreThanADomain)
{
    struct Case
    {
        const char *link;
        const char *service;
        bool qualifies;
    };
    const Case cases[] = {
        {"http://bit.ly/abc", "bit.ly", true},
        {"http://BIT.LY/abc", "bit.ly", true},
        {"http://bit.ly/", "bit.ly", false},
        {"http://bit.ly", "bit.ly", false},
        {"http://bit.ly/?x=1", "bit.ly", true},
        {"http://www.sho.rt/q", "www.sho.rt", true},
        // A framer's record name wins over the host.
        {"http://frm.example/z9", "frm", true},
        {"http://example.com/abc", "", false},
        {"not a link", "", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.link);
        EXPECT_EQ(RTShortURLParser::shortenerNameFromURL(QUrl(QString::fromUtf8(c.link))),
                  QString::fromUtf8(c.service));
        EXPECT_EQ(RTShortURLParser::linkQualifies(QString::fromUtf8(c.link)), c.qualifies);
    }
}

TEST_F(LinkTablesTest, OnlyHostsWithAWayToReadTheirPagesGetAPageResolver)
{
    EXPECT_TRUE(RTImageContainerResolver::isValidImageContainerDomainFromUrlString(
        QStringLiteral("http://pics.example/abc")));
    EXPECT_NE(
        RTImageContainerResolver::resolverForUrlString(QStringLiteral("http://PICS.example/a")),
        nullptr);
    // A host that names its pictures directly, a sub-domain, an unknown host.
    for (const char *link :
         {"http://direct.example/abc", "http://www.pics.example/abc", "http://other.example/a"}) {
        SCOPED_TRACE(link);
        EXPECT_FALSE(RTImageContainerResolver::isValidImageContainerDomainFromUrlString(
            QString::fromUtf8(link)));
        EXPECT_EQ(RTImageContainerResolver::resolverForUrlString(QString::fromUtf8(link)), nullptr);
    }
}

TEST_F(LinkTablesTest, ThePictureIsTheImageWithTheHostsIdWhereverItStands)
{
    const auto resolver =
        RTImageContainerResolver::resolverForUrlString(QStringLiteral("http://pics.example/abc"));
    ASSERT_NE(resolver, nullptr);
    struct Case
    {
        const char *page;
        const char *picture;
    };
    const Case cases[] = {
        {R"(<img src="/logo.png" id="logo"><IMG class="x" id="main_image" src="/full/abc.jpg">)",
         "/full/abc.jpg"},
        {R"(<img id="MAIN_IMAGE" src="http://cdn.example/a.jpg?1&amp;2" />)",
         "http://cdn.example/a.jpg?1&2"},
        // An id that only contains the wanted one, and a data attribute that looks like it.
        {R"(<img id="main_image_small" src="/s.jpg"><img data-id="main_image" src="/d.jpg">)", ""},
        {R"(<img id="main_image">)", ""},
        {"<img id=\"main_image\" src=\"/cut", ""},
        {"", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.page);
        EXPECT_EQ(resolver->parseForLinkInResponseString(QString::fromUtf8(c.page)),
                  QString::fromUtf8(c.picture));
    }
}

TEST(ShortURLResolverTest, AFramingPageGivesTheTargetItsFrameHolds)
{
    struct Case
    {
        const char *page;
        const char *method;
        const char *target;
    };
    const Case cases[] = {
        {R"(<div><iframe id="bar" src="http://frm.example/bar"></iframe>)"
         R"(<IFRAME id="target" src="http://long.example/a?b=1" width="100%"></IFRAME></div>)",
         "IFRAME", "http://long.example/a?b=1"},
        // Characters an iframe may not hold end that one; the next one counts.
        {"<iframe id=\"target\"\nsrc=\"http://bad.example/\"></iframe>"
         "<iframe id=\"target\" src=\"http://good.example/\"></iframe>",
         "IFRAME", "http://good.example/"},
        {R"(<iframe id="target" src="http://x.example/"><b>x</b></iframe>)", "IFRAME", ""},
        {R"(<iframe id="other" src="http://x.example/"></iframe>)", "IFRAME", ""},
        {"<iframe id=\"target\" src=\"http://x.example/\">", "IFRAME", ""},
        {R"(<frameset rows="40,*"><frame src="http://frm.example/bar/1" name="t">)"
         R"(<FRAME src="http://long.example/b" name="c"></frameset>)",
         "FRAMESET", "http://long.example/b"},
        {R"(<frameset rows="40,*"><frame src="http://FRM.example/bar/1"></frameset>)", "FRAMESET",
         ""},
        {R"(<frame src="http://long.example/b">)", "FRAMESET", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.page);
        EXPECT_EQ(RTShortURLResolver::framedTarget(
                      QString::fromUtf8(c.page), QString::fromUtf8(c.method),
                      QStringLiteral("target"), QStringLiteral("frm.example")),
                  QString::fromUtf8(c.target));
    }
}

TEST(ShortURLResolverTest, AHostilePageIsReadInBoundedWork)
{
    // Openers without an end, then a real frame: found, and found without rescanning.
    QString page;
    for (int i = 0; i < 100000; ++i)
        page += QStringLiteral("<iframe id=\"target\" src=\"x");
    EXPECT_TRUE(RTShortURLResolver::framedTarget(page, QStringLiteral("IFRAME"),
                                                 QStringLiteral("target"), QString())
                    .isEmpty());
    page += QStringLiteral("<iframe id=\"target\" src=\"http://end.example/\"></iframe>");
    EXPECT_EQ(RTShortURLResolver::framedTarget(page, QStringLiteral("IFRAME"),
                                               QStringLiteral("target"), QString()),
              QStringLiteral("http://end.example/"));
}

TEST(ShortURLResolverTest, RequestsCarryABrowsersHeaders)
{
    EXPECT_EQ(RTShortURLResolver::browserIdentifications().size(), 20);
    QStringList ids = RTShortURLResolver::browserIdentifications();
    EXPECT_EQ(ids.removeDuplicates(), 0);
    HttpRequest request(QUrl(QStringLiteral("http://example.com/")));
    RTShortURLResolver::setBrowserLikeHeadToRequest(request);
    EXPECT_TRUE(RTShortURLResolver::browserIdentifications().contains(
        QString::fromUtf8(request.requestHeader("User-Agent"))));
    EXPECT_EQ(request.requestHeader("Accept-Language"), "en-gb,en;q=0.5");
    EXPECT_EQ(request.requestHeader("Connection"), "keep-alive");
}

TEST(InlineImageObjectTest, PicturesShowWithinTheirLimit)
{
    struct Case
    {
        QSize picture;
        QSize limit;
        QSize shown;
    };
    const QSize inlineLimit = RTInlineImageObject::inlineImageSizeLimit();
    const QSize thumbLimit = RTInlineImageObject::thumbnailSizeLimit();
    const Case cases[] = {
        {{1000, 500}, inlineLimit, {800, 400}},  {{400, 300}, inlineLimit, {400, 300}},
        {{800, 500}, inlineLimit, {800, 500}},   {{300, 900}, inlineLimit, {200, 600}},
        {{1000, 1000}, inlineLimit, {600, 600}}, {{1001, 333}, inlineLimit, {800, 267}},
        {{}, inlineLimit, inlineLimit},          {{140, 70}, thumbLimit, {70, 35}},
        {{69, 69}, thumbLimit, {69, 69}},        {{70, 10}, thumbLimit, {70, 10}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.picture.width() << "x" << c.picture.height());
        EXPECT_EQ(RTInlineImageObject::displaySize(c.picture, c.limit), c.shown);
    }
}

TEST(ImageDownloadTest, OnlyPictureFormatsCountAsPictures)
{
    struct Case
    {
        QByteArray data;
        bool picture;
    };
    const Case cases[] = {
        {QByteArray("\x89PNG\r\n\x1a\n....", 12), true},
        {QByteArray("\xff\xd8\xff\xe0....", 8), true},
        {"GIF89a....", true},
        {QByteArray("RIFF\x10\x00\x00\x00WEBPVP8 ", 16), true},
        {QByteArray("RIFF\x10\x00\x00\x00WAVEfmt ", 16), false},
        {"<html><body>Sorry, this photo has been removed.</body></html>", false},
        {"", false},
        {"BM", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.data.left(12).toStdString());
        EXPECT_EQ(TAImageDownloadOperation::looksLikePicture(c.data), c.picture);
    }
}

TEST_F(LinkTablesTest, ExpandedLinksShowTheirDestinationAndKeepTheShortLinkAsTarget)
{
    TADataManager::resetSharedManagerForTesting(QDir(testTempDir()).filePath("shown"));
    TAUrlCache &cache = TADataManager::sharedManager().urlCache();
    const QString longOne = QStringLiteral("http://example.com/a/long/path");
    cache.setValue(RTShortURLParser::cacheKeyForLink(QStringLiteral("http://bit.ly/abc")), longOne);
    cache.setValue(RTShortURLParser::cacheKeyForLink(QStringLiteral("http://sho.rt/z")),
                   QStringLiteral("http://example.com/") + QString(200, u'x'));

    const QString text =
        QStringLiteral("see http://bit.ly/abc and http://sho.rt/z, not http://bit.ly/new");
    const RTStyledText shown =
        RTLinkExpansionQueue::withExpansions(RTMessageTextParser::parse(text));
    EXPECT_TRUE(shown.text().startsWith(QStringLiteral("see http://example.com/a/long/path and ")))
        << shown.text().toStdString();
    EXPECT_TRUE(shown.text().endsWith(QStringLiteral(", not http://bit.ly/new")));
    // The long one is cut for display.
    const qsizetype cut = shown.text().indexOf(QChar(0x2026));
    ASSERT_GT(cut, 0);
    EXPECT_EQ(shown.attributesAt(cut).link, QStringLiteral("http://sho.rt/z"));
    EXPECT_EQ(shown.attributesAt(shown.text().indexOf(QStringLiteral("example"))).link,
              QStringLiteral("http://bit.ly/abc"));

    // The message records' form: literal links as written -> expansions.
    const QHash<QString, QString> replacements =
        RTShortURLParser::shortURLReplacementDictionaryForMessageString(text);
    EXPECT_EQ(replacements.size(), 2);
    EXPECT_EQ(replacements.value(QStringLiteral("http://bit.ly/abc")), longOne);
    TADataManager::resetSharedManagerForTesting();
}
