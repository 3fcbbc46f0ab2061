#include "timelines/RTUnseenCountIndicators.h"

#include "accounts/RTServiceProtocols.h"
#include "accounts/RTServiceRegistry.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "platform/LauncherBadge.h"
#include "timelines/RTStatusBarMenuManager.h"
#include "timelines/RTTreeNodeManager.h"
#include "timelines/RTTreeNodePredicates.h"
#include "twitter/RTServiceTwitter.h"

#include <QThread>

const RTUnseenCountIndicators::IncludeKeys RTUnseenCountIndicators::dockKeys = {
    RTIncludeHomeInDockCountKey, RTIncludeMentionsAndDMsInDockCountKey,
    RTIncludeListsInDockCountKey, RTIncludeSearchesInDockCountKey};
const RTUnseenCountIndicators::IncludeKeys RTUnseenCountIndicators::statusIconKeys = {
    RTIncludeHomeInStatusIconCountKey, RTIncludeMentionsAndDMsInStatusIconCountKey,
    RTIncludeListsInStatusIconCountKey, RTIncludeSearchesInStatusIconCountKey};

namespace {

bool setting(const char *key)
{
    return SettingsStore::shared().boolForKey(QLatin1String(key));
}

// Settings whose change moves what the badge or the icon shows.
const char *const kObservedKeys[] = {
    TATrackIsNewKey,
    RTColorizeMenuBarIconWithNewMessagesKey,
    TAShowNewCountInDockKey,
    RTIncludeHomeInDockCountKey,
    RTIncludeMentionsAndDMsInDockCountKey,
    RTIncludeListsInDockCountKey,
    RTIncludeSearchesInDockCountKey,
    RTIncludeHomeInStatusIconCountKey,
    RTIncludeMentionsAndDMsInStatusIconCountKey,
    RTIncludeListsInStatusIconCountKey,
    RTIncludeSearchesInStatusIconCountKey,
};

} // namespace

Predicate RTUnseenCountIndicators::countPredicate(const RTServiceRegistry &registry,
                                                  const IncludeKeys &keys)
{
    std::vector<Predicate> parts;
    if (setting(keys.home)) {
        for (const RTServicePtr &service :
             registry.servicesConformingTo<RTMessageReceivingProtocol>()) {
            // Accounts without a Home reference yet have a FALSE Home predicate.
            const auto *account = qobject_cast<const RTServiceTwitter *>(service.get());
            const Predicate home = account ? RTPredicates::home(account) : Predicate();
            if (account && !home.isFalse())
                parts.push_back(home);
        }
    }
    if (setting(keys.mentionsAndDMs)) {
        // A muted mention shows in no mentions list, so it must not hold up a count
        // nobody can clear; direct messages ignore mutes, as their lists do.
        parts.push_back(
            (RTPredicates::flag("isMention", true) && RTPredicates::flag("isMuted", false)) ||
            RTPredicates::flag("isPrivate", true));
    }
    if (setting(keys.lists))
        parts.push_back(RTPredicates::flag("isListed", true));
    if (setting(keys.searches)) {
        // Searches of an account; temporary searches have none and never count.
        parts.push_back(
            RTPredicates::flag("isSearch", true) &&
            Predicate::compare(QStringLiteral("service"), Predicate::Op::NotEqual,
                               PredicateValue::object(nullptr, QStringLiteral("NULL"))));
    }
    if (parts.empty())
        return Predicate::falsePredicate();
    return Predicate::orPredicate(parts);
}

RTUnseenCountIndicators::RTUnseenCountIndicators(RTTreeNodeManager &manager)
    : QObject(&manager)
    , m_manager(manager)
{
    for (RTTreeNode *node : {manager.systemWideCountNode(), manager.statusIconCountNode()}) {
        node->setIncludeTrends(false);
        // Counts move under the node lock, possibly on a worker: queued to this thread.
        connect(node, &RTTreeNode::newMessagesCountChanged, this,
                &RTUnseenCountIndicators::updateIndicators, Qt::QueuedConnection);
    }
    connect(&manager, &RTTreeNodeManager::isBatchChangingNewCountChanged, this,
            &RTUnseenCountIndicators::updateIndicators);
    connect(&SettingsStore::shared(), &SettingsStore::valueChanged, this,
            [this](const QString &key, const QVariant &) { settingChanged(key); });
}

void RTUnseenCountIndicators::settingChanged(const QString &key)
{
    for (const char *observed : kObservedKeys) {
        if (key == QLatin1String(observed)) {
            rebuildPredicates();
            updateIndicators();
            return;
        }
    }
}

void RTUnseenCountIndicators::rebuildPredicates()
{
    m_manager.systemWideCountNode()->setValidMessagePredicate(
        m_manager.systemWideCountNodeValidMessagePredicate());
    m_manager.statusIconCountNode()->setValidMessagePredicate(
        m_manager.statusIconNodeValidMessagePredicate());
}

void RTUnseenCountIndicators::updateIndicators()
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (m_manager.isBatchChangingNewCount())
        return;
    RTTreeNode *systemWide = m_manager.systemWideCountNode();
    const qint32 n = systemWide->newMessagesCount();
    if (n < 0) {
        // The reset announces the new count, which brings us back here.
        systemWide->changeNewMessagesCountBy(-n);
        return;
    }
    const bool track = setting(TATrackIsNewKey);
    const QString label =
        n > 0 && track && setting(TAShowNewCountInDockKey) ? QString::number(n) : QString();
    if (LauncherBadge::hasShared() && (!m_badgeSet || label != m_badgeLabel))
        LauncherBadge::shared().setBadgeLabel(label);
    m_badgeSet = LauncherBadge::hasShared();
    m_badgeLabel = label;

    const qint32 iconCount = m_manager.statusIconCountNode()->newMessagesCount();
    RTStatusBarMenuManager &statusBar = RTStatusBarMenuManager::sharedManager();
    if (iconCount > 0 && track && setting(RTColorizeMenuBarIconWithNewMessagesKey))
        statusBar.setNewMessagesStatusItem(iconCount);
    else
        statusBar.setNormalStatusItem();
}
