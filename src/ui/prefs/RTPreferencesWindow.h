#pragma once

#include <QHash>
#include <QPointer>
#include <QWidget>

class QListWidget;
class QStackedWidget;

// The preferences window: a sidebar of panes (the window layer's own and every pane
// registered through RTWindowExtensions), one pane shown at a time. Panes are built when
// first shown. One window per process.
class RTPreferencesWindow : public QWidget
{
    Q_OBJECT
public:
    explicit RTPreferencesWindow(QWidget *parent = nullptr);

    // The shared window, created on first use, raised and showing paneId (or the pane
    // shown last when empty).
    static RTPreferencesWindow *showPreferences(const QString &paneId = QString());
    // Registers the window layer's panes: General, Accounts, Appearance, Notifications,
    // Sharing, Advanced.
    static void registerStandardPanes();

    [[nodiscard]] QStringList paneIds() const { return m_ids; }
    [[nodiscard]] QString currentPaneId() const;
    bool showPane(const QString &paneId);
    // The pane's widget, built if needed; null for an unknown id.
    QWidget *pane(const QString &paneId);
    [[nodiscard]] QListWidget *sidebar() const { return m_sidebar; }

private:
    void showRow(int row);

    QListWidget *m_sidebar;
    QStackedWidget *m_stack;
    QStringList m_ids;
    QHash<QString, QWidget *> m_built;
};
