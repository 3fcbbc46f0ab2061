#pragma once

#include "platform/DesktopApplication.h"

#include <QObject>
#include <memory>
#include <vector>

// The desktop as a headless process sees it: links open through xdg-open, programs start
// detached, the helper is asked to quit over the session bus. Window-related calls are
// for the window layer, which replaces this class's activation state when it exists.
class LinuxDesktopApplication : public DesktopApplication
{
public:
    [[nodiscard]] bool isActive() const override { return m_active; }
    void activateIgnoringOtherApps() override { m_active = true; }
    void hide() override { m_active = false; }
    void terminate() override;
    void beep() override;
    bool openUrl(const QUrl &url, bool background) override;
    bool launchApplication(const QString &path) override;
    int quitApplication(const QString &bundleId) override;
    void addStatusItem() override {}
    [[nodiscard]] bool isApplicationRunning(const QString &bundleId) const override;
    void observeApplicationTerminated(const QString &bundleId,
                                      std::function<void()> onTerminated) override;
    bool announceApplication(const QString &bundleId) override;

private:
    bool m_active = true;
    std::vector<std::unique_ptr<QObject>> m_watchers;
};
