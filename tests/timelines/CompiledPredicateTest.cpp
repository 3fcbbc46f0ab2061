#include "../twitter/MappingTestSupport.h"

#include "accounts/RTServiceRegistry.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "model/RTMessageTwitter.h"
#include "timelines/RTCompiledPredicate.h"
#include "timelines/RTTreeNodeManager.h"
#include "timelines/RTTreeNodePopupHost.h"
#include "timelines/RTTreeNodePredicates.h"
#include "twitter/RTTwitterRequestTypes.h"

#include <QCoreApplication>
#include <QObject>

using namespace RTTemporaryFlag;

namespace {

const QDateTime kFloor = QDateTime(QDate(2011, 3, 1), QTime(12, 0), Qt::UTC);

Predicate flag(const char *name, bool value)
{
    return RTPredicates::flag(name, value);
}

Predicate createdAt(Predicate::Op op, const PredicateValue &value)
{
    return Predicate::compare(QStringLiteral("createdAt"), op, value);
}

// Every shape the nodes build, and the ones that must fall back to the tree.
std::vector<Predicate> predicates(const QObject *alice, const QObject *bob)
{
    using Op = Predicate::Op;
    const PredicateValue floor = PredicateValue::date(kFloor);
    const Predicate service = RTPredicates::serviceIs(alice);
    return {
        Predicate(),
        Predicate::truePredicate(),
        Predicate::falsePredicate(),
        flag("isMuted", true),
        flag("isHome", false),
        RTPredicates::mentions(alice),
        RTPredicates::retweets(bob),
        RTPredicates::inbox(alice),
        RTPredicates::outbox(bob),
        Predicate::andPredicate({service, RTPredicates::createdAtSince(kFloor),
                                 flag("isHome", true), flag("isMuted", false),
                                 flag("isRetweet", false)}),
        RTPredicates::createdAtSince(kFloor) && flag("isMuted", false),
        createdAt(Op::Less, floor),
        createdAt(Op::LessOrEqual, floor),
        createdAt(Op::Greater, floor),
        createdAt(Op::NotEqual, floor),
        createdAt(Op::Equal, floor),
        // A floor of no date, and of a value of another kind.
        createdAt(Op::GreaterOrEqual, PredicateValue()),
        createdAt(Op::Equal, PredicateValue()),
        createdAt(Op::NotEqual, PredicateValue()),
        createdAt(Op::GreaterOrEqual, PredicateValue::integer(kFloor.toMSecsSinceEpoch())),
        // Accounts of nothing, and the count nodes' "not of nothing".
        RTPredicates::serviceIs(nullptr),
        Predicate::compare(QStringLiteral("service"), Op::Equal,
                           PredicateValue::object(nullptr, QStringLiteral("NULL"))),
        flag("isSearch", true) &&
            Predicate::compare(QStringLiteral("service"), Op::NotEqual,
                               PredicateValue::object(nullptr, QStringLiteral("NULL"))),
        Predicate::compare(QStringLiteral("service"), Op::NotEqual,
                           RTPredicates::serviceValue(bob)),
        Predicate::compare(QStringLiteral("service"), Op::Greater, RTPredicates::serviceValue(bob)),
        // Values read through the message: ids and authors.
        Predicate::compare(QStringLiteral("messageId"), Op::Equal, PredicateValue::integer(12)),
        Predicate::compare(QStringLiteral("messageId"), Op::Greater, PredicateValue::integer(12)) &&
            flag("isHome", true),
        Predicate::compare(QStringLiteral("userId"), Op::Equal,
                           PredicateValue::string(QStringLiteral("7"))),
        // Contradicting flags never hold.
        flag("isSent", true) && flag("isSent", false),
        // Clauses: the count nodes' "or" of conjunctions.
        Predicate::orPredicate({RTPredicates::mentions(alice),
                                flag("isPrivate", true) && flag("isMuted", false),
                                Predicate::falsePredicate(), flag("isListed", true)}),
        // Shapes that stay trees.
        Predicate::notPredicate(RTPredicates::mentions(alice)),
        service && (flag("isHome", true) || flag("isMention", true)),
        Predicate::orPredicate({flag("isSent", true), Predicate::notPredicate(service)}),
    };
}

} // namespace

TEST(CompiledPredicateTest, SelectsWhatThePredicateTreeSelects)
{
    QObject alice;
    QObject bob;
    std::vector<RTMessagePtr> messages;
    const quint32 temporaries[] = {0,
                                   IsHome,
                                   IsHome | IsRetweet,
                                   IsMention,
                                   IsPrivate,
                                   IsPrivate | IsSent,
                                   IsRetweet,
                                   IsSearch | IsListed,
                                   IsSent | IsSearch};
    const quint32 permanents[] = {0, RTPermanentFlag::IsMuted,
                                  RTPermanentFlag::IsSeen | RTPermanentFlag::IsMuted};
    const QObject *services[] = {&alice, &bob, nullptr};
    const QDateTime dates[] = {kFloor.addSecs(-1), kFloor, kFloor.addMSecs(1), QDateTime()};
    const QString ids[] = {QStringLiteral("12"), QStringLiteral("13"), QStringLiteral("x1")};
    int n = 0;
    for (quint32 temporary : temporaries)
        for (quint32 permanent : permanents)
            for (const QObject *service : services)
                for (const QDateTime &date : dates) {
                    auto m = RTMessageTwitter::create(ids[n % 3]);
                    m->setService(const_cast<QObject *>(service));
                    m->setCreatedAt(date);
                    m->setTemporaryFlags(temporary);
                    m->setPermanentFlags(permanent);
                    m->setUserId(QString::number(n % 9));
                    messages.push_back(m);
                    ++n;
                }

    int flatOnes = 0;
    QStringList selectsNothing;
    for (const Predicate &predicate : predicates(&alice, &bob)) {
        const RTCompiledPredicate compiled(predicate);
        flatOnes += compiled.isFlat() ? 1 : 0;
        int selected = 0;
        for (const RTMessagePtr &m : messages) {
            const bool expected = predicate.isNull() || evaluatePredicate(predicate, *m);
            selected += expected ? 1 : 0;
            ASSERT_EQ(compiled.evaluate(RTMessageFacts(*m)), expected)
                << qPrintable(predicate.toString()) << " on message " << qPrintable(m->messageId())
                << " flags " << m->temporaryFlags() << "/" << m->permanentFlags() << " date "
                << qPrintable(m->createdAt().toString(Qt::ISODateWithMs));
        }
        if (selected == 0)
            selectsNothing << predicate.toString();
    }
    // The table only proves something where predicates split the messages: only these
    // select none (a date floor of another kind, an identity of nothing, no order of
    // identities).
    EXPECT_EQ(
        selectsNothing,
        QStringList({QStringLiteral("FALSEPREDICATE"), QStringLiteral("createdAt >= 1298980800000"),
                     QStringLiteral("service == nil"), QStringLiteral("service > "),
                     QStringLiteral("isSent == YES && isSent == NO")}));
    // Only the last three fall back to the tree.
    EXPECT_EQ(flatOnes, int(predicates(&alice, &bob).size()) - 3);
}

namespace {

// A host that leaves out what one of its sections holds, as Groups leaves out Ungrouped.
class ExcludingHost : public RTTreeNodePopupHost
{
public:
    using RTTreeNodePopupHost::addSectionNode;
    using RTTreeNodePopupHost::RTTreeNodePopupHost;
};

class JudgeTest : public MappingTestBase
{
protected:
    void TearDown() override
    {
        manager.reset();
        registry.setServices({});
        MappingTestBase::TearDown();
    }
    std::shared_ptr<RTServiceTwitter> addAccount(const QString &name)
    {
        auto account = std::shared_ptr<RTServiceTwitter>(makeAccount(name).release());
        RTServiceList services = registry.services();
        services.append(account);
        registry.setServices(services);
        owned.append(account);
        return account;
    }
    RTServiceRegistry registry;
    QList<std::shared_ptr<RTServiceTwitter>> owned;
    std::unique_ptr<RTTreeNodeManager> manager;
};

} // namespace

// The manager judges batches through each node's judge; every node must answer there as
// it answers one message at a time, and base nodes as their predicate tree does.
TEST_F(JudgeTest, EveryNodeJudgesBatchesAsItJudgesOneMessage)
{
    SettingsStore::shared().removeObjectForKey(QString::fromLatin1(RTExpandedNodesKey));
    auto alice = addAccount(QStringLiteral("alice"));
    auto bob = addAccount(QStringLiteral("bob"));
    manager = std::make_unique<RTTreeNodeManager>(registry);
    QList<RTMessagePtr> all;
    int id = 100;
    const quint32 kinds[] = {IsHome,    IsHome | IsMention, IsHome | IsRetweet, IsHome | IsSent,
                             IsPrivate, IsPrivate | IsSent, IsFavorite,         IsListed,
                             IsSearch,  IsMention,          IsRetweet | IsSent};
    for (auto *account : {alice.get(), bob.get()}) {
        QStringList statuses;
        for (int age : {30, 300, 3000})
            statuses << status(QString::number(id++), QStringLiteral("9"), QStringLiteral("hi"), {},
                               age);
        const auto result = feed(*account, RTTwitterRequestHomeTimeline, statuses);
        account->updateReferenceMessageIds(RTTwitterRequestHomeTimeline, result.allMessages);
        int k = 0;
        for (int age : {10, 600, 6000}) {
            for (quint32 kind : kinds) {
                const auto more = feed(*account, RTTwitterRequestHomeTimeline,
                                       {status(QString::number(id++), QString::number(k % 4),
                                               QStringLiteral("x"), {}, age)});
                for (const auto &m : more.allMessages) {
                    m->setTemporaryFlags(kind);
                    all.append(m);
                }
                ++k;
            }
        }
        for (const auto &m : result.allMessages)
            all.append(m);
    }
    manager->allTreeNodesReEvaluteContent();
    // Some held messages change afterwards, so that nodes hold what they now reject.
    for (int i = 0; i < all.size(); i += 3)
        all.at(i)->setIsMuted(true);
    for (int i = 1; i < all.size(); i += 5)
        all.at(i)->setTemporaryFlags(all.at(i)->temporaryFlags() ^ IsSent);

    std::unique_ptr<RTTreeNode> section(RTTreeNode::create<RTTreeNode>(
        QStringLiteral("section"), alice.get(), 0, QString(), RTPredicates::mentions(alice.get())));
    std::unique_ptr<ExcludingHost> host(RTTreeNode::create<ExcludingHost>(
        QStringLiteral("host"), alice.get(), 2, QString(), RTPredicates::flag("isHome", true),
        QString(), QString()));
    host->addSectionNode(section.get(), true);
    manager->reEvaluateAllMessagesForTreeNode(section.get());
    int excluded = 0;
    for (const RTMessagePtr &m : all)
        excluded += host->isMessageValid(m, 0, {}) != bool(m->temporaryFlags() & IsHome) ? 1 : 0;
    EXPECT_GT(excluded, 0);

    const QVariantMap none;
    const QVariantMap force{{QStringLiteral("forceRemove"), true}};
    const QList<RTTreeNode *> nodes = manager->allTreeNodes() +
                                      manager->combinedToolbarTreeNodes() +
                                      QList<RTTreeNode *>{host.get(), section.get()};
    int byPredicate = 0;
    int held = 0;
    for (RTTreeNode *node : nodes) {
        byPredicate += node->judgesByPredicateAlone() ? 1 : 0;
        for (const QVariantMap *userInfo : {&none, &force}) {
            const RTTreeNodeJudge judge = node->judge(RTTwitterRequestHomeTimeline, *userInfo);
            for (const RTMessagePtr &m : all) {
                const RTMessageFacts facts(*m);
                held += m->isContainedInTreeNode(node) ? 1 : 0;
                bool valid = node->isMessageValid(m, RTTwitterRequestHomeTimeline, *userInfo);
                bool remove = node->shouldRemoveMessage(m, RTTwitterRequestHomeTimeline, *userInfo);
                if (node->judgesByPredicateAlone()) {
                    const Predicate tree = node->validMessagePredicate();
                    const bool passes = tree.isNull() || evaluatePredicate(tree, *m);
                    EXPECT_EQ(valid, node->isOfMessageClass(*m) && passes &&
                                         node->passesFurtherChecks(*m));
                    EXPECT_EQ(remove, userInfo == &force || !passes);
                }
                EXPECT_EQ(judge.isMessageValid(facts, m), valid)
                    << qPrintable(node->description()) << " " << qPrintable(m->messageId());
                EXPECT_EQ(judge.shouldRemoveMessage(facts, m), remove)
                    << qPrintable(node->description()) << " " << qPrintable(m->messageId());
            }
        }
    }
    EXPECT_GT(byPredicate, 20);
    EXPECT_LT(byPredicate, nodes.size()); // and the placeholder by its own rule
    EXPECT_GT(held, 100);
}
