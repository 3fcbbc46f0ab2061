#pragma once

#include "timelines/RTTreeNode.h"

#include <QDateTime>
#include <functional>

class RTServiceRegistry;

// A cross-account view defined by a predicate (All, Home, Mentions, ...). All and Home
// show nothing until some account knows its first Home message; from then on they show
// messages not older than the reference, which only ever moves forward.
class RTTreeNodeAllFilteredMessages : public RTTreeNode
{
    Q_OBJECT
public:
    // Builds the view's predicate for a reference date.
    using ReferencedPredicate = std::function<Predicate(const QDateTime &referenceDate)>;

    RTTreeNodeAllFilteredMessages(const Predicate &filterPredicate, const QString &name,
                                  const QString &baseImageName, qint32 requestType);
    ~RTTreeNodeAllFilteredMessages() override;

    [[nodiscard]] Predicate filterPredicate() const { return m_filterPredicate; }
    [[nodiscard]] QString baseImageName() const { return m_baseImageName; }
    [[nodiscard]] QString regularImage() const { return m_baseImageName; }
    [[nodiscard]] QString newMessagesImage() const
    {
        return m_baseImageName + QStringLiteral("_unseen");
    }
    // The icon shown now: the unseen one while there are unseen messages.
    [[nodiscard]] QString currentImageName() const;
    [[nodiscard]] QString homeReferenceMessageId() const { return m_homeReferenceMessageId; }
    [[nodiscard]] QDateTime homeReferenceMessageDate() const { return m_homeReferenceMessageDate; }
    // With a format the view shows nothing until a reference date is known.
    void setReferencedValidMessagePredicateFormat(ReferencedPredicate format);
    [[nodiscard]] bool hasReferencedValidMessagePredicateFormat() const { return bool(m_format); }

    [[nodiscard]] Predicate generateValidMessagePredicate() const;
    // An account announced a new Home reference. Returns whether the view moved.
    bool newHomeReferenceMessageId(const void *account);
    // Where the view looks up accounts posting the reference notification.
    void setRegistry(RTServiceRegistry *registry) { m_registry = registry; }

    [[nodiscard]] QVariantMap identity() const override;
    [[nodiscard]] QString nodeViewClass() const override;
    [[nodiscard]] bool canBeDeleted() const override { return false; }
    // Mark all as seen, hide seen, hide all.
    RTNodeMenu *menu() override;
    // Enables the items over the messages shown now.
    void menuNeedsUpdate(RTNodeMenu &menu);

    // The account list changed: an empty view says so while accounts exist.
    void servicesChanged(bool hasMessageReceivingAccounts);

private:
    Predicate m_filterPredicate;
    QString m_baseImageName;
    QString m_homeReferenceMessageId;
    QDateTime m_homeReferenceMessageDate;
    ReferencedPredicate m_format;
    RTServiceRegistry *m_registry = nullptr;
    int m_observerId = 0;
    std::unique_ptr<RTNodeMenu> m_menu;
};
