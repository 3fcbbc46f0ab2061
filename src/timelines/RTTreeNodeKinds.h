#pragma once

#include "timelines/RTTreeNodeTwitter.h"

#include <functional>

class RTServiceTalvo;
class RTUserTwitter;

// The companion service's node, parent of Trends and Muted; shown while RTShowTrendsNode.
class RTTreeNodeTalvo : public RTTreeNode
{
    Q_OBJECT
public:
    explicit RTTreeNodeTalvo(RTService *companion);
    ~RTTreeNodeTalvo() override { unregisterFromOwner(); }
    [[nodiscard]] QVariantMap identity() const override;
    [[nodiscard]] int sortWeight() const override { return 10; }
    [[nodiscard]] bool shouldAppearInOutlineView() const override;
    // Trends are not messages: the companion node's content is the trend list.
    [[nodiscard]] bool isOfMessageClass(const RTMessage &) const override { return false; }
};

// The Twitter trends; its content comes from the companion service, not from messages.
class RTTreeNodeTrend : public RTTreeNode
{
    Q_OBJECT
public:
    using RTTreeNode::RTTreeNode;
    ~RTTreeNodeTrend() override { unregisterFromOwner(); }
    [[nodiscard]] QString nodeViewClass() const override;
    [[nodiscard]] QVariantMap identity() const override;
    // Its entries are the companion service's trends.
    [[nodiscard]] bool isOfMessageClass(const RTMessage &message) const override;
};

// Every muted Twitter message.
class RTTreeNodeMutes : public RTTreeNode
{
    Q_OBJECT
public:
    using RTTreeNode::RTTreeNode;
    ~RTTreeNodeMutes() override { unregisterFromOwner(); }
    [[nodiscard]] QString nodeViewClass() const override;
    [[nodiscard]] QVariantMap identity() const override;
    [[nodiscard]] bool isOfMessageClass(const RTMessage &message) const override;
    [[nodiscard]] int defaultListState() const override { return ListViewController::StateEmpty; }
};

// "No Accounts": shown only while it is the only root.
class RTTreeNodeEmpty : public RTTreeNode
{
    Q_OBJECT
public:
    // rootCount answers how many roots the outline has.
    explicit RTTreeNodeEmpty(std::function<int()> rootCount);
    ~RTTreeNodeEmpty() override { unregisterFromOwner(); }
    [[nodiscard]] QVariantMap identity() const override;
    [[nodiscard]] bool shouldAppearInOutlineView() const override;
    [[nodiscard]] bool judgesByPredicateAlone() const override { return false; }
    [[nodiscard]] bool isMessageValid(const RTMessagePtr &, qint32,
                                      const QVariantMap &) const override
    {
        return false;
    }

private:
    std::function<int()> m_rootCount;
};

// A user's timeline opened from a message.
class RTTreeNodeTwitterUser : public RTTreeNode
{
    Q_OBJECT
public:
    RTTreeNodeTwitterUser(RTServiceTwitter *account, const std::shared_ptr<RTUserTwitter> &user);
    ~RTTreeNodeTwitterUser() override { unregisterFromOwner(); }
    [[nodiscard]] QVariantMap identity() const override;
    [[nodiscard]] std::shared_ptr<RTUserTwitter> user() const { return m_user; }
    [[nodiscard]] QByteArray profileImage() const { return m_profileImage; }
    void setProfileImage(const QByteArray &data) { m_profileImage = data; }

private:
    std::shared_ptr<RTUserTwitter> m_user;
    QByteArray m_profileImage;
};

// A group of the companion service: home messages of its members. The companion layer
// hands in the members' predicate (and rebuilds it when the members change).
class RTTreeNodeTwitterGroup : public RTTreeNode
{
    Q_OBJECT
public:
    RTTreeNodeTwitterGroup(RTServiceTwitter *account, const QString &groupName);
    ~RTTreeNodeTwitterGroup() override { unregisterFromOwner(); }
    void setMembersFilterPredicate(const Predicate &members);
    [[nodiscard]] QVariantMap identity() const override;
    [[nodiscard]] QString nodeViewClass() const override;
    [[nodiscard]] int defaultListState() const override { return ListViewController::StateEmpty; }
    RTNodeMenu *menu() override;
    void deleteSelf() override;

    // What the companion service does for the menu; unset hooks leave items disabled.
    struct Companion
    {
        std::function<bool()> hasAccount;
        std::function<void(RTTreeNodeTwitterGroup *)> startRenaming;
        std::function<void(RTTreeNodeTwitterGroup *)> removeGroup;
    };
    static void setCompanion(Companion companion);
    // The user confirmed (button 1) or cancelled removing the group.
    void deleteConfirmed(int button);

protected:
    std::unique_ptr<RTNodeMenu> m_nodeMenu;
};

// Home messages of authors that belong to no group.
class RTTreeNodeTwitterGroupUngrouped : public RTTreeNodeTwitterGroup
{
    Q_OBJECT
public:
    // account nullptr: the cross-account variant.
    explicit RTTreeNodeTwitterGroupUngrouped(RTServiceTwitter *account);
    ~RTTreeNodeTwitterGroupUngrouped() override { unregisterFromOwner(); }
    void setExcludeMembersPredicates(const QList<Predicate> &excluded);
    [[nodiscard]] int sortWeight() const override { return 10; }
    [[nodiscard]] bool shouldAppearInOutlineView() const override;
    RTNodeMenu *menu() override { return nullptr; }
};
