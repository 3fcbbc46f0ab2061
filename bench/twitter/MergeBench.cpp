#include "common/MallocCounter.h"
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
#include <benchmark/benchmark.h>

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
        const long long before = liveHeapBytes();
        for (int first = 1; first <= kStoredMessages; first += 200) {
            (void)RTTwitterResponseMapper::parseMessages(objectFromJSON(storedPage(first, 200)),
                                                         RTTwitterRequestHomeTimeline, *account);
        }
        bytesPerMessage = double(liveHeapBytes() - before) / kStoredMessages;
        messages = account->messagesDictionary();
        users = account->usersDictionary();
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

// A store of count messages built by merging pages, as polls build it.
std::unique_ptr<RTServiceTwitter> filledAccount(int count)
{
    auto account = std::make_unique<RTServiceTwitter>();
    account->setServiceId(QStringLiteral("me"));
    account->setIsNewlyAdded(false);
    for (int first = 1; first <= count; first += 200) {
        (void)RTTwitterResponseMapper::parseMessages(objectFromJSON(storedPage(first, 200)),
                                                     RTTwitterRequestHomeTimeline, *account);
    }
    return account;
}

// Heap per stored message, counted at malloc: range(0) messages, range(1) = 1 with the
// text layer's display bodies. beyond_text leaves out the UTF-16 bytes of the body.
void BM_HeapPerStoredMessage(benchmark::State &state)
{
    Fixture &f = fixture();
    (void)f;
    const int count = int(state.range(0));
    if (state.range(1)) {
        registerTextLayerWithModel();
        RTTwitterResponseMapper::setMentionsFinder(&RTMessageTextParser::mentionsInMessageText);
    }
    double perMessage = 0;
    double textBytes = 0;
    double bodiesBytes = 0;
    for (auto _ : state) {
        const long long before = liveHeapBytes();
        auto account = filledAccount(count);
        perMessage = double(liveHeapBytes() - before) / count;
        qsizetype text = 0;
        for (const auto &message : account->messagesDictionary())
            text += message->body().size() * qsizetype(sizeof(QChar));
        textBytes = double(text) / count;
        if (account->messagesDictionary().size() != count)
            state.SkipWithError("the store does not hold every message");
        if (state.range(1)) {
            // What display bodies cost once asked for (the windows draw from their own
            // bounded cache, so the program asks for few).
            state.PauseTiming();
            const long long built = liveHeapBytes();
            for (const auto &message : account->messagesDictionary())
                (void)message->attributedBodyForRequestType(0);
            bodiesBytes = double(liveHeapBytes() - built) / count;
            state.ResumeTiming();
        }
    }
    state.counters["bytes_per_message"] = perMessage;
    state.counters["text_bytes"] = textBytes;
    state.counters["beyond_text"] = perMessage - textBytes;
    if (state.range(1))
        state.counters["bodies_once_built"] = bodiesBytes;
}
BENCHMARK(BM_HeapPerStoredMessage)
    ->Args({10000, 0})
    ->Args({100000, 0})
    ->Args({10000, 1})
    ->Args({100000, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Mapping and merging a new 200-status page (already read) into an account holding
// range(0) messages: the cost should not grow with the store.
void BM_MergeNewPage(benchmark::State &state)
{
    Fixture &f = fixture();
    const auto account = filledAccount(int(state.range(0)));
    const RTServiceTwitter::MessagesDictionary stored = account->messagesDictionary();
    const RTServiceTwitter::UsersDictionary users = account->usersDictionary();
    const JsonValue statuses = objectFromJSON(f.page);
    for (auto _ : state) {
        state.PauseTiming();
        {
            // A store of its own, as the program's is: nothing else shares it.
            RTServiceTwitter::MessagesDictionary own = stored;
            own.detach();
            account->setMessagesDictionary(own);
        }
        {
            RTServiceTwitter::UsersDictionary own = users;
            own.detach();
            account->setUsersDictionary(own);
        }
        (void)account->repeatedMessagesWithId(QString());
        state.ResumeTiming();
        const auto result = RTTwitterResponseMapper::parseMessages(
            statuses, RTTwitterRequestHomeTimeline, *account);
        if (result.newMessages.size() != 200)
            state.SkipWithError("page did not merge as new");
    }
}
BENCHMARK(BM_MergeNewPage)->Arg(10000)->Arg(50000)->Unit(benchmark::kMicrosecond);

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
