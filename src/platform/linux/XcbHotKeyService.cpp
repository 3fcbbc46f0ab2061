#include "platform/linux/XcbHotKeyService.h"

#include "foundation/Localization.h"
#include "foundation/Log.h"
#include "platform/HotKeyKeys.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace {
// Caps Lock and Num Lock change the state of a press but not its meaning.
constexpr quint16 kIgnoredModifiers[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                         XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
constexpr quint16 kMeaningfulModifiers =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
constexpr quint8 kBadAccess = 10;
} // namespace

XcbHotKeyService::XcbHotKeyService()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    // Off xcb (offscreen, Wayland) the interface may exist with no connection behind it.
    m_connection = x11 ? x11->connection() : nullptr;
    if (!m_connection) {
        m_problem = localizedString("##XcbHotKeyService:0##");
        return;
    }
    const xcb_setup_t *setup = xcb_get_setup(m_connection);
    const xcb_screen_iterator_t screen = xcb_setup_roots_iterator(setup);
    m_root = screen.data->root;
    m_symbols = xcb_key_symbols_alloc(m_connection);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

XcbHotKeyService::~XcbHotKeyService()
{
    if (!m_connection)
        return;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
    for (const auto &[handle, grab] : m_grabs)
        ungrab(grab);
    xcb_flush(m_connection);
    xcb_key_symbols_free(m_symbols);
}

HotKeyService::Handle XcbHotKeyService::registerHotKey(int keyCode, quint32 flags, quint32, quint32,
                                                       std::function<void()> onPressed)
{
    if (!m_connection)
        return 0;
    const HotKeyKeys::Key key = HotKeyKeys::keyForKeyCode(keyCode);
    const quint16 modifiers = HotKeyKeys::x11ModifierMask(flags);
    xcb_keycode_t *keycodes =
        key.keysym ? xcb_key_symbols_get_keycode(m_symbols, key.keysym) : nullptr;
    const quint8 keycode = keycodes ? keycodes[0] : 0;
    std::free(keycodes);
    if (keycode == 0 || modifiers == 0) {
        m_problem = localizedString("##XcbHotKeyService:1##");
        return 0;
    }
    Grab grab{keycode, modifiers, std::move(onPressed)};
    xcb_void_cookie_t cookies[std::size(kIgnoredModifiers)];
    for (size_t i = 0; i < std::size(kIgnoredModifiers); ++i) {
        cookies[i] = xcb_grab_key_checked(m_connection, 1, m_root, modifiers | kIgnoredModifiers[i],
                                          keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    }
    quint8 errorCode = 0;
    for (const xcb_void_cookie_t &cookie : cookies) {
        if (xcb_generic_error_t *error = xcb_request_check(m_connection, cookie)) {
            errorCode = errorCode ? errorCode : error->error_code;
            std::free(error);
        }
    }
    if (errorCode) {
        // Undo the lock variants that did succeed, so no half grab stays behind.
        ungrab(grab);
        xcb_flush(m_connection);
        m_problem = errorCode == kBadAccess ? localizedString("##XcbHotKeyService:2##")
                                            : localizedString("##XcbHotKeyService:3##");
        qCInfo(lcPlatform) << "hot key not registered, X error" << errorCode;
        return 0;
    }
    m_problem.clear();
    const Handle handle = m_nextHandle++;
    m_grabs.emplace(handle, std::move(grab));
    return handle;
}

void XcbHotKeyService::unregisterHotKey(Handle handle)
{
    const auto it = m_grabs.find(handle);
    if (it == m_grabs.end())
        return;
    ungrab(it->second);
    xcb_flush(m_connection);
    m_grabs.erase(it);
}

void XcbHotKeyService::ungrab(const Grab &grab)
{
    for (const quint16 extra : kIgnoredModifiers)
        xcb_ungrab_key(m_connection, grab.keycode, m_root, grab.modifiers | extra);
}

bool XcbHotKeyService::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    auto *event = static_cast<xcb_generic_event_t *>(message);
    const quint8 type = event->response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY) {
        xcb_refresh_keyboard_mapping(m_symbols,
                                     reinterpret_cast<xcb_mapping_notify_event_t *>(event));
        return false;
    }
    if (type != XCB_KEY_PRESS)
        return false;
    auto *press = reinterpret_cast<xcb_key_press_event_t *>(event);
    const quint16 state = press->state & kMeaningfulModifiers;
    std::function<void()> pressed;
    for (const auto &[handle, grab] : m_grabs) {
        if (grab.keycode == press->detail && grab.modifiers == state) {
            pressed = grab.onPressed;
            break;
        }
    }
    if (!pressed)
        return false;
    pressed(); // may unregister: the grab was copied out first
    return true;
}
