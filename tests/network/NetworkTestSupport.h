#pragma once

#include "accounts/RTService.h"
#include "foundation/MainThread.h"
#include "network/RTRequestOperation.h"

#include <QList>
#include <QMutex>
#include <QVariantMap>
#include <functional>
#include <memory>

// An answer as a receiver saw it.
struct RecordedAnswer
{
    bool success = false;
    QVariantMap result;
    bool onMainThread = false;
    bool workerWaiting = false; // the operation was still running its main()
};

// Records what reaches a receiver; safe to read from the test thread.
class AnswerLog
{
public:
    void record(bool success, const QVariantMap &result);
    [[nodiscard]] QList<RecordedAnswer> answers() const;
    [[nodiscard]] int count() const;
    // An account's own log holds results that hold the account: clear it to let go.
    void clear();

private:
    mutable QMutex m_lock;
    QList<RecordedAnswer> m_answers;
};

// An account kind for the tests: its operations are TestRequestOperation, and it is its
// own request delegate so it can take the queueing hook.
class TestService : public RTService, public RTRequestDelegate
{
public:
    [[nodiscard]] int serviceType() const override { return 99; }
    [[nodiscard]] QString requestOperationClass() const override
    {
        return QStringLiteral("TestRequestOperation");
    }
    void serviceRequestSuccess(const QVariantMap &result) override { log.record(true, result); }
    void serviceRequestFailure(const QVariantMap &result) override { log.record(false, result); }
    OperationQueue *willAddOperation(RTRequestOperation &, OperationQueue *queue,
                                     const QVariantMap &) override
    {
        ++hookCalls;
        return queue;
    }

    AnswerLog log;
    int hookCalls = 0;
};

class TestDelegate : public RTRequestDelegate
{
public:
    void serviceRequestSuccess(const QVariantMap &result) override { log.record(true, result); }
    void serviceRequestFailure(const QVariantMap &result) override { log.record(false, result); }
    AnswerLog log;
};

// Request types of TestRequestOperation.
enum TestRequestType : qint32
{
    TestRequestOk = 1,
    TestRequestUnknown = 2,
    TestRequestHttpError = 3,
    TestRequestNoConnection = 4,
    TestRequestGarbageJson = 5,
    TestRequestXmlWithoutParser = 6,
    TestRequestServerError = 7,
    TestRequestDealRefuses = 8,
    TestRequestSlow = 9,
    TestRequestEcho = 10,
    TestRequestSigned = 11,
    TestRequestXAuth = 12,
    TestRequestSignedGet = 13,
    TestRequestEscapedUrl = 14,
};

// Where TestRequestOperation sends its requests ("127.0.0.1:port").
struct TestRequestTarget
{
    static QString host;
    static QString secureHost;
    static int closedPort;
};

// Registers TestRequestOperation with the request factory (once).
void registerTestRequestOperation();
