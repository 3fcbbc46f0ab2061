#pragma once

#include "platform/HotKeyService.h"

#include <QAbstractNativeEventFilter>
#include <map>

struct xcb_connection_t;
struct _XCBKeySymbols;

// Global hot keys on X11: a passive grab of the key on the root window, once per state of
// Caps Lock and Num Lock, and the presses read from the application's native events. Another
// client holding the combination makes the grab fail with BadAccess; that is reported by
// problem(), never hidden.
class XcbHotKeyService : public HotKeyService, public QAbstractNativeEventFilter
{
public:
    // Uses the running application's X connection; the service is unusable (and says so)
    // when the application does not run on xcb.
    XcbHotKeyService();
    ~XcbHotKeyService() override;

    [[nodiscard]] bool isUsable() const { return m_connection != nullptr; }

    Handle registerHotKey(int keyCode, quint32 flags, quint32 signature, quint32 id,
                          std::function<void()> onPressed) override;
    void unregisterHotKey(Handle handle) override;
    [[nodiscard]] QString problem() const override { return m_problem; }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    struct Grab
    {
        quint8 keycode;
        quint16 modifiers;
        std::function<void()> onPressed;
    };
    void ungrab(const Grab &grab);

    xcb_connection_t *m_connection = nullptr;
    quint32 m_root = 0;
    _XCBKeySymbols *m_symbols = nullptr;
    std::map<Handle, Grab> m_grabs;
    Handle m_nextHandle = 1;
    QString m_problem;
};
