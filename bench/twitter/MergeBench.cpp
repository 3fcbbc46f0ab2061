#include "json/TwitterPage.h"

#include "foundation/Clock.h"
#include "platform/fake/FakeKeychain.h"
#include "text/RTMessageTextParser.h"
#include "text/TextRegistration.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTwitterRequestTypes.h"
#include "twitter/RTTwitterResponseMapper.h"
#include "json/Json.h"

#include <QCoreApplication>
#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <malloc.h>
#include <new>

// Live heap bytes, counted by replacing the global allocation functions.
namespace {
std::atomic<long long> g_liveBytes{0};

void *counted(std::size_t size)
{
    void *p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    g_liveBytes.fetch_add(static_cast<long long>(malloc_usable_size(p)), std::memory_order_relaxed);
    return p;
}

void release(void *p)
{
    if (!p)
        return;
    g_liveBytes.fetch_sub(static_cast<long long>(malloc_usable_size(p)), std::memory_order_relaxed);
    std::free(p);
}
} // namespace

void *operator new(std::size_t size)
{
    return counted(size);
}
void *operator new[](std::size_t size)
{
    return counted(size);
}
void operator delete(void *p) noexcept
{
    release(p);
}
void operator delete[](void *p) noexcept
{
    release(p);
}
void operator delete(void *p, std::size_t) noexcept
{
    release(p);
}
void operator delete[](void *p, std::size_t) noexcept
{
    release(p);
}

namespace {

constexpr int kStoredMessages = 10000;

// Pages of statuses with ids below those of the measured page, from 100 authors.
QByteArray storedPage(int first, int count)
{
    QByteArray out = "[";
    for (int i = 0; i < count; ++i) {
        const int id = first + i;
        const int user = id % 100;
        if (i)
            out += ',';
        out += QStringLiteral(R"({"id":%1,"text":"stored status number %1 about @user%2 and )"
                              R"(http://example.com/%1","created_at":"Thu Dec 31 23:00:00 +0000 )"
                              R"(2009","source":"web","in_reply_to_status_id":null,)"
                              R"("user":{"id":%2,"screen_name":"user%2","name":"User %2",)"
                              R"("profile_image_url":"http://img/%2.png","followers_count":%1}})")
                   .arg(id)
                   .arg(user + 5000)
                   .toUtf8();
    }
    return out + "]";
}

struct Fixture
{
    FakeKeychain keychain;
    FakeClock clock;
    std::unique_ptr<RTServiceTwitter> account;
    RTServiceTwitter::MessagesDictionary messages;
    RTServiceTwitter::UsersDictionary users;
    QByteArray page = makeTwitterPage(200);
    double bytesPerMessage = 0;

    Fixture()
    {
        Keychain::setShared(&keychain);
        Clock::setShared(&clock);
        account = std::make_unique<RTServiceTwitter>();
        account->setServiceId(QStringLiteral("me"));
        account->setIsNewlyAdded(false);
        const long long before = g_liveBytes.load();
        for (int first = 1; first <= kStoredMessages; first += 200) {
            (void)RTTwitterResponseMapper::parseMessages(objectFromJSON(storedPage(first, 200)),
                                                         RTTwitterRequestHomeTimeline, *account);
        }
        bytesPerMessage = double(g_liveBytes.load() - before) / kStoredMessages;
        messages = account->messagesDictionary();
        users = account->usersDictionary();
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

// A new page of 200 statuses into the account with 10,000 messages; range(0) = 1 with the
// text layer's display bodies, 0 with the plain ones.
void BM_ParseMapMergeNewPage(benchmark::State &state)
{
    Fixture &f = fixture();
    if (state.range(0)) {
        registerTextLayerWithModel();
        RTTwitterResponseMapper::setMentionsFinder(&RTMessageTextParser::mentionsInMessageText);
    }
    for (auto _ : state) {
        state.PauseTiming();
        f.account->setMessagesDictionary(f.messages);
        f.account->setUsersDictionary(f.users);
        // Restoring the store from outside a merge drops the retweet index; rebuild it
        // here, as merges keep it up to date in the program.
        (void)f.account->repeatedMessagesWithId(QString());
        state.ResumeTiming();
        const auto result = RTTwitterResponseMapper::parseMessages(
            objectFromJSON(f.page), RTTwitterRequestHomeTimeline, *f.account);
        benchmark::DoNotOptimize(result.newMessages.size());
        if (result.newMessages.size() != 200)
            state.SkipWithError("page did not merge as new");
    }
    state.counters["us_per_status"] =
        benchmark::Counter(200.0 * double(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["heap_bytes_per_stored_message"] = f.bytesPerMessage;
}
BENCHMARK(BM_ParseMapMergeNewPage)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The same page again: every status is known, only flags merge.
void BM_ParseMapMergeKnownPage(benchmark::State &state)
{
    Fixture &f = fixture();
    f.account->setMessagesDictionary(f.messages);
    f.account->setUsersDictionary(f.users);
    (void)RTTwitterResponseMapper::parseMessages(objectFromJSON(f.page),
                                                 RTTwitterRequestHomeTimeline, *f.account);
    for (auto _ : state) {
        const auto result = RTTwitterResponseMapper::parseMessages(
            objectFromJSON(f.page), RTTwitterRequestHomeTimeline, *f.account);
        benchmark::DoNotOptimize(result.allMessages.size());
    }
    state.counters["us_per_status"] =
        benchmark::Counter(200.0 * double(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ParseMapMergeKnownPage)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
