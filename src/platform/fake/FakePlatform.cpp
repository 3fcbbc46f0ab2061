#include "platform/fake/FakePlatform.h"

FakePlatform::FakePlatform()
{
    DesktopApplication::setShared(this);
    WindowLayer::setShared(this);
    HotKeyService::setShared(this);
    SystemNotifications::setShared(this);
    CrashReporter::setShared(this);
    UpdateFramework::setShared(this);
}

FakePlatform::~FakePlatform()
{
    DesktopApplication::setShared(nullptr);
    WindowLayer::setShared(nullptr);
    HotKeyService::setShared(nullptr);
    SystemNotifications::setShared(nullptr);
    CrashReporter::setShared(nullptr);
    UpdateFramework::setShared(nullptr);
}

bool FakePlatform::called(const QString &prefix) const
{
    for (const QString &c : calls) {
        if (c.startsWith(prefix))
            return true;
    }
    return false;
}

void FakePlatform::deliver(const QString &name, const QVariantMap &userInfo)
{
    const auto subscriptions = m_subscriptions; // a callback may unsubscribe
    for (const auto &[subscribedName, callback] : subscriptions) {
        if (subscribedName == name)
            callback(QString(), userInfo);
    }
}

void FakePlatform::activateIgnoringOtherApps()
{
    calls << QStringLiteral("activate");
    active = true;
}

void FakePlatform::hide()
{
    calls << QStringLiteral("hide");
    active = false;
}

void FakePlatform::terminate()
{
    calls << QStringLiteral("terminate");
}

void FakePlatform::beep()
{
    calls << QStringLiteral("beep");
}

bool FakePlatform::openUrl(const QUrl &url, bool background)
{
    calls << QStringLiteral("openUrl %1 %2")
                 .arg(QString::fromLatin1(url.toEncoded()),
                      background ? QStringLiteral("background") : QStringLiteral("foreground"));
    return true;
}

bool FakePlatform::launchApplication(const QString &path)
{
    calls << QStringLiteral("launch %1").arg(path);
    return launchSucceeds;
}

int FakePlatform::quitApplication(const QString &bundleId)
{
    calls << QStringLiteral("quit %1").arg(bundleId);
    return 0;
}

void FakePlatform::addStatusItem()
{
    calls << QStringLiteral("addStatusItem");
}

void FakePlatform::loadDefaultMainWindow()
{
    calls << QStringLiteral("loadDefaultMainWindow");
}

void FakePlatform::showCurrentMainWindow()
{
    calls << QStringLiteral("showCurrentMainWindow");
}

void FakePlatform::refreshCursorAreas()
{
    calls << QStringLiteral("refreshCursorAreas");
}

void FakePlatform::showServiceAddition()
{
    calls << QStringLiteral("showServiceAddition");
}

void FakePlatform::showDirectInputWindowForUrl(const QString &url)
{
    calls << QStringLiteral("showDirectInputWindowForUrl %1").arg(url);
}

void FakePlatform::closeAllDirectInputWindows()
{
    calls << QStringLiteral("closeAllDirectInputWindows");
}

void FakePlatform::showDirectInputLine(bool directMessage)
{
    calls << (directMessage ? QStringLiteral("showDirectInputLine direct")
                            : QStringLiteral("showDirectInputLine"));
}

void FakePlatform::reloadAllServices()
{
    calls << QStringLiteral("reloadAllServices");
}

void FakePlatform::reloadCurrentSource()
{
    calls << QStringLiteral("reloadCurrentSource");
}

void FakePlatform::showAlert(const QString &message, const QStringList &buttons,
                             std::function<void(int)> onEnd)
{
    calls << QStringLiteral("alert %1 [%2]").arg(message, buttons.join(QLatin1Char('|')));
    if (onEnd)
        onEnd(alertAnswer);
}

HotKeyService::Handle FakePlatform::registerHotKey(int keyCode, quint32 flags, quint32 signature,
                                                   quint32 id, std::function<void()> onPressed)
{
    calls << QStringLiteral("registerHotKey %1 %2 %3 %4")
                 .arg(keyCode)
                 .arg(flags)
                 .arg(signature, 8, 16, QLatin1Char('0'))
                 .arg(id);
    if (!hotKeyRefusal.isEmpty())
        return 0;
    const Handle handle = m_nextHandle++;
    hotKeys.insert(handle, {keyCode, flags, signature, std::move(onPressed)});
    return handle;
}

void FakePlatform::unregisterHotKey(Handle handle)
{
    calls << QStringLiteral("unregisterHotKey");
    hotKeys.remove(handle);
}

void FakePlatform::post(const QString &name, const QString &, const QVariantMap &userInfo)
{
    QStringList keys = userInfo.keys();
    calls << QStringLiteral("post %1 {%2}").arg(name, keys.join(QLatin1Char(',')));
}

int FakePlatform::subscribe(const QString &name, Callback callback)
{
    calls << QStringLiteral("subscribe %1").arg(name);
    const int id = m_nextSubscription++;
    m_subscriptions.insert(id, {name, std::move(callback)});
    return id;
}

void FakePlatform::unsubscribe(int id)
{
    m_subscriptions.remove(id);
}

void FakePlatform::launchReporter(const Launch &launch)
{
    calls << QStringLiteral("launchReporter");
    lastCrashReporterLaunch = launch;
}

void FakePlatform::resetUpdateCycle()
{
    calls << QStringLiteral("resetUpdateCycle");
}

void FakePlatform::checkForUpdates()
{
    calls << QStringLiteral("checkForUpdates");
}

void FakePlatform::setFeedUrl(const QString &url)
{
    m_feedUrl = url;
}

bool FakePlatform::isApplicationRunning(const QString &bundleId) const
{
    return runningApplications.contains(bundleId);
}

void FakePlatform::observeApplicationTerminated(const QString &bundleId,
                                                std::function<void()> onTerminated)
{
    m_terminationObservers.append({bundleId, std::move(onTerminated)});
}

bool FakePlatform::announceApplication(const QString &bundleId)
{
    calls << QStringLiteral("announceApplication %1").arg(bundleId);
    if (!runningApplications.contains(bundleId))
        runningApplications << bundleId;
    return true;
}

void FakePlatform::applicationTerminated(const QString &bundleId)
{
    runningApplications.removeAll(bundleId);
    const auto observers = m_terminationObservers;
    for (const auto &[name, callback] : observers) {
        if (name == bundleId)
            callback();
    }
}
