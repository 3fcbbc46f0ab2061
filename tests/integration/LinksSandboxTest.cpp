// Short links and inline pictures against a real talvo-sandbox: redirect chains, framing
// pages, the bounds that end an expansion, picture pages, and the link cache across a
// restart of the store.
#include "support/SandboxSuite.h"
#include "support/TestSupport.h"

#include "foundation/HostProfile.h"
#include "foundation/OperationQueue.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "foundation/UrlKeys.h"
#include "http/HttpRequest.h"
#include "store/TADataManager.h"
#include "store/TAImageDownloadOperation.h"
#include "text/RTInlineImageObject.h"
#include "text/RTLinkHosts.h"
#include "text/RTShortURLParser.h"
#include "text/RTShortURLResolver.h"

#include <QDir>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

class LinksSandboxTest : public SandboxSuite
{
protected:
    static void SetUpTestSuite() { startSandbox(3); }

    void SetUp() override
    {
        ASSERT_TRUE(useSandbox()) << sandbox->errorString().toStdString();
        m_store = QDir(testTempDir())
                      .filePath(QString::fromStdString(
                          ::testing::UnitTest::GetInstance()->current_test_info()->name()));
        TADataManager::resetSharedManagerForTesting(m_store);
        // The tables the companion service of the sandbox gives.
        QVariantMap framers;
        framers.insert(QStringLiteral("sandboxframe"),
                       QVariantMap{{QStringLiteral("domain"), QStringLiteral("frame.localhost")},
                                   {QStringLiteral("method"), QStringLiteral("IFRAME")},
                                   {QStringLiteral("frame_id"), QStringLiteral("talvo_frame")}});
        framers.insert(QStringLiteral("sandboxframeset"),
                       QVariantMap{{QStringLiteral("domain"), QStringLiteral("frameset.localhost")},
                                   {QStringLiteral("method"), QStringLiteral("FRAMESET")}});
        QVariantMap imagers;
        imagers.insert(
            QStringLiteral("photos.localhost"),
            QVariantMap{{QStringLiteral("inline_id"), QStringLiteral("photo-display")},
                        {QStringLiteral("thumbnail_url"), url("photos", "/thumb/[hash]")}});
        RTLinkHosts::setTables({{QStringLiteral("isgd.localhost"), QStringLiteral("jmp.localhost"),
                                 QStringLiteral("bitly.localhost")},
                                framers,
                                imagers});
        RTShortURLResolver::setTimeOutSeconds(3);
    }

    void TearDown() override
    {
        // Nothing of this test may still run when the next one starts.
        OperationQueue::forType(OperationQueue::UrlFollowing).waitUntilAllOperationsAreFinished();
        QCoreApplication::processEvents();
        RTShortURLResolver::setTimeOutSeconds(RTShortURLResolver::kDefaultTimeOutSeconds);
        RTLinkHosts::setTables(RTLinkHosts::builtInTables());
        TADataManager::resetSharedManagerForTesting();
        leaveSandbox();
    }

    static QString url(const char *host, const QString &path)
    {
        return QStringLiteral("https://%1.localhost:%2%3")
            .arg(QLatin1String(host))
            .arg(sandbox->tlsPort())
            .arg(path);
    }
    static QString article(const QString &name)
    {
        return QStringLiteral("https://www.localhost:%1/articles/%2")
            .arg(sandbox->tlsPort())
            .arg(name);
    }

    // Expands every link of text with one parser; the expansions by link.
    static QHash<QString, QString> expandText(const QString &text)
    {
        RTShortURLParser parser;
        QSignalSpy done(&parser, &RTShortURLParser::doneResolvingAllShortURLs);
        parser.parseStringForShortURLs(text);
        EXPECT_TRUE(waitUntil([&] { return done.count() > 0; }, 30000));
        EXPECT_EQ(done.count(), 1);
        QHash<QString, QString> out;
        for (const QString &link : text.split(u' ', Qt::SkipEmptyParts))
            out.insert(link, parser.resolvedURLs().value(RTShortURLParser::cacheKeyForLink(link)));
        return out;
    }

    QString m_store;
};

} // namespace

TEST_F(LinksSandboxTest, ExpansionFollowsRedirectsAndFramesWithinItsBounds)
{
    struct Case
    {
        QString link;
        QString expected; // empty: not expanded
    };
    const Case cases[] = {
        {url("isgd", "/hop/1/one"), article("one")},
        {url("isgd", "/hop/3/three"), article("three")},
        {url("isgd", "/hop/5/five"), article("five")},
        // The sixth redirect is one too many.
        {url("isgd", "/hop/6/six"), QString()},
        {url("isgd", "/loop/a"), QString()},
        // j.mp -> bit.ly -> article: a chain through two shorteners.
        {url("jmp", "/chain1"), article("1")},
        {url("frame", "/f1"),
         QString("https://www.localhost:%1/articles/").arg(sandbox->tlsPort())},
        {url("frameset", "/s1"),
         QString("https://www.localhost:%1/articles/").arg(sandbox->tlsPort())},
        {url("frame", "/huge/page"), QString()},
        {url("frame", "/hostile/page"), QString()},
        // A code the shortener does not know stays where it is.
        {url("isgd", "/unknowncode"), QString()},
    };
    QStringList links;
    for (const Case &c : cases)
        links << c.link;
    const QHash<QString, QString> expanded = expandText(links.join(u' '));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.link.toStdString());
        const QString got = expanded.value(c.link);
        if (c.expected.isEmpty())
            EXPECT_TRUE(got.isEmpty()) << got.toStdString();
        else if (c.expected.endsWith(u'/'))
            EXPECT_TRUE(got.startsWith(c.expected)) << got.toStdString();
        else
            EXPECT_EQ(got, c.expected);
        // Only expansions are cached; a failure is tried again in a later run.
        EXPECT_EQ(TADataManager::sharedManager().urlCache().contains(
                      RTShortURLParser::cacheKeyForLink(c.link)),
                  !c.expected.isEmpty());
    }
}

TEST_F(LinksSandboxTest, AHostThatNeverAnswersTimesOutWithoutHoldingUpTheOthers)
{
    RTShortURLResolver::setTimeOutSeconds(2);
    QStringList order;
    int answers = 0;
    QString neverAnswer = QStringLiteral("unset");
    const QString never = url("isgd", "/never/x");
    const QStringList quick = {url("isgd", "/hop/1/a"), url("isgd", "/hop/2/b"),
                               url("isgd", "/hop/1/c"), url("jmp", "/chain1")};
    // The slow one first, so it holds one of the queue's two places from the start.
    for (const QString &link : QStringList{never} + quick) {
        std::make_shared<RTShortURLResolver>()->longByShortStringURL(
            link, [&, link](const QString &longUrl, const QString &shortUrl) {
                EXPECT_EQ(shortUrl, link);
                order << link;
                ++answers;
                if (link == never)
                    neverAnswer = longUrl;
            });
    }
    ASSERT_TRUE(waitUntil([&] { return answers == 5; }, 30000));
    EXPECT_EQ(order.last(), never) << order.join(u' ').toStdString();
    EXPECT_TRUE(neverAnswer.isEmpty());
}

TEST_F(LinksSandboxTest, TheCacheSurvivesARestartAndAnswersWithoutTheNetwork)
{
    const QString link = url("isgd", "/hop/2/kept");
    const QString text = QStringLiteral("read this %1 now").arg(link);
    ASSERT_EQ(expandText(link).value(link), article("kept"));
    TADataManager::sharedManager().saveCachesToDisk();

    // A new store on the same folder, and a shortener that would now fail.
    TADataManager::resetSharedManagerForTesting(m_store);
    ASSERT_TRUE(sandbox->writeFaults("path /hop/* status=500\n"));
    const QString logBefore = sandbox->log();

    const QHash<QString, QString> shown =
        RTShortURLParser::shortURLReplacementDictionaryForMessageString(text);
    EXPECT_EQ(shown.value(link), article("kept"));
    RTShortURLParser parser;
    QSignalSpy done(&parser, &RTShortURLParser::doneResolvingAllShortURLs);
    parser.parseStringForShortURLs(text);
    // Every link was cached: the answer comes at once.
    EXPECT_EQ(done.count(), 1);
    EXPECT_EQ(parser.resolvingCount(), 0);
    EXPECT_EQ(parser.resolvedURLs().value(RTShortURLParser::cacheKeyForLink(link)),
              article("kept"));
    EXPECT_EQ(sandbox->log().count(QLatin1String("/hop/2/kept")),
              logBefore.count(QLatin1String("/hop/2/kept")));
}

TEST_F(LinksSandboxTest, PicturePagesGiveTheirPictureAndNonPicturesAreNotKept)
{
    struct Case
    {
        QString link;
        bool picture;
    };
    const Case cases[] = {
        // The page names its picture in <img id="photo-display"> with a relative source.
        {url("photos", "/p3"), true},
        // A removed picture: a page without the picture, then the page itself, not a picture.
        {url("photos", "/gone1"), false},
        // A direct picture link that answers with a page.
        {url("pics", "/full/gone2"), false},
        {url("pics", "/full/p8"), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.link.toStdString());
        RTInlineImageObject object(QVariantMap{{QStringLiteral("inlineImageLink"), c.link},
                                               {QStringLiteral("standardLink"), c.link}});
        QSignalSpy changed(&object, &RTInlineImageObject::inlineImageChanged);
        QSignalSpy failed(&object, &RTInlineImageObject::inlineImageFailed);
        object.getTheInlineImage();
        ASSERT_TRUE(waitUntil([&] { return changed.count() + failed.count() > 0; }, 30000));
        EXPECT_EQ(changed.count(), c.picture ? 1 : 0);
        EXPECT_EQ(TAImageDownloadOperation::looksLikePicture(object.inlineImage()), c.picture);
        // A page never lands in the picture cache under the link.
        EXPECT_TRUE(
            TADataManager::sharedManager().imageCache().picture(dotlessUrl(c.link)).isEmpty() ||
            c.picture);
    }
}
