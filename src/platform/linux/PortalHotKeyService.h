#pragma once

#include "platform/HotKeyService.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QVariantMap>
#include <map>

// Global hot keys through the desktop portal's global shortcuts (Wayland desktops that
// offer them). Each hot key gets its own portal session; the desktop may ask the user to
// confirm or pick another trigger, so binding finishes later and a refusal shows in
// problem(). Presses arrive as the portal's Activated signal.
class PortalHotKeyService : public QObject, public HotKeyService
{
    Q_OBJECT

public:
    static constexpr const char *service = "org.freedesktop.portal.Desktop";
    static constexpr const char *path = "/org/freedesktop/portal/desktop";
    static constexpr const char *interface = "org.freedesktop.portal.GlobalShortcuts";

    explicit PortalHotKeyService(const QDBusConnection &bus = QDBusConnection::sessionBus(),
                                 QObject *parent = nullptr);
    ~PortalHotKeyService() override;

    // Whether the bus has a portal that offers global shortcuts (asks it, blocking).
    [[nodiscard]] static bool isOffered(const QDBusConnection &bus);

    Handle registerHotKey(int keyCode, quint32 flags, quint32 signature, quint32 id,
                          std::function<void()> onPressed) override;
    void unregisterHotKey(Handle handle) override;
    [[nodiscard]] QString problem() const override { return m_problem; }

    // The trigger the desktop bound for a handle, as it describes it; empty until bound.
    [[nodiscard]] QString boundTrigger(Handle handle) const;

Q_SIGNALS:
    // A binding finished, successfully or not (see problem()).
    void bindingFinished(HotKeyService::Handle handle, bool bound);

private Q_SLOTS:
    void activated(const QDBusMessage &message);

private:
    struct Binding
    {
        QString shortcutId;
        QString trigger;
        QString description;
        QDBusObjectPath session;
        QString boundTrigger;
        std::function<void()> onPressed;
    };
    // Calls method with args expecting a Request object; onResponse gets its answer.
    void request(const QString &method, QList<QVariant> args, const QString &token,
                 std::function<void(uint, const QVariantMap &)> onResponse);
    void createSession(Handle handle);
    void bindShortcut(Handle handle);
    void fail(Handle handle, const QString &problem);
    [[nodiscard]] QString requestPath(const QString &token) const;

    QDBusConnection m_bus;
    std::map<Handle, Binding> m_bindings;
    Handle m_nextHandle = 1;
    int m_nextToken = 1;
    QString m_problem;
};
