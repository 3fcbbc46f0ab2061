// Saved searches and lists as the user manages them, against a real talvo-sandbox: the
// account's arrays, the nodes that show them and the messages in those nodes follow
// every answer, and refused or failed changes leave everything as it was.
#include "accounts/RTServiceRegistry.h"
#include "foundation/HostProfile.h"
#include "foundation/OperationQueue.h"
#include "foundation/RTGlobalVariables.h"
#include "http/HttpRequest.h"
#include "model/RTMessageTwitter.h"
#include "network/OAuthClock.h"
#include "platform/fake/FakeAlerts.h"
#include "platform/fake/FakeKeychain.h"
#include "support/SandboxSuite.h"
#include "support/TestSupport.h"
#include "timelines/RTTreeNodeManager.h"
#include "timelines/RTTreeNodeSearch.h"
#include "timelines/RTTreeNodeTwitterListsTimeline.h"
#include "twitter/RTListTwitter.h"
#include "twitter/RTSearchTwitter.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/TwitterRegistration.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

class ListsSandboxTest : public SandboxSuite
{
protected:
    static void SetUpTestSuite() { startSandbox(6); }

    void SetUp() override
    {
        ASSERT_TRUE(useSandbox()) << sandbox->errorString().toStdString();
        registerTwitterRequestClasses();
        Keychain::setShared(&keychain);
        Alerts::setShared(&alerts);
        account = std::make_shared<RTServiceTwitter>();
        account->setServiceId(QStringLiteral("alice"));
        account->setServicePassword(QString::fromLatin1(SandboxFixture::kPassword));
        account->setIsNewlyAdded(false);
        // Lists are polled by hand here, when the test wants their pages.
        account->setShouldPollTwitterLists(false);
        QObject::connect(account.get(), &RTServiceTwitter::requestFinished,
                         [this](const QVariantMap &result, bool success) {
                             answers.append({result, success});
                         });
        registry.setServices({account});
        manager = std::make_unique<RTTreeNodeManager>(registry);
    }
    void TearDown() override
    {
        if (account) {
            account->stop();
            QObject::disconnect(account.get(), nullptr, nullptr, nullptr);
            account->setIsDeleted(true);
        }
        waitUntil([] {
            return OperationQueue::forType(OperationQueue::ServiceRequests).operationCount() == 0 &&
                   OperationQueue::forType(OperationQueue::ImmediateRequests).operationCount() == 0;
        });
        manager.reset();
        registry.setServices({});
        account.reset();
        leaveSandbox();
        Alerts::setShared(nullptr);
        Keychain::setShared(nullptr);
    }

    struct Answer
    {
        QVariantMap result;
        bool success = false;
        [[nodiscard]] std::string failure() const
        {
            return result.value(key(kRTOperationFailureMessageKey)).toString().toStdString();
        }
    };

    std::optional<Answer> answerOf(qint32 type, int timeoutMs = 10000)
    {
        std::optional<Answer> found;
        waitUntil(
            [&] {
                for (qsizetype i = 0; i < answers.size(); ++i) {
                    if (answers.at(i).result.value(key(kRTRequestType)).toInt() == type) {
                        found = answers.takeAt(i);
                        return true;
                    }
                }
                return false;
            },
            timeoutMs);
        return found;
    }

    bool logIn()
    {
        account->setRunning(true);
        account->requestOAuthTokenWithDelegate(nullptr);
        const auto answer = answerOf(RTTwitterRequestAccessToken);
        if (!answer || !answer->success)
            return false;
        // Lists tell their own from others' by the account's user.
        account->updateMyUserWithDelegate(nullptr);
        const auto me = answerOf(RTTwitterRequestMyUserShow);
        return me && me->success && account->myself();
    }

    template<class Node> QList<Node *> nodes() const
    {
        QList<Node *> found;
        for (RTTreeNode *node : manager->allTreeNodes())
            if (auto *n = qobject_cast<Node *>(node))
                found.append(n);
        return found;
    }

    RTTreeNodeTwitterListsTimeline *nodeOfList(const QString &listId) const
    {
        for (auto *node : nodes<RTTreeNodeTwitterListsTimeline>())
            if (node->listObject() && node->listObject()->listId() == listId)
                return node;
        return nullptr;
    }

    RTTreeNodeSearch *nodeOfSearch(const RTSearchTwitterPtr &search) const
    {
        for (auto *node : nodes<RTTreeNodeSearch>())
            if (node->searchObject() == search)
                return node;
        return nullptr;
    }

    QString userIdOf(const QString &screenName) const
    {
        for (const RTUserTwitterPtr &user : account->usersDictionary())
            if (user->screenName() == screenName)
                return user->userId();
        return {};
    }

    FakeKeychain keychain;
    FakeAlerts alerts;
    RTServiceRegistry registry;
    std::shared_ptr<RTServiceTwitter> account;
    std::unique_ptr<RTTreeNodeManager> manager;
    QList<Answer> answers;
};

} // namespace

TEST_F(ListsSandboxTest, ASearchIsSavedPolledAndRemoved)
{
    ASSERT_TRUE(logIn());
    // What the search field does: a temporary search that runs at once.
    const RTSearchTwitterPtr temporary = RTSearchTwitter::searchWithTerm(QStringLiteral(" game "));
    ASSERT_TRUE(temporary);
    account->pollTimelineSince(QString(), {}, RTTwitterRequestSearch,
                               {{"searchObject", QVariant::fromValue(temporary)}});
    const auto found = answerOf(RTTwitterRequestSearch);
    ASSERT_TRUE(found && found->success);
    const QList<RTMessagePtr> results = temporary->messagesSet().values();
    ASSERT_FALSE(results.isEmpty());

    account->savedSearchesCreateWithObject(QVariant::fromValue(temporary), temporary->searchName(),
                                           QVariant::fromValue(results));
    const auto created = answerOf(RTTwitterRequestCreateSavedSearch);
    ASSERT_TRUE(created && created->success) << created->failure();
    ASSERT_EQ(account->savedSearchesArray().size(), 1);
    const RTSearchTwitterPtr saved = account->savedSearchesArray().constFirst();
    EXPECT_EQ(saved->searchQuery(), QStringLiteral("game"));
    EXPECT_FALSE(saved->searchId().isEmpty());
    // Its node shows at once what the temporary search had found.
    RTTreeNodeSearch *node = nodeOfSearch(saved);
    ASSERT_TRUE(node);
    EXPECT_TRUE(waitUntil([&] {
        return node->messagesArrayController().count() == results.size();
    })) << node->messagesArrayController().count();

    // Polled as a saved search: through the account, moving its since id.
    EXPECT_FALSE(saved->lastPoll().isValid());
    ASSERT_TRUE(saved->search());
    const auto polled = answerOf(RTTwitterRequestSearch);
    ASSERT_TRUE(polled && polled->success) << polled->failure();
    EXPECT_TRUE(saved->lastPoll().isValid());
    EXPECT_FALSE(saved->sinceId().isEmpty());

    // Deleting the node deletes the search on the server, and the node goes with it.
    node->deleteSelf();
    const auto destroyed = answerOf(RTTwitterRequestDestroySavedSearch);
    ASSERT_TRUE(destroyed && destroyed->success) << destroyed->failure();
    EXPECT_TRUE(account->savedSearchesArray().isEmpty());
    EXPECT_FALSE(nodeOfSearch(saved));
    account->pollTimelineSince(QString(), {}, RTTwitterRequestSavedSearches, {});
    const auto listed = answerOf(RTTwitterRequestSavedSearches);
    ASSERT_TRUE(listed && listed->success);
    for (const RTSearchTwitterPtr &left : account->savedSearchesArray())
        EXPECT_NE(left->searchId(), saved->searchId());
}

TEST_F(ListsSandboxTest, AListIsMadeItsMembersComeAndGoAndItIsDeleted)
{
    ASSERT_TRUE(logIn());
    ASSERT_TRUE(account->createListWithName(QStringLiteral("Tea Friends!"), false,
                                            QStringLiteral("people who like tea")));
    const auto created = answerOf(RTTwitterRequestCreateList);
    ASSERT_TRUE(created && created->success) << created->failure();
    ASSERT_TRUE(answerOf(RTTwitterRequestListStatuses)); // a new list is fetched at once
    const QList<RTListTwitterPtr> lists = account->listsArray();
    ASSERT_EQ(lists.size(), 1);
    const RTListTwitterPtr list = lists.constFirst();
    EXPECT_EQ(list->slugName(), QStringLiteral("tea-friends"));
    EXPECT_EQ(list->fullName(), QStringLiteral("@alice/tea-friends"));
    EXPECT_TRUE(list->isMine());
    EXPECT_FALSE(list->isPrivate());
    EXPECT_EQ(list->memberCount(), 0);
    RTTreeNodeTwitterListsTimeline *node = nodeOfList(list->listId());
    ASSERT_TRUE(node);
    EXPECT_EQ(node->messagesArrayController().count(), 0);

    // A member's messages arrive with the list's next page.
    ASSERT_TRUE(account->addMemberToList(list, QStringLiteral("@bob")));
    const auto added = answerOf(RTTwitterRequestAddListMember);
    ASSERT_TRUE(added && added->success) << added->failure();
    EXPECT_EQ(list->memberCount(), 1);
    const auto page = answerOf(RTTwitterRequestListStatuses);
    ASSERT_TRUE(page && page->success) << page->failure();
    const QString bob = userIdOf(QStringLiteral("bob"));
    ASSERT_FALSE(bob.isEmpty());
    const QList<RTMessagePtr> shown = node->displayedMessages();
    ASSERT_FALSE(shown.isEmpty());
    for (const RTMessagePtr &message : shown) {
        const auto tweet = std::dynamic_pointer_cast<RTMessageTwitter>(message);
        const bool bobs = message->userId() == bob ||
                          (tweet && tweet->retweeter() && tweet->retweeter()->userId() == bob);
        EXPECT_TRUE(bobs) << message->messageId().toStdString();
        EXPECT_TRUE(message->temporaryFlags() & RTTemporaryFlag::IsListed);
    }

    // Renamed and made private: the node follows under the new name, with its messages.
    ASSERT_TRUE(account->updateList(list, QStringLiteral("Tea Lovers"), true, QString()));
    const auto renamed = answerOf(RTTwitterRequestUpdateList);
    ASSERT_TRUE(renamed && renamed->success) << renamed->failure();
    const RTListTwitterPtr current = account->listWithId(list->listId());
    ASSERT_TRUE(current);
    EXPECT_EQ(current->slugName(), QStringLiteral("tea-lovers"));
    EXPECT_TRUE(current->isPrivate());
    node = nodeOfList(list->listId());
    ASSERT_TRUE(node);
    // Its row says "tea lovers", its pop-up entry the full name.
    EXPECT_TRUE(node->name() == QStringLiteral("tea lovers") ||
                node->name() == QStringLiteral("@alice/tea-lovers"))
        << node->name().toStdString();
    EXPECT_TRUE(waitUntil([&] { return node->messagesArrayController().count() == shown.size(); }))
        << node->messagesArrayController().count();

    // A member who leaves takes their messages out of the list's node.
    ASSERT_TRUE(account->removeMemberFromList(current, QStringLiteral("bob")));
    const auto removed = answerOf(RTTwitterRequestRemoveListMember);
    ASSERT_TRUE(removed && removed->success) << removed->failure();
    EXPECT_EQ(current->memberCount(), 0);
    EXPECT_EQ(node->messagesArrayController().count(), 0);
    for (const RTMessagePtr &message : shown)
        EXPECT_FALSE(message->temporaryFlags() & RTTemporaryFlag::IsListed);

    ASSERT_TRUE(account->destroyList(current));
    const auto destroyed = answerOf(RTTwitterRequestDestroyList);
    ASSERT_TRUE(destroyed && destroyed->success) << destroyed->failure();
    EXPECT_TRUE(account->listsArray().isEmpty());
    EXPECT_FALSE(nodeOfList(list->listId()));
}

// Changes the server refuses or fails leave the account as it was.
TEST_F(ListsSandboxTest, RefusedAndFailedChangesLeaveEverythingAsItWas)
{
    ASSERT_TRUE(logIn());
    ASSERT_TRUE(account->createListWithName(QStringLiteral("Kept"), false, QString()));
    ASSERT_TRUE(answerOf(RTTwitterRequestCreateList));
    ASSERT_TRUE(answerOf(RTTwitterRequestListStatuses));
    // The account's other lists too, as a missing list makes it fetch them again.
    account->synchronizeLists();
    ASSERT_TRUE(answerOf(RTTwitterRequestUserLists));
    ASSERT_TRUE(answerOf(RTTwitterRequestListSubscriptions));
    const QList<RTListTwitterPtr> before = account->listsArray();
    RTListTwitterPtr kept;
    for (const RTListTwitterPtr &list : before)
        if (list->slugName() == QStringLiteral("kept"))
            kept = list;
    ASSERT_TRUE(kept);
    auto search = RTSearchTwitter::searchWithTerm(QStringLiteral("tea"));
    QTemporaryDir bodies;
    ASSERT_TRUE(bodies.isValid());
    const QString notAList = bodies.filePath(QStringLiteral("not-a-list.json"));
    {
        QFile file(notAList);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(R"({"id":"","slug":"x"})");
    }
    const QByteArray notAListRule =
        "path /1/alice/*/members* status=200 body=" + notAList.toUtf8() + "\n";

    const struct
    {
        const char *what;
        QByteArray faults;
        std::function<void()> call;
        qint32 type;
        const char *failure;
    } cases[] = {
        {"a second list of the same name", "",
         [&] { account->createListWithName(QStringLiteral("kept"), false, QString()); },
         RTTwitterRequestCreateList, "Rate Limited by Twitter"},
        {"a member who does not exist", "",
         [&] { account->addMemberToList(kept, QStringLiteral("nobody_here")); },
         RTTwitterRequestAddListMember, "Twitter Server Error (404)"},
        {"the server failing a new list", "path /1/alice/lists* status=500\n",
         [&] { account->createListWithName(QStringLiteral("Other"), false, QString()); },
         RTTwitterRequestCreateList, "Twitter Fail Whale (500)"},
        {"the server failing a rename", "path /1/alice/lists/* status=503\n",
         [&] { account->updateList(kept, QStringLiteral("Renamed"), false, QString()); },
         RTTwitterRequestUpdateList, "Twitter Fail Whale (503)"},
        {"the server failing a new member", "path /1/alice/*/members* status=502\n",
         [&] { account->addMemberToList(kept, QStringLiteral("bob")); },
         RTTwitterRequestAddListMember, "Twitter Fail Whale (502)"},
        {"the server failing a delete", "path /1/alice/lists/* status=500\n",
         [&] { account->destroyList(kept); }, RTTwitterRequestDestroyList,
         "Twitter Fail Whale (500)"},
        {"the server failing a saved search", "path /1/saved_searches/* status=503\n",
         [&] {
             account->savedSearchesCreateWithObject(QVariant::fromValue(search),
                                                    QStringLiteral("tea"), QVariant());
         },
         RTTwitterRequestCreateSavedSearch, "Twitter Fail Whale (503)"},
        {"an answer that is no list", notAListRule,
         [&] { account->addMemberToList(kept, QStringLiteral("bob")); },
         RTTwitterRequestAddListMember, "Couldn't Parse Server Response"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(sandbox->writeFaults(c.faults));
        c.call();
        const auto answer = answerOf(c.type);
        ASSERT_TRUE(answer);
        EXPECT_FALSE(answer->success);
        EXPECT_EQ(answer->failure(), c.failure);
        EXPECT_EQ(account->listsArray(), before);
        EXPECT_EQ(kept->slugName(), QStringLiteral("kept"));
        EXPECT_EQ(kept->memberCount(), 0);
        EXPECT_TRUE(account->savedSearchesArray().isEmpty());
        EXPECT_TRUE(nodeOfList(kept->listId()));
    }
    ASSERT_TRUE(sandbox->writeFaults(QByteArray()));

    // What the client refuses itself never reaches the server.
    auto others = std::make_shared<RTListTwitter>(QStringLiteral("1129440"));
    others->setIsMine(false);
    EXPECT_FALSE(account->createListWithName(QStringLiteral("  "), false, QString()));
    EXPECT_FALSE(account->createListWithName(QStringLiteral("!!!"), false, QString()));
    EXPECT_FALSE(account->createListWithName(QString(26, QLatin1Char('a')), false, QString()));
    EXPECT_FALSE(account->addMemberToList(kept, QStringLiteral("not a name")));
    EXPECT_FALSE(account->destroyList(others));
    EXPECT_FALSE(account->subscribeToList(kept));
}
