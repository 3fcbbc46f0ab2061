#pragma once

#include "model/RTMessage.h"
#include "platform/PlatformInterface.h"

class QMenu;
class QWidget;
class RTTreeNode;

// Dated mutes and highlights, and groups, as the message and source menus offer them; the
// companion layer keeps them. Until one is installed the window offers none of them.
class RTFilterActions : public PlatformInterface<RTFilterActions>
{
public:
    // The mute, highlight and group items for the message, added to its menu.
    virtual void addMessageMenuItems(QMenu &menu, const RTMessagePtr &message) = 0;
    // Items of a source's menu: a new group, a group's members, the filters window.
    virtual void addNodeMenuItems(QMenu &menu, RTTreeNode *node) = 0;
    // The running mutes and highlights, in a window of their own.
    virtual void showFilters(QWidget *parent) = 0;
};
