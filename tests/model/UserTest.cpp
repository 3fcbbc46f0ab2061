#include "foundation/KeyedArchive.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "model/ModelRegistration.h"
#include "model/RTUserTwitter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {
class UserTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SettingsStore::resetShared(testTempDir() + QStringLiteral("/user.conf"));
        registerModelArchiveClasses();
    }

    static std::unique_ptr<RTArchivable> roundTrip(const QCborValue &archived, QString *error)
    {
        auto failure = std::make_shared<QString>();
        QString parseError;
        const QCborValue parsed =
            KeyedUnarchiver::parseData(KeyedArchiver::archivedData(archived), &parseError);
        auto object = KeyedUnarchiver::unarchiveObject(parsed, failure);
        *error = parseError + *failure;
        return object;
    }
};
} // namespace

TEST_F(UserTest, DisplayNameFollowsTheSettingAndFallsBack)
{
    struct Case
    {
        QVariant setting;
        QString screenName, longName, expected;
    } cases[] = {
        {0, QStringLiteral("alice"), QStringLiteral("Alice A."), QStringLiteral("alice")},
        {1, QStringLiteral("alice"), QStringLiteral(" Alice A.\n"), QStringLiteral("Alice A.")},
        {1, QStringLiteral("alice"), QStringLiteral("   "), QStringLiteral("alice")},
        {1, QString(), QString(), QStringLiteral("No Name")},
        {0, QStringLiteral(" \t"), QStringLiteral("Alice"), QStringLiteral(" \t")},
        {7, QStringLiteral("alice"), QStringLiteral("Alice"), QStringLiteral("alice")},
        {7, QString(), QStringLiteral("Alice"), QStringLiteral("No Name")},
    };
    auto user = RTUserTwitter::create(QStringLiteral("1"));
    for (const Case &c : cases) {
        SettingsStore::shared().setValue(QLatin1String(RTTwitterUserDisplayNameKey), c.setting);
        user->setScreenName(c.screenName);
        user->setLongName(c.longName);
        EXPECT_EQ(user->displayName(), c.expected)
            << c.setting.toInt() << " '" << c.screenName.toStdString() << "'";
    }
    EXPECT_EQ(RTUser(QStringLiteral("2")).displayName(), QString(""));
}

TEST_F(UserTest, LargeProfileImageDropsEveryNormalSuffix)
{
    RTUserTwitter user(QStringLiteral("1"));
    user.setProfileImageUrl(QStringLiteral("http://a.example/x_normal/pic_normal.png"));
    EXPECT_EQ(user.largeProfileImageImageUrl(), QStringLiteral("http://a.example/x/pic.png"));
}

TEST_F(UserTest, ArchiveKeepsIdentityAndRelationButNotCounts)
{
    RTUserTwitter user(QStringLiteral("12345678901234567"));
    user.setCreatedAt(QDateTime(QDate(2009, 3, 1), QTime(10, 0), Qt::UTC));
    user.setUpdatedAt(QDateTime(QDate(2010, 1, 2), QTime(3, 4, 5), Qt::UTC));
    user.setIsNew(false);
    user.setIsHidden(true);
    user.setFollowing(true);
    user.setBlocked(true);
    user.setScreenName(QStringLiteral("alice"));
    user.setLongName(QStringLiteral("Alice Ä."));
    user.setUrl(QStringLiteral("http://alice.example"));
    user.setFollowersCount(99);
    user.setIsPartialUser(true);

    QString error;
    auto restored = roundTrip(KeyedArchiver::archiveObject(&user), &error);
    auto *copy = dynamic_cast<RTUserTwitter *>(restored.get());
    ASSERT_NE(copy, nullptr) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(copy->userId(), user.userId());
    EXPECT_EQ(copy->createdAt(), user.createdAt());
    EXPECT_EQ(copy->updatedAt(), user.updatedAt());
    EXPECT_FALSE(copy->isNew());
    EXPECT_TRUE(copy->isHidden());
    EXPECT_TRUE(copy->following());
    EXPECT_FALSE(copy->follower());
    EXPECT_TRUE(copy->blocked());
    EXPECT_EQ(copy->screenName(), QStringLiteral("alice"));
    EXPECT_EQ(copy->longName(), QStringLiteral("Alice Ä."));
    EXPECT_EQ(copy->url(), QStringLiteral("http://alice.example"));
    EXPECT_EQ(copy->followersCount(), 0);
    EXPECT_FALSE(copy->isPartialUser());
}

TEST_F(UserTest, OldAndDamagedArchivesReadSafely)
{
    // A store without most keys, with the far-future "never updated" marker.
    QCborMap old;
    old.insert(QStringLiteral("$class"), QStringLiteral("RTUserTwitter"));
    old.insert(QStringLiteral("userId"), QStringLiteral("7"));
    old.insert(QStringLiteral("updatedAt"), QCborValue(RTUser::distantFuture()));
    old.insert(QStringLiteral("screenName"), QStringLiteral("bob"));
    QString error;
    auto restored = roundTrip(old, &error);
    auto *user = dynamic_cast<RTUserTwitter *>(restored.get());
    ASSERT_NE(user, nullptr) << error.toStdString();
    EXPECT_FALSE(user->updatedAt().isValid());
    EXPECT_TRUE(user->isNew());
    EXPECT_FALSE(user->isHidden());
    EXPECT_EQ(user->screenName(), QStringLiteral("bob"));
    EXPECT_TRUE(user->longName().isNull());

    // Wrong types are reported, not crashed on.
    const std::pair<const char *, QCborValue> damaged[] = {
        {"updatedAt", QStringLiteral("yesterday")},
        {"createdAt", 12},
        {"screenName", 3},
        {"following", QStringLiteral("yes")},
    };
    for (const auto &[key, value] : damaged) {
        QCborMap map = old;
        map.insert(QLatin1String(key), value);
        roundTrip(map, &error);
        EXPECT_FALSE(error.isEmpty()) << key;
    }
}
