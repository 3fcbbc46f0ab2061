#include "app/AppcastParser.h"

#include <gtest/gtest.h>

namespace {
// A feed as updaters of desktop programs published them: RSS 2.0, the version in a
// namespaced attribute of the enclosure, release notes in a namespaced element.
const char kTypicalFeed[] = R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:up="http://example.org/xml-namespaces/appcast"
     xmlns:dc="http://purl.org/dc/elements/1.1/">
  <channel>
    <title>Talvo Changelog</title>
    <link>http://talvo.example/appcast.xml</link>
    <description>Most recent changes with links to updates.</description>
    <language>en</language>
    <item>
      <title>Version 1.1.2</title>
      <up:releaseNotesLink>http://talvo.example/notes/1.1.2.html</up:releaseNotesLink>
      <pubDate>Wed, 09 Jun 2010 19:20:11 +0000</pubDate>
      <enclosure url="http://talvo.example/Talvo-1.1.2.zip" up:version="1102"
                 up:shortVersionString="1.1.2" length="1623481" type="application/octet-stream"
                 up:dsaSignature="MC0CFQCHqkX1KmWkr"/>
    </item>
    <item>
      <title>Version 1.1.3 &amp; fixes</title>
      <description><![CDATA[<h2>Fixes</h2><ul><li>Lists</li></ul>]]></description>
      <pubDate>Mon, 21 Jun 2010 08:00:00 +0200</pubDate>
      <enclosure url="https://talvo.example/Talvo-1.1.3.zip" up:version="1103"
                 up:shortVersionString="1.1.3" length="1623999" type="application/octet-stream"/>
    </item>
    <item>
      <title>An item without a version is skipped</title>
      <enclosure url="http://talvo.example/x.zip" length="1" type="application/octet-stream"/>
    </item>
  </channel>
</rss>)";
} // namespace

TEST(AppcastParser, ReadsTheItemsOfATypicalFeed)
{
    QString error;
    const QList<AppcastParser::Item> items = AppcastParser::parse(kTypicalFeed, &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].version, QStringLiteral("1102"));
    EXPECT_EQ(items[0].displayVersion, QStringLiteral("1.1.2"));
    EXPECT_EQ(items[0].releaseNotesLink,
              QUrl(QStringLiteral("http://talvo.example/notes/1.1.2.html")));
    EXPECT_EQ(items[0].downloadUrl, QUrl(QStringLiteral("http://talvo.example/Talvo-1.1.2.zip")));
    EXPECT_EQ(items[0].pubDate.toUTC(), QDateTime(QDate(2010, 6, 9), QTime(19, 20, 11), Qt::UTC));
    EXPECT_EQ(items[1].title, QStringLiteral("Version 1.1.3 & fixes"));
    EXPECT_EQ(items[1].pubDate.toUTC(), QDateTime(QDate(2010, 6, 21), QTime(6, 0), Qt::UTC));
    ASSERT_NE(AppcastParser::newest(items), nullptr);
    EXPECT_EQ(AppcastParser::newest(items)->displayVersion, QStringLiteral("1.1.3"));
}

TEST(AppcastParser, HostileOrBrokenFeedsGiveNoItems)
{
    QByteArray huge = "<rss><channel>";
    while (huge.size() <= AppcastParser::kMaxFeedBytes)
        huge += "<item><title>x</title><version>9.9</version></item>";
    huge += "</channel></rss>";

    const struct
    {
        const char *name;
        QByteArray feed;
        bool wantError;
    } cases[] = {
        {"empty", "", true},
        {"not XML", "HTTP/1.1 500 oops", true},
        {"cut off", QByteArray(kTypicalFeed).left(600), true},
        {"not RSS", "<feed><entry><version>9.0</version></entry></feed>", true},
        {"larger than the bound", huge, true},
        // Entities declared by the feed are never expanded, so a billion laughs stays small
        // and an external entity never reads a file.
        {"entity expansion",
         "<!DOCTYPE rss [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
         "<rss><channel><item><title>&b;</title><version>&b;</version></item></channel></rss>",
         false},
        {"external entity",
         "<!DOCTYPE rss [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
         "<rss><channel><item><version>&x;</version></item></channel></rss>",
         false},
        {"no version holds a digit",
         "<rss><channel><item><version>latest</version></item></channel></rss>", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        const QList<AppcastParser::Item> items = AppcastParser::parse(c.feed, &error);
        EXPECT_TRUE(items.isEmpty());
        EXPECT_EQ(!error.isEmpty(), c.wantError) << error.toStdString();
    }

    const QList<AppcastParser::Item> unsafe = AppcastParser::parse(
        "<rss><channel><item><version>2.0</version><link>javascript:alert(1)</link>"
        "<enclosure url=\"file:///etc/passwd\"/></item></channel></rss>");
    ASSERT_EQ(unsafe.size(), 1);
    EXPECT_TRUE(unsafe[0].releaseNotesLink.isEmpty());
    EXPECT_TRUE(unsafe[0].downloadUrl.isEmpty());
}

TEST(AppcastParser, VersionsCompareAsReleasesDo)
{
    const struct
    {
        const char *a;
        const char *b;
        int expected;
    } cases[] = {
        {"1.0", "1.0", 0},       {"1.0", "1.0.0", 0},         {"1.0.0", "1.0", 0},
        {"1.10", "1.9", 1},      {"1.9", "1.10", -1},         {"2.0", "1.99.99", 1},
        {"1.0.1", "1.0", 1},     {"1.0b2", "1.0", -1},        {"1.0", "1.0b2", 1},
        {"1.0b2", "1.0b10", -1}, {"1.0a1", "1.0b1", -1},      {"1.0rc1", "1.0b9", 1},
        {"1.1.0b1", "1.0.0", 1}, {"1.0.1", "1.0b1", 1},       {"1102", "1103", -1},
        {"0.1.0", "1.0.0", -1},  {"1.0-beta", "1.0 Beta", 0}, {"99999999999999999999", "1", 1},
        {"", "0.1", -1},
    };
    for (const auto &c : cases) {
        const int got = AppcastParser::compareVersions(QLatin1String(c.a), QLatin1String(c.b));
        EXPECT_EQ((got > 0) - (got < 0), c.expected) << c.a << " vs " << c.b;
    }
}
