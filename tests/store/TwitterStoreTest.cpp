// The store with Twitter accounts: flag words across a restart, old stores, talvoctl.
#include "CtlCommand.h"

#include "accounts/AccountsRegistration.h"
#include "accounts/RTServiceRegistry.h"
#include "foundation/KeyedArchive.h"
#include "store/TADataManager.h"
#include "store/TAServicesArchive.h"
#include "store/TAStoreFiles.h"
#include "support/TestSupport.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/TwitterRegistration.h"

#include <gtest/gtest.h>

#include <QCborArray>
#include <QCborMap>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <functional>
#include <thread>

namespace {

QString freshFolder()
{
    const QString folder = testTempDir() + QLatin1String("/twitter-store-") +
                           QUuid::createUuid().toString(QUuid::Id128);
    QDir().mkpath(folder);
    return folder;
}

QCborValue readServicesRoot(const QString &folder)
{
    QFile f(folder + QLatin1String("/services.dat"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCborValue::fromCbor(f.readAll());
}

std::shared_ptr<RTServiceTwitter> twitterAt(const TADataManager &dm, const QString &id)
{
    return std::dynamic_pointer_cast<RTServiceTwitter>(dm.serviceWithServiceId(id, 2));
}

QString runStoreCommand(const QStringList &args, int *status)
{
    QString text;
    QString errors;
    QTextStream out(&text);
    QTextStream err(&errors);
    *status = cmdStore(args, out, err);
    out.flush();
    return text + errors;
}

} // namespace

class TwitterStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        registerAccountArchiveClasses();
        registerTwitterArchiveClasses();
    }
};

TEST_F(TwitterStoreTest, OldStoreWithFlagSetsIsReadAndRewrittenInTheCurrentForm)
{
    const QString folder = freshFolder();
    QCborMap legacy{{QStringLiteral("$class"), QStringLiteral("RTServiceTwitter")},
                    {QStringLiteral("serviceId"), QStringLiteral("alice")},
                    {QStringLiteral("serviceName"), QStringLiteral("Twitter")},
                    {QStringLiteral("permanentReadMessagesSet"), QCborArray{QStringLiteral("1")}},
                    {QStringLiteral("temporaryHiddenMessagesSet"),
                     QCborArray{QStringLiteral("1"), QStringLiteral("2")}}};
    {
        QFile f(folder + QLatin1String("/services.dat"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QCborValue(QCborArray{legacy}).toCbor());
    }
    RTServiceRegistry registry;
    auto dm = std::make_unique<TADataManager>(folder, &registry);
    ASSERT_TRUE(dm->servicesRestoreError().isEmpty()) << dm->servicesRestoreError().toStdString();
    EXPECT_TRUE(dm->hasTwitterServices());
    auto alice = twitterAt(*dm, QStringLiteral("alice"));
    ASSERT_TRUE(alice);
    EXPECT_EQ(dm->services().first(), alice); // saved services before the defaults
    const RTServiceTwitter::FlagsDictionary expected{{QStringLiteral("1"), 0x00030000u},
                                                     {QStringLiteral("2"), 0x00020000u}};
    EXPECT_EQ(alice->permanentMessageFlags(), expected);

    dm->saveCachesToDisk();
    const QCborMap rewritten = readServicesRoot(folder).toArray().at(0).toMap();
    EXPECT_EQ(rewritten.value(QStringLiteral("$class")).toString(),
              QLatin1String("RTServiceTwitter"));
    EXPECT_TRUE(rewritten.contains(QStringLiteral("permanentMessageFlags")));
    for (const char *old : {"permanentReadMessagesSet", "temporaryHiddenMessagesSet",
                            "temporaryReadMessagesSet", "permanentHiddenMessagesSet"})
        EXPECT_FALSE(rewritten.contains(QLatin1String(old))) << old;
}

TEST_F(TwitterStoreTest, FlagWordsOfReceivedMessagesSurviveARestart)
{
    const QString folder = freshFolder();
    {
        RTServiceRegistry registry;
        TADataManager dm(folder, &registry);
        auto bob = std::dynamic_pointer_cast<RTServiceTwitter>(
            createServiceOfClass(QStringLiteral("RTServiceTwitter")));
        ASSERT_TRUE(bob);
        bob->setServiceId(QStringLiteral("bob"));
        RTServiceTwitter::MessagesDictionary messages;
        const QDateTime base = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
        for (int i = 1; i <= 3; ++i) {
            auto m = RTMessageTwitter::create(QString::number(i));
            m->setCreatedAt(base.addSecs(i));
            m->setPermanentFlags(0x00010000u * quint32(i));
            messages.insert(m->messageId(), m);
        }
        bob->setMessagesDictionary(messages);
        dm.addService(bob);
        dm.saveCachesToDisk();
    }
    RTServiceRegistry registry;
    TADataManager dm(folder, &registry);
    auto bob = twitterAt(dm, QStringLiteral("bob"));
    ASSERT_TRUE(bob);
    const RTServiceTwitter::FlagsDictionary expected{{QStringLiteral("1"), 0x00010000u},
                                                     {QStringLiteral("2"), 0x00020000u},
                                                     {QStringLiteral("3"), 0x00030000u}};
    EXPECT_EQ(bob->permanentMessageFlags(), expected);
    EXPECT_FALSE(bob->isNewlyAdded());
}

TEST_F(TwitterStoreTest, EveryChangeOfAnAccountReachesTheFileAtTheNextSave)
{
    using Account = RTServiceTwitter;
    const QString folder = freshFolder();
    RTServiceRegistry registry;
    TADataManager dm(folder, &registry);
    auto carol = std::dynamic_pointer_cast<RTServiceTwitter>(
        createServiceOfClass(QStringLiteral("RTServiceTwitter")));
    ASSERT_TRUE(carol);
    carol->setServiceId(QStringLiteral("carol"));
    RTServiceTwitter::MessagesDictionary messages;
    const QDateTime base = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    auto makeMessage = [&base](int id) {
        auto m = RTMessageTwitter::create(QString::number(id));
        m->setCreatedAt(base.addSecs(id));
        return m;
    };
    for (int i = 1; i <= 3; ++i)
        messages.insert(QString::number(i), makeMessage(i));
    carol->setMessagesDictionary(messages);
    dm.addService(carol);
    dm.saveCachesToDisk();

    int servicesWrites = 0;
    TAStoreFiles::setBeforeCommitHookForTesting([&servicesWrites](const QString &path) {
        servicesWrites += QFileInfo(path).fileName() == QLatin1String("services.dat");
        return true;
    });
    auto message = [&carol](const char *id) { return carol->twitterMessageWithId(id); };
    const struct
    {
        const char *change;
        std::function<void(Account &)> apply;
        bool written;
    } cases[] = {
        {"nothing", [](Account &) {}, false},
        {"seen", [&](Account &) { message("1")->setIsSeen(true); }, true},
        {"seen again", [&](Account &) { message("1")->setIsSeen(true); }, false},
        {"unseen", [&](Account &) { message("1")->setIsSeen(false); }, true},
        {"bits merged", [&](Account &) { message("2")->mergePermanentFlagsWithFlags(0x00080000u); },
         true},
        {"the same bits merged",
         [&](Account &) { message("2")->mergePermanentFlagsWithFlags(0x00080000u); }, false},
        {"only a temporary bit", [&](Account &) { message("2")->setIsRepeated(true); }, false},
        {"whole word", [&](Account &) { message("3")->setPermanentFlags(0x00040000u); }, true},
        {"flag set on a worker",
         [&](Account &) { std::thread([m = message("3")] { m->setIsMuted(true); }).join(); }, true},
        {"store replaced",
         [&](Account &a) {
             auto grown = a.messagesDictionary();
             auto m = makeMessage(4);
             m->setPermanentFlags(0x00010000u);
             grown.insert(QStringLiteral("4"), m);
             a.setMessagesDictionary(grown);
         },
         true},
        {"message objects merged",
         [&](Account &a) {
             auto m = makeMessage(5);
             m->setPermanentFlags(0x00020000u);
             (void)a.mergeExistingMessageWithMessageObjects({m}, 0);
         },
         true},
        {"stored words replaced",
         [&](Account &a) {
             a.setPermanentMessageFlags(
                 RTServiceTwitter::FlagsDictionary{{QStringLiteral("77"), 0x00010000u}});
         },
         true},
        {"a setting", [&](Account &a) { a.setShowListsNode(!a.showListsNode()); }, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.change);
        servicesWrites = 0;
        c.apply(*carol);
        dm.saveCachesToDisk();
        EXPECT_EQ(servicesWrites, c.written ? 1 : 0);

        RTServiceRegistry otherRegistry;
        TADataManager restored(folder, &otherRegistry);
        restored.setSavingEnabled(false);
        const auto again = twitterAt(restored, QStringLiteral("carol"));
        ASSERT_TRUE(again);
        EXPECT_EQ(again->permanentMessageFlags(),
                  RTServiceTwitter::newestPermanentFlags(carol->messagesDictionary(),
                                                         carol->permanentMessageFlags()));
        EXPECT_EQ(again->showListsNode(), carol->showListsNode());
    }
    TAStoreFiles::setBeforeCommitHookForTesting(nullptr);
}

TEST_F(TwitterStoreTest, StoreCommandReadsWrittenAndDamagedFolders)
{
    const QString folder = freshFolder();
    {
        RTServiceRegistry registry;
        TADataManager dm(folder, &registry);
        auto carol = std::dynamic_pointer_cast<RTServiceTwitter>(
            createServiceOfClass(QStringLiteral("RTServiceTwitter")));
        carol->setServiceId(QStringLiteral("carol"));
        RTServiceTwitter::MessagesDictionary messages;
        for (int i = 1; i <= 4; ++i) {
            auto m = RTMessageTwitter::create(QString::number(100 + i));
            m->setCreatedAt(QDateTime::fromSecsSinceEpoch(1700000000 + i, Qt::UTC));
            messages.insert(m->messageId(), m);
        }
        carol->setMessagesDictionary(messages);
        registry.setServices(RTServiceList{carol} + registry.services());
        dm.newImageDownloaded({{QStringLiteral("kRTImageURLKey"), QStringLiteral("http://p/1")},
                               {QStringLiteral("kRTImageDataKey"), QByteArray(10, 'x')}});
        dm.urlCache().setValue(QStringLiteral("a2V5\n"), QStringLiteral("http://long/"));
        dm.saveCachesToDisk();
    }
    QDir dir(folder);
    const QStringList before = dir.entryList(QDir::Files);

    int status = -1;
    QString text = runStoreCommand({QStringLiteral("--dir"), folder}, &status);
    EXPECT_EQ(status, 0) << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String("14 services"))) << text.toStdString();
    EXPECT_TRUE(text.contains(
        QLatin1String("1. RTServiceTwitter (type 2)  serviceId carol  profile real  flag words 4")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String("14. RTServiceTalvo (type 8)"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String("images.dat: "))) << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String(", 1 pictures"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String(", 1 links"))) << text.toStdString();
    EXPECT_EQ(dir.entryList(QDir::Files), before); // read-only

    // A damaged file is told apart from a missing one.
    {
        QFile f(folder + QLatin1String("/services.dat"));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.resize(f.size() / 2);
    }
    QFile::remove(folder + QLatin1String("/urls.dat"));
    text = runStoreCommand({QStringLiteral("--dir"), folder}, &status);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(text.contains(QLatin1String("services.dat: "))) << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String("damaged"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String("urls.dat: missing"))) << text.toStdString();

    text = runStoreCommand({QStringLiteral("--bogus")}, &status);
    EXPECT_EQ(status, 2);
    text =
        runStoreCommand({QStringLiteral("--dir"), folder + QLatin1String("/nonexistent")}, &status);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(text.contains(QLatin1String("does not exist"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QLatin1String("missing"))) << text.toStdString();
}

// The accounts file written in one pass gives the same bytes as the archive tree written
// by Qt, and reads back the words the archive keeps, whatever the ids and the cap.
TEST_F(TwitterStoreTest, AccountsFileKeepsTheFlagWordsOfEveryKindOfDictionary)
{
    using Messages = RTServiceTwitter::MessagesDictionary;
    using Flags = RTServiceTwitter::FlagsDictionary;
    const QDateTime start = QDateTime::fromSecsSinceEpoch(1262304000, Qt::UTC);
    const auto messagesOf = [&](const QStringList &ids) {
        Messages messages;
        for (qsizetype i = 0; i < ids.size(); ++i) {
            auto m = RTMessageTwitter::create(ids.at(i));
            m->setCreatedAt(start.addSecs(i));
            m->setPermanentFlags(quint32(i % 5) << 16 | (i % 3 == 0 ? 0x80000000u : 0u));
            messages.insert(ids.at(i), m);
        }
        return messages;
    };
    const auto numbered = [](qint64 first, int count) {
        QStringList ids;
        for (int i = 0; i < count; ++i)
            ids.append(QString::number(first + i));
        return ids;
    };
    const int cap = RTServiceTwitter::kMaxArchivedMessageFlags;
    Messages withNull = messagesOf({"5", "6", "7"});
    withNull.insert(QStringLiteral("8"), nullptr);

    const struct
    {
        const char *what;
        Messages messages;
        std::optional<Flags> stored;
    } cases[] = {
        {"nothing", {}, std::nullopt},
        {"numeric ids", messagesOf({"0", "1", "23", "24", "255", "65536", "1400000000000000000"}),
         std::nullopt},
        {"ids that are not plain numbers",
         messagesOf({"0123", "-5", "12a", "1e5", " 7", "ünï", "9223372036854775807",
                     "9223372036854775808", "18446744073709551616", "12345678901234567890123"}),
         Flags{}},
        {"stored words carried", messagesOf({"300", "301"}),
         Flags{{"300", 0x00010000}, {"99", 0x00020000}, {"x1", 0x00040000}, {"0042", 1}}},
        {"a message slot without a message", withNull, Flags{{"8", 0x00020000}, {"9", 3}}},
        {"over the cap", messagesOf(numbered(1000000, cap + 10)),
         Flags{{"1", 0x00010000}, {"2", 0x00020000}}},
        {"stored words beyond the room", messagesOf(numbered(5000000, cap - 5)),
         [] {
             Flags stored;
             for (int i = 0; i < 30; ++i)
                 stored.insert(QString::number(100 + i * 7), quint32(i) << 16);
             stored.insert(QStringLiteral("abc"), 1);
             return stored;
         }()},
    };
    for (const auto &c : cases) {
        auto account = std::make_shared<RTServiceTwitter>();
        account->setServiceId(QStringLiteral("alice"));
        account->setMessagesDictionary(c.messages);
        account->setPermanentMessageFlags(c.stored);

        const QByteArray bytes = TAServicesArchive::encode({account});
        const QByteArray treeBytes =
            KeyedArchiver::archivedData(QCborArray{KeyedArchiver::archiveObject(account.get())});
        EXPECT_EQ(bytes, treeBytes) << c.what;

        const TAServicesArchive::Decoded decoded = TAServicesArchive::decode(bytes);
        ASSERT_TRUE(decoded.error.isEmpty()) << c.what << ": " << decoded.error.toStdString();
        ASSERT_EQ(decoded.services.size(), 1) << c.what;
        const auto restored = std::dynamic_pointer_cast<RTServiceTwitter>(decoded.services[0]);
        ASSERT_TRUE(restored && restored->permanentMessageFlags()) << c.what;
        EXPECT_EQ(*restored->permanentMessageFlags(),
                  RTServiceTwitter::newestPermanentFlags(c.messages, c.stored))
            << c.what;
    }
}

// Large flag maps are read straight from their bytes; whatever they hold, the account
// gets the words the archive tree gives, and a damaged map still fails the whole file.
TEST_F(TwitterStoreTest, LargeFlagMapsReadBackAsTheirTreeDoes)
{
    const QString flagsKey = QStringLiteral("permanentMessageFlags");
    const auto largeMap = [](const QCborMap &extra) {
        QCborMap map;
        for (int i = 0; i < 3000; ++i)
            map.insert(qint64(1500000000000000000LL + i), qint64(i % 4) << 16);
        for (auto it = extra.cbegin(); it != extra.cend(); ++it)
            map.insert(it.key(), it.value());
        return map;
    };
    const struct
    {
        const char *what;
        QCborMap flags;
    } cases[] = {
        {"numbers and ASCII ids",
         largeMap({{QStringLiteral("abc"), 3}, {QStringLiteral("0042"), 4}})},
        {"words out of range", largeMap({{7, -1}, {8, qint64(0x100000000LL)}})},
        {"words of other kinds", largeMap({{9, true}, {10, QStringLiteral("x")}})},
        {"ids that are no ids",
         largeMap({{-3, 1}, {QString(), 2}, {QStringLiteral("ünï"), 5}, {2.5, 6}})},
    };
    for (const auto &c : cases) {
        RTServiceTwitter account;
        QCborMap archived = KeyedArchiver::archiveObject(&account).toMap();
        archived.insert(flagsKey, c.flags);
        const QByteArray bytes = KeyedArchiver::archivedData(QCborArray{archived});

        const TAServicesArchive::Decoded decoded = TAServicesArchive::decode(bytes);
        ASSERT_TRUE(decoded.error.isEmpty()) << c.what << ": " << decoded.error.toStdString();
        const auto restored =
            std::dynamic_pointer_cast<RTServiceTwitter>(decoded.services.value(0));
        ASSERT_TRUE(restored && restored->permanentMessageFlags()) << c.what;

        RTServiceTwitter fromTree;
        fromTree.decodeWithCoder(KeyedUnarchiver(archived));
        ASSERT_TRUE(fromTree.permanentMessageFlags()) << c.what;
        EXPECT_EQ(*restored->permanentMessageFlags(), *fromTree.permanentMessageFlags()) << c.what;
        EXPECT_GE(restored->permanentMessageFlags()->size(), 3000) << c.what;
    }

    // A map cut short in the middle of its words is damage, as before.
    RTServiceTwitter account;
    QCborMap archived = KeyedArchiver::archiveObject(&account).toMap();
    archived.insert(flagsKey, largeMap({}));
    const QByteArray whole = KeyedArchiver::archivedData(QCborArray{archived});
    const qsizetype at = whole.indexOf(QByteArray("permanentMessageFlags"));
    ASSERT_GT(at, 0);
    EXPECT_FALSE(TAServicesArchive::decode(whole.left(at + 2000)).error.isEmpty());
}
