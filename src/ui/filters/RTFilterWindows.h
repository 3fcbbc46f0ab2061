#pragma once

// Installs the window's mute, highlight and group actions and registers the Filters
// preference pane. The companion client is made on first use, after the store is in.
void registerFilterWindows();
