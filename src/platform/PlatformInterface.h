#pragma once

#include <atomic>

// Every desktop facility is an abstract interface with one process-wide instance: the
// programs install the Linux implementation, tests install a recording fake. Core code
// calls Interface::shared(), which is never null once installed; callers that may run
// before installation check hasShared().
template<class Interface> class PlatformInterface
{
public:
    virtual ~PlatformInterface() = default;

    static bool hasShared() { return s_instance.load(std::memory_order_acquire) != nullptr; }
    static Interface &shared() { return *s_instance.load(std::memory_order_acquire); }
    // Not owned; pass nullptr to uninstall.
    static void setShared(Interface *instance)
    {
        s_instance.store(instance, std::memory_order_release);
    }

private:
    inline static std::atomic<Interface *> s_instance{nullptr};
};
