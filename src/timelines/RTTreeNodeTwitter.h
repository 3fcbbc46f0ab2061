#pragma once

#include "timelines/RTTreeNode.h"

#include <functional>
#include <memory>

class RTRequestDelegate;
class RTServiceTwitter;

// The action tags the message view offers on a message of a timeline.
namespace RTMessageActionTags {
[[nodiscard]] const QList<qint32> &timeline(); // Home, Mentions, Retweets, Lists, ...
[[nodiscard]] const QList<qint32> &sent();
[[nodiscard]] const QList<qint32> &inbox();
[[nodiscard]] const QList<qint32> &outbox();
[[nodiscard]] const QList<qint32> &userIcon();
} // namespace RTMessageActionTags

// An account root and its per-account timelines (Combined, Home, Mentions, ...). The root
// follows its account's node settings and reference messages.
class RTTreeNodeTwitter : public RTTreeNode
{
    Q_OBJECT
public:
    // The pop-up hosts (Lists, Groups, Searches) belong to the manager's classes; it
    // installs a factory. Without one the root uses empty placeholders.
    using PopupHostFactory =
        std::function<RTTreeNode *(RTServiceTwitter *account, qint32 requestType)>;
    static void setPopupHostFactory(PopupHostFactory factory);

    // The account root with all its children.
    explicit RTTreeNodeTwitter(RTServiceTwitter *account);
    // One timeline of an account.
    RTTreeNodeTwitter(const QString &name, RTService *service, qint32 requestType,
                      const QString &imageName, const Predicate &validMsgPredicate);
    ~RTTreeNodeTwitter() override;

    [[nodiscard]] const QList<qint32> *menuItems() const { return m_menuItems; }
    [[nodiscard]] int menuItemsCount() const;
    void setMenuItems(const QList<qint32> *items) { m_menuItems = items; }
    [[nodiscard]] bool polledAllPossibleMessages() const { return m_polledAllPossibleMessages; }
    void setPolledAllPossibleMessages(bool value) { m_polledAllPossibleMessages = value; }
    [[nodiscard]] bool isEmpty() const { return m_isEmpty; }
    void setIsEmpty(bool value) { m_isEmpty = value; }
    [[nodiscard]] bool isAccountRoot() const;

    [[nodiscard]] QString nodeViewClass() const override;
    [[nodiscard]] QVariantMap identity() const override;
    [[nodiscard]] int defaultListState() const override;
    [[nodiscard]] bool canPollForOlderTweets() const override;
    void pollForOlderTweets() override;
    RTNodeMenu *menu() override;

    // Refresh from the account.
    virtual void reload();
    // Asks for the page below maxId; false when nothing was sent.
    virtual bool requestOlderPage(const QString &maxId);
    virtual void serviceRequestSuccess(const QVariantMap &result);
    virtual void serviceRequestFailure(const QVariantMap &result);
    [[nodiscard]] RTTreeNode *nodeWithRequestType(qint32 type) const;
    void nodeWithRequestType(qint32 type, bool shouldShow);
    // Enables the three message items from the collection's displayed messages.
    void menuNeedsUpdate(RTNodeMenu &menu);
    void newHomeReferenceMessageId(const void *account);
    void newSentReferenceMessageId(const void *account);

    // The max id of a backwards page: the oldest displayed id minus 1, or empty.
    [[nodiscard]] static QString maxIdBelow(const QList<RTMessagePtr> &displayed);
    // The request delegate that forwards the answers of this node's own requests.
    [[nodiscard]] std::shared_ptr<RTRequestDelegate> requestDelegate();

protected:
    // Applies the answer of a backwards page; false when the result was not one.
    bool handleOlderTweetsResult(const QVariantMap &result, bool success);
    RTServiceTwitter *twitterAccount() const;
    std::unique_ptr<RTNodeMenu> m_nodeMenu;

private:
    void buildChildren(RTServiceTwitter *account);
    void applyShowSettings();
    void rebuildHomePredicate();

    const QList<qint32> *m_menuItems = nullptr;
    bool m_polledAllPossibleMessages = false;
    bool m_isEmpty = false;
    std::shared_ptr<RTRequestDelegate> m_requestDelegate;
    QList<int> m_notificationIds;
};

// Inbox and Outbox.
class RTTreeNodeTwitterDirect : public RTTreeNodeTwitter
{
    Q_OBJECT
public:
    using RTTreeNodeTwitter::RTTreeNodeTwitter;
    ~RTTreeNodeTwitterDirect() override { unregisterFromOwner(); }
};

// Messages and answers found in results: kRTAllRequestMessagesKey or "messages".
[[nodiscard]] QList<RTMessagePtr> messagesInResult(const QVariantMap &result);
[[nodiscard]] QVariantMap userInfoInResult(const QVariantMap &result);
