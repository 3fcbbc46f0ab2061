#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {
QString iniPath(const char *name)
{
    return testTempDir() + QLatin1String("/settings-") + QLatin1String(name) + QLatin1String(".conf");
}
} // namespace

TEST(SettingsStore, RegisteredDefaultsAreReadButNeverWritten)
{
    const QString path = iniPath("defaults");
    {
        SettingsStore store(path);
        store.registerShippedDefaults();
        EXPECT_TRUE(store.boolForKey(TATrackIsNewKey));
        EXPECT_EQ(store.integerForKey(RTShowHideTalvoGlobalShortcutKeyCodeKey), -1);
        EXPECT_FALSE(store.hasUserValue(TATrackIsNewKey));
        store.setBool(RTPostOnEnterKey, false);
        store.synchronize();
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("RTPostOnEnter"));
    EXPECT_FALSE(text.contains("TATrackIsNew"));

    SettingsStore again(path);
    again.registerShippedDefaults();
    EXPECT_FALSE(again.boolForKey(RTPostOnEnterKey));
}

TEST(SettingsStore, TypedReadsSurviveTheIniFile)
{
    const QString path = iniPath("typed");
    {
        SettingsStore store(path);
        store.setValue(QStringLiteral("b"), true);
        store.setValue(QStringLiteral("i"), qint64(-7));
        store.setValue(QStringLiteral("u"), quint64(4294967295u));
        store.setValue(QStringLiteral("f"), 12.5);
        store.setValue(QStringLiteral("s"), QStringLiteral("x, y"));
        store.setValue(QStringLiteral("one"), QStringList{QStringLiteral("only")});
        store.setValue(QStringLiteral("a"), QVariantList{QStringLiteral("p"), QStringLiteral("q")});
        store.synchronize();
    }
    SettingsStore store(path);
    EXPECT_TRUE(store.boolForKey(QStringLiteral("b")));
    EXPECT_EQ(store.integerForKey(QStringLiteral("i")), -7);
    EXPECT_EQ(store.unsignedIntegerForKey(QStringLiteral("u")), 4294967295u);
    EXPECT_DOUBLE_EQ(store.floatForKey(QStringLiteral("f")), 12.5);
    EXPECT_EQ(store.stringForKey(QStringLiteral("s")), QStringLiteral("x, y"));
    EXPECT_EQ(store.stringArrayForKey(QStringLiteral("one")), QStringList{QStringLiteral("only")});
    EXPECT_EQ(store.stringArrayForKey(QStringLiteral("a")),
              (QStringList{QStringLiteral("p"), QStringLiteral("q")}));
    EXPECT_EQ(store.integerForKey(QStringLiteral("missing")), 0);
    EXPECT_FALSE(store.boolForKey(QStringLiteral("missing")));
}

TEST(SettingsStore, ChangeSignalOnlyForRealChanges)
{
    SettingsStore store(iniPath("signal"));
    store.registerDefaults({{QStringLiteral("k"), true}});
    QSignalSpy spy(&store, &SettingsStore::valueChanged);
    store.setBool(QStringLiteral("k"), true); // same as the default
    EXPECT_EQ(spy.count(), 0);
    store.setBool(QStringLiteral("k"), false);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), QStringLiteral("k"));
    store.removeObjectForKey(QStringLiteral("k")); // back to the default: a change
    EXPECT_EQ(spy.count(), 2);
    EXPECT_TRUE(store.boolForKey(QStringLiteral("k")));
}
