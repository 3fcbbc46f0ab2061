// talvo-helper: the quick-post helper. Owns the new-post hot key and the talvo: links, and
// runs in the background from the user's login on.
#include "accounts/RTServiceProtocols.h"
#include "accounts/RTServiceRegistry.h"
#include "app/TalvoRegistration.h"
#include "foundation/HostProfile.h"
#include "foundation/SettingsStore.h"
#include "helper/THAppDelegate.h"
#include "helper/THInstanceBus.h"
#include "helper/THLinkScheme.h"
#include "helper/main/THComposeWindows.h"
#include "http/HttpRequest.h"
#include "platform/linux/CrashReportWriter.h"
#include "platform/linux/DBusSystemNotifications.h"
#include "platform/linux/LinuxDesktopApplication.h"
#include "platform/linux/LinuxHotKeys.h"
#include "platform/linux/SecretServiceKeychain.h"
#include "platform/linux/XdgAutostart.h"
#include "store/TADataManager.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace {
void printLines(const QStringList &lines)
{
    for (const QString &line : lines)
        std::fprintf(stderr, "talvo-helper: %s\n", qPrintable(line));
}

// The hosts the helper posts to: those named on the command line, else those of the main
// application that started it, else the real services.
bool setUpProfile(const QString &name)
{
    QString error;
    const HostProfile profile = HostProfile::named(name, &error);
    if (profile.isEmpty()) {
        printLines({error});
        return false;
    }
    HostProfile::setCurrent(profile);
    if (!profile.caBundle().isEmpty())
        HttpRequest::setDefaultCaBundle(profile.caBundle());
    return true;
}

// Opens the compose window for the first account that can post, with the link if one is
// given, and saves a picture of it: for the README's pictures, from the talvo that runs the
// picture tour.
int saveComposeWindowPicture(THComposeWindows &windows, const QString &path,
                             const QString &argument)
{
    TADataManager::sharedManager().setSavingEnabled(false);
    const RTServiceList composing =
        TADataManager::sharedManager().registry().servicesConformingTo<RTMessageSendingProtocol>();
    if (composing.isEmpty()) {
        printLines({QStringLiteral("no account that can post; no picture")});
        return 1;
    }
    const THLinkScheme::Result link =
        THLinkScheme::parse(argument.isEmpty() ? QStringLiteral("talvo:") : argument);
    if (!link.accepted) {
        printLines({link.error});
        return 1;
    }
    const RTServicePtr &account = composing.first();
    if (!windows.showDirectInputWindowForService(account->serviceId(), account->serviceType(),
                                                 link.link))
        return 1;
    bool saved = false;
    // A moment for the window to lay itself out and for a shortened link to come back.
    QTimer::singleShot(2000, qApp, [&] {
        if (QWidget *window = windows.window())
            saved = window->grab().save(path, "PNG");
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    windows.closeAllDirectInputWindows();
    return saved ? 0 : 1;
}
} // namespace

int main(int argc, char **argv)
{
    // With no display at all the helper still takes links over the bus; the hot key then
    // reports that it is not available.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TalvoHelper"));
    QApplication::setApplicationVersion(QStringLiteral(TALVO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("talvo-helper"));
    QApplication::setQuitOnLastWindowClosed(false);
    // A crash leaves a report that the main application offers to send on its next start.
    CrashReportWriter::install(CrashReportWriter::defaultReportFolder(), TALVO_VERSION,
                               TALVO_BUILD);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Talvo's quick-post helper: the new-post hot key and talvo: links."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption autostart(QStringLiteral("autostart"),
                                       QStringLiteral("Started by the desktop at login."));
    const QCommandLineOption uninstall(
        QStringLiteral("uninstall"),
        QStringLiteral("Remove the login item, forget it was added, and quit a running helper."));
    const QCommandLineOption profileOption(QStringLiteral("profile"),
                                           QStringLiteral("Host profile: a name or a file."),
                                           QStringLiteral("NAME"));
    parser.addOption(autostart);
    parser.addOption(uninstall);
    parser.addOption(profileOption);
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"),
        QStringLiteral("Save a picture of the compose window (with the link given) and quit."),
        QStringLiteral("FILE"));
    parser.addOption(screenshotOption);
    parser.addPositionalArgument(QStringLiteral("link"), QStringLiteral("talvo: links to share."));
    parser.process(app);

    const QString version = QApplication::applicationVersion();
    const QStringList links = parser.positionalArguments();
    QDBusConnection bus = QDBusConnection::sessionBus();

    if (parser.isSet(uninstall)) {
        XdgAutostart autostartEntries;
        LoginItems::setShared(&autostartEntries);
        THAppDelegate::initialize(SettingsStore::shared());
        THAppDelegate(QApplication::applicationFilePath(), version).removeDaemonFromLoginItems();
        SettingsStore::shared().synchronize();
        LoginItems::setShared(nullptr);
        LinuxDesktopApplication().quitApplication(QLatin1String(THInstanceBus::serviceName));
        return 0;
    }

    // The same helper already runs: it takes the links and this start ends.
    if (const auto running = THInstanceBus::runningVersion(bus);
        running && *running == version && !parser.isSet(screenshotOption)) {
        QStringList refusals;
        if (THInstanceBus::handOver(bus, links, &refusals)) {
            printLines(refusals);
            return refusals.isEmpty() ? 0 : 1;
        }
    }

    const QString profileName = parser.isSet(profileOption)
                                    ? parser.value(profileOption)
                                    : qEnvironmentVariable(HostProfile::kInheritedVariable);
    if (!setUpProfile(profileName))
        return 1;
    registerTalvoLayers();
    SecretServiceKeychain keychain;
    Keychain::setShared(&keychain);
    THComposeWindows composeWindows;
    DirectInputWindows::setShared(&composeWindows);
    if (parser.isSet(screenshotOption)) {
        THAppDelegate::initialize(SettingsStore::shared());
        const int shot = saveComposeWindowPicture(composeWindows, parser.value(screenshotOption),
                                                  links.value(0));
        DirectInputWindows::setShared(nullptr);
        Keychain::setShared(nullptr);
        return shot;
    }
    LinuxDesktopApplication desktop;
    DBusSystemNotifications notifications;
    const std::unique_ptr<HotKeyService> hotKeys = LinuxHotKeys::create();
    XdgAutostart autostartEntries;
    DesktopApplication::setShared(&desktop);
    SystemNotifications::setShared(&notifications);
    HotKeyService::setShared(hotKeys.get());
    LoginItems::setShared(&autostartEntries);

    THAppDelegate::initialize(SettingsStore::shared());
    int rc = 0;
    {
        THAppDelegate delegate(QApplication::applicationFilePath(), version);
        THInstanceBus instance(version, bus);
        instance.onOpen = [&delegate](const QString &link) { return delegate.handleURL(link); };
        instance.onQuit = [&delegate] { delegate.mainAppWillUpdate(); };
        instance.hotKeyStatus = [&delegate] { return delegate.hotKeyProblem(); };
        QObject::connect(&instance, &THInstanceBus::nameLost, &app, &QCoreApplication::quit);
        if (!instance.claim() && bus.isConnected()) {
            printLines(
                {QStringLiteral("another program holds %1").arg(THInstanceBus::serviceName)});
            rc = 1;
        } else {
            delegate.applicationWillFinishLaunching();
            delegate.applicationDidFinishLaunching();
            QStringList refusals;
            for (const QString &link : links) {
                const QString refusal = delegate.handleURL(link);
                if (!refusal.isEmpty())
                    refusals << refusal;
            }
            printLines(refusals);
            rc = app.exec();
        }
    }
    composeWindows.closeAllDirectInputWindows();
    LoginItems::setShared(nullptr);
    HotKeyService::setShared(nullptr);
    SystemNotifications::setShared(nullptr);
    DesktopApplication::setShared(nullptr);
    DirectInputWindows::setShared(nullptr);
    Keychain::setShared(nullptr);
    return rc;
}
