#include "accounts/AccountsRegistration.h"
#include "accounts/RTServiceRegistry.h"
#include "accounts/RTShortenerService.h"
#include "foundation/KeyedArchive.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/UrlKeys.h"
#include "networks/NetworksRegistration.h"
#include "platform/fake/FakeKeychain.h"
#include "store/TAAccounts.h"
#include "store/TADataManager.h"
#include "store/TASearcherInterface.h"
#include "store/TAServicesArchive.h"
#include "store/TAStoreFiles.h"
#include "support/TestSupport.h"
#include "twitter/TwitterRegistration.h"

#include <gtest/gtest.h>

#include <QCborArray>
#include <QCborMap>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QUuid>
#include <unistd.h>

namespace {

const QStringList kDefaultClasses = {
    "RTServiceTrim",   "RTServiceBitly",   "RTServiceCligs",   "RTServiceIsgd",  "RTServiceTinyurl",
    "RTServiceUnu",    "RTServiceJmp",     "RTServiceTwitpic", "RTServiceYfrog", "RTServiceImgly",
    "RTServiceTwicli", "RTServiceTwitgoo", "RTServiceTalvo",
};

QString freshFolder()
{
    const QString folder =
        testTempDir() + QLatin1String("/store-") + QUuid::createUuid().toString(QUuid::Id128);
    QDir().mkpath(folder);
    return folder;
}

QStringList classNames(const RTServiceList &services)
{
    QStringList names;
    for (const RTServicePtr &s : services)
        names.append(QString::fromLatin1(s->metaObject()->className()));
    return names;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// A store on its own folder and registry.
struct Store
{
    explicit Store(const QString &dir)
        : folder(dir)
        , manager(std::make_unique<TADataManager>(dir, &registry))
    {
    }
    QString path(const char *name) const { return folder + QLatin1Char('/') + name; }
    QString folder;
    RTServiceRegistry registry;
    std::unique_ptr<TADataManager> manager;
};

RTServicePtr account(const char *cls, const char *id)
{
    RTServicePtr s = createServiceOfClass(QLatin1String(cls));
    s->setServiceId(QLatin1String(id));
    return s;
}

// Records which files a save writes.
struct WriteRecorder
{
    WriteRecorder()
    {
        TAStoreFiles::setBeforeCommitHookForTesting([this](const QString &path) {
            written.append(QFileInfo(path).fileName());
            return true;
        });
    }
    ~WriteRecorder() { TAStoreFiles::setBeforeCommitHookForTesting(nullptr); }
    QStringList take()
    {
        QStringList out = written;
        out.sort();
        written.clear();
        return out;
    }
    QStringList written;
};

} // namespace

class DataManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        registerAccountArchiveClasses();
        registerNetworksClasses();
    }
};

TEST_F(DataManagerTest, EmptyFolderStartsWithDefaultServicesInOrder)
{
    Store store(freshFolder());
    EXPECT_EQ(classNames(store.manager->services()), kDefaultClasses);
    for (const RTServicePtr &s : store.manager->services()) {
        if (auto *shortener = dynamic_cast<RTShortenerService *>(s.get())) {
            EXPECT_TRUE(shortener->isAnonymous());
        }
    }
    EXPECT_TRUE(store.manager->servicesRestoreError().isEmpty());
    EXPECT_EQ(store.manager->imageCache().count(), 0);
    EXPECT_EQ(store.manager->urlCache().count(), 0);
    EXPECT_FALSE(store.manager->hasTwitterServices());
}

TEST_F(DataManagerTest, SaveAndRestoreKeepServicesOrderAndCaches)
{
    const QString folder = freshFolder();
    {
        Store store(folder);
        // Saved accounts come first on the next start; the anonymous bit.ly instance
        // among the defaults counts as present, the bit.ly account does not.
        RTServiceList services{account("RTServicePingfm", "pat"), account("RTServiceBitly", "bob"),
                               account("RTServiceFacebook", "fay")};
        services += store.manager->services();
        store.registry.setServices(services);
        store.manager->newImageDownloaded(
            {{kRTImageURLKey, QStringLiteral("http://p.example/\u00e9.png")},
             {kRTImageDataKey, QByteArray("\x89PNG\0data", 9)}});
        store.manager->urlCache().setValue(dotlessUrl(QStringLiteral("http://t.co/x")),
                                           QStringLiteral("http://long.example/x"));
        store.manager->saveCachesToDisk();
        for (const char *name :
             {"services.dat", "images.dat", "images.idx", "urls.dat", "urls.idx"})
            EXPECT_TRUE(QFile::exists(store.path(name))) << name;
    }
    Store again(folder);
    EXPECT_TRUE(again.manager->servicesRestoreError().isEmpty());
    QStringList expected{"RTServicePingfm", "RTServiceBitly", "RTServiceFacebook"};
    expected += kDefaultClasses;
    EXPECT_EQ(classNames(again.manager->services()), expected);
    EXPECT_EQ(again.manager->services().at(1)->serviceId(), QLatin1String("bob"));
    for (const RTServicePtr &s : again.manager->services())
        EXPECT_FALSE(s->isNewlyAdded());
    EXPECT_EQ(again.manager->getImageForUrl(QStringLiteral("http://p.example/\u00e9.png")),
              QByteArray("\x89PNG\0data", 9));
    EXPECT_EQ(again.manager->urlCache().value(dotlessUrl(QStringLiteral("http://t.co/x"))),
              QLatin1String("http://long.example/x"));
}

TEST_F(DataManagerTest, SaveWritesOnlyFilesWhoseContentChanged)
{
    const QString folder = freshFolder();
    Store store(folder);
    WriteRecorder writes;
    store.manager->saveCachesToDisk();
    EXPECT_EQ(writes.take(),
              (QStringList{"images.dat", "images.idx", "services.dat", "urls.dat", "urls.idx"}));
    store.manager->saveCachesToDisk();
    EXPECT_EQ(writes.take(), QStringList());

    store.manager->newImageDownloaded(
        {{kRTImageURLKey, QStringLiteral("http://p/1")}, {kRTImageDataKey, QByteArray("one")}});
    store.manager->saveCachesToDisk();
    EXPECT_EQ(writes.take(), (QStringList{"images.dat", "images.idx"}));

    store.manager->urlCache().setValue(QStringLiteral("k"), QStringLiteral("v"));
    store.manager->addService(account("RTServiceFacebook", "fay"));
    store.manager->saveCachesToDisk();
    EXPECT_EQ(writes.take(), (QStringList{"services.dat", "urls.dat"}));

    // A restart reads what is there and writes nothing until something changes.
    store.manager.reset();
    store.manager = std::make_unique<TADataManager>(folder, &store.registry);
    store.manager->saveCachesToDisk();
    EXPECT_EQ(writes.take(), QStringList());

    // A file removed behind our back is written again.
    QFile::remove(store.path("urls.idx"));
    store.manager->saveCachesToDisk();
    EXPECT_EQ(writes.take(), QStringList{"urls.idx"});

    store.manager->setSavingEnabled(false);
    store.manager->urlCache().setValue(QStringLiteral("k2"), QStringLiteral("v2"));
    store.manager->saveCachesToDisk();
    EXPECT_EQ(writes.take(), QStringList());
    EXPECT_FALSE(store.manager->saveCachedDataTimer()->isActive());
}

TEST_F(DataManagerTest, TurningSavingOffAlsoStopsTheSaveAtQuit)
{
    ASSERT_TRUE(QCoreApplication::instance());
    for (const bool enabled : {true, false}) {
        SCOPED_TRACE(enabled ? "saving on" : "saving off");
        const QString folder = freshFolder();
        Store store(folder);
        store.manager->setSavingEnabled(enabled);
        // The user deleted the application data before quitting.
        ASSERT_TRUE(QDir(folder).removeRecursively());
        WriteRecorder writes;
        QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit",
                                  Qt::DirectConnection);
        EXPECT_EQ(QDir(folder).exists(), enabled);
        EXPECT_EQ(writes.take().size(), enabled ? 5 : 0);
    }
}

TEST_F(DataManagerTest, DamagedServicesFileGivesDefaultsAndIsKeptUntilNextSave)
{
    const QString folder = freshFolder();
    QByteArray good;
    {
        Store store(folder);
        store.manager->addService(account("RTServiceFacebook", "fay"));
        store.manager->addService(account("RTServicePingfm", "pat"));
        store.manager->saveCachesToDisk();
        good = readFile(store.path("services.dat"));
    }
    ASSERT_GT(good.size(), 100);

    auto archiveWith = [](const QCborValue &entry) {
        return QCborValue(QCborArray{entry}).toCbor();
    };
    QCborMap unknownClass{{QStringLiteral("$class"), QStringLiteral("RTServiceFromTheFuture")}};
    QCborMap wrongType{{QStringLiteral("$class"), QStringLiteral("RTServiceFacebook")},
                       {QStringLiteral("serviceId"), 42}};
    QCborMap notAService{{QStringLiteral("$class"), QStringLiteral("RTServiceFacebook")},
                         {QStringLiteral("serviceName"), QCborMap()}};
    QByteArray random(4096, '\0');
    QRandomGenerator rng(7);
    for (char &c : random)
        c = char(rng.bounded(256));

    const std::pair<const char *, QByteArray> cases[] = {
        {"empty", QByteArray()},
        {"truncated to one byte", good.left(1)},
        {"truncated in the middle", good.left(good.size() / 2)},
        {"truncated by one byte", good.left(good.size() - 1)},
        {"trailing garbage", good + QByteArray("xx")},
        {"random bytes", random},
        {"deeply nested", QByteArray(100000, '\x81') + QByteArray(1, '\0')},
        {"a map at the root", QCborValue(QCborMap{{1, 2}}).toCbor()},
        {"an entry that is not a map", archiveWith(QStringLiteral("service"))},
        {"an entry without a class", archiveWith(QCborMap{{QStringLiteral("serviceId"), 1}})},
        {"an unknown class", archiveWith(unknownClass)},
        {"a field of the wrong type", archiveWith(wrongType)},
        {"a string field holding a map", archiveWith(notAService)},
    };
    for (const auto &[name, bytes] : cases) {
        SCOPED_TRACE(name);
        const QString dir = freshFolder();
        writeFile(dir + QLatin1String("/services.dat"), bytes);
        Store store(dir);
        EXPECT_EQ(classNames(store.manager->services()), kDefaultClasses);
        EXPECT_FALSE(store.manager->servicesRestoreError().isEmpty());
        // Left in place, and a copy kept for recovery.
        EXPECT_EQ(readFile(store.path("services.dat")), bytes);
        EXPECT_EQ(readFile(store.path("services.dat.damaged")), bytes);
        store.manager->saveCachesToDisk();
        EXPECT_TRUE(
            TAServicesArchive::decode(readFile(store.path("services.dat"))).error.isEmpty());
    }

    // Unknown keys are ignored and missing keys keep their defaults.
    QCborMap sparse{{QStringLiteral("$class"), QStringLiteral("RTServicePingfm")},
                    {QStringLiteral("serviceId"), QStringLiteral("pat")},
                    {QStringLiteral("someFutureKey"), QCborArray{1, 2, 3}}};
    const QString dir = freshFolder();
    writeFile(dir + QLatin1String("/services.dat"), archiveWith(sparse));
    Store store(dir);
    EXPECT_TRUE(store.manager->servicesRestoreError().isEmpty());
    ASSERT_EQ(store.manager->services().size(), kDefaultClasses.size() + 1);
    EXPECT_EQ(store.manager->services().first()->serviceId(), QLatin1String("pat"));
    EXPECT_TRUE(store.manager->services().first()->showPopupNotifications());
}

TEST_F(DataManagerTest, DamagedCacheFilesStartEmptyWithoutTouchingServices)
{
    const QString folder = freshFolder();
    {
        Store store(folder);
        store.manager->addService(account("RTServiceFacebook", "fay"));
        store.manager->saveCachesToDisk();
    }
    writeFile(folder + QLatin1String("/images.dat"), QByteArray("\xbf\x61", 2));
    writeFile(folder + QLatin1String("/urls.dat"), QCborValue(QCborArray{1}).toCbor());
    Store store(folder);
    EXPECT_EQ(store.manager->imageCache().count(), 0);
    EXPECT_EQ(store.manager->urlCache().count(), 0);
    EXPECT_NE(store.manager->serviceWithServiceId(QStringLiteral("fay"), 3), nullptr);
}

TEST_F(DataManagerTest, InterruptedSaveLeavesThePreviousFileWhole)
{
    const QString folder = freshFolder();
    Store store(folder);
    store.manager->addService(account("RTServiceFacebook", "fay"));
    store.manager->saveCachesToDisk();
    const QByteArray before = readFile(store.path("services.dat"));
    store.manager->addService(account("RTServicePingfm", "pat"));

    // The write fails once the new content is complete beside the old file, which stays
    // as it was.
    bool interrupted = false;
    TAStoreFiles::setBeforeCommitHookForTesting([&](const QString &path) {
        if (!path.endsWith(QLatin1String("services.dat")))
            return true;
        interrupted = readFile(path) == before;
        return false;
    });
    store.manager->saveCachesToDisk();
    TAStoreFiles::setBeforeCommitHookForTesting(nullptr);
    EXPECT_TRUE(interrupted);
    EXPECT_EQ(readFile(store.path("services.dat")), before);
    EXPECT_EQ(TAServicesArchive::decode(before).services.size(), 14);

    // The next save retries and succeeds.
    store.manager->saveCachesToDisk();
    EXPECT_EQ(TAServicesArchive::decode(readFile(store.path("services.dat"))).services.size(), 15);

    // A process killed in the middle of the write leaves the old file readable too.
    const QByteArray committed = readFile(store.path("services.dat"));
    store.manager->addService(account("RTServiceBitly", "bob"));
    EXPECT_EXIT(
        {
            TAStoreFiles::setBeforeCommitHookForTesting([](const QString &) -> bool { _exit(3); });
            store.manager->saveCachesToDisk();
        },
        ::testing::ExitedWithCode(3), "");
    EXPECT_EQ(readFile(store.path("services.dat")), committed);
    Store restarted(folder);
    EXPECT_TRUE(restarted.manager->servicesRestoreError().isEmpty());
    EXPECT_EQ(restarted.manager->services().size(), 15);
}

TEST_F(DataManagerTest, TemporaryFilesOfKilledWritesAreRemovedAtStart)
{
    const QString folder = freshFolder();
    const QDateTime old = QDateTime::currentDateTimeUtc().addSecs(-3600);
    const struct
    {
        const char *name;
        bool old;
        bool removed;
    } files[] = {
        {"services.dat.Ab12xY", true, true},   {"images.idx.9QzK0p", true, true},
        {"urls.dat.Qw34eR", false, false},    // may be another process's write in progress
        {"services.dat.backup", true, false}, // a word: the user's own copy
        {"services.dat.Ab12xY7", true, false}, {"notes.txt.Ab12xY", true, false},
    };
    for (const auto &f : files) {
        QFile file(folder + QLatin1Char('/') + QLatin1String(f.name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("partial");
        file.close(); // a write still buffered would move the time again
        if (f.old) {
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            ASSERT_TRUE(file.setFileTime(old, QFileDevice::FileModificationTime));
        }
    }
    Store store(folder);
    for (const auto &f : files)
        EXPECT_EQ(QFile::exists(store.path(f.name)), !f.removed) << f.name;
}

TEST_F(DataManagerTest, StartupStartsServicesInRegistryOrderThenTheSearcher)
{
    Store store(freshFolder());
    TADataManager &dm = *store.manager;
    // A kind whose start sends no request (a Facebook account would poll its feed).
    const RTServicePtr moby = account("RTServiceMobypicture", "moby");
    const RTServicePtr bob = account("RTServiceBitly", "bob");
    dm.addServiceArray({moby, bob});

    struct Searcher : TASearcherInterface
    {
        explicit Searcher(QStringList *log)
            : m_log(log)
        {
        }
        void start() override { m_log->append(QStringLiteral("searcher")); }
        QStringList *m_log;
    };
    QStringList started;
    for (const RTServicePtr &s : dm.services()) {
        RTService *service = s.get();
        QObject::connect(service, &RTService::runningChanged, [&started, service](bool running) {
            if (running)
                started.append(QString::fromLatin1(service->metaObject()->className()));
        });
    }
    dm.setSearcher(std::make_shared<Searcher>(&started));
    dm.startupServices();
    QStringList expected = kDefaultClasses;
    expected << "RTServiceMobypicture"
             << "RTServiceBitly"
             << "searcher";
    EXPECT_EQ(started, expected);
}

TEST_F(DataManagerTest, RestoreHooksSeeTheCompleteRegistry)
{
    // Hooks stay for the whole process, so this one holds its own record.
    auto seen = std::make_shared<QList<qsizetype>>();
    TADataManager::addAfterRestoreHook(
        [seen](TADataManager &dm) { seen->append(dm.services().size()); });
    const QString folder = freshFolder();
    {
        Store store(folder);
        store.manager->addService(account("RTServiceFacebook", "fay"));
        store.manager->saveCachesToDisk();
    }
    Store again(folder);
    EXPECT_EQ(*seen, (QList<qsizetype>{kDefaultClasses.size(), kDefaultClasses.size() + 1}));
}

TEST_F(DataManagerTest, SharedManagerCanBeStartedAfresh)
{
    const QString folder = freshFolder();
    TADataManager::resetSharedManagerForTesting(folder);
    TADataManager &first = TADataManager::sharedManager();
    EXPECT_EQ(&first, &TADataManager::sharedManager());
    EXPECT_EQ(first.files().folder(), folder);
    first.addService(account("RTServiceFacebook", "fay"));
    first.saveCachesToDisk();
    TADataManager::resetSharedManagerForTesting(folder);
    TADataManager &second = TADataManager::sharedManager();
    EXPECT_NE(second.serviceWithServiceId(QStringLiteral("fay"), 3), nullptr);
    EXPECT_EQ(second.services().size(), kDefaultClasses.size() + 1);
    EXPECT_EQ(&RTServiceRegistry::shared().services(), &second.services());
    TADataManager::resetSharedManagerForTesting();
}

TEST_F(DataManagerTest, AccountsAreFoundByKindAndNameAndRemovedWithTheirKeyringItems)
{
    registerTwitterArchiveClasses();
    FakeKeychain keychain;
    Keychain::setShared(&keychain);
    const QString folder = freshFolder();
    {
        Store store(folder);
        RTServicePtr twitter = account("RTServiceTwitter", "alice");
        RTServicePtr facebook = account("RTServiceFacebook", "alice");
        RTServicePtr bob = account("RTServiceTwitter", "bob");
        store.manager->addServiceArray({twitter, facebook, bob});
        ASSERT_TRUE(twitter->setServicePassword(QStringLiteral("secret")));
        twitter->setOAuthTokenPair(QStringLiteral("token"), QStringLiteral("tsecret"));
        ASSERT_TRUE(facebook->setServicePassword(QStringLiteral("other")));

        const struct
        {
            const char *text;
            RTServicePtr found;
            bool ambiguous;
        } cases[] = {
            {"alice", nullptr, true}, // a Twitter and a Facebook account
            {"twitter:alice", twitter, false},
            {"TWITTER:Alice", twitter, false},
            {"facebook:alice", facebook, false},
            {"Bob", bob, false},
            {"carol", nullptr, false},
            {"twitter:", nullptr, false},
        };
        for (const auto &c : cases) {
            SCOPED_TRACE(c.text);
            bool ambiguous = !c.ambiguous;
            EXPECT_EQ(TAAccounts::findAccount(*store.manager, QLatin1String(c.text), &ambiguous),
                      c.found);
            EXPECT_EQ(ambiguous, c.ambiguous);
        }

        const TAAccounts::Removal removal = TAAccounts::removeAccount(*store.manager, twitter);
        EXPECT_TRUE(removal.removed);
        EXPECT_TRUE(removal.keychainCleared);
        EXPECT_TRUE(twitter->isDeleted());
        // Only alice's Twitter items go; her Facebook password stays.
        ASSERT_EQ(keychain.items.size(), 1u);
        EXPECT_EQ(std::get<3>(keychain.items.begin()->first), QStringLiteral("Talvo facebook"));
        EXPECT_FALSE(TAAccounts::removeAccount(*store.manager, twitter).removed);

        // A keyring that stops answering cannot confirm the secrets are gone.
        keychain.forcedStatus = Keychain::Status::Unavailable;
        const TAAccounts::Removal blind = TAAccounts::removeAccount(*store.manager, facebook);
        EXPECT_TRUE(blind.removed);
        EXPECT_FALSE(blind.keychainCleared);
        EXPECT_TRUE(blind.message.contains(QLatin1String("alice")));
        keychain.forcedStatus = Keychain::Status::Success;
    }
    // The removal was written at once: the next start no longer has the accounts.
    Store again(folder);
    EXPECT_EQ(TAAccounts::userAccounts(*again.manager).size(), 1);
    EXPECT_EQ(TAAccounts::identifier(*TAAccounts::userAccounts(*again.manager).first()),
              QStringLiteral("twitter:bob"));
    Keychain::setShared(nullptr);
}
