// talvo: the main application. A thin start over the application shell and the window
// layer; everything it runs lives in the libraries the tests link.
#include "app/FeedUpdater.h"
#include "app/PendingCrashReports.h"
#include "app/RTApplication.h"
#include "app/RTDesktopGlue.h"
#include "app/RTLibraryVersions.h"
#include "app/RTMainMenuController.h"
#include "app/RTTalvoAppDelegate.h"
#include "app/RTTalvoComponents.h"
#include "app/TalvoRegistration.h"
#include "foundation/HostProfile.h"
#include "http/HttpRequest.h"
#include "platform/linux/CrashReportWriter.h"
#include "platform/linux/DBusSystemNotifications.h"
#include "platform/linux/LinuxDesktopAlerts.h"
#include "platform/linux/LinuxHotKeys.h"
#include "platform/linux/QtStatusItem.h"
#include "platform/linux/SecretServiceKeychain.h"
#include "platform/linux/XdgAutostart.h"
#include "timelines/RTPopupDelegate.h"
#include "ui/RTFacebookAccountAdditionPage.h"
#include "ui/RTKeyAccountPage.h"
#include "ui/RTMainWindow.h"
#include "ui/RTScreenshotTour.h"
#include "ui/RTShortcutsPane.h"
#include "ui/RTThemes.h"
#include "ui/RTWindowCheck.h"
#include "ui/RTWindowLayer.h"
#include "ui/filters/RTFilterWindows.h"
#include "ui/prefs/RTPreferencesWindow.h"
#include "ui/prefs/RTTwitterAccountPage.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <cstdio>

namespace {
bool setUpProfile(const QString &name)
{
    QString error;
    const HostProfile profile = HostProfile::named(name, &error);
    if (profile.isEmpty()) {
        std::fprintf(stderr, "talvo: %s\n", qPrintable(error));
        return false;
    }
    HostProfile::setCurrent(profile);
    if (!profile.caBundle().isEmpty())
        HttpRequest::setDefaultCaBundle(profile.caBundle());
    // The helper started from here posts to the same hosts.
    if (!name.isEmpty()) {
        const QFileInfo file(name);
        qputenv(HostProfile::kInheritedVariable,
                (file.isFile() ? file.absoluteFilePath() : name).toLocal8Bit());
    }
    return true;
}

// Connects the window's application actions to the menu controller.
void wireMenu(RTMainWindow &window, RTMainMenuController &menu)
{
    const auto wire = [&window](const char *name, std::function<void()> fn) {
        QAction *a = window.action(QString::fromLatin1(name));
        if (!a)
            return;
        QObject::connect(a, &QAction::triggered, &window, [fn = std::move(fn)] { fn(); });
        a->setEnabled(true);
    };
    wire("markAllMessagesAsSeen", [&menu] { menu.markAllMessagesAsSeen(); });
    wire("synchronizeLists", [&menu] { menu.synchronizeLists(); });
    wire("synchronizeSearches", [&menu] { menu.synchronizeSearches(); });
    wire("synchronizeGroups", [&menu] { menu.synchronizeGroups(); });
    wire("saveApplicationData", [&menu] { menu.saveApplicationData(); });
    wire("deleteApplicationData", [&menu, &window] {
        if (QMessageBox::question(&window, QObject::tr("Delete Application Data"),
                                  QObject::tr("Delete every account, cached picture and link, "
                                              "and quit? Settings are kept.")) == QMessageBox::Yes)
            menu.deleteApplicationData();
    });
    wire("showServiceAddition", [&menu] { menu.showServiceAddition(); });
    wire("loginToTalvoAnywhere", [&menu] { menu.loginToTalvoAnywhere(); });
    wire("talvoWebsite", [&menu] { menu.talvoWebsite(); });
    wire("talvoFeedback", [&menu] { menu.talvoFeedback(); });
    wire("talvoHelp", [&menu] { menu.talvoHelp(); });
    const auto toggle = [&window, wire](const char *name, std::function<void()> fn,
                                        QString (*title)()) {
        wire(name, fn);
        QAction *a = window.action(QString::fromLatin1(name));
        a->setText(title());
        QObject::connect(a, &QAction::triggered, a, [a, title] { a->setText(title()); });
    };
    toggle(
        "toggleShowUngroupedUsers", [&menu] { menu.toggleShowUngroupedUsers(); },
        &RTMainMenuController::showUngroupedUsersTitle);
    toggle(
        "toggleShowVerifiedUsers", [&menu] { menu.toggleShowVerifiedUsers(); },
        &RTMainMenuController::showVerifiedUsersTitle);
    toggle(
        "toggleShowTwitterSources", [&menu] { menu.toggleShowTwitterSources(); },
        &RTMainMenuController::showTwitterSourcesTitle);
}

// The quick-post helper draws its own compose window for the pictures. A build tree whose
// helper cannot be found (it is not beside talvo or on the search path) skips it.
bool saveHelperPicture(const QString &helperPath, const QString &folder)
{
    if (!QFileInfo(helperPath).isExecutable()) {
        std::printf("no picture of the helper's compose window: %s is not there\n",
                    qPrintable(helperPath));
        return true;
    }
    const QString path = QDir(folder).filePath(QStringLiteral("helper-compose.png"));
    const int rc = QProcess::execute(
        helperPath, {QStringLiteral("--screenshot"), path,
                     QStringLiteral("talvo:https://example.org/quick-posts-from-anywhere")});
    if (rc != 0) {
        std::fprintf(stderr, "talvo: the helper drew no compose window (exit %d)\n", rc);
        return false;
    }
    std::printf("wrote %s\n", qPrintable(path));
    return true;
}

// The Shortcuts preference pane, with the hot keys of both programs.
void registerShortcutsPane(RTTalvoAppDelegate &delegate)
{
    RTShortcutsPane::registerPane(
        {[&delegate](int keyCode, quint32 flags) { delegate.changeNewTweetHotKey(keyCode, flags); },
         &helperHotKeyProblem,
         [&delegate](int keyCode, quint32 flags) { delegate.changeShowHideHotKey(keyCode, flags); },
         [&delegate] { return delegate.showHideHotKeyProblem(); }});
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Talvo"));
    QApplication::setDesktopFileName(QStringLiteral("org.talvo.Talvo"));
    QApplication::setApplicationVersion(QStringLiteral(TALVO_VERSION));
    // A crash leaves a report that the next start offers to send.
    CrashReportWriter::install(CrashReportWriter::defaultReportFolder(), TALVO_VERSION,
                               TALVO_BUILD);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Talvo, a desktop client for Twitter"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption profileOption(QStringLiteral("profile"),
                                           QStringLiteral("Host profile: a name or a file."),
                                           QStringLiteral("NAME"));
    const QCommandLineOption darkOption(QStringLiteral("dark"), QStringLiteral("Dark theme."));
    const QCommandLineOption lightOption(QStringLiteral("light"), QStringLiteral("Light theme."));
    const QCommandLineOption shotsOption(QStringLiteral("screenshots"),
                                         QStringLiteral("Save pictures of the window and quit."),
                                         QStringLiteral("FOLDER"));
    const QCommandLineOption waitOption(
        QStringLiteral("screenshot-wait"),
        QStringLiteral("Milliseconds to wait for messages before the pictures."),
        QStringLiteral("MS"), QStringLiteral("20000"));
    const QCommandLineOption quitOption(QStringLiteral("quit-after"),
                                        QStringLiteral("Quit after this many seconds."),
                                        QStringLiteral("SECONDS"));
    const QCommandLineOption checkOption(
        QStringLiteral("check"),
        QStringLiteral("Check that Home fills, a reload brings a new message and marking all "
                       "seen clears the badge; exit 0 when it all works."));
    parser.addOptions(
        {profileOption, darkOption, lightOption, shotsOption, waitOption, quitOption, checkOption});
    parser.process(app);

    if (!setUpProfile(parser.value(profileOption)))
        return 1;
    // Without a desktop theme (a bare X server) the light or dark Fusion look is used.
    const bool themed = !qEnvironmentVariableIsEmpty("XDG_CURRENT_DESKTOP") ||
                        !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORMTHEME");
    if (parser.isSet(darkOption) || parser.isSet(lightOption) || !themed)
        RTThemes::apply(parser.isSet(darkOption));

    static SecretServiceKeychain keychain;
    Keychain::setShared(&keychain);
    registerTalvoLayers();
    registerFacebookWindows();
    registerPingfmAndInstapaperWindows();
    RTTalvoDesktopApplication desktop;
    DesktopApplication::setShared(&desktop);
    // Alerts exist before the sound manager is created, so it can preload its sounds.
    LinuxDesktopAlerts alerts;
    QtStatusItem tray;
    StatusItem::setShared(&tray);
    RTComposeBridge compose;
    RTComposeProvider::setShared(&compose);
    PendingCrashReports crashReports(CrashReportWriter::defaultReportFolder());
    CrashReporter::setShared(&crashReports);
    FeedUpdater updater(QStringLiteral(TALVO_VERSION));
    UpdateFramework::setShared(&updater);
    DBusSystemNotifications notifications;
    SystemNotifications::setShared(&notifications);
    registerFilterWindows();
    XdgAutostart autostart;
    LoginItems::setShared(&autostart);
    RTTwitterAccountPage::registerAccountKind();
    RTPreferencesWindow::registerStandardPanes();
    RTAboutWindow::setLibraries(talvoLibraryVersions());
    // The show/hide hot key; the new-post one belongs to the helper.
    const std::unique_ptr<HotKeyService> hotKeys = LinuxHotKeys::create();
    HotKeyService::setShared(hotKeys.get());
    RTWindowLayer windows;
    if (parser.isSet(shotsOption) || parser.isSet(checkOption))
        windows.setAutomaticAnswer(0);

    RTTalvoComponents components;
    RTApplication::initializeClass(components);
    RTTalvoAppDelegate delegate(components);
    RTMainMenuController menu(components, delegate);
    delegate.setMainMenuController(&menu);
    registerShortcutsPane(delegate);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [&] {
        if (windows.mainWindow())
            windows.mainWindow()->saveWindowState();
        delegate.applicationWillTerminate();
        components.stopServices();
    });

    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
    if (RTMainWindow *window = windows.mainWindow())
        wireMenu(*window, menu);
    if (RTPopupDelegate *popups = components.popupDelegate())
        connectPopupAnswersToWindows(*popups, windows);

    std::unique_ptr<RTScreenshotTour> tour;
    if (parser.isSet(shotsOption) && windows.mainWindow()) {
        tour = std::make_unique<RTScreenshotTour>(*windows.mainWindow(), parser.value(shotsOption));
        QObject::connect(tour.get(), &RTScreenshotTour::finished, &app,
                         [&tour, &delegate, folder = parser.value(shotsOption)](bool ok) {
                             for (const QString &path : tour->written())
                                 std::printf("wrote %s\n", qPrintable(path));
                             if (!saveHelperPicture(delegate.helperPath(), folder))
                                 ok = false;
                             std::fflush(stdout);
                             QCoreApplication::exit(ok ? 0 : 1);
                         });
        tour->start(parser.value(waitOption).toInt());
    }
    std::unique_ptr<RTWindowCheck> check;
    if (parser.isSet(checkOption) && windows.mainWindow()) {
        check = std::make_unique<RTWindowCheck>(*windows.mainWindow(), 30000);
        QObject::connect(check.get(), &RTWindowCheck::finished, &app,
                         [](bool ok) { QCoreApplication::exit(ok ? 0 : 1); });
        check->start();
    }
    if (parser.isSet(quitOption))
        QTimer::singleShot(parser.value(quitOption).toInt() * 1000, &app, &QCoreApplication::quit);
    return app.exec();
}
