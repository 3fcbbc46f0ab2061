#pragma once

#include "platform/ListViewController.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;
class QStackedWidget;
class RTMessageListModel;
class RTMessageListView;
class RTTreeNode;

// One node's list: the model, its view and the state line under it. Nodes drive it
// through ListViewController; the window binds it to its node when it first shows it.
class RTListViewController : public QObject, public ListViewController
{
    Q_OBJECT
public:
    RTListViewController(QString viewClass, QObject *parent = nullptr);
    ~RTListViewController() override;

    void bindNode(RTTreeNode *node);
    [[nodiscard]] RTTreeNode *node() const { return m_node; }
    [[nodiscard]] QString viewClass() const { return m_viewClass; }
    [[nodiscard]] RTMessageListModel &model() const { return *m_model; }
    // The page the window shows; built on first use.
    QWidget *widget();
    [[nodiscard]] RTMessageListView *listView() const { return m_view; }
    // The text of the state line or empty page as shown now (empty when hidden).
    [[nodiscard]] QString stateText() const;

    // ListViewController
    [[nodiscard]] int listviewState() const override { return m_state; }
    void setListviewState(int state) override;
    void setResizingEnabled(bool enabled) override { m_resizingEnabled = enabled; }
    void resizeViews() override;
    void resizeViewsAfter(int milliseconds) override;
    void refresh() override;
    void clearSelection() override;
    void focus() override;
    void collapseMessage(const QString &messageId) override;
    [[nodiscard]] bool isOnScreen() const override;

signals:
    void retryRequested();
    void olderMessagesWanted();
    void collapseRequested(const QString &messageId);

private:
    void updateStateViews();

    QString m_viewClass;
    QPointer<RTTreeNode> m_node;
    RTMessageListModel *m_model;
    QPointer<QWidget> m_page;
    QStackedWidget *m_stack = nullptr;
    RTMessageListView *m_view = nullptr;
    QLabel *m_emptyLabel = nullptr;
    QWidget *m_footer = nullptr;
    QLabel *m_footerLabel = nullptr;
    QPushButton *m_retryButton = nullptr;
    int m_state = StateDefault;
    bool m_resizingEnabled = true;
};
