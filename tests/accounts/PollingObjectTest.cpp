#include "accounts/RTPollingObject.h"
#include "foundation/Clock.h"
#include "foundation/RTGlobalVariables.h"

#include <gtest/gtest.h>

namespace {

// Records the calls a default polling object makes.
struct Call
{
    QString since;
    RTPollingObjectPtr pollObject;
    qint32 requestType = 0;
    QVariantMap userInfo;
};

class RecordingService : public RTService
{
public:
    [[nodiscard]] int serviceType() const override { return 99; }
    void pollTimelineSince(const QString &since, const QVariant &pollObject, qint32 requestType,
                           const QVariantMap &userInfo)
    {
        calls.append({since, pollObject.value<RTPollingObjectPtr>(), requestType, userInfo});
    }
    void pollListSince(const QString &since, qint32 requestType)
    {
        calls.append({since, nullptr, requestType, {}});
    }
    void pollList(const std::shared_ptr<QString> &list, const QVariant &pollingObject,
                  const QVariantMap &userInfo)
    {
        lists.append(list);
        calls.append({QString(), pollingObject.value<RTPollingObjectPtr>(), 0, userInfo});
    }
    QList<Call> calls;
    QList<std::shared_ptr<QString>> lists;
};

class PollingObjectTest : public ::testing::Test
{
protected:
    void SetUp() override { Clock::setShared(&clock); }
    void TearDown() override { Clock::setShared(nullptr); }
    FakeClock clock;
    RecordingService service;
};

TEST_F(PollingObjectTest, DueCheckWaitsForTheIntervalAndSkipsInactiveObjects)
{
    auto object = RTPollingObject::defaultPollingObjectWithRequestType(55, &service, 180.0);
    object->pollIfNeeded(); // never polled: due at once
    ASSERT_EQ(service.calls.size(), 1);
    EXPECT_EQ(service.calls[0].requestType, 55);
    EXPECT_EQ(service.calls[0].pollObject, object);
    EXPECT_EQ(object->lastPoll(), clock.now());

    clock.advance(179'000);
    object->pollIfNeeded();
    EXPECT_EQ(service.calls.size(), 1) << "179 s of 180 s";
    clock.advance(30'000);
    object->pollIfNeeded();
    EXPECT_EQ(service.calls.size(), 2);

    // A clock set back counts by its distance too.
    clock.advance(-200'000);
    object->pollIfNeeded();
    EXPECT_EQ(service.calls.size(), 3);

    object->setCurrentTimeInterval(30.0);
    EXPECT_EQ(object->initialPollingTimeInterval(), 180.0);
    clock.advance(30'000);
    object->setIsActive(false);
    object->pollIfNeeded();
    EXPECT_EQ(service.calls.size(), 3) << "inactive";
    object->setIsActive(true); // switching on polls at once
    EXPECT_EQ(service.calls.size(), 4);
    object->setIsActive(true);
    EXPECT_EQ(service.calls.size(), 4) << "no change, no poll";
}

TEST_F(PollingObjectTest, EveryThirdDuePollGoesWithoutSince)
{
    auto object = RTPollingObject::defaultPollingObjectWithRequestType(32, &service, 300.0);
    object->setSinceString(QStringLiteral("1262304000"));
    for (int i = 0; i < 7; ++i) {
        object->pollIfNeeded();
        clock.advance(300'000);
    }
    QStringList sinces;
    for (const Call &call : service.calls)
        sinces.append(call.since.isNull() ? QStringLiteral("nil") : call.since);
    const QString s = QStringLiteral("1262304000");
    EXPECT_EQ(sinces, QStringList({s, s, "nil", s, s, "nil", s}));
    EXPECT_EQ(object->pollingCount(), 1u);
}

TEST_F(PollingObjectTest, RefreshPollRepeatsTheCallWithTheCredentialsBypass)
{
    auto object = RTPollingObject::defaultPollingObjectWithRequestType(3, &service, 180.0);
    object->setArgument(RTPollingObject::kUserInfoParameter,
                        QVariantMap{{QStringLiteral("origin"), QStringLiteral("timer")}});
    object->pollSince(QStringLiteral("42"));
    const QDateTime polledAt = object->lastPoll();
    clock.advance(5'000);
    object->refreshPoll();
    ASSERT_EQ(service.calls.size(), 2);
    EXPECT_EQ(service.calls[1].since, QStringLiteral("42")) << "same since as last time";
    EXPECT_EQ(object->lastPoll(), polledAt);
    const QString bypass = QString::fromLatin1(kRTBypassCredentialsCheckKey);
    EXPECT_TRUE(service.calls[1].userInfo.value(bypass).toBool());
    EXPECT_EQ(service.calls[1].userInfo.value("origin"), QStringLiteral("timer"));
    EXPECT_FALSE(service.calls[0].userInfo.contains(bypass));
    // The stored userInfo is left as it was.
    EXPECT_FALSE(object->argument(RTPollingObject::kUserInfoParameter).toMap().contains(bypass));
    object->poll();
    EXPECT_FALSE(service.calls[2].userInfo.contains(bypass));
    EXPECT_TRUE(service.calls[2].since.isNull());
}

TEST_F(PollingObjectTest, KindsStartWithTheirRequestTypesAndIntervals)
{
    auto list = std::make_shared<QString>(QStringLiteral("list-1"));
    auto group = RTPollingObject::defaultListPollingObjectOfType(5002, &service, 900.0);
    auto immediateList = RTPollingObject::defaultInmediateListPollObjectForList(list, &service);
    QList<QVariantMap> searched;
    auto immediateSearch = RTPollingObject::defaultInmediateSearchPollObject(
        nullptr, [&](const QVariant &pollingObject, const QVariantMap &userInfo) {
            EXPECT_TRUE(pollingObject.value<RTPollingObjectPtr>());
            searched.append(userInfo);
        });
    int jobRuns = 0;
    auto job = RTPollingObject::pollingObjectForRequestType(
        90, nullptr, [&] { ++jobRuns; }, 300.0);

    const struct
    {
        RTPollingObjectPtr object;
        qint32 type;
        double interval;
    } rows[] = {{group, 5002, 900.0},
                {immediateList, 46, 3.4028234663852886e+38},
                {immediateSearch, 0, 3.4028234663852886e+38},
                {job, 90, 300.0}};
    for (const auto &row : rows) {
        EXPECT_EQ(row.object->requestType(), row.type);
        EXPECT_EQ(row.object->currentTimeInterval(), row.interval) << row.type;
        EXPECT_TRUE(row.object->isActive());
        EXPECT_EQ(row.object->pollingCount(), 0u);
    }

    group->pollIfNeeded();
    ASSERT_EQ(service.calls.size(), 1);
    EXPECT_EQ(service.calls[0].requestType, 5002);

    // Immediate objects keep their list through a poll and are never due again by time.
    immediateList->pollIfNeeded();
    clock.advance(qint64(1e12));
    immediateList->pollIfNeeded();
    immediateList->refreshPoll();
    ASSERT_EQ(service.lists.size(), 2);
    EXPECT_EQ(service.lists[0], list);
    EXPECT_EQ(service.lists[1], list);
    EXPECT_EQ(service.calls[1].pollObject, immediateList);

    immediateSearch->refreshPoll();
    ASSERT_EQ(searched.size(), 1);
    EXPECT_TRUE(searched[0].value(QString::fromLatin1(kRTBypassCredentialsCheckKey)).toBool());

    // A companion job waits one interval after creation.
    clock.setNow(job->lastPoll());
    job->pollIfNeeded();
    EXPECT_EQ(jobRuns, 0);
    clock.advance(300'000);
    job->pollIfNeeded();
    EXPECT_EQ(jobRuns, 1);
}

TEST_F(PollingObjectTest, ACallToAGoneServiceDoesNothing)
{
    auto gone = std::make_unique<RecordingService>();
    auto object = RTPollingObject::defaultPollingObjectWithRequestType(55, gone.get(), 180.0);
    EXPECT_EQ(object->service(), gone.get());
    gone.reset();
    object->poll(); // must not touch the destroyed service
    EXPECT_EQ(object->service(), nullptr);
}

} // namespace
