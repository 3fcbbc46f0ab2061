#pragma once

#include "platform/DesktopNotifications.h"

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <deque>
#include <map>

// Pop-up notifications over org.freedesktop.Notifications. The click context stays here,
// keyed by the id the server returns; ActionInvoked brings it back. Reply and Mark as
// read buttons are offered where the server announces the "actions" capability. A
// missing or failing server drops notifications (logged), never blocks.
class DBusDesktopNotifications : public QObject, public DesktopNotifications
{
    Q_OBJECT
public:
    static constexpr const char *service = "org.freedesktop.Notifications";
    static constexpr const char *path = "/org/freedesktop/Notifications";
    // Contexts kept for notifications the user may still answer.
    static constexpr std::size_t kMaxContexts = 256;

    explicit DBusDesktopNotifications(const QDBusConnection &bus = QDBusConnection::sessionBus(),
                                      QObject *parent = nullptr);
    ~DBusDesktopNotifications() override;

    void notify(const Notification &notification) override;
    void setAnswerHandler(AnswerHandler handler) override;

    // What the server said it can do, once it answered.
    [[nodiscard]] QStringList capabilities() const { return m_capabilities; }
    [[nodiscard]] bool serverAnswered() const { return m_capabilitiesKnown; }

    // The image-data hint: RGBA, 8 bits per channel, scaled to fit size x size.
    [[nodiscard]] static QVariant imageHint(const QByteArray &encoded, int size);

signals:
    // A Notify call was answered (id) or failed (0); for tests and diagnostics.
    void notificationSent(uint id);

private slots:
    void actionInvoked(uint id, const QString &actionKey);
    void notificationClosed(uint id, uint reason);

private:
    void requestCapabilities();
    void send(const Notification &notification);

    QDBusConnection m_bus;
    AnswerHandler m_handler;
    QStringList m_capabilities;
    bool m_capabilitiesKnown = false;
    bool m_capabilitiesPending = false;
    QList<Notification> m_waiting;
    std::map<uint, QVariantMap> m_contexts;
    std::deque<uint> m_contextOrder;
};
