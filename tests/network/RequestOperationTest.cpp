#include "NetworkTestSupport.h"
#include "TestHttpServer.h"

#include "foundation/Clock.h"
#include "foundation/HostProfile.h"
#include "foundation/OperationQueue.h"
#include "foundation/RTGlobalVariables.h"
#include "network/RTErrorMessageManager.h"
#include "network/RTServiceRequests.h"
#include "network/RTStatusManager.h"
#include "platform/fake/FakeKeychain.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMutex>
#include <QThread>

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

class RequestOperationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Keychain::setShared(&m_keychain);
        registerTestRequestOperation();
        auto &s = m_server.server();
        s.Get("/ok.json", [this](const httplib::Request &req, httplib::Response &res) {
            {
                QMutexLocker locker(&m_targetLock);
                m_lastTarget = req.target;
            }
            res.set_content(R"({"ok":true,"value":"v"})", "application/json");
        });
        s.Get("/status/500",
              [](const httplib::Request &, httplib::Response &res) { res.status = 500; });
        s.Get("/garbage.json", [](const httplib::Request &, httplib::Response &res) {
            res.set_content("not json {", "application/json");
        });
        s.Get("/doc.xml", [](const httplib::Request &, httplib::Response &res) {
            res.set_content("<doc/>", "text/xml");
        });
        s.Get("/server-error.json", [](const httplib::Request &, httplib::Response &res) {
            res.set_content(R"({"error":"Rate limit exceeded"})", "application/json");
        });
        s.Get("/slow.json", [this](const httplib::Request &, httplib::Response &res) {
            m_slowRequests.fetch_add(1);
            for (int i = 0; i < 300 && !m_releaseSlow.load() && !m_server.stopping(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            res.set_content(R"({"ok":true})", "application/json");
        });
        s.Post("/echo", [](const httplib::Request &req, httplib::Response &res) {
            // The server parses multipart bodies itself; describe their parts instead.
            std::string body = req.body;
            for (const auto &[name, file] : req.files)
                body += name + "|" + file.filename + "|" + file.content_type + "|" +
                        std::to_string(file.content.size());
            res.set_content(body, req.get_header_value("Content-Type").empty()
                                      ? "text/plain"
                                      : req.get_header_value("Content-Type").c_str());
        });
        m_server.start();
        TestRequestTarget::host = QStringLiteral("127.0.0.1:%1").arg(m_server.port());
        TestRequestTarget::closedPort = closedLoopbackPort();

        m_service = std::make_shared<TestService>();
        m_service->setServiceId(QStringLiteral("alice"));
        m_service->setServiceName(QStringLiteral("Test"));
        RTStatusManager::sharedManager().removeAllStatuses();
        RTErrorMessageManager::sharedManager().removeAllErrorMessages();
    }

    void TearDown() override
    {
        m_releaseSlow.store(true);
        OperationQueue::forType(OperationQueue::ServiceRequests)
            .waitUntilAllOperationsAreFinished();
        m_service->log.clear();
        Keychain::setShared(nullptr);
    }

    // Runs one request of the test service and waits for its answer.
    RecordedAnswer runRequest(qint32 type, const QVariantMap &parameters = {},
                              const QVariantMap &userInfo = {})
    {
        const int before = m_service->log.count();
        const auto op =
            RTServiceRequests::doRequest(m_service, type, nullptr, parameters, userInfo, 0);
        EXPECT_NE(op, nullptr);
        EXPECT_TRUE(waitUntil([&] { return m_service->log.count() > before; }));
        const auto answers = m_service->log.answers();
        return answers.isEmpty() ? RecordedAnswer{} : answers.last();
    }

    static QStringList errorDescriptions()
    {
        QStringList out;
        for (const auto &m : RTErrorMessageManager::sharedManager().errorMessagesArray())
            out << m->description();
        return out;
    }

    FakeKeychain m_keychain;
    TestHttpServer m_server;
    std::shared_ptr<TestService> m_service;
    std::atomic<bool> m_releaseSlow{false};
    std::atomic<int> m_slowRequests{0};
    QMutex m_targetLock;
    std::string m_lastTarget;
};

} // namespace

TEST_F(RequestOperationTest, SuccessIsAnsweredOnTheMainThreadWhileTheWorkerWaits)
{
    const RecordedAnswer a = runRequest(TestRequestOk, {}, {{QStringLiteral("mine"), 42}});
    EXPECT_TRUE(a.success);
    EXPECT_TRUE(a.onMainThread);
    EXPECT_TRUE(a.workerWaiting);
    EXPECT_EQ(a.result.value(QStringLiteral("value")).toString(), QStringLiteral("v"));
    EXPECT_EQ(a.result.value(key(kRTRequestType)).toInt(), TestRequestOk);
    EXPECT_EQ(a.result.value(key(kRTResponseStatusCodeKey)).toInt(), 200);
    EXPECT_EQ(a.result.value(key(kRTHTTPMethodKey)).toString(), QStringLiteral("GET"));
    EXPECT_EQ(a.result.value(key(kRTUrlStringKey)).toString(),
              QStringLiteral("http://%1/ok.json").arg(TestRequestTarget::host));
    EXPECT_EQ(a.result.value(key(kRTUserInfoKey)).toMap().value(QStringLiteral("mine")).toInt(),
              42);
    EXPECT_EQ(a.result.value(key(kRTServiceKey)).value<RTServicePtr>(), m_service);
    EXPECT_EQ(m_service->hookCalls, 1);
    // The progress line is gone once the answer is in.
    EXPECT_TRUE(RTStatusManager::sharedManager().statuses().isEmpty());
    EXPECT_TRUE(errorDescriptions().isEmpty());
}

TEST_F(RequestOperationTest, BuiltUrlsAreEscapedButKeepTheirEscapes)
{
    const RecordedAnswer a = runRequest(TestRequestEscapedUrl);
    EXPECT_TRUE(a.success);
    EXPECT_EQ(a.result.value(key(kRTUrlStringKey)).toString(),
              QStringLiteral("http://%1/ok.json?q=caf\u00e9 \"x\"&done=100%25")
                  .arg(TestRequestTarget::host));
    QMutexLocker locker(&m_targetLock);
    EXPECT_EQ(m_lastTarget, "/ok.json?q=caf%C3%A9%20%22x%22&done=100%25");
}

TEST_F(RequestOperationTest, EachFailureHasItsTextStatusLineAndErrorEntry)
{
    const QString connection = key(RTConnectionErrorStatusContext);
    const struct
    {
        qint32 type;
        QString text;
        QString statusContext; // empty: no status line
        QVariant internalCode;
    } rows[] = {
        {TestRequestUnknown, QStringLiteral("Unexpected request type"), {}, {}},
        {TestRequestHttpError, QStringLiteral("HTTP 500 from alice"),
         QStringLiteral("HTTP 500 from alice"), 7},
        {TestRequestNoConnection,
         QStringLiteral("Network Connection Problem. Connected?"),
         connection,
         {}},
        {TestRequestGarbageJson, QStringLiteral("Couldn't Parse Server Response"), {}, {}},
        {TestRequestXmlWithoutParser, QStringLiteral("Couldn't Parse Server Response"), {}, {}},
        {TestRequestServerError, QStringLiteral("Rate limit exceeded"), connection, {}},
        {TestRequestDealRefuses, QString(), {}, {}},
    };
    RTStatusManager &status = RTStatusManager::sharedManager();
    for (const auto &row : rows) {
        SCOPED_TRACE(row.type);
        status.removeAllStatuses();
        RTErrorMessageManager::sharedManager().removeAllErrorMessages();

        const RecordedAnswer a = runRequest(row.type);
        EXPECT_FALSE(a.success);
        EXPECT_TRUE(a.onMainThread);
        EXPECT_EQ(a.result.value(key(kRTOperationFailureMessageKey)).toString(), row.text);
        EXPECT_EQ(a.result.value(key(kRTOperationInternalErrorCodeKey)), row.internalCode);

        const auto op = a.result.value(key(kRTRequestOperationKey)).value<RTRequestOperationPtr>();
        ASSERT_NE(op, nullptr);
        op->waitUntilFinished();
        const auto lines = status.statuses();
        if (row.statusContext.isEmpty()) {
            EXPECT_TRUE(lines.isEmpty());
        } else {
            ASSERT_EQ(lines.size(), 1);
            EXPECT_EQ(lines[0].contextString, row.statusContext);
            EXPECT_EQ(lines[0].statusString, row.text);
            EXPECT_TRUE(lines[0].isTransient);
            EXPECT_EQ(lines[0].transientDuration, 3.0);
        }
        const QString message = row.text.isEmpty() ? QStringLiteral("Unspecified Error") : row.text;
        EXPECT_EQ(errorDescriptions(), QStringList{QStringLiteral("-Test: alice\n") + message});
    }
}

TEST_F(RequestOperationTest, CancelledOperationsAnswerNothingAndClearTheirProgressLine)
{
    RTStatusManager &status = RTStatusManager::sharedManager();
    // Once through the operation (the queue's way), once through the running exchange.
    for (const bool abortExchange : {false, true}) {
        SCOPED_TRACE(abortExchange);
        m_releaseSlow.store(false);
        const int requestsBefore = m_slowRequests.load();
        const auto op =
            RTServiceRequests::doRequest(m_service, TestRequestSlow, nullptr, {}, {}, 0);
        ASSERT_NE(op, nullptr);
        ASSERT_TRUE(waitUntil([&] { return m_slowRequests.load() > requestsBefore; }));
        EXPECT_TRUE(status.hasStatusForObject(op.get(), QStringLiteral("/slow")));
        EXPECT_EQ(status.statusText(), QStringLiteral("alice > Testing"));
        if (abortExchange)
            op->cancelRequest();
        else
            op->cancel();
        m_releaseSlow.store(true);
        op->waitUntilFinished();
        QCoreApplication::processEvents();
        EXPECT_EQ(m_service->log.count(), 0);
        EXPECT_FALSE(status.hasStatusForObject(op.get(), QStringLiteral("/slow")));
        EXPECT_TRUE(errorDescriptions().isEmpty());
    }
}

TEST_F(RequestOperationTest, CancellingTheQueueAbortsARunningExchange)
{
    m_releaseSlow.store(false);
    const int requestsBefore = m_slowRequests.load();
    const auto op = RTServiceRequests::doRequest(m_service, TestRequestSlow, nullptr, {}, {}, 0);
    ASSERT_NE(op, nullptr);
    ASSERT_TRUE(waitUntil([&] { return m_slowRequests.load() > requestsBefore; }));
    OperationQueue::forType(OperationQueue::ServiceRequests).cancelAllOperations();
    // The server still holds the answer back: only an aborted exchange lets it finish.
    EXPECT_TRUE(waitUntil([&] { return op->isFinished(); }, 5000));
    m_releaseSlow.store(true);
    op->waitUntilFinished();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_service->log.count(), 0);
}

TEST_F(RequestOperationTest, UnverifiedAccountsAreDroppedUnlessTheRequestBypassesTheCheck)
{
    m_service->setVerifiedCredentials(false);
    EXPECT_EQ(RTServiceRequests::doRequest(m_service, TestRequestOk, nullptr, {}, {}, 0), nullptr);
    EXPECT_EQ(m_service->hookCalls, 0);

    const RecordedAnswer a =
        runRequest(TestRequestOk, {},
                   {{key(kRTBypassCredentialsCheckKey), true}, {key(kRTQueuePriorityKey), 8}});
    EXPECT_TRUE(a.success);
    const auto op = a.result.value(key(kRTRequestOperationKey)).value<RTRequestOperationPtr>();
    EXPECT_EQ(op->queuePriority(), Operation::QueuePriorityVeryHigh);
    EXPECT_EQ(m_service->log.count(), 1);
}

TEST_F(RequestOperationTest, AccountsOfAnotherHostProfileSendNothingEvenWhenBypassing)
{
    m_service->setHostProfile(QStringLiteral("sandbox"));
    for (const QVariantMap &userInfo :
         {QVariantMap(), QVariantMap{{key(kRTBypassCredentialsCheckKey), true}}}) {
        EXPECT_EQ(RTServiceRequests::doRequest(m_service, TestRequestOk, nullptr, {}, userInfo, 0),
                  nullptr);
    }
    EXPECT_EQ(m_service->hookCalls, 0);
    m_service->setHostProfile(HostProfile::current().name());
    EXPECT_TRUE(runRequest(TestRequestOk).success);
}

TEST_F(RequestOperationTest, PostBodiesFromParameters)
{
    // The keyless value is the whole body, exactly as given.
    RecordedAnswer a =
        runRequest(TestRequestEcho, {{key(kRTKeylessPostData), QStringLiteral("raw&body=%41 +")}});
    ASSERT_TRUE(a.success);
    EXPECT_EQ(a.result.value(QStringLiteral("body")).toString(), QStringLiteral("raw&body=%41 +"));

    a = runRequest(TestRequestEcho, {{QStringLiteral("status"), QStringLiteral("a b&c")}});
    ASSERT_TRUE(a.success);
    EXPECT_EQ(a.result.value(QStringLiteral("body")).toString(),
              QStringLiteral("status=a%20b%26c"));
    EXPECT_TRUE(a.result.value(QStringLiteral("contentType"))
                    .toString()
                    .startsWith(QStringLiteral("application/x-www-form-urlencoded")));

    // A byte buffer becomes a binary part.
    a = runRequest(TestRequestEcho, {{QStringLiteral("media"), QByteArray("\x01\x02", 2)}});
    ASSERT_TRUE(a.success);
    EXPECT_TRUE(a.result.value(QStringLiteral("contentType"))
                    .toString()
                    .startsWith(QStringLiteral("multipart/form-data")));
    EXPECT_EQ(a.result.value(QStringLiteral("body")).toString().toStdString(),
              "media|file|application/octet-stream; charset=utf-8|2");
}

TEST_F(RequestOperationTest, DelegatesHearAnswersOnceAndServiceLessFailuresAreDescribedPlainly)
{
    // A separate delegate hears the answer after the account; the account as its own
    // delegate hears it once.
    auto delegate = std::make_shared<TestDelegate>();
    RTServiceRequests::doRequest(m_service, TestRequestOk, delegate, {}, {}, 0);
    ASSERT_TRUE(waitUntil([&] { return delegate->log.count() == 1; }));
    EXPECT_EQ(m_service->log.count(), 1);
    RTServiceRequests::doRequest(m_service, TestRequestOk,
                                 std::static_pointer_cast<RTRequestDelegate>(m_service), {}, {}, 0);
    ASSERT_TRUE(waitUntil([&] { return m_service->log.count() == 2; }));
    OperationQueue::forType(0).waitUntilAllOperationsAreFinished();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_service->log.count(), 2);

    // No account: the delegate alone answers, and the error list names no account.
    const auto op = RTServiceRequests::doRequest(TestRequestDealRefuses, delegate, {}, {}, 3,
                                                 QStringLiteral("TestRequestOperation"));
    ASSERT_NE(op, nullptr);
    ASSERT_TRUE(waitUntil([&] { return delegate->log.count() == 2; }));
    op->waitUntilFinished(); // the error entry follows the callback
    EXPECT_FALSE(delegate->log.answers().last().success);
    EXPECT_FALSE(
        delegate->log.answers().last().result.value(key(kRTServiceKey)).value<RTServicePtr>());
    EXPECT_EQ(errorDescriptions(), QStringList{QStringLiteral("-Unspecified Error")});
    EXPECT_EQ(
        RTServiceRequests::doRequest(1, delegate, {}, {}, 0, QStringLiteral("NoSuchOperation")),
        nullptr);
}

TEST(RequestOperation, ArgumentStringFromDictionary)
{
    EXPECT_TRUE(RTRequestOperation::argumentStringFromDictionary({}).isNull());
    EXPECT_EQ(RTRequestOperation::argumentStringFromDictionary({{"count", 20}, {"a", "x y"}}),
              QStringLiteral("?a=x y?count=20"));
}

// A delegate that keeps the answer keeps the operation (the answer names it): once the
// answer is delivered the operation lets go of the delegate, so the two do not keep each
// other alive for good.
TEST_F(RequestOperationTest, ADelegateThatKeepsItsAnswerIsFreedWithIt)
{
    struct KeepingDelegate : RTRequestDelegate
    {
        QVariantMap kept;
        void serviceRequestSuccess(const QVariantMap &result) override { kept = result; }
        void serviceRequestFailure(const QVariantMap &result) override { kept = result; }
    };
    auto delegate = std::make_shared<KeepingDelegate>();
    const std::weak_ptr<KeepingDelegate> watch = delegate;
    std::weak_ptr<RTRequestOperation> operation =
        RTServiceRequests::doRequest(m_service, TestRequestOk, delegate, {}, {}, 0);
    ASSERT_FALSE(operation.expired());
    ASSERT_TRUE(waitUntil([&] { return !delegate->kept.isEmpty(); }));
    EXPECT_TRUE(delegate->kept.contains(key(kRTRequestOperationKey)));
    delegate.reset();
    EXPECT_TRUE(waitUntil([&] { return watch.expired(); }));
}
