#pragma once

#include "platform/CrashReporter.h"
#include "platform/DesktopApplication.h"
#include "platform/HotKeyService.h"
#include "platform/SystemNotifications.h"
#include "platform/UpdateFramework.h"
#include "platform/WindowLayer.h"

#include <QMap>
#include <QStringList>

// Records every call to the desktop as a line in calls(), and installs itself as every
// platform interface for its lifetime. Tests read the lines and drive the callbacks.
class FakePlatform : public DesktopApplication,
                     public WindowLayer,
                     public HotKeyService,
                     public SystemNotifications,
                     public CrashReporter,
                     public UpdateFramework
{
public:
    FakePlatform();
    ~FakePlatform() override;

    QStringList calls;
    bool active = false;
    bool launchSucceeds = true;
    int alertAnswer = 0; // the button the next alert is closed with
    // Registered hot keys by handle.
    struct HotKey
    {
        int keyCode;
        quint32 flags;
        quint32 signature;
        std::function<void()> onPressed;
    };
    QMap<HotKeyService::Handle, HotKey> hotKeys;
    CrashReporter::Launch lastCrashReporterLaunch;

    [[nodiscard]] bool called(const QString &prefix) const;
    // Delivers a system-wide notification to the subscribers, as if another program posted it.
    void deliver(const QString &name, const QVariantMap &userInfo);

    // DesktopApplication
    [[nodiscard]] bool isActive() const override { return active; }
    void activateIgnoringOtherApps() override;
    void hide() override;
    void terminate() override;
    void beep() override;
    bool openUrl(const QUrl &url, bool background) override;
    bool launchApplication(const QString &path) override;
    int quitApplication(const QString &bundleId) override;
    void addStatusItem() override;
    [[nodiscard]] bool isApplicationRunning(const QString &bundleId) const override;
    void observeApplicationTerminated(const QString &bundleId,
                                      std::function<void()> onTerminated) override;
    bool announceApplication(const QString &bundleId) override;
    // Programs that run, by bundle identifier; applicationTerminated() stops one.
    QStringList runningApplications;
    void applicationTerminated(const QString &bundleId);

    // WindowLayer
    void loadDefaultMainWindow() override;
    void showCurrentMainWindow() override;
    void refreshCursorAreas() override;
    void showServiceAddition() override;
    void showDirectInputWindowForUrl(const QString &url) override;
    void closeAllDirectInputWindows() override;
    void showDirectInputLine(bool directMessage) override;
    void reloadAllServices() override;
    void reloadCurrentSource() override;
    void showAlert(const QString &message, const QStringList &buttons,
                   std::function<void(int)> onEnd) override;

    // HotKeyService
    Handle registerHotKey(int keyCode, quint32 flags, quint32 signature, quint32 id,
                          std::function<void()> onPressed) override;
    void unregisterHotKey(Handle handle) override;
    [[nodiscard]] QString problem() const override { return hotKeyRefusal; }
    // When set, every hot-key registration fails with this reason.
    QString hotKeyRefusal;

    // SystemNotifications
    void post(const QString &name, const QString &object, const QVariantMap &userInfo) override;
    int subscribe(const QString &name, Callback callback) override;
    void unsubscribe(int id) override;

    // CrashReporter
    void launchReporter(const Launch &launch) override;

    // UpdateFramework
    void resetUpdateCycle() override;
    void checkForUpdates() override;
    [[nodiscard]] QString feedUrl() const override { return m_feedUrl; }
    void setFeedUrl(const QString &url) override;
    [[nodiscard]] QDateTime lastUpdateCheckDate() const override { return QDateTime(); }

private:
    Handle m_nextHandle = 1;
    int m_nextSubscription = 1;
    QMap<int, std::pair<QString, Callback>> m_subscriptions;
    QString m_feedUrl;
    QList<std::pair<QString, std::function<void()>>> m_terminationObservers;
};
