#pragma once

#include "companion/RTGroupObject.h"
#include "ui/RTFilterActions.h"

#include <QPointer>
#include <QStringList>
#include <functional>

class RTCompanionClient;
class RTServiceRegistry;
class RTServiceTwitter;

// The window's mute, highlight and group items, done by the companion client: periods
// to mute or highlight an author or a hashtag (or, while one runs, to extend or end it),
// adding the author to a group or taking them out, new and renamed groups, and the
// window of running filters.
class RTCompanionFilterActions : public RTFilterActions
{
public:
    // Both are looked up when needed, so the client is made only once the store is in.
    using ClientSource = std::function<RTCompanionClient &()>;
    using RegistrySource = std::function<RTServiceRegistry &()>;
    RTCompanionFilterActions(ClientSource client, RegistrySource registry);
    ~RTCompanionFilterActions() override;

    void addMessageMenuItems(QMenu &menu, const RTMessagePtr &message) override;
    void addNodeMenuItems(QMenu &menu, RTTreeNode *node) override;
    void showFilters(QWidget *parent) override;

    // Sheets; they call the service when the user confirms.
    void showNewGroupSheet(RTServiceTwitter *account, const QStringList &members, QWidget *parent);
    void showRenameGroupSheet(const RTGroupObjectPtr &group, QWidget *parent);
    [[nodiscard]] QWidget *filtersWindow() const { return m_filtersWindow; }

private:
    RTCompanionClient &client();
    void addMuteMenu(QMenu &menu, const RTMessagePtr &message, const QString &factor,
                     const QString &kind, const QString &title, const QString &extendTitle);
    void addHighlightMenu(QMenu &menu, const QString &userId, const QString &name);
    void addGroupMenus(QMenu &menu, RTServiceTwitter *account, const QString &userId,
                       const QString &name);
    [[nodiscard]] QStringList groupNames(RTServiceTwitter *account,
                                         const RTGroupObjectPtr &except = nullptr);

    ClientSource m_client;
    RegistrySource m_registry;
    RTCompanionClient *m_handlerInstalledOn = nullptr;
    QPointer<QWidget> m_filtersWindow;
};
