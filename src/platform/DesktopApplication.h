#pragma once

#include "platform/PlatformInterface.h"

#include <QString>
#include <QUrl>
#include <functional>

// The running application as the desktop sees it: activation, hiding, opening links,
// starting and quitting other programs.
class DesktopApplication : public PlatformInterface<DesktopApplication>
{
public:
    [[nodiscard]] virtual bool isActive() const = 0;
    virtual void activateIgnoringOtherApps() = 0;
    virtual void hide() = 0;
    virtual void terminate() = 0;
    virtual void beep() = 0;
    // Opens url with the desktop's default handler; background asks not to raise it
    // where the desktop can do that. Returns whether the handler was started.
    virtual bool openUrl(const QUrl &url, bool background) = 0;
    // Starts a program detached; false when it could not be started.
    virtual bool launchApplication(const QString &path) = 0;
    // Asks the running program known by bundleId to quit, without waiting; 0 on success.
    virtual int quitApplication(const QString &bundleId) = 0;
    // The menu-bar (tray) item.
    virtual void addStatusItem() = 0;

    // Running programs are known by their bundle identifier, a session-bus name here.
    [[nodiscard]] virtual bool isApplicationRunning(const QString &bundleId) const
    {
        Q_UNUSED(bundleId);
        return false;
    }
    // Calls onTerminated each time the program known by bundleId stops running.
    virtual void observeApplicationTerminated(const QString &bundleId,
                                              std::function<void()> onTerminated)
    {
        Q_UNUSED(bundleId);
        Q_UNUSED(onTerminated);
    }
    // Makes this program known as running under bundleId; false when that failed.
    virtual bool announceApplication(const QString &bundleId)
    {
        Q_UNUSED(bundleId);
        return false;
    }
};
