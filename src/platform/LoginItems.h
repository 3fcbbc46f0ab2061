#pragma once

#include "platform/PlatformInterface.h"

#include <QString>
#include <optional>

// Programs the desktop starts at the user's login.
class LoginItems : public PlatformInterface<LoginItems>
{
public:
    struct Item
    {
        QString program; // the executable the desktop runs
        QString url;     // the program as a file URL string
        QString version; // the version that wrote the item
    };
    // The item named name, or nothing when there is none or the user turned it off.
    [[nodiscard]] virtual std::optional<Item> findLoginItem(const QString &name) const = 0;
    // Adds (or replaces) the item; false when it could not be written.
    virtual bool addLoginItem(const QString &name, const Item &item) = 0;
    virtual bool removeLoginItem(const QString &name) = 0;
};
