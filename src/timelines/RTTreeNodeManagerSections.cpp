#include "timelines/RTTreeNodeManager.h"

#include "accounts/RTServiceRegistry.h"
#include "timelines/RTTreeNodePopupHost.h"
#include "timelines/RTTreeNodeSearch.h"
#include "timelines/RTTreeNodeTwitterListsTimeline.h"
#include "twitter/RTServiceTwitter.h"

namespace {

// A list or saved search of an account as a pop-up section, with the node showing it.
template<class Object> class AccountSection : public RTPopupHostSectionProtocol
{
public:
    AccountSection(std::shared_ptr<Object> object, RTTreeNode *node)
        : m_object(std::move(object))
        , m_node(node)
    {
    }
    [[nodiscard]] QString identificationString() const override
    {
        return m_object->identificationString();
    }
    [[nodiscard]] RTTreeNode *treeNodeForSelf() override { return m_node.get(); }

private:
    std::shared_ptr<Object> m_object;
    std::unique_ptr<RTTreeNode> m_node;
};

} // namespace

// --- pop-up host sections ---------------------------------------------------------------

QList<RTPopupHostSectionProtocol *> RTTreeNodeManager::sectionsOfService(RTService *service,
                                                                         const QString &keyPath)
{
    QList<RTPopupHostSectionProtocol *> sections;
    auto *account = qobject_cast<RTServiceTwitter *>(service);
    if (!account)
        return sections;
    const auto section = [this, &sections, account](const auto &object, auto makeNode) {
        Section &slot = m_sections[object.get()];
        if (!slot.section) {
            using Object = typename std::decay_t<decltype(object)>::element_type;
            slot.section = std::make_unique<AccountSection<Object>>(object, makeNode());
            slot.account = account;
        }
        sections.append(slot.section.get());
    };
    if (keyPath == QLatin1String("listsArray")) {
        for (const RTListTwitterPtr &list : account->listsArray())
            if (list)
                section(list, [&] {
                    return RTTreeNode::create<RTTreeNodeTwitterListsTimeline>(account, list);
                });
    } else if (keyPath == QLatin1String("savedSearchesArray")) {
        for (const RTSearchTwitterPtr &search : account->savedSearchesArray())
            if (search)
                section(search, [&] { return RTTreeNode::create<RTTreeNodeSearch>(search); });
    } else if (keyPath == QLatin1String("groupsArray") && groupSectionSource()) {
        sections = groupSectionSource()(account);
    }
    return sections;
}

RTTreeNodeManager::GroupSectionSource &RTTreeNodeManager::groupSectionSource()
{
    static GroupSectionSource source;
    return source;
}

void RTTreeNodeManager::setGroupSectionSource(GroupSectionSource source)
{
    groupSectionSource() = std::move(source);
}

void RTTreeNodeManager::refreshSectionsOfService(RTService *account)
{
    QList<RTTreeNodePopupHost *> hosts;
    {
        QReadLocker reader(&m_registrationLock);
        for (RTTreeNode *node : std::as_const(m_treeNodesSet))
            if (auto *host = qobject_cast<RTTreeNodePopupHost *>(node))
                if (host->observedServices().contains(account))
                    hosts.append(host);
    }
    for (RTTreeNodePopupHost *host : std::as_const(hosts)) {
        const QList<RTPopupHostSectionProtocol *> current =
            sectionsOfService(account, host->sectionListsKeyPath());
        QSet<RTTreeNode *> currentNodes;
        for (RTPopupHostSectionProtocol *section : current)
            currentNodes.insert(section->treeNodeForSelf());
        // Sections of this account that it no longer lists.
        QList<RTPopupHostSectionProtocol *> gone;
        for (auto &[key, slot] : m_sections) {
            RTTreeNode *node = slot.section->treeNodeForSelf();
            if (slot.account == account && !currentNodes.contains(node) &&
                host->itemsInSection().contains(node))
                gone.append(slot.section.get());
        }
        if (!gone.isEmpty())
            host->handleRemovalOfItemsInArray(gone);
        host->handleNewItemsArray(current);
    }
    // Lists and searches the account no longer has.
    QSet<const void *> kept;
    if (auto *twitter = qobject_cast<RTServiceTwitter *>(account)) {
        for (const RTListTwitterPtr &list : twitter->listsArray())
            kept.insert(list.get());
        for (const RTSearchTwitterPtr &search : twitter->savedSearchesArray())
            kept.insert(search.get());
    }
    dropSectionsWhere([account, &kept](const void *object, const Section &slot) {
        return slot.account == account && !kept.contains(object);
    });
}

void RTTreeNodeManager::dropSectionsOfRemovedAccounts()
{
    QSet<const RTService *> present;
    for (const RTServicePtr &service : m_registry.services())
        present.insert(service.get());
    dropSectionsWhere([&present](const void *, const Section &slot) {
        return !slot.account || !present.contains(slot.account.data());
    });
}

void RTTreeNodeManager::dropSectionsWhere(
    const std::function<bool(const void *object, const Section &)> &gone)
{
    std::vector<const void *> keys;
    QList<RTPopupHostSectionProtocol *> sections;
    for (const auto &[key, slot] : m_sections) {
        if (gone(key, slot)) {
            keys.push_back(key);
            sections.append(slot.section.get());
        }
    }
    if (keys.empty())
        return;
    QList<RTTreeNodePopupHost *> hosts;
    {
        QReadLocker reader(&m_registrationLock);
        for (RTTreeNode *node : std::as_const(m_treeNodesSet))
            if (auto *host = qobject_cast<RTTreeNodePopupHost *>(node))
                hosts.append(host);
    }
    for (RTTreeNodePopupHost *host : std::as_const(hosts))
        host->handleRemovalOfItemsInArray(sections);
    for (const void *key : keys) {
        auto it = m_sections.find(key);
        if (it == m_sections.end())
            continue;
        if (RTTreeNode *node = it->second.section->treeNodeForSelf())
            node->closeNode();
        m_sections.erase(it);
    }
}
