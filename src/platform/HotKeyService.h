#pragma once

#include "platform/PlatformInterface.h"

#include <QString>
#include <QtGlobal>

#include <functional>

// Global hot keys. A registration is identified by a non-zero handle.
class HotKeyService : public PlatformInterface<HotKeyService>
{
public:
    using Handle = quintptr;
    // Registers keyCode with the modifier flags under {signature, id}; 0 on failure.
    virtual Handle registerHotKey(int keyCode, quint32 flags, quint32 signature, quint32 id,
                                  std::function<void()> onPressed) = 0;
    virtual void unregisterHotKey(Handle handle) = 0;
    // Why global hot keys cannot work in this session, or why the last registration
    // failed; empty when the last registration succeeded. For the preferences to show.
    [[nodiscard]] virtual QString problem() const { return QString(); }
};
