#pragma once

#include <QList>
#include <QString>
#include <functional>

// A node's context menu as data; the window layer draws it and calls action().
struct RTNodeMenuItem
{
    int tag = 0;
    QString title;
    QString actionName; // "markAllAsRead:", "hideReadMessages:", "deleteSelf", ...
    QString keyEquivalent;
    bool command = false;
    bool shift = false;
    bool enabled = false;
    bool isSeparator = false;
    std::function<void()> action;
};

struct RTNodeMenu
{
    QString title;
    QList<RTNodeMenuItem> items;

    [[nodiscard]] RTNodeMenuItem *itemWithTag(int tag)
    {
        for (auto &item : items) {
            if (item.tag == tag && !item.isSeparator)
                return &item;
        }
        return nullptr;
    }
};

// Tags of the three message items shared by timeline menus.
namespace RTNodeMenuTag {
inline constexpr int MarkAllAsSeen = 4660;
inline constexpr int HideSeen = 4661;
inline constexpr int HideAll = 4662;
} // namespace RTNodeMenuTag
