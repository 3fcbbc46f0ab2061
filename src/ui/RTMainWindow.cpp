#include "ui/RTMainWindow.h"

#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "model/RTUserTwitter.h"
#include "network/RTErrorMessageManager.h"
#include "network/RTStatusManager.h"
#include "store/TADataManager.h"
#include "timelines/RTTreeNode.h"
#include "timelines/RTTreeNodeManager.h"
#include "timelines/RTTreeNodeTwitterConversation.h"
#include "ui/RTAvatarCache.h"
#include "ui/RTComposeProvider.h"
#include "ui/RTErrorListWindow.h"
#include "ui/RTListActions.h"
#include "ui/RTListViewController.h"
#include "ui/RTMessageListModel.h"
#include "ui/RTMessageListView.h"
#include "ui/RTOutlineDelegate.h"
#include "ui/RTOutlineModel.h"
#include "ui/RTOutlineView.h"
#include "ui/RTUiIcons.h"
#include "ui/prefs/RTAccountLogInBar.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {
constexpr int kAgeRefreshMs = 60 * 1000;
constexpr int kHomeRequestType = 55;
} // namespace

RTMainWindow::RTMainWindow(RTTreeNodeManager &manager, QWidget *parent)
    : QMainWindow(parent)
    , m_manager(manager)
{
    setWindowTitle(QStringLiteral("Talvo"));
    setAccessibleName(QStringLiteral("Talvo"));
    m_avatars = new RTAvatarCache(
        [](const QString &url) { return TADataManager::sharedManager().getImageForUrl(url); },
        this);
    m_thumbnails = new RTAvatarCache(
        [](const QString &url) { return TADataManager::sharedManager().getImageForUrl(url); },
        this);
    m_manager.restoreExpandedNodes();
    m_outlineModel = new RTOutlineModel(m_manager, this);
    createActions();
    m_listActions = new RTListActions(*this, m_manager);
    buildLayout();
    buildToolbar();
    buildStatusBar();
    buildMenuBar();

    connect(m_outlineModel, &RTOutlineModel::rebuilt, this, &RTMainWindow::outlineRebuilt);
    connect(m_outline->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &RTMainWindow::outlineSelectionChanged);
    connect(m_outline, &QTreeView::expanded, this, [this](const QModelIndex &idx) {
        if (!m_selectingFromCode)
            m_manager.setExpanded(m_outlineModel->nodeForIndex(idx), true);
    });
    connect(m_outline, &QTreeView::collapsed, this, [this](const QModelIndex &idx) {
        if (!m_selectingFromCode)
            m_manager.setExpanded(m_outlineModel->nodeForIndex(idx), false);
    });
    connect(&m_manager, &RTTreeNodeManager::showNodeRequested, this, [this](RTTreeNode *node) {
        if (node)
            showNode(node);
        else
            closeTemporaryNode();
    });
    connect(&m_manager, &RTTreeNodeManager::expandNodeRequested, this, &RTMainWindow::expandNode);
    connect(&m_manager, &RTTreeNodeManager::combinedToolbarTreeNodesChanged, this,
            &RTMainWindow::rebuildCombinedButtons);
    connect(&RTStatusManager::sharedManager(), &RTStatusManager::statusesChanged, this,
            &RTMainWindow::updateStatus);
    connect(&RTErrorMessageManager::sharedManager(), &RTErrorMessageManager::errorMessagesChanged,
            this, &RTMainWindow::updateErrorButton);
    for (RTAvatarCache *cache : {m_avatars, m_thumbnails})
        connect(cache, &RTAvatarCache::changed, this, [this] {
            if (RTListViewController *c = currentController(); c && c->listView())
                c->listView()->viewport()->update();
        });
    auto *ageTimer = new QTimer(this);
    connect(ageTimer, &QTimer::timeout, this, [this] {
        if (RTListViewController *c = currentController(); c && c->listView())
            c->listView()->viewport()->update();
    });
    ageTimer->start(kAgeRefreshMs);

    rebuildCombinedButtons();
    outlineRebuilt();
    updateStatus();
    updateErrorButton();
    restoreWindowState();
}

RTMainWindow::~RTMainWindow()
{
    // Pages belong to the nodes' controllers: they outlive this window, so the next one
    // shows them again.
    while (m_pages && m_pages->count() > 0) {
        QWidget *page = m_pages->widget(0);
        m_pages->removeWidget(page);
        page->hide();
        page->setParent(nullptr);
    }
    if (m_conversation) {
        m_conversation->closeNode();
        delete m_conversation.data();
    }
    if (m_temporaryNode) {
        m_temporaryNode->closeNode();
        delete m_temporaryNode.data();
    }
}

void RTMainWindow::buildLayout()
{
    const int h = fontMetrics().height();
    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setHandleWidth(1);

    m_outline = new RTOutlineView(m_splitter);
    m_outline->setModel(m_outlineModel);
    m_outline->setItemDelegate(new RTOutlineDelegate(m_outline));
    m_outline->setHeaderHidden(true);
    m_outline->setRootIsDecorated(true);
    m_outline->setIndentation(h);
    m_outline->setUniformRowHeights(false);
    m_outline->setFrameShape(QFrame::NoFrame);
    m_outline->setAutoFillBackground(true);
    m_outline->setBackgroundRole(QPalette::Window);
    m_outline->viewport()->setBackgroundRole(QPalette::Window);
    m_outline->setMouseTracking(true);
    m_outline->setContextMenuPolicy(Qt::CustomContextMenu);
    m_outline->setAccessibleName(tr("Sources"));
    m_outline->setMinimumWidth(h * 9);
    connect(m_outline, &QWidget::customContextMenuRequested, this, &RTMainWindow::showOutlineMenu);

    auto *right = new QWidget(m_splitter);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    m_pages = new QStackedWidget(right);
    m_pages->setAccessibleName(tr("Message list"));
    rightLayout->addWidget(m_pages, 1);

    // The compose line goes here; until the compose layer installs one, a quiet hint.
    m_composeSlot = new QWidget(right);
    m_composeSlot->setObjectName(QStringLiteral("composeSlot"));
    auto *slotLayout = new QHBoxLayout(m_composeSlot);
    slotLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(m_composeSlot);
    if (RTComposeProvider::hasShared())
        setComposeLine(RTComposeProvider::shared().createComposeLine(m_composeSlot));
    else
        m_composeSlot->hide();

    m_splitter->addWidget(m_outline);
    m_splitter->addWidget(right);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({h * 14, h * 44});
    m_central = new QStackedWidget(this);
    m_central->addWidget(m_splitter);
    setCentralWidget(m_central);
    resize(h * 78, h * 50);
}

void RTMainWindow::setComposeLine(QWidget *line)
{
    if (m_composeLine)
        m_composeLine->deleteLater();
    m_composeLine = line;
    if (line) {
        m_composeSlot->layout()->addWidget(line);
        m_composeSlot->show();
    } else {
        m_composeSlot->hide();
    }
    updateActions();
}

void RTMainWindow::buildToolbar()
{
    QToolBar *bar = addToolBar(tr("Toolbar"));
    bar->setObjectName(QStringLiteral("mainToolbar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const int h = fontMetrics().height();
    bar->setIconSize(QSize(h + h / 4, h + h / 4));
    bar->addAction(action(QStringLiteral("reloadCurrent")));
    bar->addAction(action(QStringLiteral("newTweet")));
    bar->addAction(action(QStringLiteral("markAllSeenInSource")));
    // The selected source's own actions (hide seen, refresh or delete a search, ...).
    auto *nodeActions = new QToolButton(bar);
    nodeActions->setObjectName(QStringLiteral("nodeActions"));
    nodeActions->setIcon(
        RTUiIcons::icon(QStringLiteral("more"), palette().color(QPalette::WindowText)));
    nodeActions->setProperty("talvoIcon", QStringLiteral("more"));
    nodeActions->setToolTip(tr("Actions of this source"));
    nodeActions->setAccessibleName(tr("Source actions"));
    nodeActions->setPopupMode(QToolButton::InstantPopup);
    auto *nodeMenu = new QMenu(nodeActions);
    connect(nodeMenu, &QMenu::aboutToShow, this, [this, nodeMenu] {
        nodeMenu->clear();
        qDeleteAll(nodeMenu->findChildren<QMenu *>(QString(), Qt::FindDirectChildrenOnly));
        QMenu *built = buildNodeMenu(m_currentNode, nodeMenu);
        nodeMenu->addActions(built->actions());
    });
    nodeActions->setMenu(nodeMenu);
    bar->addWidget(nodeActions);
    bar->addSeparator();

    m_combinedBar = new QWidget(bar);
    m_combinedBar->setAccessibleName(tr("Combined views"));
    auto *layout = new QHBoxLayout(m_combinedBar);
    layout->setContentsMargins(h / 2, 0, h / 2, 0);
    layout->setSpacing(h / 4);
    m_combinedGroup = new QButtonGroup(this);
    m_combinedGroup->setExclusive(true);
    bar->addWidget(m_combinedBar);

    auto *spacer = new QWidget(bar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(spacer);
    m_searchField = new QLineEdit(bar);
    m_searchField->setPlaceholderText(tr("Search"));
    m_searchField->setAccessibleName(tr("Search Twitter"));
    m_searchField->setClearButtonEnabled(true);
    m_searchField->addAction(
        RTUiIcons::icon(QStringLiteral("search"), palette().color(QPalette::PlaceholderText)),
        QLineEdit::LeadingPosition);
    m_searchField->setMinimumWidth(h * 12);
    m_searchField->setMaximumWidth(h * 18);
    connect(m_searchField, &QLineEdit::returnPressed, this, [this] {
        const QString term = m_searchField->text().trimmed();
        if (!term.isEmpty())
            openSearch(term);
    });
    bar->addWidget(m_searchField);
}

void RTMainWindow::rebuildCombinedButtons()
{
    for (QToolButton *b : std::as_const(m_combinedButtons)) {
        m_combinedGroup->removeButton(b);
        b->deleteLater();
    }
    m_combinedButtons.clear();
    const QList<RTTreeNode *> views = m_manager.visibleCombinedToolbarTreeNodes();
    int i = 0;
    for (RTTreeNode *node : views) {
        auto *button = new QToolButton(m_combinedBar);
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setProperty("nodeIndex", i);
        button->setFocusPolicy(Qt::TabFocus);
        m_combinedGroup->addButton(button, i);
        m_combinedBar->layout()->addWidget(button);
        m_combinedButtons << button;
        const int index = i;
        connect(button, &QToolButton::clicked, this, [this, index] { selectCombinedView(index); });
        connect(node, &RTTreeNode::newMessagesCountChanged, this,
                &RTMainWindow::updateCombinedCounts);
        connect(node, &RTTreeNode::nameChanged, this, &RTMainWindow::updateCombinedCounts);
        ++i;
    }
    updateCombinedCounts();
}

void RTMainWindow::updateCombinedCounts()
{
    const QList<RTTreeNode *> views = m_manager.visibleCombinedToolbarTreeNodes();
    for (int i = 0; i < m_combinedButtons.size() && i < views.size(); ++i) {
        RTTreeNode *node = views.at(i);
        const int count = node->newMessagesCount();
        QString text = node->name();
        if (count > 0)
            text += QStringLiteral("  ") +
                    (count > 999 ? QStringLiteral("999+") : QString::number(count));
        m_combinedButtons[i]->setText(text);
        m_combinedButtons[i]->setAccessibleName(
            count > 0 ? tr("%1, %n unseen", nullptr, count).arg(node->name()) : node->name());
        m_combinedButtons[i]->setToolTip(
            tr("%1 of every account (Ctrl+%2)").arg(node->name()).arg(i + 1));
        m_combinedButtons[i]->setChecked(node == m_currentNode);
        QFont f = m_combinedButtons[i]->font();
        f.setBold(count > 0);
        m_combinedButtons[i]->setFont(f);
    }
}

void RTMainWindow::selectCombinedView(int index)
{
    const QList<RTTreeNode *> views = m_manager.visibleCombinedToolbarTreeNodes();
    if (index >= 0 && index < views.size())
        showNode(views.at(index));
}

QList<RTTreeNode *> RTMainWindow::sourceNodes() const
{
    QList<RTTreeNode *> nodes = m_manager.allTreeNodes();
    nodes += m_manager.visibleCombinedToolbarTreeNodes();
    return nodes;
}

void RTMainWindow::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setSizeGripEnabled(true);
    m_progress = new QProgressBar(bar);
    m_progress->setRange(0, 0);
    const int h = fontMetrics().height();
    m_progress->setMaximumSize(h * 5, h * 2 / 3);
    m_progress->setTextVisible(false);
    m_progress->setAccessibleName(tr("Working"));
    m_progress->hide();
    m_statusLabel = new QLabel(bar);
    m_statusLabel->setAccessibleName(tr("Status"));
    m_statusLabel->setForegroundRole(QPalette::PlaceholderText);
    m_errorButton = new QToolButton(bar);
    m_errorButton->setAutoRaise(true);
    m_errorButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_errorButton->setIcon(RTUiIcons::icon(QStringLiteral("error"), QColor(0xD9, 0x6C, 0x1E)));
    m_errorButton->setAccessibleName(tr("Show errors"));
    connect(m_errorButton, &QToolButton::clicked, this, [this] {
        RTErrorListWindow *w = errorListWindow();
        w->show();
        w->raise();
        w->activateWindow();
    });
    // An account whose log-in was refused says so until the user logs in again.
    m_logInBar = new RTAccountLogInBar(TADataManager::sharedManager().registry(), bar);
    QAction *logInAgain = addAction(QStringLiteral("logInAgain"), tr("Log In Again…"),
                                    QKeySequence(), [this] { m_logInBar->logInAgain(); });
    logInAgain->setEnabled(!m_logInBar->accountsNeedingLogIn().isEmpty());
    connect(m_logInBar, &RTAccountLogInBar::shownChanged, logInAgain, &QAction::setEnabled);
    bar->addWidget(m_progress);
    bar->addWidget(m_statusLabel, 1);
    bar->addPermanentWidget(m_logInBar);
    bar->addPermanentWidget(m_errorButton);
}

RTErrorListWindow *RTMainWindow::errorListWindow()
{
    if (!m_errorList)
        m_errorList = new RTErrorListWindow(this);
    return m_errorList;
}

void RTMainWindow::updateStatus()
{
    const RTStatusManager &status = RTStatusManager::sharedManager();
    m_statusLabel->setText(status.statusText());
    m_progress->setVisible(status.showsProgress());
}

void RTMainWindow::updateErrorButton()
{
    const int count = int(RTErrorMessageManager::sharedManager().errorMessagesArray().size());
    m_errorButton->setText(count == 1 ? tr("1 error") : tr("%1 errors").arg(count));
    m_errorButton->setVisible(count > 0);
}

void RTMainWindow::outlineRebuilt()
{
    m_selectingFromCode = true;
    std::function<void(const QModelIndex &)> apply = [&](const QModelIndex &parent) {
        for (int row = 0; row < m_outlineModel->rowCount(parent); ++row) {
            const QModelIndex idx = m_outlineModel->index(row, 0, parent);
            RTTreeNode *node = m_outlineModel->nodeForIndex(idx);
            m_outline->setExpanded(idx, node && m_manager.isExpanded(node));
            apply(idx);
        }
    };
    apply(QModelIndex());
    const QModelIndex current = m_outlineModel->indexForNode(m_currentNode);
    if (current.isValid())
        m_outline->setCurrentIndex(current);
    m_selectingFromCode = false;
}

void RTMainWindow::expandNode(RTTreeNode *node)
{
    const QModelIndex idx = m_outlineModel->indexForNode(node);
    if (idx.isValid())
        m_outline->expand(idx);
}

void RTMainWindow::outlineSelectionChanged()
{
    if (m_selectingFromCode)
        return;
    RTTreeNode *node = m_outlineModel->nodeForIndex(m_outline->currentIndex());
    if (node)
        showNode(node);
}

RTListViewController *RTMainWindow::controllerFor(RTTreeNode *node) const
{
    if (!node)
        return nullptr;
    return dynamic_cast<RTListViewController *>(node->listViewController());
}

RTListViewController *RTMainWindow::currentController() const
{
    return m_currentNode
               ? dynamic_cast<RTListViewController *>(m_currentNode->existingListViewController())
               : nullptr;
}

void RTMainWindow::bindController(RTTreeNode *node, RTListViewController *controller)
{
    // Wired once per window: a window made later (after the first one closed) wires again.
    // By serial, not address: a later window may be built where a closed one was.
    if (controller->node() == node && controller->property("talvoWindow").toULongLong() == m_serial)
        return;
    controller->bindNode(node);
    controller->setProperty("talvoWindow", QVariant::fromValue<qulonglong>(m_serial));
    QWidget *page = controller->widget();
    page->setAccessibleName(node->name());
    RTMessageListView *view = controller->listView();
    view->messageDelegate()->avatarProvider = [this, view](const RTMessage &message, int size) {
        const RTUserPtr user = message.user();
        return user ? m_avatars->avatar(user->pictureUrl(), size, view->devicePixelRatioF())
                    : QPixmap();
    };
    view->messageDelegate()->thumbnailProvider = [this, view](const QString &url, int size) {
        return url.isEmpty() ? QPixmap()
                             : m_thumbnails->avatar(url, size, view->devicePixelRatioF());
    };
    QPointer<RTTreeNode> weak(node);
    connect(view, &RTMessageListView::linkActivated, this,
            [this](const QString &link) { activateLink(link); });
    connect(view, &RTMessageListView::pictureActivated, this,
            [this](const QVariantMap &picture) { openPicture(picture); });
    connect(view, &RTMessageListView::openRequested, this, &RTMainWindow::openConversation);
    connect(view, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &idx) { openConversation(idx.row()); });
    connect(view, &RTMessageListView::quickActionActivated, this, &RTMainWindow::quickAction);
    connect(view, &RTMessageListView::contextMenuRequestedForRow, this,
            &RTMainWindow::showMessageMenu);
    connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this, weak, view](const QModelIndex &idx) {
                if (weak && idx.isValid())
                    weak->selectionDidChange(view->messageModel().messageAt(idx.row()));
                updateActions();
            });
    connect(controller, &RTListViewController::olderMessagesWanted, this, [weak, controller] {
        if (!weak || !weak->canPollForOlderTweets())
            return;
        const int state = controller->listviewState();
        if (state == ListViewController::StateLoadingOlder ||
            state == ListViewController::StateNoOlderMessages ||
            state == ListViewController::StateFailed)
            return;
        weak->pollForOlderTweets();
    });
    connect(controller, &RTListViewController::retryRequested, this, [weak, controller] {
        controller->setListviewState(ListViewController::StateNormal);
        if (weak && weak->canPollForOlderTweets())
            weak->pollForOlderTweets();
    });
    connect(controller, &RTListViewController::collapseRequested, this,
            &RTMainWindow::collapseConversation);
    connect(&controller->model(), &QAbstractItemModel::dataChanged, this,
            &RTMainWindow::messageRowChanged);
}

void RTMainWindow::messageRowChanged()
{
    updateActions();
}

void RTMainWindow::showMessage(RTTreeNode *node, const QString &messageId)
{
    showNode(node);
    RTListViewController *controller = currentController();
    if (!controller || !controller->listView() || messageId.isEmpty())
        return;
    const int row = controller->model().rowOfMessage(messageId);
    if (row < 0)
        return;
    controller->listView()->selectRow(row);
    controller->listView()->scrollTo(controller->model().index(row));
    updateActions();
}

void RTMainWindow::showNode(RTTreeNode *node)
{
    if (!node)
        return;
    // An account's row stands for its sources: show its Home.
    if (node->parentNode() == nullptr &&
        node->requestType() == RTTreeNodeRequestType::AccountRoot) {
        for (RTTreeNode *child : node->childNodes()) {
            if (child->requestType() == kHomeRequestType) {
                node = child;
                break;
            }
        }
    }
    RTListViewController *controller = controllerFor(node);
    if (!controller)
        return;
    if (m_conversation && node != m_currentNode) {
        RTTreeNode *old = m_conversation;
        m_conversation = nullptr;
        if (RTListViewController *c = currentController())
            c->model().setConversation(nullptr, QString());
        old->closeNode();
        old->deleteLater();
    }
    bindController(node, controller);
    QWidget *page = controller->widget();
    if (m_pages->indexOf(page) < 0)
        m_pages->addWidget(page);
    m_currentNode = node;
    m_pages->setCurrentWidget(page);
    controller->refresh();
    node->performDelayedActions();

    m_selectingFromCode = true;
    const QModelIndex idx = m_outlineModel->indexForNode(node);
    if (idx.isValid()) {
        m_outline->setCurrentIndex(idx);
    } else {
        m_outline->selectionModel()->clearSelection();
        m_outline->setCurrentIndex(QModelIndex());
    }
    m_selectingFromCode = false;
    updateCombinedCounts();
    QString title = node->name();
    if (node->parentNode() && node->parentNode()->service())
        title = node->parentNode()->name() + QStringLiteral(" · ") + title;
    setWindowTitle(title + QStringLiteral(" — Talvo"));
    setTabOrder(m_searchField, m_outline);
    setTabOrder(m_outline, controller->listView());
    updateActions();
    emit currentNodeChanged(node);
}

void RTMainWindow::setTemporaryNode(RTTreeNode *node)
{
    if (m_temporaryNode == node)
        return;
    RTTreeNode *old = m_temporaryNode;
    m_temporaryNode = node;
    if (node)
        showNode(node);
    if (old) {
        old->closeNode();
        old->deleteLater();
    }
}

void RTMainWindow::closeTemporaryNode()
{
    if (!m_temporaryNode)
        return;
    RTTreeNode *back = m_temporaryNode->referingTreeNode();
    RTTreeNode *old = m_temporaryNode;
    m_temporaryNode = nullptr;
    if (m_currentNode == old) {
        if (back)
            showNode(back);
        else if (!m_manager.visibleCombinedToolbarTreeNodes().isEmpty())
            selectCombinedView(0);
    }
    old->closeNode();
    old->deleteLater();
}

RTMessagePtr RTMainWindow::currentMessage() const
{
    RTListViewController *c = currentController();
    if (!c || !c->listView())
        return {};
    const QModelIndex idx = c->listView()->currentIndex();
    return idx.isValid() ? c->model().messageAt(idx.row()) : RTMessagePtr();
}

void RTMainWindow::openConversation(int row)
{
    RTListViewController *c = currentController();
    if (!c)
        return;
    RTMessageListModel &model = c->model();
    const RTMessagePtr message = model.messageAt(row);
    if (!message || model.isConversationRow(row))
        return;
    const bool same = m_conversation && model.conversationOrigin() == message->messageId();
    if (m_conversation) {
        RTTreeNode *old = m_conversation;
        m_conversation = nullptr;
        model.setConversation(nullptr, QString());
        old->closeNode();
        old->deleteLater();
    }
    if (same)
        return;
    auto tweet = std::dynamic_pointer_cast<RTMessageTwitter>(message);
    RTTreeNodeTwitterConversation *conversation =
        tweet ? RTTreeNodeTwitterConversation::create(tweet) : nullptr;
    if (!conversation) {
        RTStatusManager::sharedManager().addTransientStatusForObject(
            this, QStringLiteral("conversation"), tr("This message has no conversation to show."),
            3.0);
        return;
    }
    conversation->setReferingTreeNode(m_currentNode);
    m_conversation = conversation;
    if (auto *cc = dynamic_cast<RTListViewController *>(conversation->listViewController())) {
        cc->bindNode(conversation);
        QPointer<RTListViewController> parentController(c);
        const auto follow = [parentController] {
            if (parentController)
                parentController->model().refresh();
        };
        connect(&cc->model(), &QAbstractItemModel::rowsInserted, c, follow);
        connect(&cc->model(), &QAbstractItemModel::rowsRemoved, c, follow);
        connect(&cc->model(), &QAbstractItemModel::modelReset, c, follow);
    }
    model.setConversation(conversation, message->messageId());
}

void RTMainWindow::collapseConversation(const QString &messageId)
{
    RTListViewController *c = currentController();
    if (c && c->model().conversationOrigin() == messageId)
        c->model().setConversation(nullptr, QString());
}

void RTMainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        retintIcons();
    QMainWindow::changeEvent(event);
}

void RTMainWindow::closeEvent(QCloseEvent *event)
{
    saveWindowState();
    QMainWindow::closeEvent(event);
}

void RTMainWindow::saveWindowState() const
{
    SettingsStore &settings = SettingsStore::shared();
    settings.setValue(QLatin1String(TAMainWindowGeometryKey),
                      QString::fromLatin1(saveGeometry().toBase64()));
    settings.setValue(QLatin1String(TAMainWindowSplitterKey),
                      QString::fromLatin1(m_splitter->saveState().toBase64()));
    RTTreeNode *node =
        m_currentNode && m_currentNode != m_temporaryNode ? m_currentNode.data() : nullptr;
    if (node && !node->identity().isEmpty())
        settings.setValue(QLatin1String(TAMainWindowSelectedNodeKey), node->identity());
}

void RTMainWindow::restoreWindowState()
{
    SettingsStore &settings = SettingsStore::shared();
    const QByteArray geometry = QByteArray::fromBase64(
        settings.stringForKey(QLatin1String(TAMainWindowGeometryKey)).toLatin1());
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    const QByteArray split = QByteArray::fromBase64(
        settings.stringForKey(QLatin1String(TAMainWindowSplitterKey)).toLatin1());
    if (!split.isEmpty())
        m_splitter->restoreState(split);
    const QVariantMap identity =
        settings.dictionaryForKey(QLatin1String(TAMainWindowSelectedNodeKey));
    RTTreeNode *node = identity.isEmpty() ? nullptr : m_manager.treeNodeWithIdentity(identity);
    if (!node && !identity.isEmpty()) {
        for (RTTreeNode *view : m_manager.combinedToolbarTreeNodes()) {
            if (view->identity() == identity)
                node = view;
        }
    }
    if (!node) {
        // First start: the first account's Home, else the first combined view.
        for (RTTreeNode *root : m_manager.rootTreeNodes()) {
            if (root->requestType() == RTTreeNodeRequestType::AccountRoot) {
                node = root;
                break;
            }
        }
    }
    if (node)
        showNode(node);
    else
        selectCombinedView(0);
}
