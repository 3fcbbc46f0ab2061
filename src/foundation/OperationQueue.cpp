#include "foundation/OperationQueue.h"

#include "foundation/Log.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutex>
#include <QRunnable>
#include <QThread>
#include <QThreadPool>
#include <QWaitCondition>
#include <array>
#include <cstdlib>

namespace {

std::atomic<bool> g_shuttingDown{false};
// Operations added while shutting down; the shutdown goes round until none come.
std::atomic<int> g_addedWhileShuttingDown{0};

// Stands in for "no limit": the pool still needs a number, and threads are only started
// when there is work for them.
constexpr int kUnlimitedWidth = 64;

int nearestPriorityLevel(int priority)
{
    static constexpr std::array levels{
        Operation::QueuePriorityVeryLow,  Operation::QueuePriorityLow,
        Operation::QueuePriorityNormal,   Operation::QueuePriorityHigh,
        Operation::QueuePriorityVeryHigh,
    };
    int best = levels.front();
    for (int level : levels) {
        if (std::abs(priority - level) < std::abs(priority - best))
            best = level;
    }
    return best;
}

} // namespace

struct Operation::State
{
    std::atomic<bool> cancelled{false};
    std::atomic<bool> executing{false};
    std::atomic<bool> queued{false};
    std::atomic<int> priority{QueuePriorityNormal};
    std::function<void()> completion;

    QMutex mutex;
    QWaitCondition finishedCondition;
    bool finished = false;
};

Operation::Operation()
    : m_state(std::make_unique<State>())
{
}

Operation::~Operation() = default;

void Operation::cancel()
{
    m_state->cancelled.store(true);
}

bool Operation::isCancelled() const
{
    return m_state->cancelled.load();
}

bool Operation::isExecuting() const
{
    return m_state->executing.load();
}

bool Operation::isFinished() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->finished;
}

int Operation::queuePriority() const
{
    return m_state->priority.load();
}

void Operation::setQueuePriority(int priority)
{
    m_state->priority.store(nearestPriorityLevel(priority));
}

void Operation::setCompletionBlock(std::function<void()> block)
{
    m_state->completion = std::move(block);
}

void Operation::waitUntilFinished()
{
    QMutexLocker lock(&m_state->mutex);
    while (!m_state->finished)
        m_state->finishedCondition.wait(&m_state->mutex);
}

void Operation::runFromQueue()
{
    if (!isCancelled()) {
        m_state->executing.store(true);
        main();
        m_state->executing.store(false);
    }
    if (m_state->completion)
        m_state->completion();
    QMutexLocker lock(&m_state->mutex);
    m_state->finished = true;
    m_state->finishedCondition.wakeAll();
}

struct OperationQueue::Shared
{
    QMutex mutex;
    QWaitCondition allFinished;
    std::vector<std::shared_ptr<Operation>> operations;

    void finish(const Operation *operation)
    {
        QMutexLocker lock(&mutex);
        std::erase_if(operations, [operation](const auto &op) { return op.get() == operation; });
        if (operations.empty())
            allFinished.wakeAll();
    }
};

class OperationRunnable : public QRunnable
{
public:
    OperationRunnable(std::shared_ptr<Operation> operation,
                      std::shared_ptr<OperationQueue::Shared> shared)
        : m_operation(std::move(operation))
        , m_shared(std::move(shared))
    {
        setAutoDelete(true);
    }

    void run() override
    {
        m_operation->runFromQueue();
        m_shared->finish(m_operation.get());
    }

private:
    std::shared_ptr<Operation> m_operation;
    std::shared_ptr<OperationQueue::Shared> m_shared;
};

OperationQueue::OperationQueue(int maxConcurrent, QObject *parent)
    : QObject(parent)
    , m_shared(std::make_shared<Shared>())
    , m_pool(new QThreadPool(this))
    , m_maxConcurrent(maxConcurrent)
{
    m_pool->setMaxThreadCount(maxConcurrent > 0 ? maxConcurrent : kUnlimitedWidth);
}

OperationQueue::~OperationQueue()
{
    cancelAllOperations();
    waitUntilAllOperationsAreFinished();
}

void OperationQueue::addOperation(std::shared_ptr<Operation> operation)
{
    if (!operation)
        return;
    if (operation->m_state->queued.exchange(true)) {
        qCWarning(lcFoundation) << "operation added to a queue twice; ignored";
        return;
    }
    // What the answers of cancelled work start during a shutdown never runs.
    if (g_shuttingDown.load()) {
        operation->cancel();
        ++g_addedWhileShuttingDown;
    }
    {
        QMutexLocker lock(&m_shared->mutex);
        m_shared->operations.push_back(operation);
    }
    const int priority = operation->queuePriority();
    m_pool->start(new OperationRunnable(std::move(operation), m_shared), priority);
}

void OperationQueue::cancelAllOperations()
{
    QMutexLocker lock(&m_shared->mutex);
    for (const auto &operation : m_shared->operations)
        operation->cancel();
}

int OperationQueue::operationCount() const
{
    QMutexLocker lock(&m_shared->mutex);
    return static_cast<int>(m_shared->operations.size());
}

int OperationQueue::maxConcurrentOperationCount() const
{
    return m_maxConcurrent;
}

void OperationQueue::waitUntilAllOperationsAreFinished()
{
    QMutexLocker lock(&m_shared->mutex);
    while (!m_shared->operations.empty())
        m_shared->allFinished.wait(&m_shared->mutex);
}

bool OperationQueue::waitForEmpty(int ms)
{
    const QDeadlineTimer deadline(ms);
    QMutexLocker lock(&m_shared->mutex);
    while (!m_shared->operations.empty()) {
        if (!m_shared->allFinished.wait(&m_shared->mutex, deadline))
            return m_shared->operations.empty();
    }
    return true;
}

void OperationQueue::shutDownAll()
{
    g_shuttingDown.store(true);
    const std::array queues{&forType(ServiceRequests), &forType(ImageDownloadingRequests),
                            &forType(UrlFollowing), &forType(ImmediateRequests)};
    for (OperationQueue *queue : queues)
        queue->cancelAllOperations();
    const bool onMainThread = QCoreApplication::instance() &&
                              QCoreApplication::instance()->thread() == QThread::currentThread();
    // What the main thread takes from the last workers may queue more work (cancelled,
    // but it still starts a pool thread), so go round until a round adds nothing: a
    // thread left running past main() dies after the TLS library's cleanup.
    for (int round = 0; round < 20; ++round) {
        const int addedBefore = g_addedWhileShuttingDown.load();
        for (OperationQueue *queue : queues) {
            // A worker may be waiting for the main thread to take its answer.
            while (!queue->waitForEmpty(10)) {
                if (onMainThread)
                    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
            }
        }
        // Joins the pool threads too, so nothing of an operation is released after this.
        for (OperationQueue *queue : queues)
            queue->m_pool->waitForDone();
        // What the last workers handed to the main thread (answers, the accounts they
        // held) is taken now rather than left in the event queue at exit.
        if (onMainThread)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        if (g_addedWhileShuttingDown.load() == addedBefore)
            break;
    }
    g_shuttingDown.store(false);
}

OperationQueue &OperationQueue::forType(int type)
{
    // Never destroyed: at exit a worker may still wait for the main thread, and a
    // destructor that waits for it would hang the quit.
    static auto *serviceRequests = new OperationQueue(3);
    static auto *imageDownloadingRequests = new OperationQueue(2);
    static auto *urlFollowing = new OperationQueue(2);
    static auto *immediateRequests = new OperationQueue(-1);
    switch (type) {
    case ImageDownloadingRequests:
        return *imageDownloadingRequests;
    case UrlFollowing:
        return *urlFollowing;
    case ImmediateRequests:
        return *immediateRequests;
    default:
        return *serviceRequests;
    }
}
