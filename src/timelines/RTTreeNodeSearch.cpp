#include "timelines/RTTreeNodeSearch.h"

#include "foundation/Localization.h"
#include "foundation/RTGlobalVariables.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTwitterRequestTypes.h"

RTTreeNodeSearch::RTTreeNodeSearch(const RTSearchTwitterPtr &search)
    : RTTreeNodeTwitter(search ? search->searchName() : QString(),
                        search ? search->service() : nullptr, RTTwitterRequestSearch,
                        RTSearchTwitter::image(), Predicate())
    , m_search(search)
{
    setMenuItems(&RTMessageActionTags::timeline());
    if (m_search) {
        QPointer<RTTreeNodeSearch> self(this);
        m_observerId = m_search->addAnswerObserver([self](const QVariantMap &result, bool success) {
            if (self)
                self->searchAnswered(result, success);
        });
    }
}

RTTreeNodeSearch::~RTTreeNodeSearch()
{
    unregisterFromOwner();
    if (m_search)
        m_search->removeAnswerObserver(m_observerId);
}

void RTTreeNodeSearch::searchAnswered(const QVariantMap &result, bool success)
{
    m_searchFailed = !success;
    if (!success)
        return;
    // An empty node says so only when the answer brought nothing new either.
    if (messagesArrayController().count() > 0) {
        setListviewState(ListViewController::StateNormal);
        return;
    }
    const auto operation = std::dynamic_pointer_cast<RTRequestOperationTwitter>(
        result.value(QString::fromLatin1(kRTRequestOperationKey)).value<RTRequestOperationPtr>());
    const bool nothingNew = !operation || operation->newMessages().isEmpty();
    setListviewState(nothingNew ? ListViewController::StateEmpty : ListViewController::StateNormal);
}

bool RTTreeNodeSearch::requestOlderPage(const QString &maxId)
{
    return m_search && m_search->searchWithMaxId(maxId, requestDelegate());
}

RTTreeNode *RTTreeNodeSearch::initSearchNodes()
{
    return RTTreeNode::create<RTTreeNode>(QStringLiteral("TRENDING"), nullptr, 0, QString(),
                                          Predicate());
}

bool RTTreeNodeSearch::isMessageValid(const RTMessagePtr &message, qint32 requestType,
                                      const QVariantMap &userInfo) const
{
    if (!message || !m_search || message->isMuted())
        return false;
    if (userInfo.isEmpty()) {
        if (!m_search->messagesSet().contains(message->messageId()))
            return false;
    } else if (userInfo.value(QStringLiteral("searchObject")).value<RTSearchTwitterPtr>() !=
               m_search) {
        return false;
    }
    return RTTreeNode::isMessageValid(message, requestType, userInfo);
}

QVariantMap RTTreeNodeSearch::identity() const
{
    return {{QStringLiteral("serviceName"), QStringLiteral("LumeraSearch")},
            {QStringLiteral("nodeName"), name()}};
}

int RTTreeNodeSearch::defaultListState() const
{
    if (messagesArrayController().count() > 0)
        return ListViewController::StateDefault;
    return m_search && m_search->isEmpty() ? ListViewController::StateEmpty
                                           : ListViewController::StateDefault;
}

RTNodeMenu *RTTreeNodeSearch::menu()
{
    // Only a leaf search under a host has a menu.
    if (!parentNode() || !isLeaf())
        return nullptr;
    if (!m_nodeMenu) {
        RTTreeNodeTwitter::menu();
        m_nodeMenu->title = QStringLiteral("searchMenu");
        RTNodeMenuItem separator;
        separator.isSeparator = true;
        m_nodeMenu->items.append(separator);
        QPointer<RTTreeNodeSearch> self(this);
        RTNodeMenuItem refresh;
        refresh.title = localizedString("##RTTreeNodeSearch:0##");
        refresh.actionName = QStringLiteral("reload");
        refresh.enabled = true;
        refresh.action = [self] {
            if (self)
                self->reload();
        };
        m_nodeMenu->items.append(refresh);
        RTNodeMenuItem remove;
        remove.title = localizedString("##RTTreeNodeSearch:1##");
        remove.actionName = QStringLiteral("deleteSelf");
        remove.enabled = true;
        remove.action = [self] {
            if (self)
                self->deleteSelf();
        };
        m_nodeMenu->items.append(remove);
    }
    return m_nodeMenu.get();
}

void RTTreeNodeSearch::reload()
{
    if (m_search)
        m_search->search();
}

void RTTreeNodeSearch::deleteSelf()
{
    if (isDeleted())
        return;
    setIsDeleted(true);
    if (RTServiceTwitter *account = twitterAccount(); account && m_search)
        account->savedSearchesDestroyWithObject(m_search->searchId());
}
