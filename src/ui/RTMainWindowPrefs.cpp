// The main window's side of the preferences, the About window and the welcome view.
#include "timelines/RTTreeNode.h"
#include "ui/RTMainWindow.h"
#include "ui/prefs/RTAboutWindow.h"
#include "ui/prefs/RTPreferencesWindow.h"

#include <QAction>
#include <QSplitter>
#include <QStackedWidget>

void RTMainWindow::addPreferencesActions()
{
    QAction *preferences = action(QStringLiteral("preferences"));
    preferences->setEnabled(true);
    preferences->setMenuRole(QAction::PreferencesRole);
    connect(preferences, &QAction::triggered, this, [] { RTPreferencesWindow::showPreferences(); });
    addAction(QStringLiteral("about"), tr("About Talvo"), QKeySequence(), [this] {
        RTAboutWindow::showAbout(this);
    })->setMenuRole(QAction::AboutRole);
}

void RTMainWindow::setWelcomeView(QWidget *view)
{
    if (m_welcome == view)
        return;
    if (m_welcome) {
        m_central->removeWidget(m_welcome);
        m_welcome->hide();
    }
    m_welcome = view;
    if (view) {
        m_central->addWidget(view);
        m_central->setCurrentWidget(view);
    } else {
        m_central->setCurrentWidget(m_splitter);
    }
}
