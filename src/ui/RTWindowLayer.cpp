#include "ui/RTWindowLayer.h"

#include "accounts/RTService.h"
#include "accounts/RTServiceRegistry.h"
#include "store/TAAccounts.h"
#include "ui/RTComposeProvider.h"
#include "ui/RTListViewController.h"
#include "ui/RTMainWindow.h"
#include "ui/prefs/RTAccountAdditionSheet.h"
#include "ui/prefs/RTPreferencesWindow.h"
#include "ui/prefs/RTWelcomeView.h"

#include <QApplication>
#include <QCheckBox>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {
constexpr int kMaxRecentSearches = 20;
}

RTWindowLayer::RTWindowLayer(QObject *parent)
    : QObject(parent)
{
    WindowLayer::setShared(this);
    ListViewFactory::setShared(this);
    Alerts::setShared(this);
    RTMainWindowNodeHost::setShared(this);
}

RTWindowLayer::~RTWindowLayer()
{
    delete m_window.data();
    if (RTMainWindowNodeHost::hasShared() && &RTMainWindowNodeHost::shared() == this)
        RTMainWindowNodeHost::setShared(nullptr);
    if (Alerts::hasShared() && &Alerts::shared() == this)
        Alerts::setShared(nullptr);
    if (ListViewFactory::hasShared() && &ListViewFactory::shared() == this)
        ListViewFactory::setShared(nullptr);
    if (WindowLayer::hasShared() && &WindowLayer::shared() == this)
        WindowLayer::setShared(nullptr);
}

void RTWindowLayer::loadDefaultMainWindow()
{
    if (m_window)
        return;
    m_window = new RTMainWindow(m_manager ? *m_manager : RTTreeNodeManager::sharedManager());
    m_window->setAttribute(Qt::WA_DeleteOnClose, false);
    connect(&m_window->manager().registry(), &RTServiceRegistry::servicesChanged, this,
            &RTWindowLayer::updateWelcome);
    updateWelcome();
    // Only the launch's own request (in this same turn of the event loop) is answered by
    // the welcome view; later ones open the sheet.
    QTimer::singleShot(0, this, [this] { m_welcomeOffered = true; });
    m_window->show();
}

void RTWindowLayer::updateWelcome()
{
    if (!m_window)
        return;
    const bool none = TAAccounts::userAccounts(m_window->manager().registry().services()).isEmpty();
    if (none && !m_welcome) {
        m_welcome = new RTWelcomeView(m_window);
        connect(m_welcome, &RTWelcomeView::addAccountRequested, this,
                &RTWindowLayer::openAccountSheet);
        m_window->setWelcomeView(m_welcome);
    } else if (!none && m_welcome) {
        m_window->setWelcomeView(nullptr);
        // It may be inside the log-in that added the account.
        m_welcome->deleteLater();
        m_welcome = nullptr;
    }
}

RTAccountAdditionSheet *RTWindowLayer::accountSheet() const
{
    return m_sheet;
}

RTWelcomeView *RTWindowLayer::welcomeView() const
{
    return m_welcome;
}

RTAccountAdditionSheet *RTWindowLayer::openAccountSheet()
{
    if (!m_sheet) {
        QWidget *parent = m_window;
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (qobject_cast<RTPreferencesWindow *>(top) && top->isVisible())
                parent = top;
        }
        m_sheet = new RTAccountAdditionSheet(parent);
        m_sheet->setAttribute(Qt::WA_DeleteOnClose);
        m_sheet->setWindowModality(Qt::WindowModal);
    }
    m_sheet->show();
    m_sheet->raise();
    m_sheet->activateWindow();
    return m_sheet;
}

void RTWindowLayer::showCurrentMainWindow()
{
    if (!m_window)
        loadDefaultMainWindow();
    m_window->showNormal();
    m_window->raise();
    m_window->activateWindow();
}

void RTWindowLayer::refreshCursorAreas()
{
    // Qt keeps cursor shapes current by itself.
}

void RTWindowLayer::showServiceAddition()
{
    if (m_welcome && !m_welcomeOffered) {
        m_welcomeOffered = true;
        showCurrentMainWindow();
        return;
    }
    openAccountSheet();
}

void RTWindowLayer::showDirectInputWindowForUrl(const QString &url)
{
    if (RTComposeProvider::hasShared())
        RTComposeProvider::shared().showComposeWindow(url);
    else
        showCurrentMainWindow();
}

void RTWindowLayer::closeAllDirectInputWindows()
{
    if (RTComposeProvider::hasShared())
        RTComposeProvider::shared().closeAllComposeWindows();
}

void RTWindowLayer::showDirectInputLine(bool directMessage)
{
    if (RTComposeProvider::hasShared())
        RTComposeProvider::shared().focusComposeLine(directMessage);
}

void RTWindowLayer::reloadAllServices()
{
    if (m_window)
        m_window->action(QStringLiteral("reloadAll"))->trigger();
}

void RTWindowLayer::reloadCurrentSource()
{
    if (m_window)
        m_window->action(QStringLiteral("reloadCurrent"))->trigger();
}

void RTWindowLayer::showAlert(const QString &message, const QStringList &buttons,
                              std::function<void(int)> onEnd)
{
    if (m_automaticAnswer >= 0) {
        if (onEnd)
            onEnd(m_automaticAnswer);
        return;
    }
    auto *box = new QMessageBox(m_window);
    box->setText(message);
    box->setWindowModality(Qt::WindowModal);
    QList<QAbstractButton *> added;
    for (const QString &title : buttons)
        added << box->addButton(title, added.isEmpty() ? QMessageBox::AcceptRole
                                                       : QMessageBox::RejectRole);
    if (buttons.isEmpty())
        added << box->addButton(QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [box, added, onEnd](int) {
        if (onEnd)
            onEnd(std::max(0, int(added.indexOf(box->clickedButton()))));
    });
    box->open();
}

std::unique_ptr<ListViewController>
RTWindowLayer::createListViewController(const QString &viewClass, const QString &, bool)
{
    return std::make_unique<RTListViewController>(viewClass);
}

bool RTWindowLayer::isCurrentListView(const ListViewController *view) const
{
    return m_window && view && m_window->currentController() == view;
}

void RTWindowLayer::runConfirmation(const Confirmation &alert,
                                    std::function<void(bool, bool)> onEnd)
{
    if (m_automaticAnswer >= 0) {
        if (onEnd)
            onEnd(m_automaticAnswer == 0, alert.checkBoxState);
        return;
    }
    auto *box = new QMessageBox(m_window);
    box->setText(alert.message);
    box->setInformativeText(alert.informativeText);
    box->setWindowModality(Qt::WindowModal);
    QPushButton *confirm = box->addButton(
        alert.defaultButton.isEmpty() ? tr("OK") : alert.defaultButton, QMessageBox::AcceptRole);
    if (!alert.alternateButton.isEmpty())
        box->addButton(alert.alternateButton, QMessageBox::RejectRole);
    box->setDefaultButton(confirm);
    if (!alert.checkBoxTitle.isEmpty()) {
        auto *check = new QCheckBox(alert.checkBoxTitle, box);
        check->setChecked(alert.checkBoxState);
        box->setCheckBox(check);
    }
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [box, confirm, onEnd](int) {
        if (onEnd)
            onEnd(box->clickedButton() == confirm, box->checkBox() && box->checkBox()->isChecked());
    });
    box->open();
}

void RTWindowLayer::runInformation(const QString &message, const QString &informativeText,
                                   const QString &button)
{
    if (m_automaticAnswer >= 0)
        return;
    auto *box = new QMessageBox(m_window);
    box->setText(message);
    box->setInformativeText(informativeText);
    box->addButton(button.isEmpty() ? tr("OK") : button, QMessageBox::AcceptRole);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void RTWindowLayer::chooseAccount(const QList<QObject *> &accounts, const QString &userName,
                                  bool follow, std::function<void(QObject *)> onEnd)
{
    if (m_automaticAnswer >= 0) {
        if (onEnd)
            onEnd(accounts.isEmpty() ? nullptr : accounts.first());
        return;
    }
    QStringList names;
    for (QObject *account : accounts) {
        auto *service = qobject_cast<RTService *>(account);
        names << (service ? service->serviceName() : account->objectName());
    }
    bool ok = false;
    const QString chosen = QInputDialog::getItem(
        m_window, follow ? tr("Follow @%1").arg(userName) : tr("Unfollow @%1").arg(userName),
        tr("Account:"), names, 0, false, &ok);
    const int index = int(names.indexOf(chosen));
    if (onEnd)
        onEnd(ok && index >= 0 ? accounts.at(index) : nullptr);
}

RTMainWindowNodeHost::TemporaryNodeHolder RTWindowLayer::temporaryNodeHolder() const
{
    return TemporaryNodeHolder::SingleNode;
}

QList<RTTreeNode *> RTWindowLayer::temporaryNodes() const
{
    if (m_window && m_window->temporaryNode())
        return {m_window->temporaryNode()};
    return {};
}

void RTWindowLayer::appendTemporaryNode(RTTreeNode *node)
{
    showTreeNode(node);
}

void RTWindowLayer::showTreeNode(RTTreeNode *node)
{
    if (!m_window) {
        delete node;
        return;
    }
    if (node && !node->referingTreeNode() && m_window->currentNode() != m_window->temporaryNode())
        node->setReferingTreeNode(m_window->currentNode());
    m_window->setTemporaryNode(node);
}

void RTWindowLayer::selectTreeNode(RTTreeNode *node)
{
    if (m_window && node)
        m_window->showNode(node);
}

void RTWindowLayer::addToRecentSearches(const QString &term)
{
    m_recentSearches.removeAll(term);
    m_recentSearches.prepend(term);
    while (m_recentSearches.size() > kMaxRecentSearches)
        m_recentSearches.removeLast();
    RTTreeNodeManager *manager = m_manager ? m_manager : RTTreeNodeManager::existingSharedManager();
    if (manager)
        manager->addTemporarySearchNodeInCurrentWindowTypeWithSearchString(term);
}
