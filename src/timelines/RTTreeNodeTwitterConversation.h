#pragma once

#include "model/RTMessageTwitter.h"
#include "timelines/RTTreeNodeTwitter.h"

#include <QMutex>
#include <QSet>

// A reply chain around one message: its ancestors (fetched when unknown) and every stored
// message that answers one of them. Tracks "new" by its own read set.
class RTTreeNodeTwitterConversation : public RTTreeNodeTwitter
{
    Q_OBJECT
public:
    // nullptr unless message belongs to an account that can fetch messages.
    static RTTreeNodeTwitterConversation *create(const RTMessageTwitterPtr &message);
    ~RTTreeNodeTwitterConversation() override;

    [[nodiscard]] unsigned getMessagesRequests() const { return m_getMessagesRequests; }
    [[nodiscard]] QString originMessageId() const { return m_originMessageId; }

    [[nodiscard]] QString nodeViewClass() const override;
    [[nodiscard]] QString nodeViewNibName() const override;
    [[nodiscard]] QVariantMap identity() const override;
    [[nodiscard]] bool isOfMessageClass(const RTMessage &message) const override;
    [[nodiscard]] bool judgesByPredicateAlone() const override { return false; }
    [[nodiscard]] bool isMessageValid(const RTMessagePtr &message, qint32 requestType,
                                      const QVariantMap &userInfo) const override;
    [[nodiscard]] bool canPollForOlderTweets() const override { return false; }
    void serviceRequestSuccess(const QVariantMap &result) override;
    void serviceRequestFailure(const QVariantMap &result) override;
    void closeNode() override;

    // Delay of the list state after a step of the walk, and of the collapse on close.
    static constexpr int kStateDelayMs = 200;
    static constexpr int kCollapseDelayMs = 500;

protected:
    void contentDidAddMessages(const QList<RTMessagePtr> &messages) override;
    void contentDidRemoveMessages(const QList<RTMessagePtr> &messages) override;

private:
    RTTreeNodeTwitterConversation(RTServiceTwitter *account, const RTMessageTwitterPtr &message);
    void start(const RTMessageTwitterPtr &message);
    // Follows inReplyToMessageId from message, adding known parents to chain.
    void walk(RTMessageTwitterPtr message, QList<RTMessagePtr> &chain);
    void scheduleState();
    [[nodiscard]] QVariantMap conversationUserInfo() const;

    unsigned m_getMessagesRequests = 0;
    QString m_originMessageId;
    // Ids of the content, for judging replies without the node-contents lock.
    mutable QMutex m_heldIdsLock;
    QSet<QString> m_heldIds;
};
