#pragma once

#include "platform/HotKeyService.h"

#include <QString>
#include <memory>

// The hot-key service this session can offer: the portal's global shortcuts on a Wayland
// desktop that has them, X11 grabs on X, and otherwise a service that registers nothing
// and says why. Needs the GUI application to exist.
namespace LinuxHotKeys {
[[nodiscard]] std::unique_ptr<HotKeyService> create();
// Why this session has no global hot keys at all (neither X11 nor the portal); empty
// when one of them is there. Asks the portal over the bus on Wayland.
[[nodiscard]] QString unavailableReason();
} // namespace LinuxHotKeys
