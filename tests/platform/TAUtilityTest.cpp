#include "platform/TAUtility.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "platform/fake/FakePlatform.h"
#include "support/TestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

TEST(TAUtility, LanguageTagsFromLocaleNames)
{
    const std::vector<std::pair<const char *, const char *>> cases = {
        {"zh-Hans", "zh-CN"},
        {"zh_CN.UTF-8", "zh-CN"},
        {"zh_SG", "zh-CN"},
        {"zh-Hans-HK", "zh-CN"},
        {"zh_TW.UTF-8", "zh-TW"},
        {"zh-Hant", "zh-Hant"},
        {"de_DE.UTF-8@euro", "de-DE"},
        {"pt_BR", "pt-BR"},
        {"en", "en"},
        {"C", "en"},
        {"POSIX", "en"},
        {"", "en"},
        {"sr_RS@latin", "sr-RS"},
        {"es_419", "es-419"},
    };
    for (const auto &[locale, tag] : cases)
        EXPECT_EQ(TAUtility::languageTagFromLocaleName(QLatin1String(locale)), QLatin1String(tag))
            << locale;
}

TEST(TAUtility, PreferredLanguageFollowsTheEnvironmentInOrder)
{
    SettingsStore::resetShared(testTempDir() + QLatin1String("/lang.conf"));
    const QByteArray saved[] = {qgetenv("LANGUAGE"), qgetenv("LC_ALL"), qgetenv("LC_MESSAGES"),
                                qgetenv("LANG")};
    qputenv("LANGUAGE", "");
    qputenv("LC_ALL", "");
    qputenv("LC_MESSAGES", "fr_FR.UTF-8");
    qputenv("LANG", "de_DE.UTF-8");
    EXPECT_EQ(TAUtility::preferedSystemLanguage(), QStringLiteral("fr-FR"));
    qputenv("LANGUAGE", "zh_CN:en");
    EXPECT_EQ(TAUtility::preferedSystemLanguage(), QStringLiteral("zh-CN"));
    SettingsStore::shared().setValue(AppleLanguagesKey, QStringList{QStringLiteral("ja")});
    EXPECT_EQ(TAUtility::preferedSystemLanguage(), QStringLiteral("ja"));
    qputenv("LANGUAGE", saved[0]);
    qputenv("LC_ALL", saved[1]);
    qputenv("LC_MESSAGES", saved[2]);
    qputenv("LANG", saved[3]);
}

TEST(TAUtility, GuidIsCreatedOnceAndKept)
{
    SettingsStore::resetShared(testTempDir() + QLatin1String("/guid.conf"));
    const QString guid = TAUtility::talvoGuid();
    EXPECT_EQ(guid.size(), 36);
    EXPECT_EQ(TAUtility::talvoGuid(), guid);
    SettingsStore::resetShared(testTempDir() + QLatin1String("/guid.conf"));
    EXPECT_EQ(TAUtility::talvoGuid(), guid);
}

TEST(TAUtility, ApplicationSupportFolderIsCreatedUnderXdgData)
{
    const QString folder = TAUtility::applicationSupportFolder();
    EXPECT_TRUE(folder.endsWith(QLatin1String("/Talvo")));
    EXPECT_TRUE(folder.startsWith(QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"))));
    EXPECT_TRUE(QDir(folder).exists());

    // Deleting the application data is final for this run.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    EXPECT_EQ(TAUtility::applicationSupportFolder(), folder);
    EXPECT_FALSE(QDir(folder).exists());
}

TEST(TAUtility, OpenUrlConvertsNonAsciiHostsAndRejectsBadOnes)
{
    FakePlatform platform;
    struct Case
    {
        const char *input;
        const char *opened; // nullptr: nothing opened, a beep
    };
    const Case cases[] = {
        {"https://example.com/a?b=c", "https://example.com/a?b=c"},
        {"http://bücher.example/p", "http://xn--bcher-kva.example/p"},
        {"http://例え.テスト/", "http://xn--r8jz45g.xn--zckzah/"},
        {"http://example.com/a b", "http://example.com/a%20b"},
        {"http://exa mple.com/", nullptr},
    };
    for (const Case &c : cases) {
        platform.calls.clear();
        TAUtility::openURL(QString::fromUtf8(c.input), true);
        if (c.opened) {
            ASSERT_EQ(platform.calls.size(), 1) << c.input;
            EXPECT_EQ(platform.calls.first(),
                      QStringLiteral("openUrl %1 background").arg(QLatin1String(c.opened)));
        } else {
            EXPECT_FALSE(platform.called(QStringLiteral("openUrl"))) << c.input;
        }
    }
}

TEST(TAUtility, HotKeyIsReplacedAndRemovedForNoKeyOrNoFlags)
{
    FakePlatform platform;
    HotKeyService::Handle handle = 0;
    TAUtility::installHotKeyWithKeyCode(49, 0x100, 0x52546831, &handle, [] {});
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(platform.hotKeys.size(), 1);
    TAUtility::installHotKeyWithKeyCode(50, 0x100, 0x52546831, &handle, [] {});
    EXPECT_EQ(platform.hotKeys.size(), 1);
    EXPECT_EQ(platform.hotKeys.value(handle).keyCode, 50);
    for (const auto &[key, flags] : {std::pair{-1, 0x100u}, std::pair{50, 0u}}) {
        TAUtility::installHotKeyWithKeyCode(50, 0x100, 1, &handle, [] {});
        TAUtility::installHotKeyWithKeyCode(key, flags, 1, &handle, [] {});
        EXPECT_EQ(handle, 0u);
        EXPECT_TRUE(platform.hotKeys.isEmpty());
    }
}
