#include "TestHttpServer.h"

#include "foundation/OperationQueue.h"
#include "http/HttpRequest.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

struct Round
{
    std::vector<std::shared_ptr<HttpRequest>> stalled;
    std::vector<std::shared_ptr<HttpRequest>> quick;
    // Started by answers that arrived during the shutdown.
    std::vector<std::shared_ptr<HttpRequest>> followUps;
    bool shuttingDown = false;
    std::vector<std::weak_ptr<Operation>> operations;
};

} // namespace

// Quitting with requests queued, in flight and waiting to hand their answers to the main
// thread: every one is cancelled or answered, and every worker has let go of its
// operation before the shutdown returns. Answers that start new requests during the
// shutdown start nothing.
TEST(Shutdown, CancelsAndJoinsEveryRequestInFlight)
{
    TestHttpServer s;
    // A stalled answer is held until its round is over, so the server's threads are free
    // again for the next round.
    std::atomic<int> roundsOver{0};
    s.server().Get("/stall", [&](const httplib::Request &req, httplib::Response &res) {
        const int round = std::stoi(req.get_param_value("round"));
        for (int i = 0; i < 2000 && roundsOver.load() == round && !s.stopping(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        res.set_content("late", "text/plain");
    });
    s.server().Get("/quick", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("ok", "text/plain");
    });
    s.start();

    auto queueRequest = [](Round &round, const QUrl &url, int type) {
        auto r = HttpRequest::requestWithURL(url);
        r->setTimeOutSeconds(30);
        auto operation = r->operation();
        round.operations.push_back(operation);
        OperationQueue::forType(type).addOperation(operation);
        return r;
    };

    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        Round round;
        for (int type = 0; type < 4; ++type) {
            for (int n = 0; n < 3; ++n)
                round.stalled.push_back(
                    queueRequest(round, s.url(QStringLiteral("/stall?round=%1").arg(i)), type));
        }
        for (int n = 0; n < 4; ++n) {
            auto r = queueRequest(round, s.url(QStringLiteral("/quick")),
                                  OperationQueue::ImmediateRequests);
            r->setDidFinishSelector([&](HttpRequest *) {
                auto next = queueRequest(round, s.url(QStringLiteral("/quick")),
                                         OperationQueue::ServiceRequests);
                if (round.shuttingDown)
                    round.followUps.push_back(next);
            });
            round.quick.push_back(r);
        }
        // Let some reach the server and some answers wait for the main thread.
        waitUntil([] { return false; }, 5 * (i % 4));

        round.shuttingDown = true;
        OperationQueue::shutDownAll();

        for (int type = 0; type < 4; ++type)
            EXPECT_EQ(OperationQueue::forType(type).operationCount(), 0);
        for (const auto &operation : round.operations)
            EXPECT_TRUE(operation.expired());
        for (const auto &r : round.stalled) {
            // Queued ones never started; started ones were cut off.
            EXPECT_TRUE(!r->complete() || r->error().code() == HttpErrorCode::RequestCancelled);
        }
        for (const auto &r : round.followUps)
            EXPECT_FALSE(r->complete());
        ++roundsOver;
    }

    // The queues work again afterwards.
    auto after = HttpRequest::requestWithURL(s.url(QStringLiteral("/quick")));
    bool done = false;
    after->setDidFinishSelector([&done](HttpRequest *) { done = true; });
    after->startAsynchronous();
    EXPECT_TRUE(waitUntil([&] { return done; }));
    EXPECT_EQ(after->responseString(), QStringLiteral("ok"));
}
