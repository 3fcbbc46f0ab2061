#include "accounts/AccountKeychain.h"
#include "accounts/RTServiceInstapaper.h"
#include "accounts/RTServiceTalvo.h"
#include "foundation/HostProfile.h"
#include "platform/fake/FakeKeychain.h"

#include <QCborArray>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

class ServiceTest : public ::testing::Test
{
protected:
    void SetUp() override { Keychain::setShared(&keychain); }
    void TearDown() override { Keychain::setShared(nullptr); }

    static Keychain::Attributes passwordItem(const QString &account)
    {
        return {"InstapaperPassword", "Talvo password", account, "Talvo Instapaper"};
    }

    FakeKeychain keychain;
};

} // namespace

TEST_F(ServiceTest, PasswordIsStoredUnderTheServiceAttributesAndCached)
{
    RTServiceInstapaper s;
    s.setServiceId("alice");
    // Nothing stored: no password, and the keychain read gives "".
    EXPECT_TRUE(s.servicePassword().isNull());
    EXPECT_EQ(s.keychainServicePassword(), QStringLiteral(""));
    EXPECT_FALSE(s.keychainServicePassword().isNull());
    EXPECT_EQ(s.cachedIsPasswordSet(), std::optional<bool>(false));

    s.setServicePassword("secret1");
    s.setServicePassword("secret2");
    EXPECT_EQ(keychain.items.size(), 1u);
    EXPECT_EQ(keychain.items[FakeKeychain::keyOf(passwordItem("alice"))], "secret2");
    EXPECT_EQ(keychain.calls.filter("add").size(), 1);
    EXPECT_EQ(keychain.calls.filter("modify").size(), 1);

    EXPECT_EQ(s.servicePassword(), "secret2");
    keychain.calls.clear();
    EXPECT_EQ(s.servicePassword(), "secret2");
    EXPECT_TRUE(keychain.calls.isEmpty()) << "second read must come from the cache";

    // Another id is another keychain item.
    s.setServiceId("bob");
    EXPECT_FALSE(s.cachedIsPasswordSet().has_value());
    EXPECT_TRUE(s.servicePassword().isNull());
}

TEST_F(ServiceTest, KeychainReadIsBoundedWithoutSplittingACharacter)
{
    RTServiceInstapaper s;
    s.setServiceId("alice");
    const struct
    {
        QString stored;
        int expectedBytes;
    } cases[] = {
        {QString(1023, 'a'), 1023},
        {QString(2000, 'a'), 1023},
        // 1022 ASCII bytes then a two-byte character: it does not fit and is dropped.
        {QString(1022, 'a') + QChar(0xE9) + "tail", 1022},
        {QString(600, QChar(0x20AC)), 1023}, // three bytes each: 341 fit
    };
    for (const auto &c : cases) {
        keychain.items[FakeKeychain::keyOf(passwordItem("alice"))] = c.stored;
        const QString read = s.keychainServicePassword();
        EXPECT_EQ(read.toUtf8().size(), c.expectedBytes);
        EXPECT_TRUE(c.stored.startsWith(read));
    }
}

TEST_F(ServiceTest, RefusedOrMissingKeychainIsAnnouncedAndReadsAsNoPassword)
{
    QSignalSpy refused(&AccountKeychain::shared(), &AccountKeychain::accessRefused);
    QSignalSpy unavailable(&AccountKeychain::shared(), &AccountKeychain::keychainUnavailable);
    RTServiceInstapaper s;
    s.setServiceId("alice");

    keychain.forcedStatus = Keychain::Status::AccessRefused;
    EXPECT_EQ(s.keychainServicePassword(), QStringLiteral(""));
    EXPECT_EQ(refused.count(), 1);
    EXPECT_EQ(unavailable.count(), 0);

    Keychain::setShared(nullptr);
    EXPECT_FALSE(s.isKeychainPasswordSet());
    EXPECT_EQ(s.keychainServicePassword(), QStringLiteral(""));
    EXPECT_FALSE(s.setServicePassword(QStringLiteral("pw"))) << "a failed write is reported";
    // Told once, however many calls find no keyring.
    EXPECT_EQ(unavailable.count(), 1);
    EXPECT_FALSE(unavailable.at(0).at(0).toString().startsWith("##"))
        << "the user must see a text, not a key";
}

TEST_F(ServiceTest, ArchiveKeepsIdentityAndNeverTheTokens)
{
    RTServiceInstapaper s;
    s.setServiceId("alice");
    s.setShowPopupNotifications(false);
    s.setOAuthTokenPair("tok&en", "sec=ret");
    s.setVerifiedCredentials(false);
    s.setAuthFailureCount(3);
    s.start();

    const QCborMap map = KeyedArchiver::archiveObject(&s).toMap();
    const QByteArray bytes = KeyedArchiver::archivedData(map);
    EXPECT_FALSE(bytes.contains("tok&en"));
    EXPECT_FALSE(bytes.contains("sec=ret"));
    EXPECT_FALSE(map.contains(QStringLiteral("oauthToken")));

    RTServiceInstapaper decoded;
    decoded.decodeWithCoder(KeyedUnarchiver(map));
    EXPECT_EQ(decoded.serviceId(), "alice");
    EXPECT_EQ(decoded.serviceName(), "Instapaper");
    EXPECT_EQ(decoded.hostname(), s.hostname());
    EXPECT_EQ(decoded.httpProtocol(), "https");
    EXPECT_FALSE(decoded.showPopupNotifications());
    EXPECT_TRUE(decoded.verifiedCredentials());
    EXPECT_FALSE(decoded.isNewlyAdded());
    EXPECT_FALSE(decoded.running());
    EXPECT_EQ(decoded.authFailureCount(), 0);
    EXPECT_EQ(decoded.oauthToken(), QStringLiteral(""));

    // The tokens come back from the keychain.
    decoded.loadOAuthTokens();
    EXPECT_EQ(decoded.oauthToken(), "tok&en");
    EXPECT_EQ(decoded.oauthTokenSecret(), "sec=ret");
}

TEST_F(ServiceTest, TokensOfAnOldArchiveMoveIntoTheKeychain)
{
    QCborMap old;
    old.insert(QStringLiteral("serviceId"), QStringLiteral("alice"));
    old.insert(QStringLiteral("serviceName"), QStringLiteral("Instapaper"));
    old.insert(QStringLiteral("oauthToken"), QStringLiteral("old-token"));
    old.insert(QStringLiteral("oauthTokenSecret"), QStringLiteral("old-secret"));
    old.insert(QStringLiteral("previousReadMessageKeys"), QCborArray{QStringLiteral("7")});

    RTServiceInstapaper s;
    s.decodeWithCoder(KeyedUnarchiver(old));
    EXPECT_EQ(s.oauthToken(), "old-token");
    EXPECT_EQ(s.previousReadMessageKeys(), QVariantList({QStringLiteral("7")}));
    EXPECT_TRUE(keychain.items.empty());
    s.loadOAuthTokens();
    ASSERT_EQ(keychain.items.size(), 1u);

    RTServiceInstapaper fresh;
    fresh.decodeWithCoder(KeyedUnarchiver(KeyedArchiver::archiveObject(&s).toMap()));
    fresh.loadOAuthTokens();
    EXPECT_EQ(fresh.oauthToken(), "old-token");
    EXPECT_EQ(fresh.oauthTokenSecret(), "old-secret");

    // A renamed account keeps its tokens under the new id.
    fresh.setServiceId("Alice");
    fresh.loadOAuthTokens();
    RTServiceInstapaper renamed;
    renamed.setServiceId("Alice");
    renamed.loadOAuthTokens();
    EXPECT_EQ(renamed.oauthToken(), "old-token");

    // Clearing the pair removes the keychain item.
    renamed.setOAuthTokenPair({}, {});
    EXPECT_EQ(keychain.items.size(), 1u) << "only the old id's item is left";
}

// A keychain that refuses the write must not cost the tokens: the store keeps them and
// the move is tried again.
TEST_F(ServiceTest, TokensOfAnOldArchiveSurviveAFailedMove)
{
    QCborMap old;
    old.insert(QStringLiteral("serviceId"), QStringLiteral("alice"));
    old.insert(QStringLiteral("serviceName"), QStringLiteral("Instapaper"));
    old.insert(QStringLiteral("oauthToken"), QStringLiteral("old-token"));
    old.insert(QStringLiteral("oauthTokenSecret"), QStringLiteral("old-secret"));
    RTServiceInstapaper s;
    s.decodeWithCoder(KeyedUnarchiver(old));

    const struct
    {
        Keychain::Status status;
        size_t items;
        bool archived;
    } steps[] = {
        {Keychain::Status::Failed, 0, true},
        {Keychain::Status::Failed, 0, true},
        {Keychain::Status::Success, 1, false},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(static_cast<int>(step.status));
        keychain.forcedStatus = step.status;
        s.loadOAuthTokens();
        EXPECT_EQ(keychain.items.size(), step.items);
        const QCborMap saved = KeyedArchiver::archiveObject(&s).toMap();
        EXPECT_EQ(saved.contains(QStringLiteral("oauthToken")), step.archived);
        RTServiceInstapaper restarted;
        restarted.decodeWithCoder(KeyedUnarchiver(saved));
        keychain.forcedStatus = Keychain::Status::Success;
        restarted.loadOAuthTokens();
        EXPECT_EQ(restarted.oauthToken(), QStringLiteral("old-token"));
        EXPECT_EQ(restarted.oauthTokenSecret(), QStringLiteral("old-secret"));
        keychain.items.clear();
    }
}

TEST(RTServicePersist, MessageIdSetKeepsTheNewestIds)
{
    const QSet<QString> ids{"9", "10", "123", "99", "1000", "11"};
    KeyedArchiver coder;
    RTService::persistMessagesIDsWithSet(ids, "set", coder, 3);
    const QCborArray stored = coder.map().value(QStringLiteral("set")).toArray();
    QStringList got;
    for (const auto &v : stored)
        got << v.toString();
    EXPECT_EQ(got, QStringList({"1000", "123", "99"}));
}

TEST(RTServiceTalvoArchive, HostListsAndFilteredMessageSetsRoundTrip)
{
    RTServiceTalvo companion;
    companion.setIsAnonymous(false);
    companion.setShortenersList({QStringLiteral("sho.rt"), QStringLiteral("x.co")});
    companion.setImagers(
        {{QStringLiteral("pics.example"),
          QVariantMap{{QStringLiteral("thumbnail_url"), QStringLiteral("http://t/%@")}}}});
    for (int i = 0; i < 6000; ++i)
        companion.permanentMutedMessagesSet.insert(QString::number(100000 + i));
    companion.temporaryHighlightedMessagesSet.insert(QStringLiteral("42"));

    RTServiceTalvo decoded;
    const KeyedUnarchiver coder(KeyedArchiver::archiveObject(&companion).toMap());
    decoded.decodeWithCoder(coder);
    EXPECT_FALSE(coder.failed()) << coder.errorString().toStdString();
    EXPECT_FALSE(decoded.isAnonymous());
    EXPECT_EQ(decoded.shortenersList(), companion.shortenersList());
    EXPECT_EQ(decoded.imagers(), companion.imagers());
    EXPECT_EQ(decoded.permanentMutedMessagesSet.size(), RTServiceTalvo::kMaxArchivedFilteredIds);
    EXPECT_TRUE(decoded.permanentMutedMessagesSet.contains(QStringLiteral("105999")));
    EXPECT_FALSE(decoded.permanentMutedMessagesSet.contains(QStringLiteral("100999")));
    EXPECT_EQ(decoded.temporaryHighlightedMessagesSet, QSet<QString>{QStringLiteral("42")});

    // An archive from before these keys keeps the defaults.
    RTServiceTalvo old;
    old.decodeWithCoder(
        KeyedUnarchiver(QCborMap{{QStringLiteral("serviceName"), QStringLiteral("Talvo")}}));
    EXPECT_TRUE(old.isAnonymous());
    EXPECT_EQ(old.shortenersList().size(), 3);
    EXPECT_EQ(old.twitterSources().size(), 2);
}

TEST_F(ServiceTest, AnAccountIsUsedOnlyWithTheHostProfileItWasCreatedUnder)
{
    HostProfile sandbox;
    sandbox.setName(QStringLiteral("sandbox"));
    sandbox.setBaseUrl(QStringLiteral("twitter-api"), QUrl(QStringLiteral("https://127.0.0.1:1")));

    HostProfile::setCurrent(sandbox);
    RTServiceInstapaper created;
    created.setServiceId("alice");
    EXPECT_EQ(created.hostProfile(), "sandbox");
    const QCborMap map = KeyedArchiver::archiveObject(&created).toMap();
    EXPECT_EQ(map.value(QStringLiteral("hostProfile")).toString(), "sandbox");
    QCborMap old = map;
    old.remove(QStringLiteral("hostProfile"));

    // Decoded under another profile: the recorded one stays; an old archive records none.
    HostProfile::setCurrent(HostProfile::real());
    RTServiceInstapaper recorded;
    recorded.decodeWithCoder(KeyedUnarchiver(map));
    RTServiceInstapaper unrecorded;
    unrecorded.decodeWithCoder(KeyedUnarchiver(old));
    EXPECT_EQ(recorded.hostProfile(), "sandbox");
    EXPECT_EQ(unrecorded.hostProfile(), QString());
    EXPECT_EQ(unrecorded.effectiveHostProfile(), "real");

    const struct
    {
        const RTService *account;
        const HostProfile *installed;
        bool refused;
    } cases[] = {
        {&recorded, &HostProfile::real(), true},
        {&recorded, &sandbox, false},
        {&unrecorded, &HostProfile::real(), false},
        {&unrecorded, &sandbox, true},
    };
    for (const auto &c : cases) {
        HostProfile::setCurrent(*c.installed);
        const QString refusal = c.account->hostProfileRefusal();
        EXPECT_EQ(!refusal.isEmpty(), c.refused) << c.account->hostProfile().toStdString()
                                                 << " under " << c.installed->name().toStdString();
        if (c.refused) {
            EXPECT_TRUE(refusal.contains(c.account->effectiveHostProfile()));
            EXPECT_TRUE(refusal.contains(c.installed->name()));
            EXPECT_TRUE(refusal.contains("alice"));
        }
    }
    // Anonymous services carry no credentials and follow the installed profile.
    HostProfile::setCurrent(sandbox);
    RTServiceTalvo companion;
    companion.setHostProfile(QStringLiteral("real"));
    companion.setIsAnonymous(true);
    EXPECT_TRUE(companion.hostProfileRefusal().isEmpty());
    companion.setIsAnonymous(false);
    EXPECT_FALSE(companion.hostProfileRefusal().isEmpty());
    HostProfile::setCurrent(HostProfile::real());
}

TEST_F(ServiceTest, AnUnverifiedPasswordNeverReachesTheKeychain)
{
    RTServiceInstapaper s;
    s.setServiceId("nosuchuser");
    s.setUnverifiedServicePassword("guess");
    EXPECT_EQ(s.servicePassword(), "guess");
    EXPECT_TRUE(keychain.items.empty());
    EXPECT_TRUE(keychain.calls.filter("add").isEmpty());
    // Stored only once the log-in succeeded.
    s.setServicePassword("guess");
    EXPECT_EQ(keychain.items[FakeKeychain::keyOf(passwordItem("nosuchuser"))], "guess");
}
