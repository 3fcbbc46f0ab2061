#include "timelines/RTTreeNodeAllFilteredMessages.h"

#include "accounts/RTServiceRegistry.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RTGlobalVariables.h"
#include "timelines/RTTreeNodeMenuActions.h"
#include "twitter/RTServiceTwitter.h"

namespace {

// Message ids are decimal 64-bit numbers; as text "999" would sort after "1000".
bool parseId(const QString &id, quint64 &value)
{
    bool ok = false;
    value = id.toULongLong(&ok);
    return ok;
}

} // namespace

RTTreeNodeAllFilteredMessages::RTTreeNodeAllFilteredMessages(const Predicate &filterPredicate,
                                                             const QString &name,
                                                             const QString &baseImageName,
                                                             qint32 requestType)
    : RTTreeNode(name, nullptr, requestType, baseImageName, filterPredicate)
    , m_filterPredicate(filterPredicate)
    , m_baseImageName(baseImageName)
{
    setIsCombinedNode(true);
    QPointer<RTTreeNodeAllFilteredMessages> self(this);
    m_observerId = NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(RTHomeReferenceMessageIdNotification),
        [self](const void *object, const QVariantMap &) {
            if (self)
                self->newHomeReferenceMessageId(object);
        });
    connect(this, &RTTreeNode::newMessagesCountChanged, this, [this] { emit imageChanged(); });
}

RTTreeNodeAllFilteredMessages::~RTTreeNodeAllFilteredMessages()
{
    unregisterFromOwner();
    NotificationCenter::defaultCenter().removeObserver(m_observerId);
}

QString RTTreeNodeAllFilteredMessages::currentImageName() const
{
    return newMessagesCount() > 0 ? newMessagesImage() : regularImage();
}

void RTTreeNodeAllFilteredMessages::setReferencedValidMessagePredicateFormat(
    ReferencedPredicate format)
{
    m_format = std::move(format);
    setValidMessagePredicate(generateValidMessagePredicate());
}

Predicate RTTreeNodeAllFilteredMessages::generateValidMessagePredicate() const
{
    if (!m_format)
        return m_filterPredicate;
    if (!m_homeReferenceMessageDate.isValid())
        return Predicate::falsePredicate();
    return m_format(m_homeReferenceMessageDate);
}

bool RTTreeNodeAllFilteredMessages::newHomeReferenceMessageId(const void *object)
{
    RTServiceRegistry &registry = m_registry ? *m_registry : RTServiceRegistry::shared();
    RTServiceTwitter *account = nullptr;
    for (const RTServicePtr &service : registry.services()) {
        auto *twitter = qobject_cast<RTServiceTwitter *>(service.get());
        if (twitter && static_cast<const void *>(twitter) == object) {
            account = twitter;
            break;
        }
    }
    if (!account)
        return false;
    const QString accountId = account->homeReferenceMessageId();
    quint64 accountNumber = 0;
    if (!parseId(accountId, accountNumber))
        return false;
    // The oldest reference of all accounts, so no account's Home loses messages here; it
    // never moves forward again.
    quint64 ownNumber = 0;
    if (parseId(m_homeReferenceMessageId, ownNumber) && ownNumber <= accountNumber)
        return false;
    const RTMessagePtr message = account->messageWithId(accountId);
    if (!message || !message->createdAt().isValid())
        return false;
    if (m_homeReferenceMessageDate.isValid() && message->createdAt() > m_homeReferenceMessageDate)
        return false;
    m_homeReferenceMessageId = accountId;
    m_homeReferenceMessageDate = message->createdAt();
    if (m_format)
        setValidMessagePredicate(generateValidMessagePredicate());
    return true;
}

QVariantMap RTTreeNodeAllFilteredMessages::identity() const
{
    return {{QStringLiteral("Type"), QStringLiteral("AllTreeNodesFilter")},
            {QStringLiteral("predicateDescription"), m_filterPredicate.toString()}};
}

QString RTTreeNodeAllFilteredMessages::nodeViewClass() const
{
    return QStringLiteral("RTTwitterListView");
}

RTNodeMenu *RTTreeNodeAllFilteredMessages::menu()
{
    if (!m_menu) {
        m_menu = std::make_unique<RTNodeMenu>();
        RTTreeNodeMenuActions::addMessageItems(*m_menu, *this,
                                               QStringLiteral("RTTreeNodeAllFilteredMessages"), 0);
    }
    return m_menu.get();
}

void RTTreeNodeAllFilteredMessages::menuNeedsUpdate(RTNodeMenu &nodeMenu)
{
    RTTreeNodeMenuActions::updateMessageItems(nodeMenu, displayedMessages());
}

void RTTreeNodeAllFilteredMessages::servicesChanged(bool hasMessageReceivingAccounts)
{
    if (hasMessageReceivingAccounts && messagesArrayController().count() == 0)
        setListviewState(ListViewController::StateDefault);
}
