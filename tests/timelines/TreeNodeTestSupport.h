#pragma once

#include "foundation/Clock.h"
#include "model/RTMessageFlags.h"
#include "model/RTMessageTwitter.h"
#include "platform/fake/FakeKeychain.h"
#include "platform/fake/FakeListView.h"
#include "timelines/RTTreeNode.h"
#include "timelines/RTTreeNodeOwner.h"
#include "twitter/RTServiceTwitter.h"

#include <QSet>
#include <gtest/gtest.h>

// Feeds messages to every registered node the way the manager does: the node's verdict,
// then membership on the message and the node's insert. No locks, no repeat rules.
class TestNodeOwner : public RTTreeNodeOwner
{
public:
    TestNodeOwner() { RTTreeNodeOwner::setShared(this); }
    ~TestNodeOwner() override { RTTreeNodeOwner::setShared(nullptr); }

    QList<RTTreeNode *> nodes;
    QList<RTMessagePtr> store; // what reEvaluateAllMessagesForTreeNode offers
    int batchChanges = 0;
    bool batch = false;
    QStringList calls;

    // The class each node had when it (un)registered: a half-built or half-destroyed node
    // shows a base class here.
    QStringList registeredAs;
    QStringList unregisteredAs;

    void treeNodesSetAddNode(RTTreeNode *node) override
    {
        nodes.append(node);
        registeredAs << QString::fromLatin1(node->metaObject()->className());
    }
    void treeNodesSetRemoveNode(RTTreeNode *node) override
    {
        nodes.removeOne(node);
        unregisteredAs << QString::fromLatin1(node->metaObject()->className());
    }
    void reEvaluateAllMessagesForTreeNode(RTTreeNode *node) override
    {
        QList<RTMessagePtr> add;
        QList<RTMessagePtr> remove;
        for (const RTMessagePtr &m : std::as_const(store)) {
            const bool held = node->messagesArrayController().contains(m.get());
            if (node->isMessageValid(m, 0, {})) {
                if (!held) {
                    m->willBeAddedToTreeNode(node);
                    add << m;
                }
            } else if (held && node->shouldRemoveMessage(m, 0, {})) {
                m->willBeRemovedFromTreeNode(node);
                remove << m;
            }
        }
        node->messagesArrayControllerRemoveMessages(remove);
        node->messagesArrayControllerAddMessages(add);
    }
    void allTreeNodesAddMessages(const QList<RTMessagePtr> &messages, int requestType,
                                 const QVariantMap &userInfo) override
    {
        for (const RTMessagePtr &m : messages) {
            if (!store.contains(m))
                store << m;
        }
        for (RTTreeNode *node : std::as_const(nodes)) {
            QList<RTMessagePtr> kept;
            for (const RTMessagePtr &m : messages) {
                if (node->isMessageValid(m, requestType, userInfo) &&
                    !m->containedInTreeNodesSet().contains(node)) {
                    m->willBeAddedToTreeNode(node);
                    kept << m;
                }
            }
            node->messagesArrayControllerAddMessages(kept);
        }
    }
    [[nodiscard]] bool isBatchChangingNewCount() const override { return batch; }
    void setIsBatchChangingNewCount(bool value) override
    {
        batch = value;
        batchChanges += value ? 1 : 0;
    }
    void showNode(RTTreeNode *node) override
    {
        calls << QStringLiteral("show ") + (node ? node->name() : QStringLiteral("none"));
    }
    void selectCombinedSectionOfHost(RTTreeNode *) override { calls << QStringLiteral("combined"); }
    void nodeWillHide(RTTreeNode *node) override
    {
        calls << QStringLiteral("hide ") + node->name();
    }
    void reloadOutline() override { calls << QStringLiteral("reload"); }
};

class TreeNodeTestBase : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Keychain::setShared(&keychain);
        Clock::setShared(&clock);
    }
    void TearDown() override
    {
        Clock::setShared(nullptr);
        Keychain::setShared(nullptr);
    }

    std::unique_ptr<RTServiceTwitter> makeAccount(const QString &id = QStringLiteral("me"))
    {
        auto account = std::make_unique<RTServiceTwitter>();
        account->setServiceId(id);
        return account;
    }

    // A message of account with the given temporary (kinds) and permanent flag words.
    static RTMessageTwitterPtr message(RTServiceTwitter *account, const QString &id, quint32 kinds,
                                       quint32 permanent = 0, qint64 minutesAfterBase = 0)
    {
        auto m = RTMessageTwitter::create(id);
        m->setService(account);
        m->setCreatedAt(kBase.addSecs(minutesAfterBase * 60));
        m->setTemporaryFlags(kinds);
        m->setPermanentFlags(permanent);
        return m;
    }

    // Makes id the account's Home and Sent reference message.
    static void setReference(RTServiceTwitter &account, const RTMessageTwitterPtr &reference)
    {
        auto stored = account.messagesDictionary();
        stored.insert(reference->messageId(), reference);
        account.setMessagesDictionary(stored);
        account.setHomeReferenceMessageId(reference->messageId());
        account.setSentReferenceMessageId(reference->messageId());
    }

    inline static const QDateTime kBase = QDateTime(QDate(2010, 6, 1), QTime(10, 0), Qt::UTC);
    FakeKeychain keychain;
    FakeClock clock;
};

[[nodiscard]] inline QSet<QString> idsOf(const RTTreeNode &node)
{
    QSet<QString> ids;
    for (const RTMessagePtr &m : node.messagesArrayController().content())
        ids.insert(m->messageId());
    return ids;
}
