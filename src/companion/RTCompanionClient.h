#pragma once

#include "accounts/RTPollingObject.h"
#include "accounts/RTServiceTalvo.h"
#include "companion/RTGroupObject.h"
#include "network/RTRequestOperation.h"
#include "timelines/RTDatedFilters.h"
#include "timelines/RTTreeNodeManager.h"
#include "twitter/RTTrendObject.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

class RTServiceRegistry;

// The client of the companion service. It exists whether or not the user has a companion
// account: it fetches the host lists, picture-host and framer tables, the filter
// vocabulary and client sources; keeps the user's dated mutes, highlights and translations
// (applied through RTDatedFilters) and groups; turns the trends into entries of the Trends
// node; and reports clicked and shortened links in batches beside a heartbeat.
//
// The archived record is the registry's RTServiceTalvo; requests are made for it and
// their answers come back here on the main thread.
class RTCompanionClient : public QObject
{
    Q_OBJECT
public:
    // Periodic jobs, in seconds.
    static constexpr double kTimerInterval = 30;
    static constexpr double kReportInterval = 150;
    static constexpr double kHeartBeatInterval = 300;
    static constexpr double kConfigurationsInterval = 300;
    static constexpr double kGroupsInterval = 1800;
    // Bounds of what waits to be reported, and of one report request.
    static constexpr int kMaxPendingReports = 1000;
    static constexpr int kMaxReportBatch = 50;
    static constexpr int kMaxReportQueryBytes = 6 * 1024; // URLs stay under 8 KB
    static constexpr int kMaxReportUrlLength = 2000;
    // Bounds of the service's schedule for trends.
    static constexpr int kMinTrendsInterval = 60;
    static constexpr int kMaxTrendsInterval = 3600;
    static constexpr int kDefaultTrendsInterval = 300;

    // The filters go to the shared RTDatedFiltersInterface; the record is the registry's
    // RTServiceTalvo (created and added when the registry has none).
    explicit RTCompanionClient(RTServiceRegistry &registry, QObject *parent = nullptr);
    ~RTCompanionClient() override;

    // The process-wide client over RTServiceRegistry::shared(), built on first use.
    static RTCompanionClient &talvoService();
    [[nodiscard]] static RTCompanionClient *existingTalvoService();

    [[nodiscard]] std::shared_ptr<RTServiceTalvo> service() const { return m_service; }
    [[nodiscard]] RTDatedFilters &filters() { return m_filters; }
    // Trends go to this manager's Trends node; filter passes let its nodes re-evaluate.
    void setNodeManager(RTTreeNodeManager *manager);

    // Polling is switched off for a run from the command line; then no account is used.
    static void setPollingEnabled(bool enabled);
    [[nodiscard]] static bool pollingEnabled();
    // Polling enabled, and the companion user id and password both set.
    [[nodiscard]] bool hasAnAccountConfigured() const;

    // --- lifecycle ----------------------------------------------------------------------
    void start();
    void stop();
    // What a program with a tree of sources does: trends and filter passes go to the
    // manager, its "mark all seen" reaches the trends, the jobs start and the first trends
    // are asked for. stop() ends it.
    void startWithNodeManager(RTTreeNodeManager &manager);
    [[nodiscard]] bool isRunning() const { return m_running; }
    [[nodiscard]] const QList<RTPollingObjectPtr> &pollingObjects() const
    {
        return m_pollingObjects;
    }
    // The 30-second timer's handler: every job polls when its interval has passed.
    void timerTick();
    void pollTimelineSince(const QString &since, const QVariant &pollObject, qint32 requestType,
                           const QVariantMap &userInfo);

    // --- requests (each answers through requestFinished) ---------------------------------
    void updateShorteners();
    void verifyAccount();
    void getGroups();
    void updateTwitterClientSources();
    void updateConfigurations();
    void getTrends();
    void getEpoch(const QVariantMap &userInfo = {});
    void sendClickedUrls();
    void sendUserShortenedUrls();
    void sendHeartBeat();
    void muteFactor(const QString &factor, const QString &predicate, qint64 seconds);
    void highlightFactor(const QString &factor, const QString &predicate, qint64 seconds);
    void extendMute(const QString &filterId, qint64 extension);
    void extendHighlight(const QString &filterId, qint64 extension);
    void destroyMute(const QString &filterId);
    void destroyHighlight(const QString &filterId);
    void readMute(const QString &filterId);
    void readHighlight(const QString &filterId);
    void translateFactor(const QString &factor);
    void destroyTranslate(const QString &filterId);

    // --- conveniences: a user is its Twitter user id, a hashtag includes its "#" -------
    void muteUser(const QString &userId, qint64 seconds) { muteFactor(userId, kUser, seconds); }
    void highlightUser(const QString &userId, qint64 seconds)
    {
        highlightFactor(userId, kUser, seconds);
    }
    void muteHashTag(const QString &tag, qint64 seconds) { muteFactor(tag, kHashtag, seconds); }
    void highlightHashTag(const QString &tag, qint64 seconds)
    {
        highlightFactor(tag, kHashtag, seconds);
    }
    // Find the live filter of that user or tag; nothing happens when there is none.
    // An extension of 0 seconds ends the filter.
    bool extendMuteForUser(const QString &userId, qint64 extension);
    bool removeMuteForUser(const QString &userId);
    bool extendHighlightForUser(const QString &userId, qint64 extension);
    bool removeHighlightForUser(const QString &userId);
    bool extendMuteForHashTag(const QString &tag, qint64 extension);
    bool removeMuteForHashTag(const QString &tag);
    bool extendHighlightForHashTag(const QString &tag, qint64 extension);
    bool removeHighlightForHashTag(const QString &tag);
    void translateUser(const QString &userId) { translateFactor(userId); }
    bool removeTranslateForUser(const QString &userId);

    // --- groups ---------------------------------------------------------------------------
    [[nodiscard]] QList<RTGroupObjectPtr> groupsOfService(const RTService *account) const;
    void createGroupWithGroupObject(const RTGroupObjectPtr &group);
    void renameGroup(const RTGroupObjectPtr &group, const QString &newName);
    void removeGroupWithGroupObject(const RTGroupObjectPtr &group);
    void addMemberToGroup(const QString &memberId, const RTGroupObjectPtr &group);
    void removeMemberFromGroup(const QString &memberId, const RTGroupObjectPtr &group);
    void removeMemberWithUserIdFromAllGroupsInService(const QString &memberId,
                                                      const RTService *account);
    // The group shown by a group node, or null.
    [[nodiscard]] RTGroupObjectPtr groupForNode(const RTTreeNode *node) const;
    // The window asks for the new name when a group node's "Rename..." is chosen.
    void setRenameGroupHandler(std::function<void(const RTGroupObjectPtr &)> handler)
    {
        m_renameGroupHandler = std::move(handler);
    }
    // A new group of the account with its network identity.
    [[nodiscard]] static RTGroupObjectPtr
    newGroupWithService(RTService *account, const QString &name, const QStringList &members);

    // --- link reports ---------------------------------------------------------------------
    // A link the user opened: counted when it is a known shortener's link with a path of
    // at least 2 characters and the expansion is cached.
    bool addClickedUrl(const QString &url);
    void addClickedUrlRecord(const QString &shortener, const QString &url,
                             const QString &destination);
    void addUserShortenedUrl(const QString &shortUrl, const QString &longUrl,
                             const QString &shortener);
    [[nodiscard]] QVariantList clickedUrls() const { return m_clickedUrls; }
    [[nodiscard]] QVariantList userShortenedUrls() const { return m_userShortenedUrls; }

    // --- configuration --------------------------------------------------------------------
    [[nodiscard]] QVariantMap framers() const { return m_framers; }
    [[nodiscard]] QVariantMap twitterSources() const { return m_twitterSources; }
    [[nodiscard]] QVariantMap filterCategories() const { return m_filterCategories; }
    [[nodiscard]] QVariantMap filterActions() const { return m_filterActions; }
    [[nodiscard]] QVariantMap filterPredicates() const { return m_filterPredicates; }
    [[nodiscard]] QVariantMap filterConditions() const { return m_filterConditions; }
    [[nodiscard]] QVariantMap filterDefinitions() const { return m_filterDefinitions; }
    [[nodiscard]] QList<RTTrendObjectPtr> twitterTrends() const { return m_twitterTrends; }
    // Ids of trends the user has read: new trends with these ids arrive seen.
    void setReadTrendIds(const QStringList &ids) { m_readTrendIds = ids; }

    // Applies a finished request's result (main thread).
    void serviceRequestSuccess(const QVariantMap &result);
    void serviceRequestFailure(const QVariantMap &result);

    static const QString kUser;
    static const QString kHashtag;

signals:
    void requestFinished(const QVariantMap &result, bool success);
    // The companion user id or password changed.
    void hasAnAccountConfiguredChanged();
    void trendsChanged();
    void groupsChanged(RTService *account);
    // A configurations answer was applied; changed: a mute or highlight is new or changed.
    void configurationsApplied(bool changed);

private:
    class Delegate;

    RTRequestOperationPtr request(qint32 requestType, const QVariantMap &userInfo,
                                  const QVariantMap &parameters = {}, int operationType = 0);
    void filterRequest(qint32 requestType, const QString &filterId, const QVariantMap &extra);
    [[nodiscard]] QVariantMap filterRecordForDestroy(qint32 requestType,
                                                     const QString &filterId) const;
    void sendReport(qint32 requestType);
    void setupPollingObjects();

    // Applying answers (RTCompanionClientApply.cpp).
    void applyShorteners(const QVariantMap &result);
    // Hands the shortener, framer and picture-host tables to link expansion.
    void publishLinkHosts();
    void applyGroups(qint32 requestType, const QVariantMap &result);
    void applyReports(qint32 requestType, const QVariantMap &result);
    void applySetups(const QVariantMap &result);
    bool applyConfigurations(const QVariantMap &result, bool complete);
    void applyTrends(const QVariantMap &result);
    void publishTrends(const QList<RTTrendObjectPtr> &current, const QList<RTTrendObjectPtr> &gone);
    void setGroupsOfService(RTService *account, const QList<RTGroupObjectPtr> &groups);
    void publishGroups(RTService *account);
    void installGroupHooks();

    RTServiceRegistry &m_registry;
    std::shared_ptr<RTServiceTalvo> m_service;
    std::shared_ptr<Delegate> m_delegate;
    RTDatedFilters m_filters;
    QPointer<RTTreeNodeManager> m_nodeManager;
    bool m_running = false;
    QTimer m_timer;
    QTimer m_trendsTimer;
    QList<RTPollingObjectPtr> m_pollingObjects;
    QList<RTPollingObjectPtr> m_startupPollSequence;

    QVariantMap m_framers;
    QVariantMap m_twitterSources;
    QVariantMap m_filterCategories;
    QVariantMap m_filterActions;
    QVariantMap m_filterPredicates;
    QVariantMap m_filterConditions;
    QVariantMap m_filterDefinitions;
    QList<RTTrendObjectPtr> m_twitterTrends;
    QHash<QString, RTTrendObjectPtr> m_twitterTrendsDictionary;
    QHash<QString, RTMessagePtr> m_trendMessages;
    QStringList m_readTrendIds;
    QVariantList m_clickedUrls;
    QVariantList m_userShortenedUrls;
    QHash<const RTService *, QList<RTGroupObjectPtr>> m_groups;
    QList<RTGroupObjectPtr> m_retiredGroups;
    std::function<void(const RTGroupObjectPtr &)> m_renameGroupHandler;
};
