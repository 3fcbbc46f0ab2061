#pragma once

#include "platform/HotKeyService.h"

#include <QString>
#include <QUrl>
#include <functional>

// Small class-level helpers every subsystem uses. Desktop work goes through the platform
// interfaces, so this class has no state of its own.
class TAUtility
{
public:
    // $XDG_DATA_HOME/Talvo (the temporary folder's Talvo when there is no data folder),
    // created by the first call of the process only: once the user deleted the application
    // data, asking for the path must not bring the folder back.
    [[nodiscard]] static QString applicationSupportFolder();
    // The installation identifier, created once and kept in the settings under "guid".
    [[nodiscard]] static QString talvoGuid();
    // The user's first language as a BCP 47 tag, from the "AppleLanguages" setting when the
    // user set one, else from LANGUAGE, LC_ALL, LC_MESSAGES, LANG; Simplified Chinese is "zh-CN".
    [[nodiscard]] static QString preferedSystemLanguage();
    // The same rule applied to one locale name ("de_DE.UTF-8", "zh-Hans", "C", ...).
    [[nodiscard]] static QString languageTagFromLocaleName(const QString &locale);

    static void openURL(const QString &url, bool inBackground);
    // The URL with its host in IDNA (ASCII) form; invalid, after a beep and a log line,
    // when the host cannot be converted.
    [[nodiscard]] static QUrl punycodedUrlWithString(const QString &url);

    // Replaces the hot key held in *handle: removes it, then registers the new one unless
    // keyCode is -1 or flags is 0.
    static void installHotKeyWithKeyCode(int keyCode, quint32 flags, quint32 signature,
                                         HotKeyService::Handle *handle,
                                         std::function<void()> callback);
    static void removeInstalledHotkeyWithEventRef(HotKeyService::Handle *handle);
    static int quitApplicationWithBundleID(const QString &bundleId);

    // Build-time credentials.
    [[nodiscard]] static QString talvoApiKey();
    [[nodiscard]] static QString twitterConsumerKey();
    [[nodiscard]] static QString twitterConsumerSecret();
    [[nodiscard]] static QString facebookAPIKey();
    [[nodiscard]] static QString facebookSecretKey();
    [[nodiscard]] static QString facebookAPPId();
};
