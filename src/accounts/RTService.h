#pragma once

#include "foundation/KeyedArchive.h"

#include <QMutex>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <atomic>
#include <memory>
#include <optional>

class RTService;
using RTServicePtr = std::shared_ptr<RTService>;
using RTServiceList = QList<RTServicePtr>;

// Base of every account and web service: identity, credentials, OAuth tokens, running
// state and the archived form. Services live in the registry as std::shared_ptr; the
// registry and whoever holds a pointer share ownership, and a service has no QObject
// parent. Properties are read and written on the main thread, except the identity and
// token fields, which request workers read (guarded by a lock).
//
// OAuth tokens are secrets: they are kept in the keychain beside the password and never
// written to the archive. Archives from older stores may still hold them; they are read
// and moved into the keychain on first use.
class RTService : public QObject, public RTArchivable
{
    Q_OBJECT

public:
    explicit RTService(QObject *parent = nullptr);
    ~RTService() override;

    // --- identity -----------------------------------------------------------------
    [[nodiscard]] QString hostname() const;
    void setHostname(const QString &hostname);
    [[nodiscard]] QString httpProtocol() const;
    void setHttpProtocol(const QString &protocol);
    [[nodiscard]] QString serviceId() const;
    // A different id clears the password caches: the keychain is asked again.
    void setServiceId(const QString &serviceId);
    [[nodiscard]] QString serviceName() const;
    void setServiceName(const QString &name);
    // Name of the icon of the service kind ("twitter_60").
    [[nodiscard]] QString serviceImage() const;
    void setServiceImage(const QString &imageName);

    // --- host profile -----------------------------------------------------------------
    // The name of the host profile the account was created under: its tokens and
    // password belong to those hosts only. Empty for an account from a store that did not
    // record it; such an account counts as one of the real services.
    [[nodiscard]] QString hostProfile() const;
    void setHostProfile(const QString &name);
    // The recorded profile, or "real" when none was recorded.
    [[nodiscard]] QString effectiveHostProfile() const;
    // Empty when the account may be used with the installed profile; otherwise the
    // reason it is refused, for the user. Anonymous services hold no credentials and
    // go wherever the installed profile points.
    [[nodiscard]] QString hostProfileRefusal() const;

    // --- state --------------------------------------------------------------------
    [[nodiscard]] bool running() const { return m_running.load(); }
    void setRunning(bool running);
    [[nodiscard]] bool showPopupNotifications() const { return m_showPopupNotifications; }
    void setShowPopupNotifications(bool show);
    [[nodiscard]] bool isDeleted() const { return m_isDeleted.load(); }
    void setIsDeleted(bool deleted);
    [[nodiscard]] bool verifiedCredentials() const { return m_verifiedCredentials.load(); }
    void setVerifiedCredentials(bool verified);
    [[nodiscard]] bool isNewlyAdded() const { return m_isNewlyAdded; }
    void setIsNewlyAdded(bool newlyAdded) { m_isNewlyAdded = newlyAdded; }
    [[nodiscard]] qint32 authFailureCount() const { return m_authFailureCount.load(); }
    void setAuthFailureCount(qint32 count);
    // The service refused the account's log-in (a revoked token, a changed password):
    // the user has to log in again. Not archived: a refused log-in shows itself again at
    // the next start.
    [[nodiscard]] bool needsLogIn() const { return m_needsLogIn.load(); }
    void setNeedsLogIn(bool needed);
    // Read from old stores only.
    [[nodiscard]] QVariantList previousReadMessageKeys() const { return m_previousReadMessageKeys; }

    // --- OAuth access token (kept in the keychain) -----------------------------------
    [[nodiscard]] QString oauthToken() const;
    [[nodiscard]] QString oauthTokenSecret() const;
    // Both, read together: a request signed with a token and another token's secret fails.
    [[nodiscard]] std::pair<QString, QString> oauthTokenPair() const;
    // Sets both and stores them in the keychain (or removes them there when both are
    // empty). Safe from any thread; the change signals are delivered on the main thread.
    void setOAuthTokenPair(const QString &token, const QString &secret);
    // Fills empty tokens from the keychain, or stores tokens the keychain does not hold
    // yet (read from an old archive, or held while the serviceId changed). Called before
    // the tokens decide whether an access token must be requested.
    void loadOAuthTokens();

    // --- kind ---------------------------------------------------------------------
    [[nodiscard]] virtual int serviceType() const = 0;
    [[nodiscard]] virtual int sortWeight() const { return 100; }
    [[nodiscard]] virtual bool shouldAppearInServiceList() const { return true; }
    // An instance without user credentials (anonymous shorteners and picture hosts, the
    // companion service before the user signs in).
    [[nodiscard]] virtual bool isAnonymous() const { return false; }
    // Class name of the account's root tree node; empty when the kind has no node.
    [[nodiscard]] virtual QString treeNodeClass() const { return {}; }
    // Class name of the request operation the network layer builds for this kind.
    [[nodiscard]] virtual QString requestOperationClass() const { return {}; }

    // --- lifecycle ----------------------------------------------------------------
    virtual void start();
    virtual void stop();
    // Result dictionaries of finished requests, delivered on the main thread by the
    // network layer.
    virtual void serviceRequestSuccess(const QVariantMap &result);
    virtual void serviceRequestFailure(const QVariantMap &result);
    // Flags the service deleted and posts RTDeletedServiceNotification with it.
    virtual void deleteSelf();
    // Posts RTDeletedServiceNotification from the event loop instead of now.
    void delayedNotification();
    void resetVerifiedCredentials() { setVerifiedCredentials(true); }
    // "<RTServiceTwitter:0x...> alice"
    [[nodiscard]] QString description() const;

    // --- credentials --------------------------------------------------------------
    [[nodiscard]] QString talvoService() const;     // "Talvo " + serviceName
    [[nodiscard]] QString keychainItemName() const; // serviceName + "Password"
    [[nodiscard]] QString keychainItemKind() const; // "Talvo password"
    [[nodiscard]] std::optional<bool> cachedIsPasswordSet() const;
    [[nodiscard]] std::optional<QString> cachedServicePassword() const;
    // The password getters may run on request workers; the caches are under the lock.
    bool isKeychainPasswordSet();
    // The stored password, at most 1,023 bytes of UTF-8; "" when there is none.
    QString keychainServicePassword();
    // The password, cached after the first read; a null string when none is stored.
    QString servicePassword();
    // False when the keychain did not take it.
    virtual bool setServicePassword(const QString &password);
    // Holds a password in memory only, for a log-in that is still to be verified:
    // nothing reaches the keyring until setServicePassword() after the log-in succeeded.
    void setUnverifiedServicePassword(const QString &password);
    // Removes the password and the OAuth token items of this service from the keychain
    // (an account being removed). True when none is left behind.
    bool deleteKeychainItems();

    // --- archive ------------------------------------------------------------------
    // The "$class" of the archived form is the C++ class name.
    [[nodiscard]] QString archiveClassName() const override
    {
        return QString::fromLatin1(metaObject()->className());
    }
    void encodeWithCoder(KeyedArchiver &coder) const override;
    void decodeWithCoder(const KeyedUnarchiver &coder) override;

    // Writes at most maxCount of the ids under storeKey, keeping the newest: message ids
    // grow with time, so the largest ones are those the timelines bring back.
    static void persistMessagesIDsWithSet(const QSet<QString> &ids, const QString &storeKey,
                                          KeyedArchiver &coder, int maxCount);

signals:
    void hostnameChanged();
    void httpProtocolChanged();
    void serviceIdChanged();
    void serviceNameChanged();
    void runningChanged(bool running);
    void showPopupNotificationsChanged(bool show);
    void isDeletedChanged(bool deleted);
    void verifiedCredentialsChanged(bool verified);
    void authFailureCountChanged(qint32 count);
    void needsLogInChanged(bool needed);
    void servicePasswordChanged();
    void oauthTokenChanged();

private:
    void clearPasswordCaches();
    bool storeOAuthTokens(const QString &serviceId, const QString &token, const QString &secret);

    mutable QMutex m_fieldsLock; // identity strings, tokens and password caches
    QString m_hostname;
    QString m_httpProtocol;
    QString m_serviceId;
    QString m_hostProfile;
    std::atomic<bool> m_running{false};
    bool m_showPopupNotifications = true;
    std::atomic<bool> m_isDeleted{false};
    std::atomic<bool> m_verifiedCredentials{true};
    bool m_isNewlyAdded = true;
    std::optional<bool> m_cachedIsPasswordSet;
    QString m_serviceImage;
    QString m_serviceName;
    std::optional<QString> m_cachedServicePassword;
    QVariantList m_previousReadMessageKeys;
    QString m_oauthToken{QStringLiteral("")};
    QString m_oauthTokenSecret{QStringLiteral("")};
    bool m_oauthTokensUnsaved = false;
    std::atomic<qint32> m_authFailureCount{0};
    std::atomic<bool> m_needsLogIn{false};
};
