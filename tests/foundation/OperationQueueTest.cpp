#include "foundation/OperationQueue.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMutex>
#include <QSemaphore>
#include <QThread>
#include <atomic>
#include <thread>
#include <vector>

namespace {

class FnOperation : public Operation
{
public:
    explicit FnOperation(std::function<void()> fn)
        : m_fn(std::move(fn))
    {
    }
    void main() override { m_fn(); }

private:
    std::function<void()> m_fn;
};

// Says, as it is destroyed, whether the shutdown had already returned.
class ProbeOperation : public Operation
{
public:
    ProbeOperation(const std::atomic<bool> &returned, std::atomic<int> &afterReturn)
        : m_returned(returned)
        , m_afterReturn(afterReturn)
    {
    }
    ~ProbeOperation() override
    {
        if (m_returned.load())
            ++m_afterReturn;
    }
    void main() override {}

private:
    const std::atomic<bool> &m_returned;
    std::atomic<int> &m_afterReturn;
};

std::shared_ptr<FnOperation> op(std::function<void()> fn)
{
    return std::make_shared<FnOperation>(std::move(fn));
}

// Tracks how many operations run at the same time.
struct ConcurrencyProbe
{
    std::atomic<int> running{0};
    std::atomic<int> peak{0};
    QSemaphore release;

    void enterAndHold()
    {
        const int now = ++running;
        int seen = peak.load();
        while (now > seen && !peak.compare_exchange_weak(seen, now)) {
        }
        release.acquire();
        --running;
    }
};

} // namespace

TEST(OperationQueueTest, WidthBoundsConcurrentOperations)
{
    struct Case
    {
        int width;
        int operations;
        int expectedPeak;
    };
    const Case cases[] = {{1, 4, 1}, {2, 6, 2}, {3, 8, 3}, {-1, 10, 10}};
    for (const Case &c : cases) {
        OperationQueue queue(c.width);
        ConcurrencyProbe probe;
        for (int i = 0; i < c.operations; ++i)
            queue.addOperation(op([&probe] { probe.enterAndHold(); }));
        // Let every operation that may start do so before any of them is released.
        for (int spins = 0; spins < 500 && probe.running.load() < c.expectedPeak; ++spins)
            QThread::msleep(2);
        EXPECT_EQ(probe.running.load(), c.expectedPeak) << "width " << c.width;
        EXPECT_EQ(queue.operationCount(), c.operations);
        probe.release.release(c.operations);
        queue.waitUntilAllOperationsAreFinished();
        EXPECT_EQ(probe.peak.load(), c.expectedPeak) << "width " << c.width;
        EXPECT_EQ(queue.operationCount(), 0);
    }
}

TEST(OperationQueueTest, HigherPriorityStartsFirstAndEqualPrioritiesKeepOrder)
{
    OperationQueue queue(1);
    QSemaphore gate;
    queue.addOperation(op([&gate] { gate.acquire(); })); // occupies the only worker

    QMutex mutex;
    std::vector<QString> order;
    const std::vector<std::pair<QString, int>> queued = {
        {"low", Operation::QueuePriorityLow},
        {"normal1", Operation::QueuePriorityNormal},
        {"veryLow", Operation::QueuePriorityVeryLow},
        {"veryHigh", Operation::QueuePriorityVeryHigh},
        {"normal2", Operation::QueuePriorityNormal},
        {"high", Operation::QueuePriorityHigh},
    };
    for (const auto &[name, priority] : queued) {
        auto o = op([&mutex, &order, n = name] {
            QMutexLocker lock(&mutex);
            order.push_back(n);
        });
        o->setQueuePriority(priority);
        queue.addOperation(o);
    }
    gate.release();
    queue.waitUntilAllOperationsAreFinished();
    const std::vector<QString> expected = {"veryHigh", "high", "normal1",
                                           "normal2",  "low",  "veryLow"};
    EXPECT_EQ(order, expected);
}

TEST(OperationQueueTest, CancelledOperationsNeverRunMainButFinish)
{
    OperationQueue queue(1);
    QSemaphore gate;
    std::atomic<bool> sawCancel{false};
    queue.addOperation(op([&gate] { gate.acquire(); }));
    std::atomic<int> ran{0};
    std::atomic<int> completed{0};
    std::vector<std::shared_ptr<FnOperation>> waiting;
    for (int i = 0; i < 5; ++i) {
        auto o = op([&ran] { ++ran; });
        o->setCompletionBlock([&completed] { ++completed; });
        waiting.push_back(o);
        queue.addOperation(o);
    }
    // A running operation sees the flag and may stop early.
    std::shared_ptr<FnOperation> runningOp;
    runningOp = op([&sawCancel, &runningOp, &gate] {
        gate.acquire();
        sawCancel = runningOp->isCancelled();
    });
    OperationQueue other(1);
    other.addOperation(runningOp);

    for (int spins = 0; spins < 500 && !runningOp->isExecuting(); ++spins)
        QThread::msleep(2);
    ASSERT_TRUE(runningOp->isExecuting());
    queue.cancelAllOperations();
    runningOp->cancel();
    gate.release(2);
    queue.waitUntilAllOperationsAreFinished();
    other.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(ran.load(), 0);
    EXPECT_EQ(completed.load(), 5);
    for (const auto &o : waiting) {
        EXPECT_TRUE(o->isFinished());
        EXPECT_TRUE(o->isCancelled());
    }
    EXPECT_TRUE(sawCancel.load());
}

TEST(OperationQueueTest, AddingTheSameOperationTwiceRunsItOnce)
{
    OperationQueue queue(2);
    std::atomic<int> ran{0};
    auto o = op([&ran] { ++ran; });
    queue.addOperation(o);
    queue.addOperation(o);
    queue.waitUntilAllOperationsAreFinished();
    o->waitUntilFinished();
    EXPECT_EQ(ran.load(), 1);
}

// The last answer taken by the main thread during a shutdown queues more work: the
// shutdown waits for it too, so no pool thread outlives it (one that does dies after the
// TLS library's exit cleanup and frees its thread state twice).
TEST(OperationQueueTest, ShutDownWaitsForWorkQueuedByTheLastAnswers)
{
    std::atomic<bool> returned{false};
    std::atomic<int> afterReturn{0};
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        QSemaphore started;
        QSemaphore gate;
        OperationQueue::forType(OperationQueue::ServiceRequests)
            .addOperation(op([&started, &gate, &returned, &afterReturn] {
                started.release();
                gate.acquire();
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(),
                    [&returned, &afterReturn] {
                        OperationQueue::forType(OperationQueue::ImmediateRequests)
                            .addOperation(std::make_shared<ProbeOperation>(returned, afterReturn));
                    },
                    Qt::QueuedConnection);
            }));
        started.acquire();
        std::thread opener([&gate] {
            QThread::msleep(20);
            gate.release();
        });
        returned = false;
        OperationQueue::shutDownAll();
        returned = true;
        opener.join();
        for (int type = 0; type < 4; ++type)
            EXPECT_EQ(OperationQueue::forType(type).operationCount(), 0);
    }
    EXPECT_EQ(afterReturn.load(), 0);
}
