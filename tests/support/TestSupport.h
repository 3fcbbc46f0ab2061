#pragma once

#include <QString>
#include <functional>
#include <memory>

class QCoreApplication;

// The repository's top folder (for test data and resources).
[[nodiscard]] QString testSourceDir();
// A folder private to this test process, removed when it exits.
[[nodiscard]] QString testTempDir();
// Runs the Qt event loop until pred() holds or timeoutMs passes; returns pred().
bool waitUntil(const std::function<bool()> &pred, int timeoutMs = 5000);

// Runs every test of the process: private XDG folders, loopback never through a proxy,
// the application object makeApp builds, and the operation queues shut down before that
// object goes (a worker still inside a request at exit crashes the exit handlers).
int runTestProcess(int &argc, char **argv,
                   const std::function<std::unique_ptr<QCoreApplication>(int &, char **)> &makeApp);
