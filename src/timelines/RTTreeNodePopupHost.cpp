#include "timelines/RTTreeNodePopupHost.h"

#include "accounts/RTServiceRegistry.h"
#include "foundation/Localization.h"
#include "foundation/Log.h"
#include "foundation/MainThread.h"
#include "timelines/RTTreeNodeOwner.h"
#include "timelines/RTTreeNodePredicates.h"
#include "twitter/RTRequestOperationTwitter.h"
#include "twitter/RTServiceTwitter.h"

#include <algorithm>

namespace {

RTTreeNodePopupHost::SectionSource &sectionSource()
{
    static RTTreeNodePopupHost::SectionSource source;
    return source;
}

RTServiceRegistry *&hostRegistry()
{
    static RTServiceRegistry *registry = nullptr;
    return registry;
}

bool sectionLessThan(const RTTreeNode *a, const RTTreeNode *b)
{
    if (a->sortWeight() != b->sortWeight())
        return a->sortWeight() < b->sortWeight();
    return a->name() < b->name();
}

} // namespace

void RTTreeNodePopupHost::setRegistry(RTServiceRegistry *registry)
{
    hostRegistry() = registry;
}

void RTTreeNodePopupHost::setSectionSource(SectionSource source)
{
    sectionSource() = std::move(source);
}

RTTreeNodePopupHost *RTTreeNodePopupHost::twitterListsPopupHostWithService(RTService *account)
{
    const Predicate listed = RTPredicates::flag("isListed", true);
    auto *host = RTTreeNode::create<RTTreeNodePopupHost>(
        localizedString("##RTTreeNodePopupHost:2##"), account, 41, QStringLiteral("node_lists"),
        account ? RTPredicates::serviceIs(account) && listed : listed, QStringLiteral("listsArray"),
        localizedString("##RTTreeNodePopupHost:3##"));
    host->setIsCombinedNode(true);
    host->setReplaceDashesWithSpaces(true);
    if (account) {
        QPointer<RTService> weak(account);
        host->setReloadNodeAction([weak] {
            if (auto *twitter = qobject_cast<RTServiceTwitter *>(weak.data()))
                twitter->synchronizeLists();
        });
    } else {
        host->setImages(QStringLiteral("combined_lists"), QStringLiteral("combined_lists_unseen"));
    }
    return host;
}

RTTreeNodePopupHost *RTTreeNodePopupHost::twitterSearchesPopupHostWithService(RTService *account)
{
    const Predicate search = RTPredicates::flag("isSearch", true);
    auto *host = RTTreeNode::create<RTTreeNodePopupHost>(
        localizedString("##RTTreeNodePopupHost:0##"), account, 35, QStringLiteral("node_search"),
        account ? RTPredicates::serviceIs(account) && search : search,
        QStringLiteral("savedSearchesArray"), localizedString("##RTTreeNodePopupHost:1##"));
    host->setIsCombinedNode(true);
    if (!account)
        host->setImages(QStringLiteral("combined_search"),
                        QStringLiteral("combined_search_unseen"));
    return host;
}

RTTreeNodePopupHost::RTTreeNodePopupHost(const QString &name, RTService *account,
                                         qint32 requestType, const QString &imageName,
                                         const Predicate &predicate,
                                         const QString &sectionListsKeyPath,
                                         const QString &combinedFieldName)
    : RTTreeNode(name, account, requestType, imageName, predicate)
    , m_sectionListsKeyPath(sectionListsKeyPath)
    , m_combinedFieldName(combinedFieldName)
    , m_newMessagesImage(imageName)
    , m_regularImage(imageName)
{
    setIsAlwaysExpandable(true);
    m_selectedSection = this;
    m_observeServices = account == nullptr;
    m_shouldAddSectionsAddNodeChildren = account != nullptr;
    connect(this, &RTTreeNode::newMessagesCountChanged, this, [this] {
        emit imageChanged();
        refreshPopupEntries();
    });
    if (m_observeServices) {
        RTServiceRegistry &registry =
            hostRegistry() ? *hostRegistry() : RTServiceRegistry::shared();
        m_registryConnection =
            connect(&registry, &RTServiceRegistry::servicesChanged, this, [this, &registry] {
                QList<RTService *> current;
                for (const auto &s : registry.allServicesOfSameClass<RTServiceTwitter>())
                    current.append(s.get());
                QList<RTService *> added;
                QList<RTService *> removed;
                const QList<RTService *> observed = observedServices();
                for (RTService *s : current)
                    if (!observed.contains(s))
                        added.append(s);
                for (RTService *s : observed)
                    if (!current.contains(s))
                        removed.append(s);
                if (!removed.isEmpty())
                    handleRemovalOfServicesInArray(removed);
                if (!added.isEmpty())
                    handleNewServicesArray(added);
            });
        QList<RTService *> all;
        for (const auto &s : registry.allServicesOfSameClass<RTServiceTwitter>())
            all.append(s.get());
        handleNewServicesArray(all);
    } else {
        handleNewServicesArray({account});
    }
    refreshPopupEntries();
}

RTTreeNodePopupHost::~RTTreeNodePopupHost()
{
    unregisterFromOwner();
    // Section nodes belong to their section objects, not to the host.
    QMutexLocker locker(&m_itemsLock);
    for (RTTreeNode *node : std::as_const(m_itemsInSection)) {
        disconnect(node, nullptr, this, nullptr);
        if (node->parentNode() == this)
            removeChildNode(node);
    }
}

QList<RTService *> RTTreeNodePopupHost::observedServices() const
{
    QList<RTService *> result;
    for (const QPointer<RTService> &s : m_observedServices)
        if (s)
            result.append(s.data());
    return result;
}

QList<RTTreeNode *> RTTreeNodePopupHost::itemsInSection() const
{
    QMutexLocker locker(&m_itemsLock);
    return m_itemsInSection;
}

QList<RTPopupHostSectionProtocol *> RTTreeNodePopupHost::sectionObjects() const
{
    QMutexLocker locker(&m_itemsLock);
    QList<RTPopupHostSectionProtocol *> result;
    for (RTTreeNode *node : m_itemsInSection)
        if (RTPopupHostSectionProtocol *object = m_sectionObjects.value(node))
            result.append(object);
    return result;
}

void RTTreeNodePopupHost::setImages(const QString &regular, const QString &unseen)
{
    m_regularImage = regular;
    m_newMessagesImage = unseen;
    setImageName(regular);
}

QString RTTreeNodePopupHost::currentImageName() const
{
    return newMessagesCount() > 0 ? m_newMessagesImage : m_regularImage;
}

void RTTreeNodePopupHost::handleNewServicesArray(const QList<RTService *> &services)
{
    for (RTService *account : services) {
        if (!qobject_cast<RTServiceTwitter *>(account))
            continue;
        if (!m_observeServices && account != service())
            continue;
        if (observedServices().contains(account))
            continue;
        m_observedServices.append(account);
        if (sectionSource())
            handleNewItemsArray(sectionSource()(account, m_sectionListsKeyPath));
    }
}

void RTTreeNodePopupHost::handleRemovalOfServicesInArray(const QList<RTService *> &services)
{
    for (RTService *account : services) {
        m_observedServices.removeAll(QPointer<RTService>(account));
        if (sectionSource())
            handleRemovalOfItemsInArray(sectionSource()(account, m_sectionListsKeyPath));
    }
}

void RTTreeNodePopupHost::handleNewItemsArray(const QList<RTPopupHostSectionProtocol *> &items)
{
    bool changed = false;
    for (RTPopupHostSectionProtocol *item : items) {
        if (!item) {
            qCWarning(lcTimelines) << "Class does not conform the RTPopupHostSectionProtocol";
            continue;
        }
        RTTreeNode *node = item->treeNodeForSelf();
        if (!node)
            continue;
        {
            QMutexLocker locker(&m_itemsLock);
            if (m_itemsInSection.contains(node))
                continue;
            if (m_observeServices) {
                const QString id = item->identificationString();
                const bool duplicate =
                    std::any_of(m_sectionObjects.cbegin(), m_sectionObjects.cend(),
                                [&id](const RTPopupHostSectionProtocol *other) {
                                    return other && other->identificationString() == id;
                                });
                if (duplicate)
                    continue;
            }
            m_sectionObjects.insert(node, item);
        }
        addSectionNode(node, false);
        changed = true;
    }
    if (changed) {
        sectionsChanged();
        reloadContent();
        if (RTTreeNodeOwner::hasShared())
            RTTreeNodeOwner::shared().reloadOutline();
    }
}

void RTTreeNodePopupHost::addSectionNode(RTTreeNode *node, bool excludeMessages)
{
    node->setReferingTreeNode(this);
    node->setInPopupHostingView(true);
    connect(node, &RTTreeNode::newMessagesCountChanged, this, [this] { refreshPopupEntries(); });
    connect(node, &RTTreeNode::imageChanged, this, [this] { refreshPopupEntries(); });
    // A section object deletes its own node (a group that goes away): forget it, or the
    // host would reach through the pointer later.
    connect(node, &QObject::destroyed, this, [this, node] {
        {
            QMutexLocker locker(&m_itemsLock);
            m_itemsInSection.removeAll(node);
            m_sectionObjects.remove(node);
            m_excludeMessagesFromTreeNodeSet.remove(node);
        }
        refreshPopupEntries();
    });
    {
        QMutexLocker locker(&m_itemsLock);
        if (!m_itemsInSection.contains(node))
            m_itemsInSection.append(node);
        if (excludeMessages)
            m_excludeMessagesFromTreeNodeSet.insert(node);
    }
    sortSections();
    if (m_shouldAddSectionsAddNodeChildren && !excludeMessages) {
        node->setShouldRoundImage(true);
        addChildNode(node);
    }
    refreshPopupEntries();
}

void RTTreeNodePopupHost::removeSectionNode(RTTreeNode *node)
{
    disconnect(node, nullptr, this, nullptr);
    {
        QMutexLocker locker(&m_itemsLock);
        m_itemsInSection.removeAll(node);
        m_sectionObjects.remove(node);
        m_excludeMessagesFromTreeNodeSet.remove(node);
    }
    if (node->parentNode() == this)
        removeChildNode(node);
    if (node->referingTreeNode() == this)
        node->setReferingTreeNode(nullptr);
    if (m_selectedSection == node)
        selectAllCombinedSection();
}

void RTTreeNodePopupHost::handleRemovalOfItemsInArray(
    const QList<RTPopupHostSectionProtocol *> &items)
{
    bool changed = false;
    for (RTPopupHostSectionProtocol *item : items) {
        RTTreeNode *node = item ? item->treeNodeForSelf() : nullptr;
        if (!node || !itemsInSection().contains(node))
            continue;
        removeSectionNode(node);
        changed = true;
    }
    if (changed) {
        sectionsChanged();
        reloadContent();
        refreshPopupEntries();
        if (RTTreeNodeOwner::hasShared())
            RTTreeNodeOwner::shared().reloadOutline();
    }
}

void RTTreeNodePopupHost::sortSections()
{
    QMutexLocker locker(&m_itemsLock);
    std::stable_sort(m_itemsInSection.begin(), m_itemsInSection.end(), sectionLessThan);
}

QList<RTTreeNode *> RTTreeNodePopupHost::sections() const
{
    QList<RTTreeNode *> result{const_cast<RTTreeNodePopupHost *>(this)};
    result += itemsInSection();
    return result;
}

void RTTreeNodePopupHost::selectAllCombinedSection()
{
    selectSection(this);
}

void RTTreeNodePopupHost::selectSection(RTTreeNode *section)
{
    if (!section || (section != this && !itemsInSection().contains(section)))
        section = this;
    if (m_selectedSection == section)
        return;
    m_selectedSection = section;
    emit selectedSectionChanged(section);
}

QVariantMap RTTreeNodePopupHost::itemDictionaryFromNode(RTTreeNode *node) const
{
    if (!node)
        return {};
    QString title = node == this ? m_combinedFieldName : node->name();
    if (m_replaceDashesWithSpaces && node != this)
        title.replace(QLatin1Char('-'), QLatin1Char(' '));
    return {{QStringLiteral("name"), title},
            {QStringLiteral("image"), node == this ? currentImageName() : node->imageName()},
            {QStringLiteral("count"), node->newMessagesCount()},
            {QStringLiteral("item"), QVariant::fromValue(static_cast<QObject *>(node))}};
}

void RTTreeNodePopupHost::refreshPopupEntries()
{
    QPointer<RTTreeNodePopupHost> self(this);
    runOnMainThread(
        [self] {
            if (!self)
                return;
            QList<QVariantMap> entries;
            for (RTTreeNode *node : self->sections())
                entries.append(self->itemDictionaryFromNode(node));
            if (entries == self->m_popupEntries)
                return;
            self->m_popupEntries = entries;
            emit self->popupEntriesChanged();
        },
        false);
}

void RTTreeNodePopupHost::reload()
{
    if (m_reloadNodeAction)
        m_reloadNodeAction();
}

QVariantMap RTTreeNodePopupHost::identity() const
{
    RTService *account = service();
    return {
        {QStringLiteral("myName"), name()},
        {QStringLiteral("isPopupHost"), true},
        {QStringLiteral("serviceId"), account ? account->serviceId() : QStringLiteral("Combined")}};
}

bool RTTreeNodePopupHost::passesFurtherChecks(const RTMessage &message) const
{
    QSet<RTTreeNode *> excluded;
    {
        QMutexLocker locker(&m_itemsLock);
        excluded = m_excludeMessagesFromTreeNodeSet;
    }
    if (excluded.isEmpty())
        return true;
    return std::none_of(excluded.cbegin(), excluded.cend(), [&message](RTTreeNode *node) {
        return message.isContainedInTreeNode(static_cast<RTMessageHolder *>(node));
    });
}

void RTTreeNodePopupHost::closeNode()
{
    if (isClosing())
        return;
    disconnect(m_registryConnection);
    const QList<RTTreeNode *> items = itemsInSection();
    for (RTTreeNode *node : items) {
        node->closeNode();
        // The section objects own their nodes: keep the base from deleting them.
        if (node->parentNode() == this)
            removeChildNode(node);
    }
    {
        // The sections may be freed before this host is.
        QMutexLocker locker(&m_itemsLock);
        m_itemsInSection.clear();
        m_sectionObjects.clear();
    }
    RTTreeNode::closeNode();
}
