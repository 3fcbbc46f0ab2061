#include "ui/prefs/RTPreferencesWindow.h"

#include "ui/RTUiIcons.h"
#include "ui/RTWindowExtensions.h"
#include "ui/prefs/RTAccountsPane.h"
#include "ui/prefs/RTPreferencePanes.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QScrollArea>
#include <QStackedWidget>

namespace {
QPointer<RTPreferencesWindow> g_window;
QString g_lastPane;
} // namespace

RTPreferencesWindow::RTPreferencesWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_sidebar(new QListWidget(this))
    , m_stack(new QStackedWidget(this))
{
    setWindowTitle(tr("Talvo Preferences"));
    setAccessibleName(windowTitle());
    const int h = fontMetrics().height();
    m_sidebar->setAccessibleName(tr("Preference panes"));
    m_sidebar->setIconSize(QSize(int(h * 1.4), int(h * 1.4)));
    m_sidebar->setFixedWidth(h * 11);
    m_sidebar->setFrameShape(QFrame::NoFrame);
    m_sidebar->setBackgroundRole(QPalette::Window);
    m_sidebar->viewport()->setBackgroundRole(QPalette::Window);
    m_sidebar->setSpacing(2);
    const QColor ink = palette().color(QPalette::WindowText);
    for (const RTPreferencePane &pane : RTWindowExtensions::preferencePanes()) {
        new QListWidgetItem(RTUiIcons::icon(pane.iconName, ink), pane.title, m_sidebar);
        m_ids << pane.id;
        // One placeholder per pane keeps rows and stack indexes equal.
        m_stack->addWidget(new QWidget(m_stack));
    }
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_sidebar);
    layout->addWidget(m_stack, 1);
    resize(h * 50, h * 36);
    connect(m_sidebar, &QListWidget::currentRowChanged, this, &RTPreferencesWindow::showRow);
    if (!m_ids.isEmpty())
        m_sidebar->setCurrentRow(0);
}

RTPreferencesWindow *RTPreferencesWindow::showPreferences(const QString &paneId)
{
    if (!g_window) {
        g_window = new RTPreferencesWindow;
        g_window->setAttribute(Qt::WA_DeleteOnClose);
    }
    const QString wanted = paneId.isEmpty() ? g_lastPane : paneId;
    if (!wanted.isEmpty())
        g_window->showPane(wanted);
    g_window->show();
    g_window->raise();
    g_window->activateWindow();
    return g_window;
}

void RTPreferencesWindow::registerStandardPanes()
{
    const auto add = [](const char *id, const QString &title, const char *icon, int order,
                        std::function<QWidget *(QWidget *)> create) {
        RTWindowExtensions::registerPreferencePane(
            {QString::fromLatin1(id), title, QString::fromLatin1(icon), order, std::move(create)});
    };
    add("general", tr("General"), "general", 10, &RTPreferencePanes::createGeneralPane);
    add("accounts", tr("Accounts"), "account", 20,
        [](QWidget *parent) -> QWidget * { return new RTAccountsPane(parent); });
    add("appearance", tr("Appearance"), "appearance", 30, &RTPreferencePanes::createAppearancePane);
    add("notifications", tr("Notifications"), "notifications", 40,
        &RTPreferencePanes::createNotificationsPane);
    add("sharing", tr("Sharing"), "sharing", 50, &RTPreferencePanes::createSharingPane);
    // Last, after the panes other parts register (filters, shortcuts, ...).
    add("advanced", tr("Advanced"), "advanced", 1000, &RTPreferencePanes::createAdvancedPane);
}

QString RTPreferencesWindow::currentPaneId() const
{
    const int row = m_sidebar->currentRow();
    return row >= 0 && row < m_ids.size() ? m_ids.at(row) : QString();
}

bool RTPreferencesWindow::showPane(const QString &paneId)
{
    const int row = int(m_ids.indexOf(paneId));
    if (row < 0)
        return false;
    m_sidebar->setCurrentRow(row);
    return true;
}

QWidget *RTPreferencesWindow::pane(const QString &paneId)
{
    if (QWidget *built = m_built.value(paneId))
        return built;
    const int row = int(m_ids.indexOf(paneId));
    if (row < 0)
        return nullptr;
    for (const RTPreferencePane &p : RTWindowExtensions::preferencePanes()) {
        if (p.id != paneId || !p.createPane)
            continue;
        // Long panes scroll instead of stretching the window past the screen.
        auto *scroll = new QScrollArea(m_stack);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        QWidget *content = p.createPane(scroll);
        scroll->setWidget(content);
        QWidget *placeholder = m_stack->widget(row);
        m_stack->insertWidget(row, scroll);
        m_stack->removeWidget(placeholder);
        delete placeholder;
        m_built.insert(paneId, content);
        return content;
    }
    return nullptr;
}

void RTPreferencesWindow::showRow(int row)
{
    if (row < 0 || row >= m_ids.size())
        return;
    pane(m_ids.at(row));
    m_stack->setCurrentIndex(row);
    g_lastPane = m_ids.at(row);
}
