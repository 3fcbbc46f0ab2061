#include "ui/RTListActions.h"

#include "accounts/RTServiceRegistry.h"
#include "platform/Alerts.h"
#include "timelines/RTTreeNodeManager.h"
#include "timelines/RTTreeNodePopupHost.h"
#include "timelines/RTTreeNodeSearch.h"
#include "timelines/RTTreeNodeTwitterListsTimeline.h"
#include "twitter/RTServiceTwitter.h"
#include "ui/RTMainWindow.h"
#include "ui/RTMessageListModel.h"

#include <QAction>
#include <QInputDialog>
#include <QMenu>

RTListActions::RTListActions(RTMainWindow &window, RTTreeNodeManager &manager)
    : QObject(&window)
    , m_window(window)
    , m_manager(manager)
{
    m_saveSearch = new QAction(tr("Save Search"), &window);
    m_saveSearch->setObjectName(QStringLiteral("saveSearch"));
    m_saveSearch->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    m_saveSearch->setShortcutContext(Qt::WindowShortcut);
    connect(m_saveSearch, &QAction::triggered, this,
            [this] { saveSearch(m_window.temporaryNode()); });
    window.QWidget::addAction(m_saveSearch);

    m_newList = new QAction(tr("New List…"), &window);
    m_newList->setObjectName(QStringLiteral("newList"));
    m_newList->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+L")));
    m_newList->setShortcutContext(Qt::WindowShortcut);
    connect(m_newList, &QAction::triggered, this, [this] {
        RTServiceTwitter *account = accountFor(m_window.currentNode());
        showNewListSheet(account);
    });
    window.QWidget::addAction(m_newList);
    updateActions(nullptr);
}

void RTListActions::addToMenu(QMenu *menu)
{
    menu->addAction(m_saveSearch);
    menu->addAction(m_newList);
}

QList<RTServiceTwitter *> RTListActions::twitterAccounts() const
{
    QList<RTServiceTwitter *> accounts;
    for (const RTServicePtr &service : m_manager.registry().services()) {
        auto *twitter = qobject_cast<RTServiceTwitter *>(service.get());
        if (twitter && !twitter->isDeleted())
            accounts.append(twitter);
    }
    return accounts;
}

QList<RTListTwitterPtr> RTListActions::ownLists(const RTServiceTwitter *account)
{
    QList<RTListTwitterPtr> lists;
    if (!account)
        return lists;
    for (const RTListTwitterPtr &list : account->listsArray()) {
        if (list && list->isMine())
            lists.append(list);
    }
    return lists;
}

RTServiceTwitter *RTListActions::accountFor(RTTreeNode *node) const
{
    for (RTTreeNode *n = node; n; n = n->parentNode()) {
        if (auto *account = qobject_cast<RTServiceTwitter *>(n->service()))
            return account;
    }
    return nullptr;
}

bool RTListActions::isSavable(RTTreeNode *node)
{
    auto *search = qobject_cast<RTTreeNodeSearch *>(node);
    return search && search->isTemporary() && search->searchObject() &&
           !search->searchObject()->service();
}

void RTListActions::updateActions(RTTreeNode *current)
{
    const bool accounts = !twitterAccounts().isEmpty();
    m_saveSearch->setEnabled(accounts && isSavable(m_window.temporaryNode()) &&
                             (!current || current == m_window.temporaryNode()));
    m_newList->setEnabled(accounts);
}

bool RTListActions::saveSearch(RTTreeNode *node)
{
    if (!isSavable(node))
        return false;
    const RTSearchTwitterPtr search = static_cast<RTTreeNodeSearch *>(node)->searchObject();
    const QList<RTServiceTwitter *> accounts = twitterAccounts();
    RTServiceTwitter *account = accounts.size() == 1 ? accounts.first() : nullptr;
    if (accounts.size() > 1) {
        QStringList names;
        for (RTServiceTwitter *a : accounts)
            names << QStringLiteral("@") + a->serviceId();
        bool ok = false;
        const QString chosen = QInputDialog::getItem(
            &m_window, tr("Save Search"), tr("Save “%1” with:").arg(search->searchName()), names, 0,
            false, &ok);
        if (!ok)
            return false;
        account = accounts.value(int(names.indexOf(chosen)));
    }
    if (!account)
        return false;
    for (const RTSearchTwitterPtr &saved : account->savedSearchesArray()) {
        if (saved && saved->searchQuery() == search->searchQuery())
            return false; // saved already
    }
    const QList<RTMessagePtr> found = node->displayedMessages();
    account->savedSearchesCreateWithObject(QVariant::fromValue(search), search->searchName(),
                                           QVariant::fromValue(found));
    return true;
}

RTListSheet *RTListActions::showNewListSheet(RTServiceTwitter *account)
{
    const QList<RTServiceTwitter *> accounts =
        account ? QList<RTServiceTwitter *>{account} : twitterAccounts();
    if (accounts.isEmpty())
        return nullptr;
    auto *sheet = new RTListSheet(accounts, &m_window);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
    return sheet;
}

RTListSheet *RTListActions::showEditListSheet(const RTListTwitterPtr &list)
{
    if (!list || !list->isMine())
        return nullptr;
    auto *sheet = new RTListSheet(list, &m_window);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
    return sheet;
}

RTListMemberSheet *RTListActions::showMemberSheet(RTListMemberSheet::Mode mode,
                                                  RTServiceTwitter *account,
                                                  const RTListTwitterPtr &list,
                                                  const QString &screenName)
{
    if (!account)
        return nullptr;
    auto *sheet =
        new RTListMemberSheet(mode, account, ownLists(account), list, screenName, &m_window);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
    return sheet;
}

void RTListActions::confirmDeleteList(const RTListTwitterPtr &list)
{
    if (!list || !list->isMine() || !Alerts::hasShared())
        return;
    Alerts::Confirmation alert;
    alert.message = tr("Delete the list %1?").arg(list->fullName());
    alert.informativeText =
        tr("The list and its members are removed on Twitter. This cannot be undone.");
    alert.defaultButton = tr("Delete");
    alert.alternateButton = tr("Cancel");
    std::weak_ptr<RTListTwitter> weak = list;
    Alerts::shared().runConfirmation(alert, [weak](bool confirmed, bool) {
        const RTListTwitterPtr l = weak.lock();
        if (confirmed && l && l->service())
            l->service()->destroyList(l);
    });
}

void RTListActions::addNodeItems(RTTreeNode *node, QMenu *menu)
{
    if (!node)
        return;
    QPointer<RTTreeNode> weak(node);
    if (isSavable(node)) {
        menu->addSeparator();
        QAction *save = menu->addAction(tr("Save Search"), this, [this, weak] {
            if (weak)
                saveSearch(weak);
        });
        save->setEnabled(!twitterAccounts().isEmpty());
        return;
    }
    if (auto *host = qobject_cast<RTTreeNodePopupHost *>(node);
        host && host->sectionListsKeyPath() == QLatin1String("listsArray")) {
        menu->addSeparator();
        RTServiceTwitter *account = accountFor(node);
        QAction *create =
            menu->addAction(tr("New List…"), this, [this, account] { showNewListSheet(account); });
        create->setEnabled(!twitterAccounts().isEmpty());
        return;
    }
    auto *listNode = qobject_cast<RTTreeNodeTwitterListsTimeline *>(node);
    const RTListTwitterPtr list = listNode ? listNode->listObject() : nullptr;
    RTServiceTwitter *account = list ? list->service() : nullptr;
    if (!list || !account)
        return;
    menu->addSeparator();
    if (!list->isMine()) {
        menu->addAction(tr("Unsubscribe from %1").arg(list->fullName()), this, [list] {
            if (RTServiceTwitter *a = list->service())
                a->unsubscribeFromList(list);
        });
        return;
    }
    menu->addAction(tr("Edit List…"), this, [this, list] { showEditListSheet(list); });
    menu->addAction(tr("Add Member…"), this, [this, list] {
        showMemberSheet(RTListMemberSheet::Mode::Add, list->service(), list, QString());
    });
    menu->addAction(tr("Remove Member…"), this, [this, list] {
        showMemberSheet(RTListMemberSheet::Mode::Remove, list->service(), list, QString());
    });
    menu->addAction(tr("Delete List…"), this, [this, list] { confirmDeleteList(list); });
}

void RTListActions::addMessageItems(const RTMessagePtr &message, QMenu *menu)
{
    if (!message)
        return;
    auto *account = qobject_cast<RTServiceTwitter *>(message->service());
    const QList<RTServiceTwitter *> accounts = twitterAccounts();
    if (!account && !accounts.isEmpty())
        account = accounts.first(); // a search result belongs to no account
    if (!account)
        return;
    const QString author = RTMessageListModel::screenName(*message);
    if (author.isEmpty())
        return;
    const bool hasLists = !ownLists(account).isEmpty();
    menu->addSeparator();
    QPointer<RTServiceTwitter> weak(account);
    QAction *add = menu->addAction(tr("Add @%1 to List…").arg(author), this, [this, weak, author] {
        if (weak)
            showMemberSheet(RTListMemberSheet::Mode::Add, weak, nullptr, author);
    });
    add->setEnabled(hasLists);
    QAction *remove =
        menu->addAction(tr("Remove @%1 from List…").arg(author), this, [this, weak, author] {
            if (weak)
                showMemberSheet(RTListMemberSheet::Mode::Remove, weak, nullptr, author);
        });
    remove->setEnabled(hasLists);
}
