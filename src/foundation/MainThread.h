#pragma once

#include <functional>

// Runs fn on the main thread (the thread of the QCoreApplication). Called on the main
// thread it runs fn at once. From a worker, with wait = true the worker blocks until fn
// has run; with wait = false fn is queued. Without an application object fn runs at once.
void runOnMainThread(std::function<void()> fn, bool wait);

[[nodiscard]] bool isOnMainThread();
