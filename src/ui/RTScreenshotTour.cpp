#include "ui/RTScreenshotTour.h"

#include "model/RTMessageTwitter.h"
#include "store/TAAccounts.h"
#include "store/TADataManager.h"
#include "text/RTMessageTextParser.h"
#include "timelines/RTTreeNode.h"
#include "ui/RTErrorListWindow.h"
#include "ui/RTImageViewerWindow.h"
#include "ui/RTListViewController.h"
#include "ui/RTMainWindow.h"
#include "ui/RTMessageListModel.h"
#include "ui/RTMessageListView.h"
#include "ui/RTOutlineModel.h"
#include "ui/RTThemes.h"
#include "ui/prefs/RTAboutWindow.h"
#include "ui/prefs/RTAccountAdditionSheet.h"
#include "ui/prefs/RTPreferencesWindow.h"
#include "ui/prefs/RTWelcomeView.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QTreeView>

namespace {
constexpr int kSettleMs = 600;
constexpr int kWantedRows = 8;
} // namespace

RTScreenshotTour::RTScreenshotTour(RTMainWindow &window, QString folder, QObject *parent)
    : QObject(parent)
    , m_window(window)
    , m_folder(std::move(folder))
{
}

void RTScreenshotTour::start(int waitMs)
{
    QDir().mkpath(m_folder);
    m_deadline = QDateTime::currentMSecsSinceEpoch() + waitMs;
    RTThemes::apply(false);
    const int h = m_window.fontMetrics().height();
    m_window.resize(h * 84, h * 54);
    QTimer::singleShot(250, this, &RTScreenshotTour::waitForMessages);
}

bool RTScreenshotTour::save(QWidget *widget, const QString &name)
{
    const QString path = QDir(m_folder).filePath(name);
    const bool ok = widget->grab().save(path, "PNG");
    if (ok)
        m_written << path;
    m_ok = m_ok && ok;
    return ok;
}

void RTScreenshotTour::waitForMessages()
{
    RTListViewController *c = m_window.currentController();
    int rows = c ? c->model().rowCount() : 0;
    if (rows < kWantedRows) {
        // The restored source may stay quiet: show the fullest timeline instead.
        // Public timelines with replies first: they show conversations.
        RTTreeNode *fullest = nullptr;
        int most = rows;
        bool replies = false;
        for (RTTreeNode *node : m_window.sourceNodes()) {
            const QList<RTMessagePtr> messages = node->displayedMessages();
            bool nodeReplies = false;
            bool isPrivate = false;
            for (const RTMessagePtr &m : messages) {
                auto tweet = std::dynamic_pointer_cast<RTMessageTwitter>(m);
                nodeReplies = nodeReplies || (tweet && !tweet->inReplyToMessageId().isEmpty());
                isPrivate = isPrivate || (tweet && tweet->isPrivate());
            }
            const bool shown = m_window.outlineModel()->indexForNode(node).isValid() ||
                               node->parentNode() == nullptr;
            if (!shown || isPrivate || int(messages.size()) < kWantedRows)
                continue;
            const int count = int(messages.size());
            if ((nodeReplies && !replies) || (nodeReplies == replies && count > most)) {
                most = count;
                replies = nodeReplies;
                fullest = node;
            }
        }
        if (fullest && most >= kWantedRows) {
            m_window.showNode(fullest);
            c = m_window.currentController();
            rows = c ? c->model().rowCount() : 0;
        }
    }
    if (rows < kWantedRows && QDateTime::currentMSecsSinceEpoch() < m_deadline) {
        QTimer::singleShot(250, this, &RTScreenshotTour::waitForMessages);
        return;
    }
    // Select the second message so the picture shows a selected and an unselected row.
    if (c && c->listView() && rows > 1)
        c->listView()->selectRow(1);
    QTimer::singleShot(kSettleMs, this, &RTScreenshotTour::takeMain);
}

void RTScreenshotTour::takeMain()
{
    save(&m_window, QStringLiteral("main-light.png"));
    save(m_window.outlineView(), QStringLiteral("outline.png"));
    // Open the conversation of the newest reply that is shown.
    RTListViewController *c = m_window.currentController();
    if (c && c->listView()) {
        for (int row = 0; row < c->model().rowCount(); ++row) {
            auto tweet = std::dynamic_pointer_cast<RTMessageTwitter>(c->model().messageAt(row));
            if (tweet && !tweet->inReplyToMessageId().isEmpty()) {
                c->listView()->selectRow(row);
                m_window.openConversation(row);
                c->listView()->scrollTo(c->model().index(row), QAbstractItemView::PositionAtTop);
                break;
            }
        }
    }
    QTimer::singleShot(2500, this, &RTScreenshotTour::takeConversation);
}

void RTScreenshotTour::takeConversation()
{
    save(&m_window, QStringLiteral("conversation.png"));
    RTErrorListWindow *errors = m_window.errorListWindow();
    errors->show();
    QTimer::singleShot(kSettleMs, this, &RTScreenshotTour::takeErrors);
}

void RTScreenshotTour::takeErrors()
{
    RTErrorListWindow *errors = m_window.errorListWindow();
    save(errors, QStringLiteral("errors.png"));
    errors->hide();
    // Fold the conversation again before the next pictures.
    RTListViewController *c = m_window.currentController();
    if (c && !c->model().conversationOrigin().isEmpty()) {
        const int row = c->model().rowOfMessage(c->model().conversationOrigin());
        m_window.openConversation(row);
    }
    // Search for a hashtag of the list, as a user clicking it would.
    QString term;
    if (c) {
        for (int row = 0; row < c->model().rowCount() && term.isEmpty(); ++row) {
            const RTMessagePtr m = c->model().messageAt(row);
            const QStringList tags =
                m ? RTMessageTextParser::hashtagsInMessageText(m->body()) : QStringList();
            if (!tags.isEmpty())
                term = tags.constFirst().startsWith(QLatin1Char('#'))
                           ? tags.constFirst()
                           : QLatin1Char('#') + tags.constFirst();
        }
    }
    if (term.isEmpty())
        term = QStringLiteral("the");
    m_window.searchField()->setText(term);
    m_window.openSearch(term);
    m_searchDeadline = QDateTime::currentMSecsSinceEpoch() + 8000;
    QTimer::singleShot(250, this, &RTScreenshotTour::waitForSearch);
}

void RTScreenshotTour::waitForSearch()
{
    RTListViewController *c = m_window.currentController();
    const bool shown =
        m_window.temporaryNode() && m_window.currentNode() == m_window.temporaryNode();
    if ((!shown || !c || c->model().rowCount() == 0) &&
        QDateTime::currentMSecsSinceEpoch() < m_searchDeadline) {
        QTimer::singleShot(250, this, &RTScreenshotTour::waitForSearch);
        return;
    }
    QTimer::singleShot(kSettleMs, this, &RTScreenshotTour::takeSearch);
}

void RTScreenshotTour::takeSearch()
{
    save(&m_window, QStringLiteral("search.png"));
    if (QAction *close = m_window.action(QStringLiteral("closeTemporary")))
        close->trigger();
    m_window.searchField()->clear();
    // The list from its top in the dark picture.
    if (RTListViewController *c = m_window.currentController(); c && c->listView())
        c->listView()->scrollToTop();
    RTThemes::apply(true);
    QTimer::singleShot(kSettleMs, this, &RTScreenshotTour::takeDark);
}

void RTScreenshotTour::takeDark()
{
    save(&m_window, QStringLiteral("main-dark.png"));
    RTThemes::apply(false);
    // Rows with picture links: their thumbnails, and the first picture opened.
    RTListViewController *c = m_window.currentController();
    m_pictureRow = -1;
    if (c && c->listView()) {
        for (int row = 0; row < c->model().rowCount() && m_pictureRow < 0; ++row) {
            const RTMessagePtr message = c->model().messageAt(row);
            if (message && !RTMessageTextParser::imagersInMessageText(message->body()).isEmpty())
                m_pictureRow = row;
        }
        if (m_pictureRow >= 0) {
            c->listView()->selectRow(m_pictureRow);
            c->listView()->scrollTo(c->model().index(m_pictureRow),
                                    QAbstractItemView::PositionAtTop);
        }
    }
    // Thumbnails download on their own queue: give them time.
    QTimer::singleShot(2500, this, &RTScreenshotTour::takePictures);
}

void RTScreenshotTour::takePictures()
{
    RTListViewController *c = m_window.currentController();
    if (m_pictureRow < 0 || !c || !c->listView()) {
        muteForFilters();
        return;
    }
    save(&m_window, QStringLiteral("pictures.png"));
    const RTMessagePtr message = c->model().messageAt(m_pictureRow);
    const QList<RTInlineImageInfo> pictures =
        message ? RTMessageTextParser::imagersInMessageText(message->body())
                : QList<RTInlineImageInfo>();
    if (pictures.isEmpty()) {
        muteForFilters();
        return;
    }
    const RTInlineImageInfo &first = pictures.first();
    RTImageViewerWindow *viewer =
        m_window.openPicture(QVariantMap{{QStringLiteral("thumbnailURL"), first.thumbnailURL},
                                         {QStringLiteral("inlineImageLink"), first.inlineImageLink},
                                         {QStringLiteral("standardLink"), first.standardLink},
                                         {QStringLiteral("logoName"), first.logoName}});
    QPointer<RTImageViewerWindow> weak(viewer);
    QTimer::singleShot(2500, this, [this, weak] {
        if (weak) {
            save(weak, QStringLiteral("picture-viewer.png"));
            weak->close();
        }
        muteForFilters();
    });
}

// As a user would: "Mute @a > 1 Hour" on one message, "Highlight @b > 24 Hours" on a
// message of another author. Without the companion's actions there is no picture.
void RTScreenshotTour::muteForFilters()
{
    RTListViewController *c = m_window.currentController();
    QAction *filters = m_window.action(QStringLiteral("showFilters"));
    if (!c || !c->listView() || !filters || !filters->isEnabled()) {
        takePreferences();
        return;
    }
    const auto choose = [this, c](int row, const char *menuName, const QString &period) {
        c->listView()->selectRow(row);
        std::unique_ptr<QMenu> menu(m_window.buildMessageMenu(&m_window));
        auto *sub = menu->findChild<QMenu *>(QString::fromLatin1(menuName));
        if (sub && m_written.filter(QStringLiteral("message-menu.png")).isEmpty()) {
            // The menu and its periods, side by side, as the user sees them.
            menu->popup(m_window.mapToGlobal(QPoint(0, 0)));
            sub->popup(menu->geometry().topRight());
            const QPixmap left = menu->grab();
            const QPixmap right = sub->grab();
            QPixmap both(left.width() + right.width(), std::max(left.height(), right.height()));
            both.fill(Qt::transparent);
            QPainter painter(&both);
            painter.drawPixmap(0, 0, left);
            painter.drawPixmap(left.width(), 0, right);
            painter.end();
            const QString path = QDir(m_folder).filePath(QStringLiteral("message-menu.png"));
            if (both.save(path, "PNG"))
                m_written << path;
            sub->hide();
            menu->hide();
        }
        for (QAction *a : sub ? sub->actions() : QList<QAction *>()) {
            if (a->text() == period) {
                a->trigger();
                return true;
            }
        }
        return false;
    };
    QString first;
    bool highlighted = false;
    for (int row = 0; row < c->model().rowCount() && !highlighted; ++row) {
        const RTMessagePtr m = c->model().messageAt(row);
        if (!m || m->userId().isEmpty() || m->userId() == first)
            continue;
        if (first.isEmpty()) {
            if (choose(row, "muteAuthorMenu", QStringLiteral("1 Hour")))
                first = m->userId();
        } else {
            highlighted = choose(row, "highlightAuthorMenu", QStringLiteral("24 Hours"));
        }
    }
    // The service answers on loopback; the pane shows what it confirmed.
    QTimer::singleShot(2000, this, [this, filters] {
        filters->trigger();
        QTimer::singleShot(kSettleMs, this, &RTScreenshotTour::takeFilters);
    });
}

void RTScreenshotTour::takeFilters()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("filtersWindow") && w->isVisible()) {
            save(w, QStringLiteral("filters.png"));
            w->close();
        }
    }
    takePreferences();
}

void RTScreenshotTour::takePreferences()
{
    m_preferences = RTPreferencesWindow::showPreferences(QStringLiteral("general"));
    m_paneIndex = 0;
    QTimer::singleShot(kSettleMs, this, &RTScreenshotTour::takePane);
}

void RTScreenshotTour::takePane()
{
    if (!m_preferences) {
        m_ok = false;
        emit finished(m_ok);
        return;
    }
    const QStringList ids = m_preferences->paneIds();
    if (m_paneIndex > 0)
        save(m_preferences, QStringLiteral("prefs-%1.png").arg(ids.at(m_paneIndex - 1)));
    if (m_paneIndex < ids.size()) {
        m_preferences->showPane(ids.at(m_paneIndex++));
        QTimer::singleShot(kSettleMs / 2, this, &RTScreenshotTour::takePane);
        return;
    }
    takeLogInNeeded();
}

void RTScreenshotTour::takeLogInNeeded()
{
    const RTServiceList accounts = TAAccounts::userAccounts(TADataManager::sharedManager());
    if (accounts.isEmpty() || !m_preferences) {
        takeAccountSheet();
        return;
    }
    // Shown for the picture only; the account's log-in is untouched.
    const RTServicePtr account = accounts.first();
    account->setNeedsLogIn(true);
    m_preferences->showPane(QStringLiteral("accounts"));
    QTimer::singleShot(kSettleMs, this, [this, account] {
        if (m_preferences)
            save(m_preferences, QStringLiteral("prefs-accounts-login.png"));
        save(&m_window, QStringLiteral("login-needed.png"));
        account->setNeedsLogIn(false);
        takeAccountSheet();
    });
}

void RTScreenshotTour::takeAccountSheet()
{
    if (m_preferences)
        m_preferences->close();
    auto *sheet = new RTAccountAdditionSheet(&m_window);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->show();
    QTimer::singleShot(kSettleMs, this, [this, sheet] {
        save(sheet, QStringLiteral("add-account.png"));
        sheet->close();
        takeAboutAndWelcome();
    });
}

void RTScreenshotTour::takeAboutAndWelcome()
{
    auto *about = new RTAboutWindow(&m_window);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->show();
    // The welcome view as a new user meets it, at the window's size.
    auto *welcome = new RTWelcomeView;
    welcome->setAttribute(Qt::WA_DeleteOnClose);
    welcome->resize(m_window.size());
    welcome->show();
    QTimer::singleShot(kSettleMs, this, [this, about, welcome] {
        save(about, QStringLiteral("about.png"));
        save(welcome, QStringLiteral("welcome.png"));
        about->close();
        welcome->close();
        emit finished(m_ok);
    });
}
