#pragma once

#include <QSet>
#include <QTimer>
#include <QWidget>

class QLabel;
class QPushButton;
class QStackedWidget;
class QTreeView;
class RTCompanionClient;
class RTFiltersModel;
class RTServiceRegistry;

// The running mutes and highlights with the time each has left, refreshed while shown,
// and a button that ends the chosen one on the companion service. Shown as a preference
// pane and in a window of its own.
class RTFiltersPane : public QWidget
{
    Q_OBJECT
public:
    RTFiltersPane(RTCompanionClient &client, RTServiceRegistry &registry,
                  QWidget *parent = nullptr);

    [[nodiscard]] RTFiltersModel *model() const { return m_model; }
    [[nodiscard]] QTreeView *view() const { return m_view; }
    [[nodiscard]] QPushButton *removeButton() const { return m_remove; }
    [[nodiscard]] bool isShowingEmptyState() const;
    [[nodiscard]] QString statusText() const;
    [[nodiscard]] bool isRefreshing() const { return m_refresh.isActive(); }
    // Ends the selected filter on the service; the row goes when the service says so.
    void removeSelected();
    // The screen name of a Twitter user id, from the accounts' stores; empty if unknown.
    [[nodiscard]] static QString screenNameOf(RTServiceRegistry &registry, const QString &userId);
    // The times are refreshed this often while the pane is shown.
    static constexpr int kRefreshMs = 1000;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void reload();
    void refreshTimes();
    void updateState();
    void requestFinished(const QVariantMap &result, bool success);

    RTCompanionClient &m_client;
    RTFiltersModel *m_model = nullptr;
    QTreeView *m_view = nullptr;
    QStackedWidget *m_stack = nullptr;
    QLabel *m_empty = nullptr;
    QLabel *m_status = nullptr;
    QPushButton *m_remove = nullptr;
    QTimer m_refresh;
    // Filters whose removal was asked for and not yet answered.
    QSet<QString> m_pending;
};
