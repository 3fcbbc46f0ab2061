// The main window's actions, menus and what they do to the current message and node.
#include "ui/RTImageViewerWindow.h"
#include "ui/RTMainWindow.h"

#include "foundation/HostProfile.h"
#include "model/RTMessageTwitter.h"
#include "model/RTUserTwitter.h"
#include "platform/DesktopApplication.h"
#include "store/TADataManager.h"
#include "text/RTMessageTextParser.h"
#include "timelines/RTTreeNode.h"
#include "timelines/RTTreeNodeManager.h"
#include "timelines/RTTreeNodeMenuActions.h"
#include "timelines/RTTreeNodeTwitter.h"
#include "twitter/RTServiceTwitter.h"
#include "ui/RTComposeProvider.h"
#include "ui/RTErrorListWindow.h"
#include "ui/RTFilterActions.h"
#include "ui/RTListActions.h"
#include "ui/RTListViewController.h"
#include "ui/RTMessageDelegate.h"
#include "ui/RTMessageListModel.h"
#include "ui/RTMessageListView.h"
#include "ui/RTOutlineModel.h"
#include "ui/RTTextServiceActions.h"
#include "ui/RTUiIcons.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <QTreeView>

namespace {
RTMessageTwitterPtr asTweet(const RTMessagePtr &message)
{
    return std::dynamic_pointer_cast<RTMessageTwitter>(message);
}
} // namespace

QAction *RTMainWindow::addAction(const QString &name, const QString &text, const QKeySequence &key,
                                 std::function<void()> handler, const QString &icon)
{
    auto *a = new QAction(text, this);
    a->setObjectName(name);
    if (!key.isEmpty())
        a->setShortcut(key);
    if (!icon.isEmpty()) {
        a->setProperty("talvoIcon", icon);
        a->setIcon(RTUiIcons::icon(icon, palette().color(QPalette::WindowText)));
    }
    if (handler)
        connect(a, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
    else
        a->setEnabled(false); // the application wires it
    QWidget::addAction(a);
    m_actions.insert(name, a);
    return a;
}

void RTMainWindow::createActions()
{
    const auto key = [](const char *text) { return QKeySequence(QString::fromLatin1(text)); };
    // Application actions; the application connects them to its menu controller.
    for (const auto &[name, text] : std::initializer_list<std::pair<const char *, const char *>>{
             {"markAllMessagesAsSeen", "Mark All Messages as Seen"},
             {"synchronizeLists", "Synchronize Lists"},
             {"synchronizeSearches", "Synchronize Searches"},
             {"synchronizeGroups", "Synchronize Groups"},
             {"saveApplicationData", "Save Application Data"},
             {"deleteApplicationData", "Delete Application Data…"},
             {"toggleShowUngroupedUsers", "Show Ungrouped Users"},
             {"toggleShowVerifiedUsers", "Show Verified Users"},
             {"toggleShowTwitterSources", "Show Twitter Sources"},
             {"showServiceAddition", "Add Account…"},
             {"checkForUpdates", "Check for Updates…"},
             {"loginToTalvoAnywhere", "Talvo Anywhere"},
             {"talvoWebsite", "Talvo Website"},
             {"talvoFeedback", "Send Feedback"},
             {"talvoHelp", "Talvo Help"},
             {"preferences", "Preferences…"},
         }) {
        addAction(QString::fromLatin1(name), tr(text), QKeySequence(), nullptr);
    }
    action(QStringLiteral("talvoHelp"))->setShortcut(QKeySequence::HelpContents);
    action(QStringLiteral("preferences"))->setShortcut(key("Ctrl+,"));
    addPreferencesActions();

    addAction(QStringLiteral("quit"), tr("Quit"), QKeySequence::Quit, [] { qApp->quit(); });
    addAction(
        QStringLiteral("reloadCurrent"), tr("Reload"), key("Ctrl+R"), [this] { reloadCurrent(); },
        QStringLiteral("reload"))
        ->setShortcuts({key("Ctrl+R"), key("F5")});
    addAction(QStringLiteral("reloadAll"), tr("Reload All Accounts"), key("Ctrl+Shift+R"),
              [this] { reloadAll(); });
    addAction(
        QStringLiteral("markAllSeenInSource"), tr("Mark All as Seen"), key("Shift+M"),
        [this] { markAllSeenInCurrent(); }, QStringLiteral("markseen"));
    addAction(
        QStringLiteral("newTweet"), tr("New Message"), key("Ctrl+N"),
        [] { RTComposeProvider::shared().showComposeWindow(QString()); },
        QStringLiteral("compose"));
    addAction(QStringLiteral("newDirectMessage"), tr("New Direct Message"), key("Ctrl+Shift+D"),
              [] { RTComposeProvider::shared().focusComposeLine(true); });
    addAction(QStringLiteral("focusComposeLine"), tr("Compose Line"), key("Ctrl+L"),
              [] { RTComposeProvider::shared().focusComposeLine(false); });
    addAction(QStringLiteral("find"), tr("Search…"), QKeySequence::Find, [this] {
        m_searchField->setFocus();
        m_searchField->selectAll();
    });
    addAction(QStringLiteral("focusSources"), tr("Go to Sources"), key("Ctrl+0"),
              [this] { m_outline->setFocus(); });
    addAction(QStringLiteral("closeTemporary"), tr("Close Search"), key("Esc"),
              [this] { closeTemporaryNode(); });
    addAction(QStringLiteral("showErrors"), tr("Errors"), key("Ctrl+Shift+E"), [this] {
        RTErrorListWindow *w = errorListWindow();
        w->show();
        w->raise();
    });
    for (int i = 0; i < 9; ++i) {
        addAction(QStringLiteral("combinedView%1").arg(i + 1), tr("Combined View %1").arg(i + 1),
                  QKeySequence(QStringLiteral("Ctrl+%1").arg(i + 1)),
                  [this, i] { selectCombinedView(i); });
    }

    // Message actions: single keys act on the list (a text field keeps its letters).
    addAction(
        QStringLiteral("reply"), tr("Reply"), key("R"), [this] { replyToCurrent(false); },
        QStringLiteral("reply"));
    addAction(QStringLiteral("replyAll"), tr("Reply to All"), key("Shift+R"),
              [this] { replyToCurrent(true); });
    addAction(
        QStringLiteral("retweet"), tr("Retweet"), key("T"), [this] { retweetCurrent(); },
        QStringLiteral("retweet"));
    addAction(QStringLiteral("quote"), tr("Quote"), key("Q"), [this] { quoteCurrent(); });
    addAction(
        QStringLiteral("directMessage"), tr("Direct Message to Author"), key("D"),
        [this] { directMessageToAuthor(); }, QStringLiteral("direct"));
    addAction(
        QStringLiteral("favorite"), tr("Favorite"), key("F"), [this] { toggleFavoriteCurrent(); },
        QStringLiteral("favorite"));
    addAction(QStringLiteral("deleteMessage"), tr("Delete"), QKeySequence::Delete,
              [this] { deleteCurrent(); });
    addAction(QStringLiteral("openInBrowser"), tr("Open in Browser"), key("Ctrl+Shift+O"),
              [this] { openCurrentInBrowser(); });
    addAction(QStringLiteral("copyLink"), tr("Copy Link"), key("Ctrl+Shift+C"),
              [this] { copyCurrentLink(); });
    addAction(QStringLiteral("copyText"), tr("Copy Text"), QKeySequence::Copy,
              [this] { copyCurrentText(); });
    addAction(QStringLiteral("translate"), tr("Translate"), key("Ctrl+T"),
              [this] { translateCurrent(); });
    addAction(QStringLiteral("markSeen"), tr("Mark as Seen"), key("M"),
              [this] { markCurrentSeen(); });
    addAction(
        QStringLiteral("openConversation"), tr("Open Conversation"), QKeySequence(),
        [this] {
            if (RTListViewController *c = currentController(); c && c->listView())
                openConversation(c->listView()->currentIndex().row());
        },
        QStringLiteral("conversation"));
    action(QStringLiteral("openConversation"))->setShortcutVisibleInContextMenu(true);
    action(QStringLiteral("openConversation"))->setToolTip(tr("Enter"));
    addAction(
        QStringLiteral("showUser"), tr("Show Author's Messages"), key("U"),
        [this] { showAuthor(); }, QStringLiteral("user"));
    addAction(QStringLiteral("showFilters"), tr("Mutes and Highlights…"), QKeySequence(), [this] {
        if (RTFilterActions::hasShared())
            RTFilterActions::shared().showFilters(this);
    });
    // Keep the names of the shortcut-less actions readable in menus.
    for (QAction *a : std::as_const(m_actions))
        a->setShortcutContext(Qt::WindowShortcut);
    updateActions();
}

void RTMainWindow::buildMenuBar()
{
    QMenuBar *bar = menuBar();
    const auto add = [this](QMenu *menu, const char *name) {
        menu->addAction(action(QString::fromLatin1(name)));
    };
    QMenu *file = bar->addMenu(tr("&Talvo"));
    add(file, "newTweet");
    add(file, "newDirectMessage");
    file->addSeparator();
    add(file, "showServiceAddition");
    add(file, "preferences");
    file->addSeparator();
    add(file, "saveApplicationData");
    add(file, "deleteApplicationData");
    file->addSeparator();
    add(file, "quit");

    QMenu *edit = bar->addMenu(tr("&Edit"));
    add(edit, "copyText");
    add(edit, "copyLink");
    edit->addSeparator();
    add(edit, "find");
    add(edit, "focusComposeLine");

    QMenu *view = bar->addMenu(tr("&View"));
    add(view, "reloadCurrent");
    add(view, "reloadAll");
    view->addSeparator();
    add(view, "markAllSeenInSource");
    add(view, "markAllMessagesAsSeen");
    view->addSeparator();
    QMenu *combined = view->addMenu(tr("Combined Views"));
    for (int i = 1; i <= 9; ++i)
        combined->addAction(action(QStringLiteral("combinedView%1").arg(i)));
    connect(combined, &QMenu::aboutToShow, this, [this] {
        const QList<RTTreeNode *> views = m_manager.visibleCombinedToolbarTreeNodes();
        for (int i = 0; i < 9; ++i) {
            QAction *a = action(QStringLiteral("combinedView%1").arg(i + 1));
            a->setVisible(i < views.size());
            if (i < views.size())
                a->setText(views.at(i)->name());
        }
    });
    add(view, "focusSources");
    add(view, "closeTemporary");
    view->addSeparator();
    add(view, "toggleShowUngroupedUsers");
    add(view, "toggleShowVerifiedUsers");
    add(view, "toggleShowTwitterSources");
    view->addSeparator();
    add(view, "showErrors");

    QMenu *message = bar->addMenu(tr("&Message"));
    connect(message, &QMenu::aboutToShow, this, [this, message] {
        message->clear();
        qDeleteAll(message->findChildren<QMenu *>(QString(), Qt::FindDirectChildrenOnly));
        QMenu *built = buildMessageMenu(message);
        message->addActions(built->actions());
    });

    QMenu *accounts = bar->addMenu(tr("&Accounts"));
    add(accounts, "logInAgain");
    accounts->addSeparator();
    add(accounts, "synchronizeLists");
    add(accounts, "synchronizeSearches");
    add(accounts, "synchronizeGroups");
    accounts->addSeparator();
    add(accounts, "showFilters");
    m_listActions->addToMenu(accounts);

    QMenu *help = bar->addMenu(tr("&Help"));
    add(help, "talvoHelp");
    add(help, "talvoWebsite");
    add(help, "talvoFeedback");
    add(help, "loginToTalvoAnywhere");
    help->addSeparator();
    add(help, "checkForUpdates");
    add(help, "about");
}

void RTMainWindow::updateActions()
{
    const RTMessagePtr message = currentMessage();
    const RTMessageTwitterPtr tweet = asTweet(message);
    const bool compose = RTComposeProvider::hasShared();
    const bool filters = RTFilterActions::hasShared();
    const bool isPublic = tweet && !tweet->isPrivate();
    const auto enable = [this](const char *name, bool on) {
        if (QAction *a = action(QString::fromLatin1(name)))
            a->setEnabled(on);
    };
    enable("newTweet", compose);
    enable("newDirectMessage", compose);
    enable("focusComposeLine", compose);
    for (const char *name : {"newTweet", "reply", "replyAll", "quote", "directMessage"}) {
        if (QAction *a = action(QString::fromLatin1(name)))
            a->setToolTip(compose ? a->text()
                                  : tr("%1 (composing is not available yet)").arg(a->text()));
    }
    enable("reply", compose && tweet);
    enable("replyAll", compose && tweet);
    enable("quote", compose && isPublic);
    enable("directMessage", compose && tweet);
    enable("retweet", isPublic && !tweet->isSent());
    enable("favorite", isPublic);
    if (QAction *a = action(QStringLiteral("favorite")))
        a->setText(tweet && tweet->isFavorite() ? tr("Unfavorite") : tr("Favorite"));
    enable("deleteMessage", tweet && tweet->isSent());
    enable("openInBrowser", isPublic);
    enable("copyLink", isPublic);
    enable("copyText", bool(message));
    enable("translate", bool(message)); // turns a shown translation off again
    enable("markSeen", bool(message) && !message->isSeen());
    enable("openConversation", bool(tweet));
    enable("showUser", tweet && !RTMessageListModel::screenName(*tweet).isEmpty());
    enable("showFilters", filters);
    enable("reloadCurrent", bool(m_currentNode));
    enable("markAllSeenInSource", m_currentNode && m_currentNode->newMessagesCount() != 0);
    enable("closeTemporary", bool(m_temporaryNode));
    if (m_listActions)
        m_listActions->updateActions(m_currentNode);
}

QMenu *RTMainWindow::buildMessageMenu(QWidget *parent)
{
    updateActions();
    auto *menu = new QMenu(parent);
    menu->setAttribute(Qt::WA_DeleteOnClose, false);
    const auto add = [this, menu](const char *name) {
        menu->addAction(action(QString::fromLatin1(name)));
    };
    add("reply");
    add("replyAll");
    add("retweet");
    add("quote");
    add("directMessage");
    add("favorite");
    menu->addSeparator();
    add("openConversation");
    add("showUser");
    add("markSeen");
    add("translate");
    menu->addSeparator();
    add("openInBrowser");
    add("copyLink");
    add("copyText");
    menu->addSeparator();
    const RTMessagePtr message = currentMessage();
    RTTextServiceActions::addToMessageMenu(*menu, action(QStringLiteral("translate")), message,
                                           message ? statusUrl(*message) : QString());
    if (RTFilterActions::hasShared()) {
        RTFilterActions::shared().addMessageMenuItems(*menu, message);
    } else {
        QAction *mute = menu->addAction(tr("Mute Author"));
        mute->setEnabled(false);
        mute->setToolTip(tr("Muting needs the companion service"));
    }
    m_listActions->addMessageItems(message, menu);
    menu->addSeparator();
    add("deleteMessage");
    return menu;
}

QMenu *RTMainWindow::buildNodeMenu(RTTreeNode *node, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    if (!node)
        return menu;
    menu->addAction(action(QStringLiteral("reloadCurrent")));
    RTNodeMenu *nodeMenu = node->menu();
    if (auto *twitterNode = qobject_cast<RTTreeNodeTwitter *>(node); twitterNode && nodeMenu)
        twitterNode->menuNeedsUpdate(*nodeMenu);
    if (nodeMenu && !nodeMenu->items.isEmpty()) {
        menu->addSeparator();
        for (const RTNodeMenuItem &item : std::as_const(nodeMenu->items)) {
            if (item.isSeparator) {
                menu->addSeparator();
                continue;
            }
            QAction *a = menu->addAction(item.title);
            a->setEnabled(item.enabled);
            a->setData(item.tag);
            const std::function<void()> run = item.action;
            if (run)
                connect(a, &QAction::triggered, this, [run] { run(); });
        }
    }
    if (RTFilterActions::hasShared())
        RTFilterActions::shared().addNodeMenuItems(*menu, node);
    m_listActions->addNodeItems(node, menu);
    if (node->requestType() == RTTreeNodeRequestType::AccountRoot && node->canBeDeleted()) {
        menu->addSeparator();
        QPointer<RTTreeNode> weak(node);
        menu->addAction(tr("Remove Account…"), this, [weak] {
            if (weak)
                weak->deleteSelf();
        });
    }
    return menu;
}

void RTMainWindow::showOutlineMenu(const QPoint &pos)
{
    const QModelIndex idx = m_outline->indexAt(pos);
    RTTreeNode *node = m_outlineModel->nodeForIndex(idx);
    if (!node)
        return;
    if (node != m_currentNode)
        showNode(node);
    QMenu *menu = buildNodeMenu(node, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_outline->viewport()->mapToGlobal(pos));
}

void RTMainWindow::showMessageMenu(int row, const QPoint &globalPos)
{
    if (RTListViewController *c = currentController(); c && c->listView())
        c->listView()->selectRow(row);
    QMenu *menu = buildMessageMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

void RTMainWindow::quickAction(int row, int quick)
{
    RTListViewController *c = currentController();
    if (!c || !c->listView())
        return;
    c->listView()->selectRow(row);
    updateActions();
    const char *name = nullptr;
    switch (quick) {
    case RTMessageDelegate::ReplyAction:
        name = "reply";
        break;
    case RTMessageDelegate::RetweetAction:
        name = "retweet";
        break;
    case RTMessageDelegate::FavoriteAction:
        name = "favorite";
        break;
    default: {
        const QModelIndex idx = c->model().index(row);
        showMessageMenu(
            row, c->listView()->viewport()->mapToGlobal(c->listView()->visualRect(idx).topRight()));
        return;
    }
    }
    if (QAction *a = action(QString::fromLatin1(name)); a && a->isEnabled())
        a->trigger();
}

void RTMainWindow::activateLink(const QString &link)
{
    const auto [kind, value] = RTMessageTextParser::internalLinkTarget(link);
    if (kind == RTMessageTextParser::InternalLinkKind::User) {
        openSearch(QStringLiteral("from:") + value);
        return;
    }
    if (kind == RTMessageTextParser::InternalLinkKind::Search) {
        openSearch(value);
        return;
    }
    const QUrl url(link);
    if (!url.isValid() || url.scheme().isEmpty())
        return;
    if (DesktopApplication::hasShared())
        DesktopApplication::shared().openUrl(url, false);
    else
        QDesktopServices::openUrl(url);
}

RTImageViewerWindow *RTMainWindow::openPicture(const QVariantMap &picture)
{
    auto *viewer = new RTImageViewerWindow(picture, this);
    connect(viewer, &RTImageViewerWindow::openLinkRequested, this,
            [this](const QString &link) { activateLink(link); });
    viewer->show();
    return viewer;
}

void RTMainWindow::openSearch(const QString &term)
{
    m_manager.addTemporarySearchThroughSearchFieldWithSearchString(term);
}

QString RTMainWindow::statusUrl(const RTMessage &message) const
{
    QUrl base = HostProfile::current().baseUrl(QStringLiteral("twitter-web"));
    if (!base.isValid())
        base = QUrl(QStringLiteral("https://twitter.com"));
    QString url = base.toString();
    if (url.endsWith(QLatin1Char('/')))
        url.chop(1);
    return QStringLiteral("%1/%2/status/%3")
        .arg(url, RTMessageListModel::screenName(message), message.messageId());
}

void RTMainWindow::replyToCurrent(bool all)
{
    if (const RTMessagePtr m = currentMessage(); m && RTComposeProvider::hasShared())
        RTComposeProvider::shared().startMessage(
            all ? RTComposeProvider::Kind::ReplyAll : RTComposeProvider::Kind::Reply, m);
}

void RTMainWindow::quoteCurrent()
{
    if (const RTMessagePtr m = currentMessage(); m && RTComposeProvider::hasShared())
        RTComposeProvider::shared().startMessage(RTComposeProvider::Kind::Quote, m);
}

void RTMainWindow::directMessageToAuthor()
{
    if (const RTMessagePtr m = currentMessage(); m && RTComposeProvider::hasShared())
        RTComposeProvider::shared().startMessage(RTComposeProvider::Kind::DirectMessage, m);
}

void RTMainWindow::retweetCurrent()
{
    if (const RTMessageTwitterPtr t = asTweet(currentMessage()))
        t->retweet();
}

void RTMainWindow::toggleFavoriteCurrent()
{
    const RTMessageTwitterPtr t = asTweet(currentMessage());
    if (!t)
        return;
    t->isFavorite() ? t->unfavorite() : t->favorite();
}

void RTMainWindow::deleteCurrent()
{
    const RTMessageTwitterPtr t = asTweet(currentMessage());
    auto *account = t ? qobject_cast<RTServiceTwitter *>(t->service()) : nullptr;
    if (!account || !t->isSent())
        return;
    account->deleteMessage(t);
}

void RTMainWindow::openCurrentInBrowser()
{
    if (const RTMessagePtr m = currentMessage())
        activateLink(statusUrl(*m));
}

void RTMainWindow::copyCurrentLink()
{
    if (const RTMessagePtr m = currentMessage())
        QApplication::clipboard()->setText(statusUrl(*m));
}

void RTMainWindow::copyCurrentText()
{
    if (const RTMessagePtr m = currentMessage())
        QApplication::clipboard()->setText(m->body());
}

void RTMainWindow::translateCurrent()
{
    if (const RTMessagePtr m = currentMessage())
        m->translate();
}

void RTMainWindow::markCurrentSeen()
{
    if (const RTMessagePtr m = currentMessage()) {
        m->markSeen(true);
        if (RTListViewController *c = currentController())
            c->refresh();
        updateActions();
    }
}

void RTMainWindow::showAuthor()
{
    if (const RTMessagePtr m = currentMessage()) {
        const QString name = RTMessageListModel::screenName(*m);
        if (!name.isEmpty())
            openSearch(QStringLiteral("from:") + name);
    }
}

void RTMainWindow::markAllSeenInCurrent()
{
    if (!m_currentNode)
        return;
    RTTreeNodeMenuActions::markAllAsSeen(*m_currentNode);
    if (RTListViewController *c = currentController())
        c->refresh();
    updateActions();
}

void RTMainWindow::reloadCurrent()
{
    RTTreeNode *node = m_currentNode;
    if (auto *twitterNode = qobject_cast<RTTreeNodeTwitter *>(node)) {
        twitterNode->reload();
        return;
    }
    if (node)
        node->reloadContent();
}

void RTMainWindow::reloadAll()
{
    for (const RTServicePtr &service : TADataManager::sharedManager().services()) {
        if (auto *account = qobject_cast<RTServiceTwitter *>(service.get()))
            account->refreshTimelines();
    }
}

void RTMainWindow::retintIcons()
{
    const QColor color = palette().color(QPalette::WindowText);
    for (QAction *a : std::as_const(m_actions)) {
        const QString icon = a->property("talvoIcon").toString();
        if (!icon.isEmpty())
            a->setIcon(RTUiIcons::icon(icon, color));
    }
    for (QToolButton *button : findChildren<QToolButton *>()) {
        const QString icon = button->property("talvoIcon").toString();
        if (!icon.isEmpty())
            button->setIcon(RTUiIcons::icon(icon, color));
    }
}
