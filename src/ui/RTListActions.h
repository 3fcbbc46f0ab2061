#pragma once

#include "model/RTMessage.h"
#include "twitter/RTListTwitter.h"
#include "ui/RTListSheet.h"

#include <QObject>
#include <QPointer>

class QAction;
class QMenu;
class RTMainWindow;
class RTServiceTwitter;
class RTTreeNode;
class RTTreeNodeManager;

// What the main window offers for searches and lists: saving the search on screen,
// making, changing and deleting lists, adding and removing members, unsubscribing. It
// adds its items to the window's menus; the sheets it opens send the requests.
class RTListActions : public QObject
{
    Q_OBJECT
public:
    RTListActions(RTMainWindow &window, RTTreeNodeManager &manager);

    // Window actions ("saveSearch", "newList") in a menu of the menu bar.
    void addToMenu(QMenu *menu);
    void addNodeItems(RTTreeNode *node, QMenu *menu);
    void addMessageItems(const RTMessagePtr &message, QMenu *menu);
    void updateActions(RTTreeNode *current);

    // Saves a temporary search node's search with an account; false when there is
    // nothing to save or no account to save it with.
    bool saveSearch(RTTreeNode *node);
    // The sheets, open (window-modal) when these return.
    RTListSheet *showNewListSheet(RTServiceTwitter *account);
    RTListSheet *showEditListSheet(const RTListTwitterPtr &list);
    RTListMemberSheet *showMemberSheet(RTListMemberSheet::Mode mode, RTServiceTwitter *account,
                                       const RTListTwitterPtr &list, const QString &screenName);
    // Asks first; deletes when the user confirms.
    void confirmDeleteList(const RTListTwitterPtr &list);

    [[nodiscard]] QList<RTServiceTwitter *> twitterAccounts() const;
    [[nodiscard]] static QList<RTListTwitterPtr> ownLists(const RTServiceTwitter *account);

private:
    [[nodiscard]] static bool isSavable(RTTreeNode *node);
    [[nodiscard]] RTServiceTwitter *accountFor(RTTreeNode *node) const;

    RTMainWindow &m_window;
    RTTreeNodeManager &m_manager;
    QAction *m_saveSearch = nullptr;
    QAction *m_newList = nullptr;
};
