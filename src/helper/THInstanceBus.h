#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <functional>
#include <optional>

// The helper on the session bus: the well-known name org.talvo.Helper, held by one helper
// at a time, and its object /org/talvo/Helper. A second start of the same version hands its
// links to the helper that runs and exits; a different version (an update) takes the name
// over and the old helper quits when it loses it.
class THInstanceBus : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.talvo.Helper")

public:
    static constexpr const char *serviceName = "org.talvo.Helper";
    static constexpr const char *objectPath = "/org/talvo/Helper";

    explicit THInstanceBus(const QString &version,
                           const QDBusConnection &bus = QDBusConnection::sessionBus(),
                           QObject *parent = nullptr);
    ~THInstanceBus() override;

    // The version of the helper that holds the name, or nothing when none runs.
    [[nodiscard]] static std::optional<QString> runningVersion(const QDBusConnection &bus);
    // Hands links to the running helper; false when it did not answer. refusals gets the
    // reason of each link it refused.
    static bool handOver(const QDBusConnection &bus, const QStringList &links,
                         QStringList *refusals);

    // Exports the object and takes the name, replacing a running helper. False without a bus.
    bool claim();
    // Gives the name up, so a successor can take it at once.
    void release();

    // The delegate's answers to the bus calls.
    std::function<QString(const QString &)> onOpen; // "" when accepted, else the reason
    std::function<void()> onQuit;
    std::function<QString()> hotKeyStatus;

public Q_SLOTS:
    Q_SCRIPTABLE QString Version() const { return m_version; }
    // Shows a compose window for a talvo: link ("talvo:" alone for a plain new post).
    Q_SCRIPTABLE QString Open(const QString &link);
    // Quits the helper; the main application asks before it installs an update.
    Q_SCRIPTABLE void Quit();
    // Why the new-post hot key does not work, or "" when it is registered.
    Q_SCRIPTABLE QString HotKeyStatus() const;
    Q_SCRIPTABLE void Ping() const {}

Q_SIGNALS:
    // Another helper took the name.
    void nameLost();

private Q_SLOTS:
    void serviceNameLost(const QString &name);

private:
    QString m_version;
    QDBusConnection m_bus;
    bool m_claimed = false;
};
