#pragma once

#include <QString>
#include <functional>

// The repository's top folder (for test data and resources).
[[nodiscard]] QString testSourceDir();
// A folder private to this test process, removed when it exits.
[[nodiscard]] QString testTempDir();
// Runs the Qt event loop until pred() holds or timeoutMs passes; returns pred().
bool waitUntil(const std::function<bool()> &pred, int timeoutMs = 5000);
