#pragma once

#include "model/RTMessage.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <memory>

class QActionGroup;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QSplitter;
class QStackedWidget;
class QToolButton;
class QTreeView;
class RTAccountLogInBar;
class RTAvatarCache;
class RTErrorListWindow;
class RTImageViewerWindow;
class RTListActions;
class RTListViewController;
class RTOutlineModel;
class RTTreeNode;
class RTTreeNodeManager;

// The main window: the source outline on the left, the selected node's message list on
// the right with the compose line under it, the combined toolbar above and the status
// line below. Actions carry names ("reloadCurrent", "reply", ...) so the application
// can wire the ones that are its own logic.
class RTMainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit RTMainWindow(RTTreeNodeManager &manager, QWidget *parent = nullptr);
    ~RTMainWindow() override;

    // --- nodes
    void showNode(RTTreeNode *node);
    // Shows node with the message selected and in view (a notification's click).
    void showMessage(RTTreeNode *node, const QString &messageId);
    [[nodiscard]] RTTreeNode *currentNode() const { return m_currentNode; }
    [[nodiscard]] RTListViewController *currentController() const;
    [[nodiscard]] RTListViewController *controllerFor(RTTreeNode *node) const;
    // The temporary node (a search or a user's messages) shown instead of a source.
    void setTemporaryNode(RTTreeNode *node);
    [[nodiscard]] RTTreeNode *temporaryNode() const { return m_temporaryNode; }
    void selectCombinedView(int index);
    // Every source the window can show: the outline's nodes and the combined views.
    [[nodiscard]] QList<RTTreeNode *> sourceNodes() const;
    void expandNode(RTTreeNode *node);

    // --- messages
    [[nodiscard]] RTMessagePtr currentMessage() const;
    void openConversation(int row);
    void activateLink(const QString &link);
    // Opens an inline picture (its record as the message list gives it) in a viewer.
    RTImageViewerWindow *openPicture(const QVariantMap &picture);
    void openSearch(const QString &term);

    // --- parts
    [[nodiscard]] RTTreeNodeManager &manager() const { return m_manager; }
    [[nodiscard]] QAction *action(const QString &name) const { return m_actions.value(name); }
    [[nodiscard]] QTreeView *outlineView() const { return m_outline; }
    [[nodiscard]] RTOutlineModel *outlineModel() const { return m_outlineModel; }
    [[nodiscard]] QLineEdit *searchField() const { return m_searchField; }
    [[nodiscard]] QWidget *composeSlot() const { return m_composeSlot; }
    [[nodiscard]] QLabel *statusLabel() const { return m_statusLabel; }
    [[nodiscard]] QToolButton *errorButton() const { return m_errorButton; }
    [[nodiscard]] RTErrorListWindow *errorListWindow();
    [[nodiscard]] RTAccountLogInBar *accountLogInBar() const { return m_logInBar; }
    [[nodiscard]] QList<QToolButton *> combinedButtons() const { return m_combinedButtons; }
    [[nodiscard]] RTAvatarCache *avatarCache() const { return m_avatars; }
    // Shows view instead of the sources and messages (the welcome view while there is no
    // account); nullptr shows them again. The window does not own a view it is given.
    void setWelcomeView(QWidget *view);
    [[nodiscard]] QWidget *welcomeView() const { return m_welcome; }
    [[nodiscard]] RTListActions *listActions() const { return m_listActions; }
    // Puts the compose layer's line under the message list (replacing the placeholder).
    void setComposeLine(QWidget *line);

    // The message menu and the node menu, built for the current state (tests read them).
    [[nodiscard]] QMenu *buildMessageMenu(QWidget *parent);
    [[nodiscard]] QMenu *buildNodeMenu(RTTreeNode *node, QWidget *parent);
    // Enables the actions for the current node and message.
    void updateActions();

    void saveWindowState() const;
    void restoreWindowState();

signals:
    void currentNodeChanged(RTTreeNode *node);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildLayout();
    // Icons follow the palette: re-tint them after a theme change.
    void retintIcons();
    void buildToolbar();
    void buildStatusBar();
    void createActions();
    void addPreferencesActions();
    void buildMenuBar();
    QAction *addAction(const QString &name, const QString &text, const QKeySequence &key,
                       std::function<void()> handler, const QString &icon = QString());
    void rebuildCombinedButtons();
    void updateCombinedCounts();
    void outlineRebuilt();
    void outlineSelectionChanged();
    void updateStatus();
    void updateErrorButton();
    void bindController(RTTreeNode *node, RTListViewController *controller);
    void showOutlineMenu(const QPoint &pos);
    void showMessageMenu(int row, const QPoint &globalPos);
    void quickAction(int row, int action);
    void closeTemporaryNode();
    void collapseConversation(const QString &messageId);
    void messageRowChanged();

    // Message operations on the current message.
    void replyToCurrent(bool all);
    void retweetCurrent();
    void quoteCurrent();
    void directMessageToAuthor();
    void toggleFavoriteCurrent();
    void deleteCurrent();
    void openCurrentInBrowser();
    void copyCurrentLink();
    void copyCurrentText();
    void translateCurrent();
    void markCurrentSeen();
    void showAuthor();
    void markAllSeenInCurrent();
    void reloadCurrent();
    void reloadAll();
    [[nodiscard]] QString statusUrl(const RTMessage &message) const;

    RTTreeNodeManager &m_manager;
    RTOutlineModel *m_outlineModel = nullptr;
    QTreeView *m_outline = nullptr;
    QSplitter *m_splitter = nullptr;
    QStackedWidget *m_central = nullptr;
    QPointer<QWidget> m_welcome;
    QStackedWidget *m_pages = nullptr;
    QWidget *m_composeSlot = nullptr;
    QWidget *m_composeLine = nullptr;
    QLineEdit *m_searchField = nullptr;
    QWidget *m_combinedBar = nullptr;
    QList<QToolButton *> m_combinedButtons;
    QButtonGroup *m_combinedGroup = nullptr;
    QLabel *m_statusLabel = nullptr;
    QProgressBar *m_progress = nullptr;
    QToolButton *m_errorButton = nullptr;
    QPointer<RTErrorListWindow> m_errorList;
    RTAccountLogInBar *m_logInBar = nullptr;
    RTAvatarCache *m_avatars = nullptr;
    RTAvatarCache *m_thumbnails = nullptr;
    RTListActions *m_listActions = nullptr;
    QHash<QString, QAction *> m_actions;
    QPointer<RTTreeNode> m_currentNode;
    QPointer<RTTreeNode> m_temporaryNode;
    // The conversation opened under a message of the current list.
    QPointer<RTTreeNode> m_conversation;
    bool m_selectingFromCode = false;
    const quint64 m_serial = ++s_windowCount;
    static inline quint64 s_windowCount = 0;
};
