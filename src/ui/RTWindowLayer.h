#pragma once

#include "platform/Alerts.h"
#include "platform/ListViewController.h"
#include "platform/WindowLayer.h"
#include "timelines/RTTreeNodeManager.h"

#include <QObject>
#include <QPointer>

class RTAccountAdditionSheet;
class RTMainWindow;
class RTWelcomeView;

// The Qt Widgets side of the window layer: builds the main window and answers what the
// rest of the program asks of windows, list views, alerts and temporary nodes. Installs
// itself as all four interfaces while it lives.
class RTWindowLayer : public QObject,
                      public WindowLayer,
                      public ListViewFactory,
                      public Alerts,
                      public RTMainWindowNodeHost
{
    Q_OBJECT
public:
    explicit RTWindowLayer(QObject *parent = nullptr);
    ~RTWindowLayer() override;

    [[nodiscard]] RTMainWindow *mainWindow() const { return m_window; }
    // Alerts answer at once with this button instead of asking (screenshots, tests);
    // -1 asks the user.
    void setAutomaticAnswer(int button) { m_automaticAnswer = button; }
    // The manager the window shows (the shared one unless set before loading).
    void setManager(RTTreeNodeManager *manager) { m_manager = manager; }

    // The add-account sheet, opened over the preferences when they are shown, else over
    // the main window; the open one is raised.
    RTAccountAdditionSheet *openAccountSheet();
    [[nodiscard]] RTAccountAdditionSheet *accountSheet() const;
    // Shown in the main window while there is no account.
    [[nodiscard]] RTWelcomeView *welcomeView() const;

    // WindowLayer
    void loadDefaultMainWindow() override;
    void showCurrentMainWindow() override;
    void refreshCursorAreas() override;
    void showServiceAddition() override;
    void showDirectInputWindowForUrl(const QString &url) override;
    void closeAllDirectInputWindows() override;
    void showDirectInputLine(bool directMessage) override;
    void reloadAllServices() override;
    void reloadCurrentSource() override;
    void showAlert(const QString &message, const QStringList &buttons,
                   std::function<void(int button)> onEnd) override;

    // ListViewFactory
    [[nodiscard]] std::unique_ptr<ListViewController>
    createListViewController(const QString &viewClass, const QString &nibName,
                             bool withToolbar) override;
    [[nodiscard]] bool isCurrentListView(const ListViewController *view) const override;

    // Alerts
    void runConfirmation(const Confirmation &alert,
                         std::function<void(bool confirmed, bool checkBoxState)> onEnd) override;
    void runInformation(const QString &message, const QString &informativeText,
                        const QString &button) override;
    void chooseAccount(const QList<QObject *> &accounts, const QString &userName, bool follow,
                       std::function<void(QObject *account)> onEnd) override;

    // RTMainWindowNodeHost
    [[nodiscard]] TemporaryNodeHolder temporaryNodeHolder() const override;
    [[nodiscard]] QList<RTTreeNode *> temporaryNodes() const override;
    void appendTemporaryNode(RTTreeNode *node) override;
    void showTreeNode(RTTreeNode *node) override;
    void selectTreeNode(RTTreeNode *node) override;
    void addToRecentSearches(const QString &term) override;

private:
    void updateWelcome();

    QPointer<RTMainWindow> m_window;
    QPointer<RTWelcomeView> m_welcome;
    QPointer<RTAccountAdditionSheet> m_sheet;
    // The welcome view is the first start's add-account page: the launch's request to
    // show that page is answered by it once.
    bool m_welcomeOffered = false;
    RTTreeNodeManager *m_manager = nullptr;
    QStringList m_recentSearches;
    int m_automaticAnswer = -1;
};
