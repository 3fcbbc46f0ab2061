#include "timelines/RTTreeNodeKinds.h"

#include "foundation/Localization.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "model/RTMessageTwitter.h"
#include "model/RTUserTwitter.h"
#include "platform/WindowLayer.h"
#include "timelines/RTTreeNodePredicates.h"
#include "timelines/RTTrendMessage.h"
#include "twitter/RTServiceTwitter.h"

namespace {

RTTreeNodeTwitterGroup::Companion &companion()
{
    static RTTreeNodeTwitterGroup::Companion hooks;
    return hooks;
}

bool companionHasAccount()
{
    return companion().hasAccount && companion().hasAccount();
}

Predicate homeOfAccount(RTServiceTwitter *account)
{
    std::vector<Predicate> parts{RTPredicates::flag("isHome", true),
                                 RTPredicates::flag("isMuted", false)};
    if (account)
        parts.push_back(RTPredicates::serviceIs(account));
    return Predicate::andPredicate(parts);
}

} // namespace

// --- companion node ----------------------------------------------------------------

RTTreeNodeTalvo::RTTreeNodeTalvo(RTService *companionService)
    : RTTreeNode(localizedString("##RTTreeNodeTrendsParent:0##"), companionService,
                 RTTreeNodeRequestType::Companion, QStringLiteral("outline_talvo"),
                 RTPredicates::serviceIs(companionService))
{
}

QVariantMap RTTreeNodeTalvo::identity() const
{
    return {{QStringLiteral("type"), QStringLiteral("treeNodeParent")},
            {QStringLiteral("isTrendsNode"), true}};
}

bool RTTreeNodeTalvo::shouldAppearInOutlineView() const
{
    return SettingsStore::shared().boolForKey(QString::fromLatin1(RTShowTrendsNodeKey));
}

// --- trends and mutes --------------------------------------------------------------

QString RTTreeNodeTrend::nodeViewClass() const
{
    return QStringLiteral("RTTrendListView");
}

QVariantMap RTTreeNodeTrend::identity() const
{
    return {{QStringLiteral("treeNodeType"), QStringLiteral("trend")},
            {QStringLiteral("nodeName"), name()}};
}

bool RTTreeNodeTrend::isOfMessageClass(const RTMessage &message) const
{
    return dynamic_cast<const RTTrendMessage *>(&message) != nullptr;
}

QString RTTreeNodeMutes::nodeViewClass() const
{
    return QStringLiteral("RTTwitterListView");
}

QVariantMap RTTreeNodeMutes::identity() const
{
    return {{QStringLiteral("treeNodeType"), QStringLiteral("mute")},
            {QStringLiteral("nodeName"), name()}};
}

bool RTTreeNodeMutes::isOfMessageClass(const RTMessage &message) const
{
    return dynamic_cast<const RTMessageTwitter *>(&message) != nullptr;
}

// --- empty node --------------------------------------------------------------------

RTTreeNodeEmpty::RTTreeNodeEmpty(std::function<int()> rootCount)
    : RTTreeNode(localizedString("##RTTreeNodeEmpty:1##"), nullptr, 0, QString(),
                 Predicate::falsePredicate())
    , m_rootCount(std::move(rootCount))
{
}

QVariantMap RTTreeNodeEmpty::identity() const
{
    return {{QStringLiteral("treeNodeType"), localizedString("##RTTreeNodeEmpty:1##")},
            {QStringLiteral("nodeName"), name()}};
}

bool RTTreeNodeEmpty::shouldAppearInOutlineView() const
{
    return m_rootCount && m_rootCount() == 1;
}

// --- user timeline -----------------------------------------------------------------

RTTreeNodeTwitterUser::RTTreeNodeTwitterUser(RTServiceTwitter *account,
                                             const std::shared_ptr<RTUserTwitter> &user)
    : RTTreeNode(user ? user->screenName() : QString(), account, 0,
                 user ? user->largeProfileImageImageUrl() : QString(), Predicate())
    , m_user(user)
{
}

QVariantMap RTTreeNodeTwitterUser::identity() const
{
    return {{QStringLiteral("nodeName"), QStringLiteral("TemporaryTwitterUser")},
            {QStringLiteral("isTemporary"), true}};
}

// --- groups ------------------------------------------------------------------------

void RTTreeNodeTwitterGroup::setCompanion(Companion hooks)
{
    companion() = std::move(hooks);
}

RTTreeNodeTwitterGroup::RTTreeNodeTwitterGroup(RTServiceTwitter *account, const QString &groupName)
    : RTTreeNode(groupName.isEmpty() ? localizedString("##RTTreeNodeTwitterGroup:0##") : groupName,
                 account, 0, QStringLiteral("node_group"), Predicate::falsePredicate())
{
}

void RTTreeNodeTwitterGroup::setMembersFilterPredicate(const Predicate &members)
{
    setValidMessagePredicate(members && homeOfAccount(qobject_cast<RTServiceTwitter *>(service())));
}

QVariantMap RTTreeNodeTwitterGroup::identity() const
{
    return {{QStringLiteral("serviceId"), service() ? service()->serviceId() : QString()},
            {QStringLiteral("type"), QStringLiteral("groupChildNode")},
            {QStringLiteral("groupName"), name()}};
}

QString RTTreeNodeTwitterGroup::nodeViewClass() const
{
    return QStringLiteral("RTTwitterListView");
}

RTNodeMenu *RTTreeNodeTwitterGroup::menu()
{
    if (!m_nodeMenu) {
        m_nodeMenu = std::make_unique<RTNodeMenu>();
        m_nodeMenu->title = QStringLiteral("searchMenu");
        QPointer<RTTreeNodeTwitterGroup> self(this);
        RTNodeMenuItem rename;
        rename.tag = 1;
        rename.title = localizedString("##RTTreeNodeTwitterGroup:1##");
        rename.actionName = QStringLiteral("renameGroup");
        rename.action = [self] {
            if (self && companion().startRenaming)
                companion().startRenaming(self);
        };
        RTNodeMenuItem remove;
        remove.tag = 2;
        remove.title = localizedString("##RTTreeNodeTwitterGroup:2##");
        remove.actionName = QStringLiteral("deleteSelf");
        remove.action = [self] {
            if (self)
                self->deleteSelf();
        };
        m_nodeMenu->items << rename << remove;
    }
    // Enabled only while the companion service has an account.
    for (RTNodeMenuItem &item : m_nodeMenu->items)
        item.enabled = companionHasAccount();
    return m_nodeMenu.get();
}

void RTTreeNodeTwitterGroup::deleteSelf()
{
    if (isDeleted())
        return;
    if (!WindowLayer::hasShared()) {
        deleteConfirmed(1);
        return;
    }
    auto *account = qobject_cast<RTServiceTwitter *>(service());
    QString screenName;
    if (account && account->myself())
        screenName = account->myself()->screenName();
    QString question = localizedString("##RTTreeNodeTwitterGroup:3##");
    question.replace(question.indexOf(QLatin1String("%@")), 2, name());
    question.replace(question.indexOf(QLatin1String("%@")), 2, screenName);
    QPointer<RTTreeNodeTwitterGroup> self(this);
    WindowLayer::shared().showAlert(question + QLatin1Char('\n') +
                                        localizedString("##RTTreeNodeTwitterGroup:6##"),
                                    {localizedString("##RTTreeNodeTwitterGroup:4##"),
                                     localizedString("##RTTreeNodeTwitterGroup:5##")},
                                    [self](int button) {
                                        if (self)
                                            self->deleteConfirmed(button);
                                    });
}

void RTTreeNodeTwitterGroup::deleteConfirmed(int button)
{
    if (button == 0 || isDeleted()) // "Cancel"
        return;
    setIsDeleted(true);
    if (companion().removeGroup)
        companion().removeGroup(this);
}

RTTreeNodeTwitterGroupUngrouped::RTTreeNodeTwitterGroupUngrouped(RTServiceTwitter *account)
    : RTTreeNodeTwitterGroup(account, localizedString("##RTTreeNodeTwitterGroupUngrouped:0##"))
{
    setImageName(QStringLiteral("node_group_ungrouped"));
    setIsCombinedNode(true);
    setExcludeMembersPredicates({});
}

void RTTreeNodeTwitterGroupUngrouped::setExcludeMembersPredicates(const QList<Predicate> &excluded)
{
    auto *account = qobject_cast<RTServiceTwitter *>(service());
    std::vector<Predicate> parts{RTPredicates::flag("isHome", true),
                                 RTPredicates::flag("isSent", false),
                                 RTPredicates::flag("isMuted", false)};
    if (account)
        parts.push_back(RTPredicates::serviceIs(account));
    parts.insert(parts.end(), excluded.cbegin(), excluded.cend());
    setValidMessagePredicate(Predicate::andPredicate(parts));
}

bool RTTreeNodeTwitterGroupUngrouped::shouldAppearInOutlineView() const
{
    return SettingsStore::shared().boolForKey(QString::fromLatin1(RTShowUngroupedGroupKey)) &&
           companionHasAccount();
}
