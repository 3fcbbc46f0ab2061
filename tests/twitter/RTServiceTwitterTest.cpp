#include "twitter/RTServiceTwitter.h"
#include "accounts/AccountsRegistration.h"
#include "accounts/RTServiceBitly.h"
#include "accounts/RTServiceRegistry.h"
#include "model/ModelRegistration.h"
#include "model/RTMessageFlags.h"
#include "networks/facebook/RTServiceFacebook.h"
#include "platform/fake/FakeKeychain.h"
#include "twitter/TwitterRegistration.h"

#include <QCborArray>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <numeric>
#include <random>

namespace {

class TwitterAccountTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        registerAccountArchiveClasses();
        registerModelArchiveClasses();
        registerTwitterArchiveClasses();
        Keychain::setShared(&keychain);
    }
    void TearDown() override { Keychain::setShared(nullptr); }

    static std::unique_ptr<RTServiceTwitter> roundTrip(const RTServiceTwitter &account)
    {
        const QByteArray bytes =
            KeyedArchiver::archivedData(KeyedArchiver::archiveObject(&account));
        QString error;
        const QCborValue root = KeyedUnarchiver::parseData(bytes, &error);
        auto errorPtr = std::make_shared<QString>();
        auto object = KeyedUnarchiver::unarchiveObject(root, errorPtr);
        EXPECT_TRUE(errorPtr->isEmpty()) << errorPtr->toStdString();
        auto *typed = dynamic_cast<RTServiceTwitter *>(object.get());
        if (!typed)
            return nullptr;
        object.release();
        return std::unique_ptr<RTServiceTwitter>(typed);
    }

    static std::unique_ptr<RTServiceTwitter> decoded(const QCborMap &map)
    {
        auto account = std::make_unique<RTServiceTwitter>();
        account->decodeWithCoder(KeyedUnarchiver(map));
        return account;
    }

    FakeKeychain keychain;
};

RTServiceTwitter::UsersDictionary usersNamed(const QStringList &ids)
{
    RTServiceTwitter::UsersDictionary users;
    for (const QString &id : ids) {
        auto u = RTUserTwitter::create(id);
        u->setScreenName("user" + id);
        users.insert(id, u);
    }
    return users;
}

} // namespace

TEST_F(TwitterAccountTest, AllServicesListsFacebookBeforeTwitterAccountsInRegistryOrder)
{
    RTServiceRegistry registry;
    auto first = std::make_shared<RTServiceTwitter>();
    first->setServiceId("zed"); // ids do not take part in the order
    auto second = std::make_shared<RTServiceTwitter>();
    second->setServiceId("amy");
    auto facebook = std::make_shared<RTServiceFacebook>();
    registry.addServiceArray({first, second, facebook});

    EXPECT_EQ(registry.allServicesOfSameClass(RTService::staticMetaObject),
              RTServiceList({facebook, first, second}));
    EXPECT_EQ(registry.allServicesOfSameClass<RTServiceTwitter>(),
              QList<RTServiceTwitterPtr>({first, second}));
    EXPECT_EQ(registry.servicesConformingTo<RTMessageReceivingProtocol>(),
              RTServiceList({first, second}));
    EXPECT_TRUE(registry.hasTwitterServices());
}

TEST_F(TwitterAccountTest, ArchiveKeepsTheFlagsOfTheNewestFiftyThousandMessages)
{
    constexpr int total = 60000;
    // Ids in an order unrelated to the dates, so neither id nor insertion order can
    // stand in for the creation date.
    std::vector<int> order(total);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), std::mt19937(42));

    const QDateTime start = QDateTime::fromSecsSinceEpoch(1262304000, Qt::UTC);
    RTServiceTwitter::MessagesDictionary messages;
    for (int age = 0; age < total; ++age) {
        const QString id = QString::number(1000000 + order[size_t(age)]);
        auto m = RTMessageTwitter::create(id);
        m->setCreatedAt(start.addSecs(age)); // larger age index = newer
        m->setPermanentFlags(age % 3 == 0 ? RTPermanentFlag::IsSeen
                                          : RTPermanentFlag::IsHidden | RTPermanentFlag::IsMuted);
        messages.insert(id, m);
    }
    RTServiceTwitter account;
    account.setMessagesDictionary(messages);

    auto restored = roundTrip(account);
    ASSERT_TRUE(restored);
    const auto flags = restored->permanentMessageFlags();
    ASSERT_TRUE(flags.has_value());
    ASSERT_EQ(flags->size(), RTServiceTwitter::kMaxArchivedMessageFlags);
    int wrong = 0;
    for (int age = 0; age < total; ++age) {
        const QString id = QString::number(1000000 + order[size_t(age)]);
        const bool kept = age >= total - RTServiceTwitter::kMaxArchivedMessageFlags;
        if (flags->contains(id) != kept ||
            (kept && flags->value(id) != messages.value(id)->permanentFlags()))
            ++wrong;
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(TwitterAccountTest, NewestFlagsBreakDateTiesByIdAndPutUndatedMessagesLast)
{
    const QDateTime t = QDateTime::fromSecsSinceEpoch(1262304000, Qt::UTC);
    RTServiceTwitter::MessagesDictionary messages;
    const struct
    {
        const char *id;
        QDateTime created;
    } rows[] = {{"99", t}, {"100", t}, {"5", t.addSecs(-1)}, {"7", QDateTime()}};
    for (const auto &r : rows) {
        auto m = RTMessageTwitter::create(r.id);
        m->setCreatedAt(r.created);
        messages.insert(r.id, m);
    }
    const struct
    {
        int keep;
        QStringList expected;
    } cases[] = {{0, {}},
                 {1, {"100"}},
                 {2, {"100", "99"}},
                 {3, {"100", "5", "99"}},
                 {10, {"100", "5", "7", "99"}}};
    for (const auto &c : cases) {
        QStringList kept =
            RTServiceTwitter::newestPermanentFlags(messages, std::nullopt, c.keep).keys();
        kept.sort();
        EXPECT_EQ(kept, c.expected) << c.keep;
    }
}

TEST_F(TwitterAccountTest, SavingBeforeTimelinesArriveKeepsTheStoredFlags)
{
    // A restored account whose timelines brought back only message 300 so far.
    RTServiceTwitter::MessagesDictionary messages;
    auto m = RTMessageTwitter::create(QStringLiteral("300"));
    m->setCreatedAt(QDateTime::fromSecsSinceEpoch(1262304000, Qt::UTC));
    m->setPermanentFlags(RTPermanentFlag::IsHidden);
    messages.insert(m->messageId(), m);
    const RTServiceTwitter::FlagsDictionary stored{
        {"300", 0x00010000}, {"99", 0x00010000}, {"1000", 0x00020000}, {"200", 0x00040000}};

    const struct
    {
        int keep;
        RTServiceTwitter::FlagsDictionary expected;
    } cases[] = {
        // The message in memory wins over its stored word.
        {1, {{"300", 0x00020000}}},
        // Then the stored words of messages not seen again, largest ids first.
        {3, {{"300", 0x00020000}, {"1000", 0x00020000}, {"200", 0x00040000}}},
        {10, {{"300", 0x00020000}, {"1000", 0x00020000}, {"200", 0x00040000}, {"99", 0x00010000}}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(RTServiceTwitter::newestPermanentFlags(messages, stored, c.keep), c.expected)
            << c.keep;

    RTServiceTwitter account;
    account.setMessagesDictionary(messages);
    account.setPermanentMessageFlags(stored);
    auto restored = roundTrip(account);
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->permanentMessageFlags()->value(QStringLiteral("99")), 0x00010000u);
    EXPECT_EQ(restored->permanentMessageFlags()->value(QStringLiteral("300")), 0x00020000u);
}

TEST_F(TwitterAccountTest, OldStoresWithoutFlagWordsUniteTheSixSets)
{
    QCborMap old;
    old.insert(QStringLiteral("permanentReadMessagesSet"), QCborArray{QStringLiteral("1")});
    old.insert(QStringLiteral("temporaryHiddenMessagesSet"),
               QCborArray{QStringLiteral("1"), QStringLiteral("2")});
    old.insert(QStringLiteral("temporaryReadMessagesSet"), QCborArray{3});
    old.insert(QStringLiteral("permanentSpecialHiddenMessagesSet"),
               QCborArray{QStringLiteral("3"), QStringLiteral("4")});
    old.insert(QStringLiteral("permanentHiddenMessagesSet"), QStringLiteral("not a set"));

    const auto flags = decoded(old)->permanentMessageFlags();
    ASSERT_TRUE(flags.has_value());
    EXPECT_EQ(*flags,
              (RTServiceTwitter::FlagsDictionary{
                  {"1", 0x00030000}, {"2", 0x00020000}, {"3", 0x00050000}, {"4", 0x00040000}}));

    // The words, once present, win over any legacy set.
    QCborMap current = old;
    QCborMap words;
    words.insert(QStringLiteral("8"), 0x00010000);
    words.insert(QStringLiteral("9"), -1);                   // damaged: skipped
    words.insert(QStringLiteral("10"), qint64(0x100000000)); // too large: skipped
    current.insert(QStringLiteral("permanentMessageFlags"), words);
    EXPECT_EQ(*decoded(current)->permanentMessageFlags(),
              (RTServiceTwitter::FlagsDictionary{{"8", 0x00010000}}));
}

TEST_F(TwitterAccountTest, ShowFlagsAreReadWhenPresentAndOtherwiseKeepTheirDefaults)
{
    const struct
    {
        QCborMap archive;
        bool lists, favorites, combined, pollLists, retweetsInHome;
    } cases[] = {
        // Nothing stored: the defaults.
        {{}, true, false, false, true, true},
        // The node group is read only together with "showListsNode".
        {{{QStringLiteral("showFavoritesNode"), true}}, true, false, false, true, true},
        {{{QStringLiteral("showListsNode"), false}, {QStringLiteral("showFavoritesNode"), true}},
         false,
         true,
         false,
         true,
         true},
        {{{QStringLiteral("showCombinedNode"), true},
          {QStringLiteral("shouldPollTwitterLists"), false},
          {QStringLiteral("showRetweetsInHome"), false}},
         true,
         false,
         true,
         false,
         false},
    };
    for (const auto &c : cases) {
        const auto a = decoded(c.archive);
        EXPECT_EQ(a->showListsNode(), c.lists);
        EXPECT_EQ(a->showFavoritesNode(), c.favorites);
        EXPECT_EQ(a->showCombinedNode(), c.combined);
        EXPECT_EQ(a->shouldPollTwitterLists(), c.pollLists);
        EXPECT_EQ(a->showRetweetsInHome(), c.retweetsInHome);
        EXPECT_TRUE(a->showSentInHome());
        EXPECT_TRUE(a->showMentionsInHome());
    }
}

TEST_F(TwitterAccountTest, AutocompleteUsersCarryTheLastFullUserListAcrossRestarts)
{
    const struct
    {
        QStringList users;
        std::optional<QStringList> autocomplete;
        QStringList expected;
    } cases[] = {
        {{"1", "2", "3"}, QStringList{"9"}, {"1", "2", "3"}},
        {{"1", "2"}, QStringList{"7", "8", "9"}, {"7", "8", "9"}},
        {{"1"}, std::nullopt, {"1"}},
    };
    for (const auto &c : cases) {
        RTServiceTwitter account;
        account.setUsersDictionary(usersNamed(c.users));
        if (c.autocomplete)
            account.setAutocompleteUsers(usersNamed(*c.autocomplete));
        auto restored = roundTrip(account);
        ASSERT_TRUE(restored);
        const auto autocomplete = restored->autocompleteUsers();
        ASSERT_TRUE(autocomplete.has_value());
        QStringList ids = autocomplete->keys();
        ids.sort();
        EXPECT_EQ(ids, c.expected);
        EXPECT_EQ(autocomplete->value(c.expected.first())->screenName(),
                  "user" + c.expected.first());
    }
}

TEST_F(TwitterAccountTest, ArchiveRoundTripKeepsMyselfSettingsAndTheDefaultShortener)
{
    RTServiceTwitter account;
    account.setServiceId("alice");
    auto me = RTUserTwitter::create("42");
    me->setScreenName("alice");
    account.setMyself(me);
    account.setShowGroupsNode(true);
    account.setShowSentInHome(false);
    auto shortener = std::make_shared<RTServiceBitly>();
    shortener->setServiceId("alice");
    account.setDefaultShortener(shortener);
    account.setDefaultImager(nullptr);

    auto restored = roundTrip(account);
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->serviceId(), "alice");
    EXPECT_EQ(restored->serviceName(), "Twitter");
    ASSERT_TRUE(restored->myself());
    EXPECT_EQ(restored->myself()->screenName(), "alice");
    EXPECT_EQ(restored->usersDictionary().keys(), QStringList({"42"}));
    EXPECT_EQ(restored->usersDictionary().value("42"), restored->myself());
    EXPECT_TRUE(restored->showGroupsNode());
    EXPECT_FALSE(restored->showSentInHome());
    EXPECT_EQ(restored->defaultImager(), nullptr);
    ASSERT_TRUE(restored->defaultShortener());
    EXPECT_EQ(restored->defaultShortener()->serviceType(), 7);

    // After the store is restored the account uses the registered shortener itself.
    RTServiceRegistry registry;
    registry.setServices({shortener});
    restored->resolveRegisteredServices(registry);
    EXPECT_EQ(restored->defaultShortener(), shortener);
}

TEST_F(TwitterAccountTest, StartRequestsAnAccessTokenWhenThereIsNone)
{
    RTServiceTwitter account;
    account.setServiceId("alice");
    QSignalSpy requested(&account, &RTServiceTwitter::accessTokenRequested);

    account.start();
    EXPECT_FALSE(account.running());
    EXPECT_EQ(requested.count(), 1);

    // Tokens stored by an earlier run are found in the keychain.
    RTServiceTwitter earlier;
    earlier.setServiceId("alice");
    earlier.setOAuthTokenPair("token", "secret");
    account.start();
    EXPECT_TRUE(account.running());
    EXPECT_EQ(requested.count(), 1);

    // A new password while running needs a new token.
    account.setVerifiedCredentials(false);
    account.setServicePassword("pw");
    EXPECT_TRUE(account.verifiedCredentials());
    EXPECT_EQ(requested.count(), 2);
    account.stop();
    EXPECT_FALSE(account.running());
}

TEST_F(TwitterAccountTest, AddAccountScreenShowsTextsNotKeys)
{
    EXPECT_EQ(RTServiceTwitter::localizedServiceName(), "TWITTER");
    EXPECT_TRUE(RTServiceTwitter::localizedServiceDesription().endsWith("known as tweets."));
}

TEST_F(TwitterAccountTest, FlagWordsAreArchivedUnderIdsThatReadBackTheSame)
{
    // Ids that read back as the same number are stored as numbers, all others as text;
    // words of every width of a CBOR head.
    const struct
    {
        QString id;
        bool asNumber;
    } ids[] = {
        {QStringLiteral("0"), true},
        {QStringLiteral("23"), true},
        {QStringLiteral("1400000000000000000"), true},
        {QStringLiteral("9223372036854775807"), true},
        {QStringLiteral("9223372036854775808"), false},
        {QStringLiteral("99999999999999999999"), false},
        {QStringLiteral("007"), false},
        {QStringLiteral("12a"), false},
        {QStringLiteral("\u00e912"), false},
        {QStringLiteral("id-\U0001F600"), false},
        {QString(300, QLatin1Char('x')), false},
    };
    const quint32 words[] = {0, 23, 24, 255, 256, 65535, 65536, 0xffffffffu};
    RTServiceTwitter::MessagesDictionary messages;
    int n = 0;
    for (const auto &id : ids) {
        auto m = RTMessageTwitter::create(id.id);
        m->setCreatedAt(QDateTime::fromSecsSinceEpoch(1262304000 + n, Qt::UTC));
        m->setPermanentFlags(words[n++ % 8]);
        messages.insert(id.id, m);
    }
    RTServiceTwitter account;
    account.setMessagesDictionary(messages);
    const QCborMap archived = KeyedArchiver::archiveObject(&account).toMap();
    const QCborMap flags = archived.value(QStringLiteral("permanentMessageFlags")).toMap();
    ASSERT_EQ(flags.size(), qsizetype(std::size(ids)));
    for (const auto &id : ids) {
        const QCborValue key = id.asNumber ? QCborValue(id.id.toLongLong()) : QCborValue(id.id);
        EXPECT_TRUE(flags.contains(key)) << qPrintable(id.id);
        EXPECT_EQ(flags.value(key).toInteger(), messages.value(id.id)->permanentFlags())
            << qPrintable(id.id);
    }

    auto restored = roundTrip(account);
    ASSERT_TRUE(restored);
    ASSERT_TRUE(restored->permanentMessageFlags());
    EXPECT_EQ(*restored->permanentMessageFlags(),
              RTServiceTwitter::newestPermanentFlags(messages, std::nullopt));
}
