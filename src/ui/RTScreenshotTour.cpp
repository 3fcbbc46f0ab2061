#include "ui/RTScreenshotTour.h"

#include "model/RTMessageTwitter.h"
#include "timelines/RTTreeNode.h"
#include "ui/RTErrorListWindow.h"
#include "ui/RTListViewController.h"
#include "ui/RTMainWindow.h"
#include "ui/RTMessageListModel.h"
#include "ui/RTMessageListView.h"
#include "ui/RTOutlineModel.h"
#include "ui/RTThemes.h"
#include "ui/RTWindowExtensions.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QPixmap>
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
    takeShortcuts();
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

void RTScreenshotTour::takeShortcuts()
{
    for (const RTPreferencePane &pane : RTWindowExtensions::preferencePanes()) {
        if (pane.id != QLatin1String("shortcuts"))
            continue;
        const std::unique_ptr<QWidget> widget(pane.createPane(nullptr));
        widget->setWindowTitle(pane.title);
        widget->resize(qMax(560, widget->sizeHint().width()), widget->sizeHint().height());
        widget->show();
        QCoreApplication::processEvents();
        save(widget.get(), QStringLiteral("shortcuts.png"));
    }
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
    // Fold the conversation again and show the list from its top in the dark picture.
    RTListViewController *c = m_window.currentController();
    if (c && !c->model().conversationOrigin().isEmpty()) {
        const int row = c->model().rowOfMessage(c->model().conversationOrigin());
        m_window.openConversation(row);
    }
    if (c && c->listView())
        c->listView()->scrollToTop();
    RTThemes::apply(true);
    QTimer::singleShot(kSettleMs, this, &RTScreenshotTour::takeDark);
}

void RTScreenshotTour::takeDark()
{
    save(&m_window, QStringLiteral("main-dark.png"));
    RTThemes::apply(false);
    emit finished(m_ok);
}
