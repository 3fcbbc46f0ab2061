#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>

class QThreadPool;

// A unit of work an OperationQueue runs once on a worker thread. Subclasses put the work
// in main() and check isCancelled() at convenient points; an operation cancelled before
// it starts never runs main().
class Operation
{
public:
    enum QueuePriority : int
    {
        QueuePriorityVeryLow = -8,
        QueuePriorityLow = -4,
        QueuePriorityNormal = 0,
        QueuePriorityHigh = 4,
        QueuePriorityVeryHigh = 8,
    };

    Operation();
    virtual ~Operation();
    Operation(const Operation &) = delete;
    Operation &operator=(const Operation &) = delete;

    virtual void main() = 0;

    // Thread-safe; a running main() must notice it itself. Subclasses that block in main()
    // extend it to abort that work, calling the base first.
    virtual void cancel();
    [[nodiscard]] bool isCancelled() const;
    [[nodiscard]] bool isExecuting() const;
    [[nodiscard]] bool isFinished() const;

    [[nodiscard]] int queuePriority() const;
    // Other values are moved to the nearest of the five levels. Only takes effect if set
    // before the operation is added to a queue.
    void setQueuePriority(int priority);

    // Runs on the worker right after main() (or instead of it when cancelled).
    void setCompletionBlock(std::function<void()> block);

    // Blocks until the operation has finished. Never call it on the thread that would
    // have to run it.
    void waitUntilFinished();

private:
    friend class OperationQueue;
    friend class OperationRunnable;
    void runFromQueue();

    struct State;
    std::unique_ptr<State> m_state;
};

// A queue of operations with a width (at most that many run at once) and priorities
// (a higher priority starts first; equal priorities start in the order they were added).
class OperationQueue : public QObject
{
    Q_OBJECT
public:
    // The queues the data manager hands out by type.
    enum Type : int
    {
        ServiceRequests = 0,
        ImageDownloadingRequests = 1,
        UrlFollowing = 2,
        ImmediateRequests = 3,
    };

    // maxConcurrent = -1: no limit of our own.
    explicit OperationQueue(int maxConcurrent, QObject *parent = nullptr);
    // Cancels what is still waiting and waits for what is running.
    ~OperationQueue() override;

    void addOperation(std::shared_ptr<Operation> operation);
    void cancelAllOperations();
    // Operations added and not yet finished (waiting or running).
    [[nodiscard]] int operationCount() const;
    [[nodiscard]] int maxConcurrentOperationCount() const;
    // Blocks the caller; never call it from an operation of this queue, nor from the main
    // thread while operations wait on the main thread.
    void waitUntilAllOperationsAreFinished();

    // The four process-wide queues (widths 3, 2, 2 and no limit); any other type gives
    // the service queue.
    [[nodiscard]] static OperationQueue &forType(int type);

    // Main thread, before main() returns: cancels every operation of the four queues,
    // serves the calls their workers make to the main thread meanwhile, and joins the
    // workers. Static objects the workers use (the TLS library, the cookie jar) are only
    // destroyed after main() returns, so no worker may still run then. Operations added
    // while it runs are cancelled at once; afterwards the queues work again.
    static void shutDownAll();

private:
    friend class OperationRunnable;
    // Waits up to ms for the queue to empty; true when it is empty.
    bool waitForEmpty(int ms);

    struct Shared;
    std::shared_ptr<Shared> m_shared;
    QThreadPool *m_pool;
    int m_maxConcurrent;
};
