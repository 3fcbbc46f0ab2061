#pragma once

#include "accounts/RTPollingObject.h"
#include "accounts/RTService.h"
#include "networks/facebook/RTMessageFacebook.h"
#include "networks/facebook/RTUserFacebook.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QPointer>
#include <QTimer>

class RTRequestDelegate;
class RTRequestOperation;

// A Facebook account: polls the news feed, knows the people who wrote the posts and posts
// status updates. Its posts stay in its own dictionaries; it adds no sources to the tree.
// The access token is the account's OAuth token (no secret) and lives in the keyring.
class RTServiceFacebook : public RTService, public std::enable_shared_from_this<RTServiceFacebook>
{
    Q_OBJECT

public:
    using MessagesDictionary = QHash<QString, RTMessageFacebookPtr>;
    using UsersDictionary = QHash<QString, RTUserFacebookPtr>;

    static constexpr double kNewsFeedPollInterval = 300.0;
    static constexpr double kPollTimerInterval = 30.0;
    static constexpr int kDefaultFeedLimit = 50;
    // A poll that finds nothing new may be large; the store keeps this many posts.
    static constexpr int kMaxStoredMessages = 5000;

    Q_INVOKABLE explicit RTServiceFacebook(QObject *parent = nullptr);
    ~RTServiceFacebook() override;

    static constexpr int kServiceType = 3;
    [[nodiscard]] int serviceType() const override { return kServiceType; }
    [[nodiscard]] int sortWeight() const override { return 1; }
    [[nodiscard]] QString requestOperationClass() const override
    {
        return QStringLiteral("RTRequestOperationFacebook");
    }

    // The web host's profile address with its trailing "/", from the installed profile.
    [[nodiscard]] static QString profilePrefix();

    // --- fields ---------------------------------------------------------------------
    [[nodiscard]] QString accessToken() const { return oauthToken(); }
    // Kept in the keyring once the account has its serviceId; in memory until then.
    void setAccessToken(const QString &token) { setOAuthTokenPair(token, QString()); }
    [[nodiscard]] RTUserFacebookPtr mySelf() const { return m_mySelf; }
    [[nodiscard]] QString username() const { return m_username; }
    [[nodiscard]] QString picUrl() const { return m_picUrl; }
    [[nodiscard]] QByteArray bigPicture() const { return m_bigPicture; }
    void setBigPicture(const QByteArray &picture) { m_bigPicture = picture; }
    [[nodiscard]] RTServicePtr defaultShortener() const { return m_defaultShortener; }
    void setDefaultShortener(const RTServicePtr &shortener) { m_defaultShortener = shortener; }
    [[nodiscard]] bool startingService() const { return m_startingService; }
    void setStartingService(bool starting) { m_startingService = starting; }

    // Snapshots; safe from any thread.
    [[nodiscard]] MessagesDictionary messagesDictionary() const;
    [[nodiscard]] UsersDictionary usersDictionary() const;
    [[nodiscard]] RTUserFacebookPtr userWithId(const QString &userId) const;
    [[nodiscard]] RTMessageFacebookPtr messageWithId(const QString &messageId) const;
    // Merges from request workers. A known post gains only the comments it lacks.
    void addMessagesFromArray(const QList<RTMessageFacebookPtr> &messages);
    void addUsersFromArray(const QList<RTUserFacebookPtr> &users);

    [[nodiscard]] QList<RTPollingObjectPtr> pollingObjects() const { return m_pollingObjects; }
    [[nodiscard]] QList<RTPollingObjectPtr> startupPollSequence() const
    {
        return m_startupPollSequence;
    }

    // --- requests (each returns the queued operation, or null when none went out) ---
    std::shared_ptr<RTRequestOperation> getLoggedUserInfo();
    std::shared_ptr<RTRequestOperation> getUserInfoForId(const QString &userId);
    std::shared_ptr<RTRequestOperation>
    getUserInfoForIds(const QStringList &userIds, std::shared_ptr<RTRequestDelegate> delegate,
                      int operationType = 0);
    std::shared_ptr<RTRequestOperation> refreshNewsFeed();
    void pollTimelineSince(const QString &since, const QVariant &pollObject, qint32 requestType,
                           const QVariantMap &userInfo);
    std::shared_ptr<RTRequestOperation>
    setUserStatusWithString(const QString &text,
                            std::shared_ptr<RTRequestDelegate> delegate = nullptr);
    std::shared_ptr<RTRequestOperation> getDetailsForPost(const QString &postId);
    std::shared_ptr<RTRequestOperation> getDetailsForPosts(const QStringList &postIds);

    // --- lifecycle --------------------------------------------------------------------
    void start() override;
    void stop() override;
    void serviceRequestSuccess(const QVariantMap &result) override;
    void serviceRequestFailure(const QVariantMap &result) override;

    void setupPollingObjects();
    void createStartupPollSequence();
    void startTimers(const QString &label);
    // The timer's tick: polls every object that is due.
    void pollTimelines();

    void encodeWithCoder(KeyedArchiver &coder) const override;
    void decodeWithCoder(const KeyedUnarchiver &coder) override;

signals:
    void mySelfChanged();
    // New or changed posts arrived (main thread).
    void messagesChanged();
    // The service refused the token: the user has to log in again.
    void loginRequired();

private:
    std::shared_ptr<RTRequestOperation> request(qint32 requestType,
                                                std::shared_ptr<RTRequestDelegate> delegate,
                                                const QVariantMap &parameters,
                                                const QVariantMap &userInfo, int operationType = 0);
    void setMySelf(const RTUserFacebookPtr &user);
    // Starts the downloads of the authors' pictures the store does not have yet.
    void fetchPictures(const QList<RTMessageFacebookPtr> &messages);

    RTUserFacebookPtr m_mySelf;
    QString m_username;
    QString m_picUrl;
    QByteArray m_bigPicture;
    RTServicePtr m_defaultShortener;
    bool m_startingService = false;

    mutable QMutex m_messagesLock;
    MessagesDictionary m_messagesDictionary;
    mutable QMutex m_usersLock;
    UsersDictionary m_usersDictionary;
    // Reserved for the stream and its filters.
    QVariantMap m_streamPosts;
    QVariantMap m_filtersDictionary;

    QList<RTPollingObjectPtr> m_pollingObjects;
    QList<RTPollingObjectPtr> m_startupPollSequence;
    QPointer<QTimer> m_timelinesPollTimer;
};

Q_DECLARE_METATYPE(QList<RTUserFacebookPtr>)
Q_DECLARE_METATYPE(QList<RTMessageFacebookPtr>)
