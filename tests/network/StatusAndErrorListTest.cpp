#include "foundation/Clock.h"
#include "foundation/RTGlobalVariables.h"
#include "network/RTErrorMessageManager.h"
#include "network/RTRequestOperation.h"
#include "network/RTStatusManager.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>

namespace {

class StatusAndErrorListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Clock::setShared(&m_clock);
        RTStatusManager::sharedManager().removeAllStatuses();
        RTErrorMessageManager::sharedManager().removeAllErrorMessages();
    }
    void TearDown() override { Clock::setShared(nullptr); }
    FakeClock m_clock;
};

// Stands in for a request operation in result dictionaries.
class IdleOperation : public RTRequestOperation
{
protected:
    bool urlInformationForRequestType(qint32, RTUrlInformation &) override { return false; }
    QString errorStringForHTTPResponseStatusCode(int, const QString &, HttpRequest &) override
    {
        return {};
    }
    QString failureStringFromServerWithObjCResponse(const QVariant &) override { return {}; }
    bool dealWithResponse(const QVariant &, QVariantMap &, HttpRequest &) override { return true; }
};

} // namespace

TEST_F(StatusAndErrorListTest, StatusLinesByObjectAndContext)
{
    RTStatusManager &m = RTStatusManager::sharedManager();
    QSignalSpy textChanges(&m, &RTStatusManager::statusTextChanged);
    int a = 0;
    int b = 0;
    m.addStatusWithObject(&a, QStringLiteral("/home"), QStringLiteral("alice > Home"), true);
    m.addStatusWithObject(&b, QStringLiteral("/home"), QStringLiteral("bob > Home"), true);
    m.addStatusWithObject(&a, QStringLiteral("/home"), QStringLiteral("alice > Home again"), true);
    EXPECT_EQ(m.statuses().size(), 2);
    EXPECT_EQ(m.statusText(), QStringLiteral("alice > Home again"));
    EXPECT_TRUE(m.showsProgress());

    m.addTransientStatusForObject(&b, QStringLiteral("Failed"), QStringLiteral("Failed"), 3.0);
    const QVariantMap transient = m.statusDictionaries().last();
    EXPECT_EQ(transient.value(QString::fromLatin1(kRTTransientDuration)).toDouble(), 3.0);
    EXPECT_TRUE(transient.value(QString::fromLatin1(kRTIsTransient)).toBool());

    // The transient line outlives 2.9 seconds, not 3.
    m_clock.advance(2900);
    m.removeExpiredStatuses();
    EXPECT_TRUE(m.hasStatusForObject(&b, QStringLiteral("Failed")));
    m_clock.advance(100);
    m.removeExpiredStatuses();
    EXPECT_FALSE(m.hasStatusForObject(&b, QStringLiteral("Failed")));
    EXPECT_EQ(m.statuses().size(), 2); // lasting lines stay

    m.removeStatusForObject(&a, QStringLiteral("/home"));
    EXPECT_EQ(m.statusText(), QStringLiteral("bob > Home"));
    m.removeStatusForObject(&b, QStringLiteral("/other"));
    EXPECT_EQ(m.statuses().size(), 1);
    QCoreApplication::processEvents();
    ASSERT_FALSE(textChanges.isEmpty());
    EXPECT_EQ(textChanges.last().at(0).toString(), QStringLiteral("bob > Home"));
}

// A line's timer that fires before the line is due (here: the clock stands still) must
// not leave it for ever; nor may a check for another line's timer.
TEST_F(StatusAndErrorListTest, TransientLinesGoEvenWhenTheirTimerFiresEarly)
{
    RTStatusManager &m = RTStatusManager::sharedManager();
    int early = 0;
    int later = 0;
    m.addTransientStatusForObject(&early, QStringLiteral("Failed"), QStringLiteral("a"), 0.02);
    m.addTransientStatusForObject(&later, QStringLiteral("Failed"), QStringLiteral("b"), 0.2);
    // Both timers fire while no time passes on the clock.
    (void)waitUntil([] { return false; }, 300);
    EXPECT_TRUE(m.hasStatusForObject(&early, QStringLiteral("Failed")));
    EXPECT_TRUE(m.hasStatusForObject(&later, QStringLiteral("Failed")));

    m_clock.advance(50);
    EXPECT_TRUE(
        waitUntil([&] { return !m.hasStatusForObject(&early, QStringLiteral("Failed")); }, 2000));
    EXPECT_TRUE(m.hasStatusForObject(&later, QStringLiteral("Failed")));
    m_clock.advance(1000);
    EXPECT_TRUE(waitUntil([&] { return m.statuses().isEmpty(); }, 2000));
}

TEST_F(StatusAndErrorListTest, SameMessageListsOnceAndEachPostRestartsTheHideTimer)
{
    RTErrorMessageManager &m = RTErrorMessageManager::sharedManager();
    const auto op = std::make_shared<IdleOperation>();
    const QVariantMap result{{QString::fromLatin1(kRTRequestOperationKey),
                              QVariant::fromValue<RTRequestOperationPtr>(op)}};
    const auto first = std::make_shared<RTErrorMessage>(QStringLiteral("-one"), result);
    const auto second = std::make_shared<RTErrorMessage>(QStringLiteral("-one"), result);

    // Observers read the list back from their slot.
    qsizetype seen = 0;
    const auto connection = QObject::connect(&m, &RTErrorMessageManager::errorMessagesChanged,
                                             [&] { seen = m.errorMessagesArray().size(); });
    m.postErrorMessage(first, QString(), true);
    m.postErrorMessage(first, QString(), true);
    m.postErrorMessage(second, QString(), false);
    QObject::disconnect(connection);
    EXPECT_EQ(seen, 2);
    ASSERT_EQ(m.errorMessagesArray().size(), 2);
    EXPECT_EQ(m.errorMessagesArray().at(0), first);
    EXPECT_EQ(m.errorMessagesArray().at(1), second);

    const QString id = RTErrorMessageManager::identifierForMessage(first, QString());
    EXPECT_EQ(id, QString::asprintf("%p%p", static_cast<void *>(first.get()),
                                    static_cast<void *>(op.get())));
    const QVariantMap entry = m.entryForIdentifier(id);
    EXPECT_EQ(entry.value(QString::fromLatin1(kRTErrorMessageFlashStatus)).toBool(), true);
    EXPECT_EQ(entry.value(QString::fromLatin1(kRTErrorMessageResendTries)).toInt(), 0);
    EXPECT_EQ(entry.value(QString::fromLatin1(kRTErrorMessagePostDate)).toDateTime(),
              m_clock.now());
    EXPECT_EQ(entry.value(QString::fromLatin1(kRTErrorMessage)).value<RTErrorMessagePtr>(), first);

    // Without an operation the context stands in for it.
    const auto bare = std::make_shared<RTErrorMessage>(QStringLiteral("-bare"), QVariantMap{});
    EXPECT_EQ(RTErrorMessageManager::identifierForMessage(bare, QStringLiteral("ctx")),
              QString::asprintf("%p", static_cast<void *>(bare.get())) + QStringLiteral("ctx"));

    QCoreApplication::processEvents();
    EXPECT_FALSE(m.shouldHideStatusAlert());
    EXPECT_TRUE(m.isHideTimerActive());
    m.hideStatusAlert();
    EXPECT_TRUE(m.shouldHideStatusAlert());
    m.postErrorMessage(bare, QString(), true);
    QCoreApplication::processEvents();
    EXPECT_FALSE(m.shouldHideStatusAlert());
}

TEST_F(StatusAndErrorListTest, ErrorListIsBounded)
{
    RTErrorMessageManager &m = RTErrorMessageManager::sharedManager();
    RTErrorMessagePtr last;
    for (int i = 0; i < RTErrorMessageManager::kMaxErrorMessages + 10; ++i) {
        last = std::make_shared<RTErrorMessage>(QStringLiteral("-%1").arg(i), QVariantMap{});
        m.postErrorMessage(last, QString(), false);
    }
    const auto list = m.errorMessagesArray();
    ASSERT_EQ(list.size(), RTErrorMessageManager::kMaxErrorMessages);
    EXPECT_EQ(list.first()->description(), QStringLiteral("-10"));
    EXPECT_EQ(list.last(), last);
}
