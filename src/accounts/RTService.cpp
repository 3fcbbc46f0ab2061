#include "accounts/RTService.h"

#include "accounts/AccountKeychain.h"
#include "foundation/HostProfile.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RTGlobalVariables.h"

#include <QCborArray>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>

namespace {
// Longest password the keychain read hands back, in bytes of UTF-8.
constexpr int kMaxPasswordBytes = 1023;

const QString kServiceIdKey = QStringLiteral("serviceId");
const QString kServiceNameKey = QStringLiteral("serviceName");
const QString kHostnameKey = QStringLiteral("hostname");
const QString kHttpProtocolKey = QStringLiteral("httpProtocol");
const QString kShowPopupsKey = QStringLiteral("showPopupNotifications");
const QString kOAuthTokenKey = QStringLiteral("oauthToken");
const QString kOAuthTokenSecretKey = QStringLiteral("oauthTokenSecret");
const QString kPreviousReadKey = QStringLiteral("previousReadMessageKeys");
const QString kHostProfileKey = QStringLiteral("hostProfile");
const QString kRealProfileName = QStringLiteral("real");

// Cuts a password to at most kMaxPasswordBytes without splitting a character.
QString boundedPassword(const QString &password)
{
    QByteArray utf8 = password.toUtf8();
    if (utf8.size() <= kMaxPasswordBytes)
        return password;
    int end = kMaxPasswordBytes;
    while (end > 0 && (uchar(utf8.at(end)) & 0xC0) == 0x80)
        --end; // utf8[end] is a continuation byte: the character starts earlier
    utf8.truncate(end);
    return QString::fromUtf8(utf8);
}

QString encodeTokenPair(const QString &token, const QString &secret)
{
    QUrlQuery q;
    q.addQueryItem(QStringLiteral("oauth_token"),
                   QString::fromLatin1(QUrl::toPercentEncoding(token)));
    q.addQueryItem(QStringLiteral("oauth_token_secret"),
                   QString::fromLatin1(QUrl::toPercentEncoding(secret)));
    return q.toString(QUrl::FullyEncoded);
}
} // namespace

RTService::RTService(QObject *parent)
    : QObject(parent)
    , m_hostProfile(HostProfile::current().name())
{
}

RTService::~RTService() = default;

// --- identity ---------------------------------------------------------------------

QString RTService::hostname() const
{
    QMutexLocker lock(&m_fieldsLock);
    return m_hostname;
}

void RTService::setHostname(const QString &hostname)
{
    {
        QMutexLocker lock(&m_fieldsLock);
        if (m_hostname == hostname && m_hostname.isNull() == hostname.isNull())
            return;
        m_hostname = hostname;
    }
    emit hostnameChanged();
}

QString RTService::httpProtocol() const
{
    QMutexLocker lock(&m_fieldsLock);
    return m_httpProtocol;
}

void RTService::setHttpProtocol(const QString &protocol)
{
    {
        QMutexLocker lock(&m_fieldsLock);
        if (m_httpProtocol == protocol)
            return;
        m_httpProtocol = protocol;
    }
    emit httpProtocolChanged();
}

QString RTService::serviceId() const
{
    QMutexLocker lock(&m_fieldsLock);
    return m_serviceId;
}

void RTService::setServiceId(const QString &serviceId)
{
    {
        QMutexLocker lock(&m_fieldsLock);
        if (m_serviceId == serviceId && m_serviceId.isNull() == serviceId.isNull())
            return;
        m_serviceId = serviceId;
        // Tokens are stored under the id; keep them for the new one.
        if (!m_oauthToken.isEmpty() || !m_oauthTokenSecret.isEmpty())
            m_oauthTokensUnsaved = true;
    }
    // The cached password belonged to the previous id as much as the "is set" answer.
    clearPasswordCaches();
    emit serviceIdChanged();
}

QString RTService::serviceName() const
{
    QMutexLocker lock(&m_fieldsLock);
    return m_serviceName;
}

void RTService::setServiceName(const QString &name)
{
    {
        QMutexLocker lock(&m_fieldsLock);
        if (m_serviceName == name)
            return;
        m_serviceName = name;
    }
    emit serviceNameChanged();
}

QString RTService::serviceImage() const
{
    return m_serviceImage;
}

void RTService::setServiceImage(const QString &imageName)
{
    m_serviceImage = imageName;
}

// --- state ------------------------------------------------------------------------

void RTService::setRunning(bool running)
{
    if (m_running.exchange(running) != running)
        emit runningChanged(running);
}

void RTService::setShowPopupNotifications(bool show)
{
    if (m_showPopupNotifications == show)
        return;
    m_showPopupNotifications = show;
    emit showPopupNotificationsChanged(show);
}

void RTService::setIsDeleted(bool deleted)
{
    if (m_isDeleted.exchange(deleted) != deleted)
        emit isDeletedChanged(deleted);
}

void RTService::setVerifiedCredentials(bool verified)
{
    if (m_verifiedCredentials.exchange(verified) != verified)
        emit verifiedCredentialsChanged(verified);
}

void RTService::setAuthFailureCount(qint32 count)
{
    if (m_authFailureCount.exchange(count) != count)
        emit authFailureCountChanged(count);
}

void RTService::setNeedsLogIn(bool needed)
{
    if (m_needsLogIn.exchange(needed) != needed)
        emit needsLogInChanged(needed);
}

// --- OAuth tokens -------------------------------------------------------------------

QString RTService::oauthToken() const
{
    QMutexLocker lock(&m_fieldsLock);
    return m_oauthToken;
}

QString RTService::oauthTokenSecret() const
{
    QMutexLocker lock(&m_fieldsLock);
    return m_oauthTokenSecret;
}

std::pair<QString, QString> RTService::oauthTokenPair() const
{
    QMutexLocker lock(&m_fieldsLock);
    return {m_oauthToken, m_oauthTokenSecret};
}

void RTService::setOAuthTokenPair(const QString &token, const QString &secret)
{
    QString id;
    {
        QMutexLocker lock(&m_fieldsLock);
        m_oauthToken = token.isNull() ? QStringLiteral("") : token;
        m_oauthTokenSecret = secret.isNull() ? QStringLiteral("") : secret;
        m_oauthTokensUnsaved = false;
        id = m_serviceId;
    }
    storeOAuthTokens(id, token, secret);
    emit oauthTokenChanged();
}

bool RTService::storeOAuthTokens(const QString &serviceId, const QString &token,
                                 const QString &secret)
{
    if (serviceId.isEmpty())
        return false;
    const QString label = serviceName() + QStringLiteral("OAuthToken");
    const QString kind = QStringLiteral("Talvo OAuth token");
    const QString service = talvoService();
    if (token.isEmpty() && secret.isEmpty()) {
        AccountKeychain::deleteKeychainItem(label, kind, serviceId, service);
        return true;
    }
    const QString stored = encodeTokenPair(token, secret);
    if (AccountKeychain::checkForExistanceOfKeychainItem(label, kind, serviceId, service))
        return AccountKeychain::modifyKeychainItem(label, kind, serviceId, stored, service);
    return AccountKeychain::addKeychainItem(label, kind, serviceId, stored, service);
}

void RTService::loadOAuthTokens()
{
    QString id, token, secret;
    bool unsaved = false;
    {
        QMutexLocker lock(&m_fieldsLock);
        id = m_serviceId;
        token = m_oauthToken;
        secret = m_oauthTokenSecret;
        // Without an id there is nowhere to store them yet.
        unsaved = m_oauthTokensUnsaved && !id.isEmpty();
        if (unsaved)
            m_oauthTokensUnsaved = false;
    }
    if (unsaved) {
        // The old store's copy is the only one until the keychain has taken it.
        if (!storeOAuthTokens(id, token, secret)) {
            QMutexLocker lock(&m_fieldsLock);
            if (m_serviceId == id && m_oauthToken == token && m_oauthTokenSecret == secret)
                m_oauthTokensUnsaved = true;
        }
        return;
    }
    if ((!token.isEmpty() && !secret.isEmpty()) || id.isEmpty())
        return;
    const QString stored = AccountKeychain::getPasswordFromKeychainItem(
        serviceName() + QStringLiteral("OAuthToken"), QStringLiteral("Talvo OAuth token"), id,
        talvoService());
    if (stored.isEmpty())
        return;
    const QUrlQuery q(stored);
    const QString newToken = q.queryItemValue(QStringLiteral("oauth_token"), QUrl::FullyDecoded);
    const QString newSecret =
        q.queryItemValue(QStringLiteral("oauth_token_secret"), QUrl::FullyDecoded);
    {
        QMutexLocker lock(&m_fieldsLock);
        m_oauthToken = newToken;
        m_oauthTokenSecret = newSecret;
    }
    emit oauthTokenChanged();
}

// --- host profile -------------------------------------------------------------------

QString RTService::hostProfile() const
{
    QMutexLocker lock(&m_fieldsLock);
    return m_hostProfile;
}

void RTService::setHostProfile(const QString &name)
{
    QMutexLocker lock(&m_fieldsLock);
    m_hostProfile = name;
}

QString RTService::effectiveHostProfile() const
{
    const QString recorded = hostProfile();
    return recorded.isEmpty() ? kRealProfileName : recorded;
}

QString RTService::hostProfileRefusal() const
{
    if (isAnonymous())
        return {};
    const QString installed = HostProfile::current().name();
    const QString own = effectiveHostProfile();
    if (own == installed)
        return {};
    const QString recorded = hostProfile().isEmpty()
                                 ? QStringLiteral(" (its stored entry names no profile, so it "
                                                  "counts as one of the real services)")
                                 : QString();
    return QStringLiteral("the %1 account %2 belongs to the host profile '%3'%4; it is not used "
                          "with the profile '%5'")
        .arg(serviceName(), serviceId(), own, recorded, installed);
}

// --- lifecycle ----------------------------------------------------------------------

void RTService::start()
{
    setRunning(true);
}

void RTService::stop()
{
    setRunning(false);
}

void RTService::serviceRequestSuccess(const QVariantMap &) {}

void RTService::serviceRequestFailure(const QVariantMap &) {}

void RTService::deleteSelf()
{
    setIsDeleted(true);
    NotificationCenter::defaultCenter().post(QString::fromLatin1(RTDeletedServiceNotification),
                                             this);
}

void RTService::delayedNotification()
{
    QTimer::singleShot(0, this, [this] {
        NotificationCenter::defaultCenter().post(QString::fromLatin1(RTDeletedServiceNotification),
                                                 this);
    });
}

QString RTService::description() const
{
    return QStringLiteral("<%1:0x%2> %3")
        .arg(QString::fromLatin1(metaObject()->className()))
        .arg(quintptr(this), 0, 16)
        .arg(serviceId());
}

// --- credentials --------------------------------------------------------------------

QString RTService::talvoService() const
{
    return QStringLiteral("Talvo ") + serviceName();
}

QString RTService::keychainItemName() const
{
    return serviceName() + QStringLiteral("Password");
}

QString RTService::keychainItemKind() const
{
    return QStringLiteral("Talvo password");
}

std::optional<bool> RTService::cachedIsPasswordSet() const
{
    QMutexLocker lock(&m_fieldsLock);
    return m_cachedIsPasswordSet;
}

std::optional<QString> RTService::cachedServicePassword() const
{
    QMutexLocker lock(&m_fieldsLock);
    return m_cachedServicePassword;
}

void RTService::clearPasswordCaches()
{
    QMutexLocker lock(&m_fieldsLock);
    m_cachedIsPasswordSet.reset();
    m_cachedServicePassword.reset();
}

bool RTService::isKeychainPasswordSet()
{
    if (const auto cached = cachedIsPasswordSet())
        return *cached;
    // Not under the lock: the keychain may show its unlock prompt.
    const bool set = AccountKeychain::checkForExistanceOfKeychainItem(
        keychainItemName(), keychainItemKind(), serviceId(), talvoService());
    QMutexLocker lock(&m_fieldsLock);
    m_cachedIsPasswordSet = set;
    return set;
}

QString RTService::keychainServicePassword()
{
    return boundedPassword(AccountKeychain::getPasswordFromKeychainItem(
        keychainItemName(), keychainItemKind(), serviceId(), talvoService()));
}

QString RTService::servicePassword()
{
    if (const auto cached = cachedServicePassword())
        return *cached;
    if (!isKeychainPasswordSet())
        return QString();
    const QString password = keychainServicePassword();
    QMutexLocker lock(&m_fieldsLock);
    m_cachedServicePassword = password;
    return password;
}

bool RTService::setServicePassword(const QString &password)
{
    clearPasswordCaches();
    const bool stored =
        isKeychainPasswordSet()
            ? AccountKeychain::modifyKeychainItem(keychainItemName(), keychainItemKind(),
                                                  serviceId(), password, talvoService())
            : AccountKeychain::addKeychainItem(keychainItemName(), keychainItemKind(), serviceId(),
                                               password, talvoService());
    clearPasswordCaches();
    emit servicePasswordChanged();
    return stored;
}

bool RTService::deleteKeychainItems()
{
    const QString id = serviceId();
    if (id.isEmpty())
        return true;
    const QString service = talvoService();
    bool gone = true;
    const QString items[][2] = {
        {keychainItemName(), keychainItemKind()},
        {serviceName() + QStringLiteral("OAuthToken"), QStringLiteral("Talvo OAuth token")},
    };
    for (const auto &item : items) {
        // A missing item counts as removed; anything else may have left the secret.
        AccountKeychain::deleteKeychainItem(item[0], item[1], id, service);
        gone = gone &&
               !AccountKeychain::checkForExistanceOfKeychainItem(item[0], item[1], id, service) &&
               AccountKeychain::probe() == Keychain::Status::Success;
    }
    clearPasswordCaches();
    return gone;
}

void RTService::setUnverifiedServicePassword(const QString &password)
{
    QMutexLocker lock(&m_fieldsLock);
    m_cachedServicePassword = password;
}

// --- archive ------------------------------------------------------------------------

void RTService::encodeWithCoder(KeyedArchiver &coder) const
{
    // The OAuth tokens are secrets and stay in the keychain.
    coder.encodeString(kServiceIdKey, serviceId());
    coder.encodeString(kServiceNameKey, serviceName());
    coder.encodeString(kHostnameKey, hostname());
    coder.encodeString(kHttpProtocolKey, httpProtocol());
    coder.encodeBool(kShowPopupsKey, m_showPopupNotifications);
    const QString profile = hostProfile();
    if (!profile.isEmpty())
        coder.encodeString(kHostProfileKey, profile);
    // Until the keychain has taken an old store's tokens, the store is their only copy.
    QMutexLocker lock(&m_fieldsLock);
    if (m_oauthTokensUnsaved) {
        coder.encodeString(kOAuthTokenKey, m_oauthToken);
        coder.encodeString(kOAuthTokenSecretKey, m_oauthTokenSecret);
    }
}

void RTService::decodeWithCoder(const KeyedUnarchiver &coder)
{
    {
        QMutexLocker lock(&m_fieldsLock);
        m_serviceId = coder.decodeString(kServiceIdKey, m_serviceId);
        m_serviceName = coder.decodeString(kServiceNameKey, m_serviceName);
        m_hostname = coder.decodeString(kHostnameKey, m_hostname);
        m_httpProtocol = coder.decodeString(kHttpProtocolKey, m_httpProtocol);
        // Not the installed profile: an old store does not say where its tokens belong.
        m_hostProfile = coder.containsValueForKey(kHostProfileKey)
                            ? coder.decodeString(kHostProfileKey, QString())
                            : QString();
        // Stores from before the keychain held the tokens.
        if (coder.containsValueForKey(kOAuthTokenKey))
            m_oauthToken = coder.decodeString(kOAuthTokenKey, QStringLiteral(""));
        if (coder.containsValueForKey(kOAuthTokenSecretKey))
            m_oauthTokenSecret = coder.decodeString(kOAuthTokenSecretKey, QStringLiteral(""));
        if (m_oauthToken.isNull())
            m_oauthToken = QStringLiteral("");
        if (m_oauthTokenSecret.isNull())
            m_oauthTokenSecret = QStringLiteral("");
        m_oauthTokensUnsaved = !m_oauthToken.isEmpty() || !m_oauthTokenSecret.isEmpty();
    }
    const QVariant previous = coder.decodeVariant(kPreviousReadKey);
    m_previousReadMessageKeys = previous.toList();
    m_showPopupNotifications = coder.decodeBool(kShowPopupsKey, m_showPopupNotifications);
    m_verifiedCredentials = true;
    m_isNewlyAdded = false;
}

void RTService::persistMessagesIDsWithSet(const QSet<QString> &ids, const QString &storeKey,
                                          KeyedArchiver &coder, int maxCount)
{
    QStringList sorted(ids.cbegin(), ids.cend());
    // Numeric ids compare by length first, then digit by digit.
    std::sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) {
        return a.size() != b.size() ? a.size() > b.size() : a > b;
    });
    if (maxCount >= 0 && sorted.size() > maxCount)
        sorted.resize(maxCount);
    QCborArray array;
    for (const QString &id : std::as_const(sorted))
        array.append(id);
    coder.encodeValue(storeKey, array);
}
