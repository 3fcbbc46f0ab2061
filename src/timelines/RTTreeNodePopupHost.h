#pragma once

#include "timelines/RTTreeNode.h"

#include <QMutex>
#include <functional>

class RTServiceRegistry;

// An object that a pop-up host shows as one section: a Twitter list, a saved search, a
// group. The identification string is stable, so the same list followed by two accounts
// is shown once in a cross-account host.
class RTPopupHostSectionProtocol
{
public:
    virtual ~RTPopupHostSectionProtocol() = default;
    [[nodiscard]] virtual QString identificationString() const = 0;
    // The node that shows the object's messages; one per object, owned by the object.
    [[nodiscard]] virtual RTTreeNode *treeNodeForSelf() = 0;
    // For groups: which messages come from the group's members; null otherwise.
    [[nodiscard]] virtual Predicate membersFilterPredicate() const { return {}; }
};

// A node that presents several sections (lists, searches, groups) in one pop-up, with a
// combined section of its own. With an account it shows that account's sections (also as
// outline children); without one it gathers the sections of every Twitter account.
class RTTreeNodePopupHost : public RTTreeNode
{
    Q_OBJECT
public:
    // The section objects an account lists now under a key path ("listsArray", ...).
    using SectionSource = std::function<QList<RTPopupHostSectionProtocol *>(
        RTService *account, const QString &sectionListsKeyPath)>;

    static RTTreeNodePopupHost *twitterListsPopupHostWithService(RTService *account);
    static RTTreeNodePopupHost *twitterSearchesPopupHostWithService(RTService *account);

    RTTreeNodePopupHost(const QString &name, RTService *account, qint32 requestType,
                        const QString &imageName, const Predicate &predicate,
                        const QString &sectionListsKeyPath, const QString &combinedFieldName);
    ~RTTreeNodePopupHost() override;

    // Where hosts read the accounts' section lists; set by the Twitter glue at start-up.
    static void setSectionSource(SectionSource source);
    // The accounts a cross-account host follows (default: the process-wide registry).
    static void setRegistry(RTServiceRegistry *registry);

    [[nodiscard]] QString sectionListsKeyPath() const { return m_sectionListsKeyPath; }
    [[nodiscard]] QString combinedFieldName() const { return m_combinedFieldName; }
    [[nodiscard]] QList<RTService *> observedServices() const;
    [[nodiscard]] QList<RTTreeNode *> itemsInSection() const;
    [[nodiscard]] const QSet<RTTreeNode *> &excludeMessagesFromTreeNodeSet() const
    {
        return m_excludeMessagesFromTreeNodeSet;
    }
    [[nodiscard]] QString newMessagesImage() const { return m_newMessagesImage; }
    [[nodiscard]] QString regularImage() const { return m_regularImage; }
    void setImages(const QString &regular, const QString &unseen);
    [[nodiscard]] QString currentImageName() const;
    [[nodiscard]] RTTreeNode *selectedSection() const { return m_selectedSection; }
    [[nodiscard]] bool observeServices() const { return m_observeServices; }
    [[nodiscard]] bool replaceDashesWithSpaces() const { return m_replaceDashesWithSpaces; }
    void setReplaceDashesWithSpaces(bool value) { m_replaceDashesWithSpaces = value; }
    [[nodiscard]] bool shouldAddSectionsAddNodeChildren() const
    {
        return m_shouldAddSectionsAddNodeChildren;
    }
    void setReloadNodeAction(std::function<void()> action)
    {
        m_reloadNodeAction = std::move(action);
    }

    void handleNewServicesArray(const QList<RTService *> &services);
    void handleRemovalOfServicesInArray(const QList<RTService *> &services);
    // Items of a cross-account host with the identification string of one already shown
    // are skipped.
    void handleNewItemsArray(const QList<RTPopupHostSectionProtocol *> &items);
    void handleRemovalOfItemsInArray(const QList<RTPopupHostSectionProtocol *> &items);

    // The host (its combined section) followed by its section nodes.
    [[nodiscard]] QList<RTTreeNode *> sections() const;
    void selectAllCombinedSection();
    void selectSection(RTTreeNode *section);
    // The pop-up entry: "name", "image", "count" and "item".
    [[nodiscard]] QVariantMap itemDictionaryFromNode(RTTreeNode *node) const;
    // Every entry, refreshed on count changes.
    [[nodiscard]] QList<QVariantMap> popupEntries() const { return m_popupEntries; }
    void reload();

    [[nodiscard]] QVariantMap identity() const override;
    // A message held by one of the excluded nodes (the Ungrouped section) is not valid.
    [[nodiscard]] bool passesFurtherChecks(const RTMessage &message) const override;
    void closeNode() override;

signals:
    void popupEntriesChanged();
    void selectedSectionChanged(RTTreeNode *section);

protected:
    // Adds a section node that has no section object (the Ungrouped node).
    void addSectionNode(RTTreeNode *node, bool excludeMessages);
    virtual void sectionsChanged() {}
    [[nodiscard]] QList<RTPopupHostSectionProtocol *> sectionObjects() const;
    void refreshPopupEntries();

private:
    void sortSections();
    void removeSectionNode(RTTreeNode *node);

    QString m_sectionListsKeyPath;
    QString m_combinedFieldName;
    QList<QPointer<RTService>> m_observedServices;
    mutable QMutex m_itemsLock; // the section list is walked from the entry refresh
    QList<RTTreeNode *> m_itemsInSection;
    QHash<RTTreeNode *, RTPopupHostSectionProtocol *> m_sectionObjects;
    QSet<RTTreeNode *> m_excludeMessagesFromTreeNodeSet;
    QString m_newMessagesImage;
    QString m_regularImage;
    QPointer<RTTreeNode> m_selectedSection;
    bool m_observeServices = false;
    bool m_replaceDashesWithSpaces = false;
    bool m_shouldAddSectionsAddNodeChildren = false;
    std::function<void()> m_reloadNodeAction;
    QList<QVariantMap> m_popupEntries;
    int m_servicesConnection = 0;
    QMetaObject::Connection m_registryConnection;
};
