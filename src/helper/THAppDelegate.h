#pragma once

#include "platform/HotKeyService.h"

#include <QObject>
#include <QVariantMap>

class SettingsStore;

// The quick-post helper's life: its settings, the new-post hot key, the talvo: links, the
// login item, and the notifications to and from the main application.
class THAppDelegate : public QObject
{
    Q_OBJECT

public:
    // "THh1": the new-post hot key's signature.
    static constexpr quint32 hotKeySignature = 0x54486831;
    // The name of the helper's login item (its autostart entry).
    static constexpr const char *loginItemName = "talvo-helper";

    // programPath: this program, as the login item should start it; version: this build's.
    THAppDelegate(const QString &programPath, const QString &version, QObject *parent = nullptr);
    ~THAppDelegate() override;

    // Registers the helper's defaults: the main application's, then the helper's own over
    // them. The main application's settings are read from its own file.
    static void initialize(SettingsStore &settings);

    void applicationWillFinishLaunching();
    void applicationDidFinishLaunching();

    void changedNewTweetHotKey(const QVariantMap &userInfo);
    void launchedNewTalvoHelperInstance(const QString &object);
    void mainAppTerminated();
    void mainAppWillUpdate();
    // Closes the compose windows; the helper keeps running.
    void fakeQuit();

    // A link from the command line or the bus. Returns "" when it was taken, else why it
    // was refused (nothing is shown for a refused link).
    QString handleURL(const QString &argument);
    // Hands a new post (with an optional link) to the main application when it runs,
    // otherwise opens the helper's own compose window for the first account that can post.
    void showDirectInputWindowForUrl(const QString &url);
    void hotKeyPressed();

    void addDaemonToLoginItemsIfNeeded();
    // Uninstalling: the login item goes and the helper forgets it added one.
    void removeDaemonFromLoginItems();

    // "objectID: <pid>", this helper's announcement.
    [[nodiscard]] QString objectId() const;
    // Why the hot key does not work; empty when it is registered or none is set.
    [[nodiscard]] QString hotKeyProblem() const;
    [[nodiscard]] static HotKeyService::Handle hotKeyHandle();

private:
    void installHotKey(int keyCode, quint32 flags);

    QString m_programPath;
    QString m_version;
    QList<int> m_subscriptions;
    QString m_hotKeyProblem;
};
