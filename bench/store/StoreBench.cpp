// Saving and restoring a full store: two Twitter accounts with 50,000 flag words each,
// 1,000 pictures of 10 KB and 5,000 expanded links.
#include "accounts/AccountsRegistration.h"
#include "accounts/RTServiceRegistry.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/UrlKeys.h"
#include "store/TADataManager.h"
#include "store/TAServicesArchive.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/TwitterRegistration.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHashFunctions>
#include <QRandomGenerator>
#include <QTemporaryDir>

namespace {

constexpr int kMessagesPerAccount = 50000;
constexpr int kPictures = 1000;
constexpr int kPictureSize = 10 * 1024;
constexpr int kLinks = 5000;

const char *const kFiles[] = {"services.dat", "images.dat", "images.idx", "urls.dat", "urls.idx"};

RTServicePtr twitterAccount(const QString &name, qint64 firstId)
{
    auto account = std::dynamic_pointer_cast<RTServiceTwitter>(
        createServiceOfClass(QStringLiteral("RTServiceTwitter")));
    account->setServiceId(name);
    RTServiceTwitter::MessagesDictionary messages;
    messages.reserve(kMessagesPerAccount);
    const QDateTime base = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    for (int i = 0; i < kMessagesPerAccount; ++i) {
        auto message = RTMessageTwitter::create(QString::number(firstId + i));
        message->setCreatedAt(base.addSecs(i));
        message->setPermanentFlags(0x00010000u | (quint32(i) & 0x00060000u));
        messages.insert(message->messageId(), message);
    }
    account->setMessagesDictionary(messages);
    return account;
}

qsizetype storedFlagWords(const TADataManager &manager, const QString &name)
{
    const auto account =
        std::dynamic_pointer_cast<RTServiceTwitter>(manager.serviceWithServiceId(name, 2));
    const auto flags = account ? account->permanentMessageFlags() : std::nullopt;
    return flags ? flags->size() : -1;
}

// The store, filled once and shared by the benchmarks.
struct Fixture
{
    Fixture()
    {
        registerAccountArchiveClasses();
        registerTwitterArchiveClasses();
        manager = std::make_unique<TADataManager>(dir.path(), &registry);
        RTServiceList services{twitterAccount(QStringLiteral("alice"), 1400000000000000000LL),
                               twitterAccount(QStringLiteral("bob"), 1500000000000000000LL)};
        services += registry.services();
        registry.setServices(services);
        QRandomGenerator rng(1);
        for (int i = 0; i < kPictures; ++i) {
            QByteArray data(kPictureSize, Qt::Uninitialized);
            rng.fillRange(reinterpret_cast<quint32 *>(data.data()), kPictureSize / 4);
            manager->newImageDownloaded(
                {{kRTImageURLKey,
                  QStringLiteral("http://pbs.example/profile_images/%1/a.png").arg(i)},
                 {kRTImageDataKey, data}});
        }
        for (int i = 0; i < kLinks; ++i)
            manager->urlCache().setValue(
                dotlessUrl(QStringLiteral("http://bit.ly/%1").arg(i, 6, 36)),
                QStringLiteral("http://www.example.com/articles/%1/a-long-title").arg(i));
    }
    void removeFiles() const
    {
        for (const char *name : kFiles)
            QFile::remove(dir.filePath(QLatin1String(name)));
    }
    void reportSizes(benchmark::State &state) const
    {
        for (const char *name : kFiles)
            state.counters[name] = double(QFileInfo(dir.filePath(QLatin1String(name))).size());
    }
    QTemporaryDir dir;
    RTServiceRegistry registry;
    std::unique_ptr<TADataManager> manager;
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

// Every file written: what the first save after a change of everything costs.
void BM_SaveStore(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        f.removeFiles();
        state.ResumeTiming();
        f.manager->saveCachesToDisk();
    }
    f.reportSizes(state);
}
BENCHMARK(BM_SaveStore)->Unit(benchmark::kMillisecond)->UseRealTime();

// The timer's save when nothing changed: the accounts are archived and compared.
void BM_SaveStoreUnchanged(benchmark::State &state)
{
    Fixture &f = fixture();
    f.manager->saveCachesToDisk();
    for (auto _ : state)
        f.manager->saveCachesToDisk();
}
BENCHMARK(BM_SaveStoreUnchanged)->Unit(benchmark::kMillisecond)->UseRealTime();

// The accounts' archive alone, the bulk of a full save: 2 x 50,000 flag words.
void BM_EncodeServices(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(TAServicesArchive::encode(f.registry.services()));
}
BENCHMARK(BM_EncodeServices)->Unit(benchmark::kMillisecond);

void BM_RestoreStore(benchmark::State &state)
{
    Fixture &f = fixture();
    f.manager->saveCachesToDisk();
    // A restore runs in a new process, whose hashes have another seed: read with the
    // seed of the process that wrote, ids in the writer's hash order would fill the new
    // hashes bucket after bucket, which no real start sees.
    QHashSeed::resetRandomGlobalSeed();
    for (auto _ : state) {
        RTServiceRegistry registry;
        auto restored = std::make_unique<TADataManager>(f.dir.path(), &registry);
        benchmark::DoNotOptimize(restored->services().size());
        state.PauseTiming();
        if (restored->services().size() != f.registry.services().size() ||
            restored->imageCache().count() != kPictures || restored->urlCache().count() != kLinks ||
            storedFlagWords(*restored, QStringLiteral("alice")) != kMessagesPerAccount)
            state.SkipWithError("the restored store differs from the saved one");
        restored->setSavingEnabled(false);
        restored.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_RestoreStore)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
