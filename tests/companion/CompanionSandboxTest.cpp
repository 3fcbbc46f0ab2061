// The companion client against a real talvo-sandbox: configuration, filters through the
// service, reports, groups and trends.
#include "../twitter/MappingTestSupport.h"
#include "support/SandboxFixture.h"
#include "support/TestSupport.h"

#include "accounts/RTServiceRegistry.h"
#include "companion/CompanionRegistration.h"
#include "companion/RTCompanionClient.h"
#include "companion/RTCompanionRequestTypes.h"
#include "foundation/HostProfile.h"
#include "foundation/RTGlobalVariables.h"
#include "http/FormDataRequest.h"
#include "http/HttpRequest.h"
#include "platform/TAUtility.h"
#include "timelines/RTTreeNodeKinds.h"
#include "timelines/RTTrendMessage.h"
#include "twitter/RTTwitterRequestTypes.h"
#include "twitter/TwitterRegistration.h"

#include <QSignalSpy>

namespace {

class CompanionSandbox : public MappingTestBase
{
protected:
    static void SetUpTestSuite()
    {
        s_sandbox = new SandboxFixture;
        SandboxFixture::Options options;
        options.users = 4;
        options.activity = 0;
        if (!s_sandbox->start(options))
            s_error = s_sandbox->errorString();
        registerTwitterRequestClasses();
        registerCompanionRequestClasses();
    }
    static void TearDownTestSuite()
    {
        delete s_sandbox;
        s_sandbox = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_error.isEmpty()) << s_error.toStdString();
        MappingTestBase::SetUp();
        // The sandbox runs on the real time; the fake clock starts there, a little ahead so
        // that filters the sandbox creates during the test have begun.
        clock.setNow(
            QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() + 2, Qt::UTC));
        HostProfile::setCurrent(s_sandbox->profile());
        HttpRequest::setDefaultCaBundle(s_sandbox->caBundle());
        s_sandbox->writeFaults(QByteArray());
        account = std::make_shared<RTServiceTwitter>();
        account->setServiceId(QStringLiteral("me"));
        account->setIsNewlyAdded(false);
        auto myself = RTUserTwitter::create(QStringLiteral("1"));
        myself->setScreenName(QStringLiteral("me"));
        account->setMyself(myself);
        accounts.append(account.get());
        registry.setServices({account});
        makeClient();
    }
    void TearDown() override
    {
        client.reset();
        manager.reset();
        registry.setServices({});
        HostProfile::setCurrent(HostProfile::real());
        HttpRequest::setDefaultCaBundle(QString());
        MappingTestBase::TearDown();
    }

    // A client (and a manager) as after a start of the program on the same registry.
    void makeClient()
    {
        client.reset();
        manager.reset();
        if (registry.allServicesOfSameClass<RTServiceTalvo>().isEmpty())
            registry.addService(std::make_shared<RTServiceTalvo>());
        manager = std::make_unique<RTTreeNodeManager>(registry);
        client = std::make_unique<RTCompanionClient>(registry);
        client->setNodeManager(manager.get());
        QObject::connect(
            client.get(), &RTCompanionClient::requestFinished,
            [this](const QVariantMap &result, bool ok) {
                finished.append({result.value(QString::fromLatin1(kRTRequestType)).toInt(), ok});
            });
        finished.clear();
    }

    // Waits for the answer of a request type (counting from `from` answers).
    bool waitFor(qint32 type, bool *ok = nullptr, int from = 0)
    {
        const bool seen = waitUntil(
            [&] {
                for (int i = from; i < finished.size(); ++i)
                    if (finished.at(i).first == type)
                        return true;
                return false;
            },
            15000);
        for (int i = from; ok && i < finished.size(); ++i)
            if (finished.at(i).first == type)
                *ok = finished.at(i).second;
        return seen;
    }

    // Paths the sandbox logged after the first `from` lines.
    static QStringList loggedPaths(int from = 0)
    {
        QStringList paths;
        const QStringList lines = s_sandbox->log().split(u'\n', Qt::SkipEmptyParts);
        // "<date> METHOD host:port/path?query -> status ..."
        for (const QString &line : lines.mid(from)) {
            const QString target = line.section(QLatin1String(" -> "), 0, 0).section(u' ', -1);
            const qsizetype slash = target.indexOf(u'/');
            if (slash >= 0)
                paths << target.mid(slash).section(u'?', 0, 0);
        }
        return paths;
    }
    static int logLines() { return s_sandbox->log().split(u'\n', Qt::SkipEmptyParts).size(); }

    // A mute created on the service by another program (talvoctl) of this installation.
    static QString createMuteElsewhere(const QString &factor, qint64 seconds)
    {
        const QUrl base = s_sandbox->profile().baseUrl(QStringLiteral("companion"));
        QUrl url(base.toString() + QStringLiteral("/v1/mute?guid=%1&api_key=%2&platform=osx")
                                       .arg(TAUtility::talvoGuid(), TAUtility::talvoApiKey()));
        auto form = FormDataRequest::requestWithURL(url);
        form->setPostValue(factor, QStringLiteral("mute[factor]"));
        form->setPostValue(QStringLiteral("USER"), QStringLiteral("mute[predicate]"));
        form->setPostValue(QString::number(seconds), QStringLiteral("mute[duration]"));
        form->startSynchronous();
        return objectFromJSON(form->responseData())["mute"]["id"].toString();
    }

    QList<RTMessagePtr> deliver(const QStringList &statuses)
    {
        QList<RTMessagePtr> messages =
            feed(*account, RTTwitterRequestHomeTimeline, statuses).allMessagesAsBase();
        manager->allTreeNodesAddMessages(messages, RTTwitterRequestHomeTimeline, {});
        return messages;
    }

    RTTreeNode *childOfCompanion(const char *className) const
    {
        for (RTTreeNode *node : manager->getTalvoParentNode()->childNodes())
            if (node->inherits(className))
                return node;
        return nullptr;
    }

    static inline SandboxFixture *s_sandbox = nullptr;
    static inline QString s_error;
    RTServiceRegistry registry;
    std::shared_ptr<RTServiceTwitter> account;
    std::unique_ptr<RTTreeNodeManager> manager;
    std::unique_ptr<RTCompanionClient> client;
    QList<QPair<qint32, bool>> finished;
};

TEST_F(CompanionSandbox, StartWithoutAnAccountFetchesEveryTableButNoGroups)
{
    const int from = logLines();
    client->start();
    for (qint32 type : {RTTalvoRequestHeartBeat, RTTalvoRequestConfigurations,
                        RTTalvoRequestShorteners, RTTalvoRequestSetups}) {
        bool ok = false;
        ASSERT_TRUE(waitFor(type, &ok)) << "no answer to " << type;
        EXPECT_TRUE(ok) << "request " << type << " failed";
    }
    const auto service = client->service();
    EXPECT_TRUE(service->shortenersList().contains(QStringLiteral("bitly.localhost")));
    EXPECT_TRUE(service->imagers().contains(QStringLiteral("pics.localhost")));
    EXPECT_EQ(service->imagers()
                  .value(QStringLiteral("photos.localhost"))
                  .toMap()
                  .value(QStringLiteral("inline_id")),
              QStringLiteral("photo-display"));
    EXPECT_TRUE(client->framers().contains(QStringLiteral("sandboxframe")));
    EXPECT_TRUE(client->twitterSources().contains(QStringLiteral("Talvo")));
    EXPECT_TRUE(client->twitterSources().contains(QStringLiteral("web")));
    EXPECT_EQ(client->filterPredicates().keys(),
              (QStringList{QStringLiteral("HASHTAG"), QStringLiteral("USER")}));
    EXPECT_TRUE(client->filters().filtersKnown());
    EXPECT_EQ(client->pollingObjects().size(), 5);

    const QStringList paths = loggedPaths(from);
    EXPECT_TRUE(paths.contains(QStringLiteral("/v1/guid/heartbeat")));
    EXPECT_FALSE(paths.contains(QStringLiteral("/v1/user/groups")));
    EXPECT_FALSE(paths.contains(QStringLiteral("/v1/user/verify")));
    client->stop();
}

TEST_F(CompanionSandbox, AMuteSetElsewhereIsAppliedOnTheNextPollEndsOnTimeAndSurvivesARestart)
{
    client->start();
    ASSERT_TRUE(waitFor(RTTalvoRequestConfigurations));
    const QString id = createMuteElsewhere(QStringLiteral("4242"), 120);
    ASSERT_FALSE(id.isEmpty());
    EXPECT_FALSE(client->filters().mutes().contains(id));

    // The configurations job is due: the mute arrives and acts on new messages.
    const int from = finished.size();
    for (const RTPollingObjectPtr &job : client->pollingObjects())
        job->setLastPoll(clock.now().addSecs(-qint64(RTCompanionClient::kConfigurationsInterval)));
    client->timerTick();
    ASSERT_TRUE(waitFor(RTTalvoRequestConfigurations, nullptr, from));
    ASSERT_TRUE(client->filters().mutes().contains(id));
    // Written just after the mute began.
    clock.setNow(QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() + 2, Qt::UTC));
    const auto messages = deliver({status(QStringLiteral("900"), QStringLiteral("4242"),
                                          QStringLiteral("during"), QString(), 0)});
    ASSERT_TRUE(messages.at(0)->isMuted());
    RTTreeNode *muted = childOfCompanion("RTTreeNodeMutes");
    ASSERT_TRUE(muted);
    EXPECT_EQ(muted->contentSnapshot().size(), 1);

    // A restart: the archived record keeps the id, the flag comes back with the message.
    KeyedArchiver archiver;
    client->service()->encodeWithCoder(archiver);
    registry.setServices({account});
    auto restored = std::make_shared<RTServiceTalvo>();
    KeyedUnarchiver unarchiver(archiver.map());
    restored->decodeWithCoder(unarchiver);
    registry.addService(restored);
    makeClient();
    EXPECT_TRUE(client->service()->temporaryMutedMessagesSet.contains(QStringLiteral("900")));
    QSignalSpy applied(&client->filters(), &RTDatedFilters::filtersApplied);
    client->updateConfigurations();
    ASSERT_TRUE(waitFor(RTTalvoRequestConfigurations));
    ASSERT_TRUE(applied.count() > 0 || applied.wait(5000));
    EXPECT_TRUE(messages.at(0)->isMuted()) << "the service still has the mute";

    // The period ends while the program runs: released at that moment.
    clock.advance(121 * 1000);
    client->filters().expiryTimerFired();
    ASSERT_TRUE(applied.wait(5000));
    EXPECT_FALSE(messages.at(0)->isMuted());
    EXPECT_TRUE(childOfCompanion("RTTreeNodeMutes")->contentSnapshot().isEmpty());
}

TEST_F(CompanionSandbox, MuteExtendAndCancelThroughTheClient)
{
    client->updateConfigurations();
    ASSERT_TRUE(waitFor(RTTalvoRequestConfigurations));
    client->muteHashTag(QStringLiteral("#Sandbox"), 3600);
    ASSERT_TRUE(waitFor(RTTalvoRequestCreateMute));
    const RTMuteObjectPtr mute =
        client->filters().findActiveMute(QStringLiteral("HASHTAG"), QStringLiteral("#sandbox"));
    ASSERT_TRUE(mute);
    EXPECT_EQ(mute->duration(), 3600u);

    EXPECT_TRUE(client->extendMuteForHashTag(QStringLiteral("#SANDBOX"), 7200));
    ASSERT_TRUE(waitFor(RTTalvoRequestExtendMute));
    EXPECT_GE(client->filters().mutes().value(mute->filterId())->duration(), 7200u);

    EXPECT_TRUE(client->removeMuteForHashTag(QStringLiteral("#sandbox")));
    bool ok = false;
    ASSERT_TRUE(waitFor(RTTalvoRequestDestroyMute, &ok));
    EXPECT_TRUE(ok);
    EXPECT_FALSE(
        client->filters().findActiveMute(QStringLiteral("HASHTAG"), QStringLiteral("#sandbox")));
    EXPECT_FALSE(client->removeMuteForHashTag(QStringLiteral("#sandbox")));
}

TEST_F(CompanionSandbox, ReportsGoInBatchesAndOnlySentRecordsLeave)
{
    for (int i = 0; i < RTCompanionClient::kMaxReportBatch + 5; ++i)
        client->addUserShortenedUrl(QStringLiteral("https://bitly.localhost/r%1").arg(i),
                                    QStringLiteral("https://example.org/page?id=%1&x=1").arg(i),
                                    QStringLiteral("bitly"));
    client->addClickedUrlRecord(QStringLiteral("bitly"),
                                QStringLiteral("https://bitly.localhost/c1"),
                                QStringLiteral("https://example.org/%E2%82%AC"));
    EXPECT_EQ(client->clickedUrls().first().toMap().value("destination"),
              QStringLiteral("https://example.org/€"));

    // A failed report keeps everything for the next attempt.
    ASSERT_TRUE(s_sandbox->writeFaults("path /v1/report/* status=503\n"));
    client->sendClickedUrls();
    bool ok = true;
    ASSERT_TRUE(waitFor(RTTalvoRequestClickedUrls, &ok));
    EXPECT_FALSE(ok);
    EXPECT_EQ(client->clickedUrls().size(), 1);

    ASSERT_TRUE(s_sandbox->writeFaults(QByteArray()));
    // Each batch takes the oldest records that fit one request; a record added while a
    // batch is on its way waits for the next one, and nothing is sent twice.
    const int lines = logLines();
    int batches = 0;
    int expectedNext = 0;
    bool lateAdded = false;
    while (!client->userShortenedUrls().isEmpty() && batches < 20) {
        const int before = int(client->userShortenedUrls().size());
        const int from = finished.size();
        client->sendUserShortenedUrls();
        if (!lateAdded) {
            client->addUserShortenedUrl(QStringLiteral("https://bitly.localhost/late"),
                                        QStringLiteral("https://example.org/late"),
                                        QStringLiteral("bitly"));
            lateAdded = true;
        }
        ASSERT_TRUE(waitFor(RTTalvoRequestShortenedUrls, &ok, from));
        ASSERT_TRUE(ok);
        ++batches;
        const int sent = before + (batches == 1 ? 1 : 0) - int(client->userShortenedUrls().size());
        EXPECT_GE(sent, 1);
        EXPECT_LE(sent, RTCompanionClient::kMaxReportBatch);
        expectedNext += sent;
        if (expectedNext < RTCompanionClient::kMaxReportBatch + 5) {
            EXPECT_EQ(client->userShortenedUrls().first().toMap().value("url"),
                      QStringLiteral("https://bitly.localhost/r%1").arg(expectedNext));
        }
    }
    EXPECT_TRUE(client->userShortenedUrls().isEmpty());
    EXPECT_GT(batches, 1) << "55 records do not fit one request";
    EXPECT_EQ(expectedNext, RTCompanionClient::kMaxReportBatch + 6);
    EXPECT_EQ(loggedPaths(lines).count(QStringLiteral("/v1/report/shares")), batches);

    // Nothing left: no request at all; the click record goes now.
    const int quiet = logLines();
    client->sendUserShortenedUrls();
    const int from = finished.size();
    client->sendClickedUrls();
    ASSERT_TRUE(waitFor(RTTalvoRequestClickedUrls, &ok, from));
    EXPECT_TRUE(ok);
    EXPECT_TRUE(client->clickedUrls().isEmpty());
    EXPECT_EQ(loggedPaths(quiet).count(QStringLiteral("/v1/report/shares")), 0);
}

TEST_F(CompanionSandbox, TrendsBecomeEntriesOfTheTrendsNode)
{
    client->getTrends();
    bool ok = false;
    ASSERT_TRUE(waitFor(RTTalvoRequestTrends, &ok));
    ASSERT_TRUE(ok);
    const QList<RTTrendObjectPtr> trends = client->twitterTrends();
    ASSERT_FALSE(trends.isEmpty()) << "the seeded statuses carry hashtags";
    RTTreeNode *node = childOfCompanion("RTTreeNodeTrend");
    ASSERT_TRUE(node);
    const QList<RTMessagePtr> entries = node->contentSnapshot();
    ASSERT_EQ(entries.size(), trends.size());
    const auto *first = dynamic_cast<const RTTrendMessage *>(entries.first().get());
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->body().startsWith(u'#'));
    EXPECT_TRUE(first->details().contains(QStringLiteral("messages")));
    // No trend entry reaches a timeline of the account.
    EXPECT_TRUE(childOfCompanion("RTTreeNodeMutes")->contentSnapshot().isEmpty());

    // A refresh keeps the same entries (same ids) and the seen state of a trend.
    trends.first()->setIsSeen(true);
    const int from = finished.size();
    client->getTrends();
    ASSERT_TRUE(waitFor(RTTalvoRequestTrends, &ok, from));
    EXPECT_EQ(node->contentSnapshot().size(), entries.size());
    EXPECT_EQ(client->twitterTrends().first().get(), trends.first().get());
}

TEST_F(CompanionSandbox, GroupsRoundTripWithACompanionAccount)
{
    client->service()->setServiceId(QStringLiteral("alice"));
    client->service()->setServicePassword(QString::fromLatin1(SandboxFixture::kPassword));
    ASSERT_TRUE(client->hasAnAccountConfigured());
    const auto messages =
        deliver({status(QStringLiteral("700"), QStringLiteral("14007"), QStringLiteral("from bob")),
                 status(QStringLiteral("701"), QStringLiteral("555"), QStringLiteral("from 555"))});
    auto idsIn = [](RTTreeNode *node) {
        QStringList ids;
        for (const RTMessagePtr &m : node ? node->contentSnapshot() : QList<RTMessagePtr>())
            ids << m->messageId();
        ids.sort();
        return ids;
    };

    const RTGroupObjectPtr group = RTCompanionClient::newGroupWithService(
        account.get(), QStringLiteral("Friends"), {QStringLiteral("14007")});
    client->createGroupWithGroupObject(group);
    bool ok = false;
    ASSERT_TRUE(waitFor(RTTalvoRequestCreateGroup, &ok));
    ASSERT_TRUE(ok);
    EXPECT_FALSE(group->groupId().isEmpty());
    ASSERT_EQ(client->groupsOfService(account.get()), QList<RTGroupObjectPtr>{group});
    RTTreeNode *node = group->treeNodeForSelf();
    manager->reEvaluateAllMessagesForTreeNode(node);
    EXPECT_EQ(idsIn(node), QStringList{QStringLiteral("700")});

    client->addMemberToGroup(QStringLiteral("555"), group);
    ASSERT_TRUE(waitFor(RTTalvoRequestAddMember, &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(idsIn(node), (QStringList{QStringLiteral("700"), QStringLiteral("701")}));
    client->removeMemberWithUserIdFromAllGroupsInService(QStringLiteral("14007"), account.get());
    ASSERT_TRUE(waitFor(RTTalvoRequestRemoveMember, &ok));
    EXPECT_EQ(group->members(), QStringList{QStringLiteral("555")});
    EXPECT_EQ(idsIn(node), QStringList{QStringLiteral("701")});

    // The service's listing agrees and keeps the same object.
    int from = finished.size();
    client->getGroups();
    ASSERT_TRUE(waitFor(RTTalvoRequestGroups, &ok, from));
    ASSERT_EQ(client->groupsOfService(account.get()).size(), 1);
    EXPECT_EQ(client->groupsOfService(account.get()).first().get(), group.get());
    EXPECT_EQ(group->members(), QStringList{QStringLiteral("555")});

    client->removeGroupWithGroupObject(group);
    ASSERT_TRUE(waitFor(RTTalvoRequestRemoveGroup, &ok));
    EXPECT_TRUE(client->groupsOfService(account.get()).isEmpty());
    from = finished.size();
    client->getGroups();
    ASSERT_TRUE(waitFor(RTTalvoRequestGroups, &ok, from));
    EXPECT_TRUE(client->groupsOfService(account.get()).isEmpty());
}

} // namespace
