#pragma once

#include "platform/PlatformInterface.h"

#include <QString>
#include <functional>
#include <memory>

// The window layer's list of one node's messages. Nodes drive it through these calls;
// what it draws is the window layer's business.
class ListViewController
{
public:
    // What the list shows when it has nothing else to show.
    enum State
    {
        StateNormal = 0,
        StateDefault = 1,
        StateEmpty = 3,
        StateLoadingOlder = 5,
        StateNoOlderMessages = 6,
        StateFailed = 7,
    };

    virtual ~ListViewController() = default;
    [[nodiscard]] virtual int listviewState() const = 0;
    virtual void setListviewState(int state) = 0;
    virtual void setResizingEnabled(bool enabled) = 0;
    virtual void resizeViews() = 0;
    virtual void resizeViewsAfter(int milliseconds) = 0;
    virtual void refresh() = 0;
    virtual void clearSelection() = 0;
    virtual void focus() = 0;
    // Folds the conversation shown under a message back in.
    virtual void collapseMessage(const QString &messageId) = 0;
    // Whether the list is on screen; actions for a list off screen wait for it.
    [[nodiscard]] virtual bool isOnScreen() const = 0;
};

// Creates list views and answers questions about the main window's current one.
class ListViewFactory : public PlatformInterface<ListViewFactory>
{
public:
    // viewClass names the kind of list ("RTTwitterListView", "RTTrendListView", ...).
    [[nodiscard]] virtual std::unique_ptr<ListViewController>
    createListViewController(const QString &viewClass, const QString &nibName,
                             bool withToolbar) = 0;
    [[nodiscard]] virtual bool isCurrentListView(const ListViewController *view) const = 0;
};
