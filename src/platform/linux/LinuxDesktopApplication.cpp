#include "platform/linux/LinuxDesktopApplication.h"

#include "foundation/Log.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QFileInfo>
#include <QProcess>
#include <cstdio>

void LinuxDesktopApplication::terminate()
{
    QCoreApplication::quit();
}

void LinuxDesktopApplication::beep()
{
    std::fputc('\a', stderr);
}

bool LinuxDesktopApplication::openUrl(const QUrl &url, bool)
{
    // xdg-open has no way to open a link without raising the browser.
    const bool started =
        QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromLatin1(url.toEncoded())});
    if (!started)
        qCWarning(lcPlatform) << "xdg-open could not be started";
    return started;
}

bool LinuxDesktopApplication::launchApplication(const QString &path)
{
    if (!QFileInfo(path).isExecutable())
        return false;
    return QProcess::startDetached(path, {});
}

int LinuxDesktopApplication::quitApplication(const QString &bundleId)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return -1;
    // Calling a program that is not running would start it through bus activation.
    if (!bus.interface()->isServiceRegistered(bundleId))
        return -1;
    QString path = QLatin1Char('/') + bundleId;
    path.replace(QLatin1Char('.'), QLatin1Char('/'));
    QDBusMessage call =
        QDBusMessage::createMethodCall(bundleId, path, bundleId, QStringLiteral("Quit"));
    call.setAutoStartService(false);
    return bus.send(call) ? 0 : -1;
}

bool LinuxDesktopApplication::isApplicationRunning(const QString &bundleId) const
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(bundleId);
}

void LinuxDesktopApplication::observeApplicationTerminated(const QString &bundleId,
                                                           std::function<void()> onTerminated)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    auto watcher = std::make_unique<QDBusServiceWatcher>(
        bundleId, bus, QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(watcher.get(), &QDBusServiceWatcher::serviceUnregistered, watcher.get(),
                     [callback = std::move(onTerminated)](const QString &) { callback(); });
    m_watchers.push_back(std::move(watcher));
}

bool LinuxDesktopApplication::announceApplication(const QString &bundleId)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    // A second main program of the same user simply does not get the name.
    const auto reply =
        bus.interface()->registerService(bundleId, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    return reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
}
