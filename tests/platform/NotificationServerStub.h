#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// A notification server owning org.freedesktop.Notifications on its own connection to
// the test bus. It records every Notify call and sends the signals a real server sends
// when the user answers.
class NotificationServerStub : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call
    {
        QString appName;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int timeout = 0;
        uint id = 0;
        // From the image-data hint.
        int imageWidth = 0;
        int imageHeight = 0;
        int imageBytes = 0;
    };

    explicit NotificationServerStub(const QStringList &capabilities);
    ~NotificationServerStub() override;
    // False when the name could not be owned (another server runs).
    [[nodiscard]] bool isRunning() const { return m_running; }

    QList<Call> calls;

    // The user pressed the button actionKey (or the body, "default") of notification id;
    // close: the server then closes it, as servers do for notifications that are not resident.
    void answer(uint id, const QString &actionKey, bool close = true);

public Q_SLOTS:
    QStringList GetCapabilities();
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon,
                const QString &summary, const QString &body, const QStringList &actions,
                const QVariantMap &hints, int timeout);
    void CloseNotification(uint id);
    QString GetServerInformation(QString &vendor, QString &version, QString &specVersion);

Q_SIGNALS:
    void ActionInvoked(uint id, const QString &actionKey);
    void NotificationClosed(uint id, uint reason);

private:
    QDBusConnection m_bus;
    QStringList m_capabilities;
    bool m_running = false;
    uint m_nextId = 1;
};
