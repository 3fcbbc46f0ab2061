#pragma once

#include "platform/PlatformInterface.h"

#include <functional>

// The tray (menu-bar) icon. Its menu holds one item, "Preferences...".
class StatusItem : public PlatformInterface<StatusItem>
{
public:
    enum class Click
    {
        Primary,
        // A secondary click or one with a modifier key held.
        Secondary,
        Double
    };
    struct Handlers
    {
        std::function<void(Click)> clicked;
        std::function<void()> preferences;
    };

    // Shows the icon; false where the desktop has no tray (nothing is shown then).
    virtual bool addStatusItem(const Handlers &handlers) = 0;
    virtual void removeStatusItem() = 0;
    [[nodiscard]] virtual bool hasStatusItem() const = 0;
    // The normal icon, or the new-messages one with the unseen count.
    virtual void setNewMessages(bool newMessages, int count) = 0;
};
