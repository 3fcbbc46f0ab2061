#include "foundation/HostProfile.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

TEST(HostProfile, ParsesProfilesAndRejectsMalformedOnesWithTheLine)
{
    struct Case
    {
        const char *text;
        const char *error; // empty: parses
    };
    const Case cases[] = {
        {"[profile]\nname = s\n[services]\ntwitter-api = https://127.0.0.1:8443\n", ""},
        {"; c\n# c\n[services]\nbitly = http://api.bitly.localhost ; trailing\n", ""},
        {"[services]\nx = https://h/prefix\n", ""},
        {"name = s\n", "line 1: entry outside a section"},
        {"[hosts]\n", "line 1: unknown section [hosts]"},
        {"[services\n", "line 1: unterminated section header"},
        {"[services]\njust text\n", "line 2: expected key = value"},
        {"[services]\nx = ftp://h\n", "line 2: bad URL for x: ftp://h"},
        {"[services]\nx = https://\n", "line 2: bad URL for x: https://"},
        {"[services]\nx = https://h/?q=1\n", "line 2: base URL for x has a query"},
        {"[services]\nbad name = https://h\n", "line 2: bad service name bad name"},
        {"[profile]\ncolour = red\n", "line 2: unknown key colour"},
        {"[profile]\nname = empty\n", "line 3: no [services] entries"},
        {"[profile]\npoll_interval = 10\n[services]\nx = https://h\n", ""},
        {"[profile]\npoll_interval = 4\n", "line 2: poll_interval takes 5 to 3600 seconds"},
        {"[profile]\npoll_interval = soon\n", "line 2: poll_interval takes 5 to 3600 seconds"},
    };
    for (const Case &c : cases) {
        QString error = QStringLiteral("stale");
        const HostProfile p =
            HostProfile::parse(QByteArray(c.text), QStringLiteral("/base"), &error);
        EXPECT_EQ(error.toStdString(), std::string(c.error)) << c.text;
        EXPECT_EQ(p.isEmpty(), *c.error != '\0') << c.text;
    }
    // The interval survives the round trip through the text the sandbox writes.
    HostProfile quick = HostProfile::parse(
        "[profile]\nname = q\npoll_interval = 10\n[services]\nx = https://h\n", {}, nullptr);
    EXPECT_EQ(quick.pollInterval(), 10);
    EXPECT_EQ(HostProfile::parse(quick.toIni(), {}, nullptr).pollInterval(), 10);
    EXPECT_EQ(HostProfile::real().pollInterval(), 0);

    QString error;
    EXPECT_TRUE(HostProfile::parse(QByteArray(70 * 1024, ' '), QString(), &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
}

TEST(HostProfile, LoadsFromAFileWithItsCaBundleBesideIt)
{
    const QString dir = testTempDir() + QStringLiteral("/profiles");
    ASSERT_TRUE(QDir().mkpath(dir));
    HostProfile written;
    written.setName(QStringLiteral("sandbox"));
    written.setCaBundle(QStringLiteral("certs/ca.pem")); // relative: resolved on load
    written.setBaseUrl(QStringLiteral("twitter-api"),
                       QUrl(QStringLiteral("https://127.0.0.1:8443")));
    written.setBaseUrl(QStringLiteral("bitly-links"),
                       QUrl(QStringLiteral("https://bitly.localhost:8443")));
    QFile file(dir + QStringLiteral("/sandbox.conf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(written.toIni());
    file.close();

    QString error;
    const HostProfile loaded = HostProfile::load(file.fileName(), &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_EQ(loaded.name(), QStringLiteral("sandbox"));
    EXPECT_EQ(loaded.caBundle(), dir + QStringLiteral("/certs/ca.pem"));
    EXPECT_EQ(loaded.baseUrl(QStringLiteral("twitter-api")).port(), 8443);
    EXPECT_EQ(loaded.host(QStringLiteral("bitly-links")), QStringLiteral("bitly.localhost"));
    EXPECT_FALSE(loaded.baseUrl(QStringLiteral("companion")).isValid()); // never a fallback

    EXPECT_TRUE(HostProfile::load(dir + QStringLiteral("/missing.conf"), &error).isEmpty());
    EXPECT_TRUE(error.contains(QLatin1String("missing.conf")));
}

TEST(HostProfile, DefaultsToTheRealServicesAndSwitchesWithoutDanglingReferences)
{
    const HostProfile &real = HostProfile::current();
    EXPECT_EQ(real.name(), QStringLiteral("real"));
    EXPECT_TRUE(real.caBundle().isEmpty());
    EXPECT_EQ(real.baseUrl(QStringLiteral("twitter-api")),
              QUrl(QStringLiteral("https://api.twitter.com")));
    // Every service the README names is in the built-in profile.
    QFile readme(QStringLiteral(TALVO_TEST_SOURCE_DIR "/resources/hosts/README.md"));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(readme.readAll());
    static const QRegularExpression name(QStringLiteral("^\\| `([a-z-]+)`(?:, `([a-z-]+)`)? \\|"),
                                         QRegularExpression::MultilineOption);
    int documented = 0;
    for (auto it = name.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        for (int g = 1; g <= 2; ++g) {
            if (m.captured(g).isEmpty())
                continue;
            ++documented;
            EXPECT_TRUE(real.baseUrl(m.captured(g)).isValid()) << m.captured(g).toStdString();
        }
    }
    // ... and the other way round: every API service is documented, and has its links host.
    int apis = 0;
    for (const QString &service : real.services()) {
        if (service.endsWith(QLatin1String("-links"))) {
            EXPECT_TRUE(real.services().contains(service.chopped(6))) << service.toStdString();
        } else {
            ++apis;
        }
    }
    EXPECT_EQ(documented, apis);

    HostProfile sandbox;
    sandbox.setName(QStringLiteral("sandbox"));
    sandbox.setBaseUrl(QStringLiteral("twitter-api"), QUrl(QStringLiteral("https://127.0.0.1:1")));
    HostProfile::setCurrent(sandbox);
    EXPECT_EQ(HostProfile::current().name(), QStringLiteral("sandbox"));
    EXPECT_EQ(real.name(), QStringLiteral("real")); // the old reference still reads
    HostProfile::setCurrent(HostProfile::real());
    EXPECT_EQ(HostProfile::current().baseUrl(QStringLiteral("twitter-api")).host(),
              QStringLiteral("api.twitter.com"));
}
