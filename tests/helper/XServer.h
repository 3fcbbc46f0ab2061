#pragma once

// A private X server for the helper's tests, with xdotool to press keys and find windows.
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <cstdlib>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

// A private X server; the display number comes back on its standard output.
class XServer
{
public:
    XServer()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
            return;
        m_process.start(QStringLiteral("Xvfb"),
                        {QStringLiteral("-displayfd"), QStringLiteral("1"),
                         QStringLiteral("-screen"), QStringLiteral("0"),
                         QStringLiteral("640x480x24"), QStringLiteral("-nolisten"),
                         QStringLiteral("tcp")});
        if (!m_process.waitForStarted() || !m_process.waitForReadyRead(10000))
            return;
        m_display =
            QLatin1Char(':') + QString::fromLatin1(m_process.readAllStandardOutput()).trimmed();
        m_connection = xcb_connect(m_display.toLatin1().constData(), nullptr);
        if (xcb_connection_has_error(m_connection)) {
            xcb_disconnect(m_connection);
            m_connection = nullptr;
        }
    }
    ~XServer()
    {
        if (m_connection)
            xcb_disconnect(m_connection);
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    [[nodiscard]] bool isRunning() const { return m_connection != nullptr; }
    [[nodiscard]] QString display() const { return m_display; }

    // Whether another client could grab ctrl+alt+key now; releases it again.
    bool canGrab(char key)
    {
        xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(m_connection);
        xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, xcb_keysym_t(key));
        const xcb_keycode_t code = codes ? codes[0] : 0;
        std::free(codes);
        xcb_key_symbols_free(symbols);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const quint16 mods = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
        xcb_generic_error_t *error = xcb_request_check(
            m_connection, xcb_grab_key_checked(m_connection, 1, root, mods, code,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        const bool grabbed = error == nullptr;
        std::free(error);
        if (grabbed && !m_held.contains(key)) {
            xcb_ungrab_key(m_connection, code, root, mods);
            xcb_flush(m_connection);
        }
        return grabbed;
    }
    // Grabs ctrl+alt+key for as long as the server runs, as another program would.
    bool hold(char key)
    {
        m_held.append(key);
        return canGrab(key);
    }

    bool press(const QString &keys) const { return xdotool({QStringLiteral("key"), keys}); }

    // Runs xdotool on this server; its standard output goes to out.
    bool xdotool(const QStringList &arguments, QString *out = nullptr) const
    {
        QProcess xdotool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        xdotool.setProcessEnvironment(env);
        xdotool.start(QStringLiteral("xdotool"), arguments);
        const bool ok = xdotool.waitForFinished(20000) && xdotool.exitCode() == 0;
        if (out)
            *out = QString::fromLocal8Bit(xdotool.readAllStandardOutput()).trimmed();
        return ok;
    }
    // The id of a mapped window with this title, or "" when none is shown.
    [[nodiscard]] QString visibleWindow(const QString &title) const
    {
        QString id;
        xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                 QStringLiteral("--name"), QLatin1Char('^') + title + QLatin1Char('$')},
                &id);
        return id.section(QLatin1Char('\n'), 0, 0);
    }

private:
    QProcess m_process;
    QString m_display;
    xcb_connection_t *m_connection = nullptr;
    QList<char> m_held;
};
