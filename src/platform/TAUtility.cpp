#include "platform/TAUtility.h"

#include "foundation/Log.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "foundation/StringAdditions.h"
#include "platform/DesktopApplication.h"

#include <QDir>
#include <QStandardPaths>
#include <QUuid>
#include <mutex>

QString TAUtility::applicationSupportFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::tempPath();
    const QString folder = base + QLatin1String("/Talvo");
    static std::once_flag created;
    std::call_once(created, [&folder] { QDir().mkpath(folder); });
    return folder;
}

QString TAUtility::talvoGuid()
{
    SettingsStore &settings = SettingsStore::shared();
    QString guid = settings.stringForKey(RTGuidKey);
    if (guid.isEmpty()) {
        guid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        settings.setValue(RTGuidKey, guid);
    }
    return guid;
}

QString TAUtility::languageTagFromLocaleName(const QString &locale)
{
    QString name = locale.trimmed();
    // Drop the encoding and modifier: "de_DE.UTF-8@euro" is "de_DE".
    name = name.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    if (name.isEmpty() || name == QLatin1String("C") || name == QLatin1String("POSIX"))
        return QStringLiteral("en");
    name.replace(QLatin1Char('_'), QLatin1Char('-'));
    const QStringList parts = name.split(QLatin1Char('-'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return QStringLiteral("en");
    const QString language = parts.first().toLower();
    if (language == QLatin1String("zh")) {
        // Simplified Chinese: the Hans script, or the mainland and Singapore regions.
        for (const QString &p : parts.mid(1)) {
            const QString up = p.toUpper();
            if (up == QLatin1String("HANS") || up == QLatin1String("CN") ||
                up == QLatin1String("SG"))
                return QStringLiteral("zh-CN");
        }
    }
    QStringList out{language};
    for (const QString &p : parts.mid(1)) {
        if (p.size() == 4) // a script: title case
            out.append(p.left(1).toUpper() + p.mid(1).toLower());
        else if (p.size() == 2 || (p.size() == 3 && p.at(0).isDigit())) // a region
            out.append(p.toUpper());
        else
            out.append(p.toLower());
    }
    return out.join(QLatin1Char('-'));
}

QString TAUtility::preferedSystemLanguage()
{
    const QStringList chosen = SettingsStore::shared().stringArrayForKey(AppleLanguagesKey);
    if (!chosen.isEmpty() && !chosen.first().isEmpty())
        return languageTagFromLocaleName(chosen.first());
    // LANGUAGE is a colon-separated list of preferences.
    const QString language = qEnvironmentVariable("LANGUAGE").section(QLatin1Char(':'), 0, 0);
    if (!language.isEmpty())
        return languageTagFromLocaleName(language);
    for (const char *var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(var);
        if (!value.isEmpty())
            return languageTagFromLocaleName(value);
    }
    return QStringLiteral("en");
}

QUrl TAUtility::punycodedUrlWithString(const QString &url)
{
    QUrl parsed(url, QUrl::TolerantMode);
    const QString host = parsed.host(QUrl::FullyDecoded);
    const QByteArray ace = QUrl::toAce(host);
    if (!parsed.isValid() || host.isEmpty() || ace.isEmpty()) {
        if (DesktopApplication::hasShared())
            DesktopApplication::shared().beep();
        qCWarning(lcPlatform).noquote()
            << QStringLiteral("Can't create URL from string '%1'.").arg(url);
        return QUrl();
    }
    parsed.setHost(QString::fromLatin1(ace));
    return parsed;
}

void TAUtility::openURL(const QString &url, bool inBackground)
{
    QUrl target(url, QUrl::StrictMode);
    if (!target.isValid())
        target = QUrl(standardScapedOutString(url), QUrl::StrictMode);
    // A host that needs escaping is not ASCII: open its IDNA form.
    const QByteArray escapedHost = QUrl::toPercentEncoding(target.host(QUrl::FullyDecoded));
    if (escapedHost.contains('%')) {
        target = punycodedUrlWithString(standardUnscapedString(url));
        if (!target.isValid())
            return;
    }
    if (!target.isValid()) {
        qCWarning(lcPlatform).noquote()
            << QStringLiteral("Can't create URL from string '%1'.").arg(url);
        return;
    }
    if (DesktopApplication::hasShared())
        DesktopApplication::shared().openUrl(target, inBackground);
}

void TAUtility::installHotKeyWithKeyCode(int keyCode, quint32 flags, quint32 signature,
                                         HotKeyService::Handle *handle,
                                         std::function<void()> callback)
{
    removeInstalledHotkeyWithEventRef(handle);
    if (keyCode == -1 || flags == 0 || !HotKeyService::hasShared())
        return;
    *handle =
        HotKeyService::shared().registerHotKey(keyCode, flags, signature, 1, std::move(callback));
}

void TAUtility::removeInstalledHotkeyWithEventRef(HotKeyService::Handle *handle)
{
    if (handle && *handle) {
        if (HotKeyService::hasShared())
            HotKeyService::shared().unregisterHotKey(*handle);
        *handle = 0;
    }
}

int TAUtility::quitApplicationWithBundleID(const QString &bundleId)
{
    return DesktopApplication::hasShared() ? DesktopApplication::shared().quitApplication(bundleId)
                                           : -1;
}

QString TAUtility::talvoApiKey()
{
    return QStringLiteral(TALVO_API_KEY);
}

QString TAUtility::twitterConsumerKey()
{
    return QStringLiteral(TALVO_TWITTER_CONSUMER_KEY);
}

QString TAUtility::twitterConsumerSecret()
{
    return QStringLiteral(TALVO_TWITTER_CONSUMER_SECRET);
}

QString TAUtility::facebookAPIKey()
{
    return QStringLiteral(TALVO_FACEBOOK_API_KEY);
}

QString TAUtility::facebookSecretKey()
{
    return QStringLiteral(TALVO_FACEBOOK_SECRET_KEY);
}

QString TAUtility::facebookAPPId()
{
    return QStringLiteral(TALVO_FACEBOOK_APP_ID);
}
