#include "platform/linux/LinuxDesktopApplication.h"

#include "foundation/Log.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
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
