#pragma once

#include "platform/HotKeyService.h"

#include <QObject>
#include <QVariantMap>

class RTAppComponents;
class RTMainMenuController;

// Drives the application's life: the two halves of the launch, activation, the hot keys
// and termination.
class RTTalvoAppDelegate : public QObject
{
    Q_OBJECT

public:
    // The helper's program, started from the same folder as the application.
    static constexpr const char *helperExecutableName = "talvo-helper";
    static constexpr const char *helperBundleId = "org.talvo.Helper";
    // The name the main application runs under, by which the helper finds it.
    static constexpr const char *mainBundleId = "org.talvo.Talvo";
    // "RTh1": the show/hide hot key's signature.
    static constexpr quint32 showHideHotKeySignature = 0x52546831;

    explicit RTTalvoAppDelegate(RTAppComponents &components, QObject *parent = nullptr);
    ~RTTalvoAppDelegate() override;

    [[nodiscard]] bool saveDataOnTermination() const { return m_saveDataOnTermination; }
    void setSaveDataOnTermination(bool save) { m_saveDataOnTermination = save; }
    [[nodiscard]] bool isLaunching() const { return m_isLaunching; }
    [[nodiscard]] RTMainMenuController *mainMenuController() const { return m_mainMenuController; }
    void setMainMenuController(RTMainMenuController *controller)
    {
        m_mainMenuController = controller;
    }
    // Where the helper program is looked for (the application's own folder by default).
    void setHelperPath(const QString &path) { m_helperPath = path; }
    [[nodiscard]] QString helperPath() const;

    void applicationWillFinishLaunching();
    void applicationDidFinishLaunching();
    void applicationWillTerminate();
    void applicationDidResignActive();
    void applicationDidBecomeActive();
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    void updaterWillInstallUpdate();

    void caughtNewTweetHotKey(const QVariantMap &userInfo);
    void changedShowHideTalvoHotkey(const QVariantMap &userInfo);
    // The user recorded a new new-post hot key: store it and tell the helper, which owns it.
    void changeNewTweetHotKey(int keyCode, quint32 flags);
    // The user recorded a new show/hide hot key: store it and register it again.
    void changeShowHideHotKey(int keyCode, quint32 flags);
    // Why the stored show/hide hot key does not work; empty when it does or none is set.
    [[nodiscard]] QString showHideHotKeyProblem() const;
    // The show/hide hot key was pressed.
    void hotKeyPressed();
    // The user left the keyring locked: nothing more can be read or stored, so the
    // application saves what it has and quits.
    void keychainAccessRefused();
    void keychainUnavailable(const QString &message);

    // The process-wide show/hide hot key registration (0 when none).
    [[nodiscard]] static HotKeyService::Handle showHideHotKeyHandle();

private:
    void installShowHideHotKey(int keyCode, quint32 flags);

    bool m_saveDataOnTermination = true;
    bool m_isLaunching = false;
    RTMainMenuController *m_mainMenuController = nullptr;
    RTAppComponents &m_components;
    QString m_helperPath;
    int m_helperSubscription = 0;
    int m_hotKeyObserver = 0;
    bool m_quittingForKeychain = false;
};
