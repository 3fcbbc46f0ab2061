#include "companion/RTCompanionClient.h"

#include "text/RTLinkExpansionQueue.h"
#include "text/RTLinkHosts.h"

#include "accounts/RTServiceRegistry.h"
#include "companion/RTCompanionLog.h"
#include "companion/RTCompanionRequestTypes.h"
#include "companion/RTRequestOperationTalvo.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/StringAdditions.h"
#include "foundation/UrlKeys.h"
#include "network/RTServiceRequests.h"
#include "platform/TAUtility.h"
#include "store/TADataManager.h"
#include "timelines/RTTreeNodeManager.h"
#include "json/JsonWriter.h"

#include <QUrl>
#include <atomic>

const QString RTCompanionClient::kUser = QStringLiteral("USER");
const QString RTCompanionClient::kHashtag = QStringLiteral("HASHTAG");

namespace {

RTCompanionClient *g_sharedClient = nullptr;
std::atomic<bool> g_pollingEnabled{true};

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

// Durations the service accepts: up to "Forever".
qint64 boundedSeconds(qint64 seconds)
{
    return qBound<qint64>(0, seconds, RTDatedMessageFilter::kForeverDuration);
}

} // namespace

// Answers come back to the client while it lives; the queue may outlive it.
class RTCompanionClient::Delegate : public RTRequestDelegate
{
public:
    explicit Delegate(RTCompanionClient *client)
        : m_client(client)
    {
    }
    void serviceRequestSuccess(const QVariantMap &result) override
    {
        if (m_client)
            m_client->serviceRequestSuccess(result);
    }
    void serviceRequestFailure(const QVariantMap &result) override
    {
        if (m_client)
            m_client->serviceRequestFailure(result);
    }

private:
    QPointer<RTCompanionClient> m_client;
};

RTCompanionClient::RTCompanionClient(RTServiceRegistry &registry, QObject *parent)
    : QObject(parent)
    , m_registry(registry)
    , m_delegate(std::make_shared<Delegate>(this))
    , m_filters(registry)
{
    const auto existing = registry.allServicesOfSameClass<RTServiceTalvo>();
    if (!existing.isEmpty()) {
        m_service = existing.first();
    } else {
        m_service = std::make_shared<RTServiceTalvo>();
        registry.addService(m_service);
    }
    m_twitterSources = m_service->twitterSources();
    publishLinkHosts();
    m_filters.setCompanion(m_service.get());
    m_filters.setNodeManager(RTTreeNodeManager::existingSharedManager());
    m_nodeManager = RTTreeNodeManager::existingSharedManager();
    RTDatedFiltersInterface::setShared(&m_filters);
    installGroupHooks();

    for (auto signal : {&RTService::serviceIdChanged, &RTService::servicePasswordChanged})
        connect(m_service.get(), signal, this, [this] {
            emit hasAnAccountConfiguredChanged();
            // A new account brings its groups at once.
            if (m_running && hasAnAccountConfigured())
                getGroups();
        });

    m_timer.setInterval(int(kTimerInterval * 1000));
    connect(&m_timer, &QTimer::timeout, this, &RTCompanionClient::timerTick);
    m_trendsTimer.setSingleShot(true);
    connect(&m_trendsTimer, &QTimer::timeout, this, &RTCompanionClient::getTrends);
}

RTCompanionClient::~RTCompanionClient()
{
    if (g_sharedClient == this)
        g_sharedClient = nullptr;
    m_timer.stop();
    RTTreeNodeManager::setGroupSectionSource(nullptr);
    RTTreeNodeTwitterGroup::setCompanion({});
}

RTCompanionClient &RTCompanionClient::talvoService()
{
    if (!g_sharedClient)
        g_sharedClient = new RTCompanionClient(RTServiceRegistry::shared());
    return *g_sharedClient;
}

RTCompanionClient *RTCompanionClient::existingTalvoService()
{
    return g_sharedClient;
}

void RTCompanionClient::setNodeManager(RTTreeNodeManager *manager)
{
    m_nodeManager = manager;
    m_filters.setNodeManager(manager);
}

void RTCompanionClient::setPollingEnabled(bool enabled)
{
    g_pollingEnabled.store(enabled);
}

bool RTCompanionClient::pollingEnabled()
{
    return g_pollingEnabled.load();
}

bool RTCompanionClient::hasAnAccountConfigured() const
{
    return pollingEnabled() && !m_service->serviceId().isEmpty() &&
           !m_service->servicePassword().isEmpty();
}

// --- lifecycle ----------------------------------------------------------------------------

void RTCompanionClient::setupPollingObjects()
{
    auto job = [this](qint32 type, double interval, void (RTCompanionClient::*call)()) {
        QPointer<RTCompanionClient> self(this);
        return RTPollingObject::pollingObjectForRequestType(
            type, m_service.get(),
            [self, call] {
                if (self)
                    (self.data()->*call)();
            },
            interval);
    };
    m_pollingObjects = {
        job(RTTalvoRequestClickedUrls, kReportInterval, &RTCompanionClient::sendClickedUrls),
        job(RTTalvoRequestShortenedUrls, kReportInterval,
            &RTCompanionClient::sendUserShortenedUrls),
        job(RTTalvoRequestHeartBeat, kHeartBeatInterval, &RTCompanionClient::sendHeartBeat),
        job(RTTalvoRequestGroups, kGroupsInterval, &RTCompanionClient::getGroups),
        // Filters set elsewhere (another installation, talvoctl) arrive with this job.
        job(RTTalvoRequestConfigurations, kConfigurationsInterval,
            &RTCompanionClient::updateConfigurations),
    };
    m_startupPollSequence = m_pollingObjects;
    std::reverse(m_startupPollSequence.begin(), m_startupPollSequence.end());
}

void RTCompanionClient::start()
{
    if (m_running)
        return;
    m_running = true;
    setupPollingObjects();
    sendHeartBeat();
    updateConfigurations();
    updateShorteners();
    updateTwitterClientSources();
    if (hasAnAccountConfigured())
        getGroups();
    m_service->start();
    m_timer.start();
}

void RTCompanionClient::startWithNodeManager(RTTreeNodeManager &manager)
{
    setNodeManager(&manager);
    QPointer<RTCompanionClient> self(this);
    RTTreeNodeManager::setTrendsSource(
        [self] { return self ? self->twitterTrends() : QList<RTTrendObjectPtr>(); });
    start();
    getTrends();
}

void RTCompanionClient::stop()
{
    m_running = false;
    m_timer.stop();
    m_trendsTimer.stop();
    m_service->stop();
}

void RTCompanionClient::timerTick()
{
    for (const RTPollingObjectPtr &job : std::as_const(m_pollingObjects))
        job->pollIfNeeded();
}

void RTCompanionClient::pollTimelineSince(const QString &since, const QVariant &pollObject,
                                          qint32 requestType, const QVariantMap &userInfo)
{
    QVariantMap info = userInfo;
    info.insert(key(kRTSinceKey), since);
    info.insert(key(kRTPollingObjectKey), pollObject);
    info.insert(key(kRTQueuePriorityKey), -4);
    request(requestType, info);
}

// --- requests -----------------------------------------------------------------------------

RTRequestOperationPtr RTCompanionClient::request(qint32 requestType, const QVariantMap &userInfo,
                                                 const QVariantMap &parameters, int operationType)
{
    QVariantMap info = userInfo;
    info.insert(key(kRTBypassCredentialsCheckKey), true);
    // The settings belong to the main thread; the worker takes the id from here.
    info.insert(QLatin1String(RTRequestOperationTalvo::kGuidKey), TAUtility::talvoGuid());
    return RTServiceRequests::doRequest(m_service, requestType, m_delegate, parameters, info,
                                        operationType);
}

void RTCompanionClient::updateShorteners()
{
    request(RTTalvoRequestShorteners, {});
}

void RTCompanionClient::verifyAccount()
{
    if (hasAnAccountConfigured())
        request(RTTalvoRequestVerifyAccount, {{key(kRTRequiresAuthKey), true}});
}

void RTCompanionClient::getGroups()
{
    if (hasAnAccountConfigured())
        request(RTTalvoRequestGroups, {{key(kRTRequiresAuthKey), true}});
}

void RTCompanionClient::updateTwitterClientSources()
{
    request(RTTalvoRequestSetups, {});
}

void RTCompanionClient::updateConfigurations()
{
    request(RTTalvoRequestConfigurations, {});
}

void RTCompanionClient::getTrends()
{
    QStringList read = m_readTrendIds;
    for (const RTTrendObjectPtr &trend : std::as_const(m_twitterTrends))
        if (trend->isSeen())
            read.append(trend->trendId());
    request(RTTalvoRequestTrends, {{QStringLiteral("oldTrendsReadIds"), read}});
}

void RTCompanionClient::getEpoch(const QVariantMap &userInfo)
{
    request(RTTalvoRequestEpoch, userInfo);
}

void RTCompanionClient::sendHeartBeat()
{
    request(RTTalvoRequestHeartBeat, {});
}

void RTCompanionClient::sendClickedUrls()
{
    sendReport(RTTalvoRequestClickedUrls);
}

void RTCompanionClient::sendUserShortenedUrls()
{
    sendReport(RTTalvoRequestShortenedUrls);
}

void RTCompanionClient::sendReport(qint32 requestType)
{
    const QVariantList &pending =
        requestType == RTTalvoRequestClickedUrls ? m_clickedUrls : m_userShortenedUrls;
    if (pending.isEmpty())
        return;
    // The oldest records first, as many as fit one request.
    QVariantList batch;
    QString json;
    JsonWriter writer;
    for (const QVariant &record : pending) {
        QVariantList candidate = batch;
        candidate.append(record);
        const QString text = writer.stringWithObject(candidate);
        if (!batch.isEmpty() && encodeForQueryString(text).size() > kMaxReportQueryBytes)
            break;
        batch = candidate;
        json = text;
        if (batch.size() >= kMaxReportBatch)
            break;
    }
    const QString listKey = requestType == RTTalvoRequestClickedUrls
                                ? QStringLiteral("clicked_urls")
                                : QStringLiteral("shortened_urls");
    request(requestType, {{listKey, batch}, {QStringLiteral("report"), json}});
}

QVariantMap RTCompanionClient::filterRecordForDestroy(qint32 requestType,
                                                      const QString &filterId) const
{
    if (requestType == RTTalvoRequestDestroyMute) {
        if (const RTMuteObjectPtr mute = m_filters.mutes().value(filterId))
            return mute->recordWithDuration(0);
    } else if (requestType == RTTalvoRequestDestroyHighlight) {
        if (const RTHighlightObjectPtr highlight = m_filters.highlights().value(filterId))
            return highlight->recordWithDuration(0);
    } else if (requestType == RTTalvoRequestDestroyTranslate) {
        if (const RTTranslateUserObjectPtr t = m_filters.translates().value(filterId))
            return {{QStringLiteral("id"), filterId},
                    {QStringLiteral("factor"), t->factor()},
                    {QStringLiteral("network"), t->network()},
                    {QStringLiteral("is_active"), false}};
    }
    return {};
}

void RTCompanionClient::filterRequest(qint32 requestType, const QString &filterId,
                                      const QVariantMap &extra)
{
    QVariantMap info = extra;
    if (!filterId.isEmpty())
        info.insert(QStringLiteral("id"), filterId);
    if (hasAnAccountConfigured())
        info.insert(key(kRTRequiresAuthKey), true);
    const QVariantMap record = filterRecordForDestroy(requestType, filterId);
    if (!record.isEmpty())
        info.insert(QStringLiteral("filterRecord"), record);
    QVariantMap form;
    const QVariantMap fields = info.value(QStringLiteral("form")).toMap();
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        form.insert(it.key(), it.value().toString());
    info.remove(QStringLiteral("form"));
    request(requestType, info, form);
}

void RTCompanionClient::muteFactor(const QString &factor, const QString &predicate, qint64 seconds)
{
    filterRequest(
        RTTalvoRequestCreateMute, QString(),
        {{QStringLiteral("form"), QVariantMap{{QStringLiteral("mute[predicate]"), predicate},
                                              {QStringLiteral("mute[factor]"), factor},
                                              {QStringLiteral("mute[duration]"),
                                               QString::number(boundedSeconds(seconds))}}}});
}

void RTCompanionClient::highlightFactor(const QString &factor, const QString &predicate,
                                        qint64 seconds)
{
    filterRequest(
        RTTalvoRequestCreateHighlight, QString(),
        {{QStringLiteral("form"), QVariantMap{{QStringLiteral("highlight[predicate]"), predicate},
                                              {QStringLiteral("highlight[factor]"), factor},
                                              {QStringLiteral("highlight[duration]"),
                                               QString::number(boundedSeconds(seconds))}}}});
}

void RTCompanionClient::extendMute(const QString &filterId, qint64 extension)
{
    filterRequest(RTTalvoRequestExtendMute, filterId,
                  {{QStringLiteral("extension"), boundedSeconds(extension)}});
}

void RTCompanionClient::extendHighlight(const QString &filterId, qint64 extension)
{
    filterRequest(RTTalvoRequestExtendHighlight, filterId,
                  {{QStringLiteral("extension"), boundedSeconds(extension)}});
}

void RTCompanionClient::destroyMute(const QString &filterId)
{
    filterRequest(RTTalvoRequestDestroyMute, filterId, {});
}

void RTCompanionClient::destroyHighlight(const QString &filterId)
{
    filterRequest(RTTalvoRequestDestroyHighlight, filterId, {});
}

void RTCompanionClient::readMute(const QString &filterId)
{
    request(RTTalvoRequestReadMute, {{QStringLiteral("id"), filterId}});
}

void RTCompanionClient::readHighlight(const QString &filterId)
{
    request(RTTalvoRequestReadHighlight, {{QStringLiteral("id"), filterId}});
}

void RTCompanionClient::translateFactor(const QString &factor)
{
    filterRequest(
        RTTalvoRequestCreateTranslate, QString(),
        {{QStringLiteral("form"), QVariantMap{{QStringLiteral("translate[factor]"), factor}}}});
}

void RTCompanionClient::destroyTranslate(const QString &filterId)
{
    filterRequest(RTTalvoRequestDestroyTranslate, filterId, {});
}

// --- conveniences ---------------------------------------------------------------------------

bool RTCompanionClient::extendMuteForUser(const QString &userId, qint64 extension)
{
    const RTMuteObjectPtr mute = m_filters.findActiveMute(kUser, userId);
    if (!mute)
        return false;
    extension == 0 ? destroyMute(mute->filterId()) : extendMute(mute->filterId(), extension);
    return true;
}

bool RTCompanionClient::removeMuteForUser(const QString &userId)
{
    return extendMuteForUser(userId, 0);
}

bool RTCompanionClient::extendHighlightForUser(const QString &userId, qint64 extension)
{
    const RTHighlightObjectPtr highlight = m_filters.findActiveHighlight(kUser, userId);
    if (!highlight)
        return false;
    extension == 0 ? destroyHighlight(highlight->filterId())
                   : extendHighlight(highlight->filterId(), extension);
    return true;
}

bool RTCompanionClient::removeHighlightForUser(const QString &userId)
{
    return extendHighlightForUser(userId, 0);
}

bool RTCompanionClient::extendMuteForHashTag(const QString &tag, qint64 extension)
{
    const RTMuteObjectPtr mute = m_filters.findActiveMute(kHashtag, tag);
    if (!mute)
        return false;
    extension == 0 ? destroyMute(mute->filterId()) : extendMute(mute->filterId(), extension);
    return true;
}

bool RTCompanionClient::removeMuteForHashTag(const QString &tag)
{
    return extendMuteForHashTag(tag, 0);
}

bool RTCompanionClient::extendHighlightForHashTag(const QString &tag, qint64 extension)
{
    const RTHighlightObjectPtr highlight = m_filters.findActiveHighlight(kHashtag, tag);
    if (!highlight)
        return false;
    extension == 0 ? destroyHighlight(highlight->filterId())
                   : extendHighlight(highlight->filterId(), extension);
    return true;
}

bool RTCompanionClient::removeHighlightForHashTag(const QString &tag)
{
    return extendHighlightForHashTag(tag, 0);
}

bool RTCompanionClient::removeTranslateForUser(const QString &userId)
{
    RTTranslateUserObjectPtr found;
    const auto translates = m_filters.translates();
    for (const RTTranslateUserObjectPtr &t : translates) {
        if (t->isActive() && t->factor().compare(userId, Qt::CaseInsensitive) == 0 &&
            (!found || t->filterId().toLongLong() > found->filterId().toLongLong()))
            found = t;
    }
    if (!found)
        return false;
    auto inactive = std::make_shared<RTTranslateUserObject>(*found);
    inactive->setIsActive(false);
    auto updated = translates;
    updated.insert(found->filterId(), inactive);
    m_filters.setTranslates(updated);
    m_filters.clearTranslate(*found);
    destroyTranslate(found->filterId());
    return true;
}

// --- link reports ---------------------------------------------------------------------------

bool RTCompanionClient::addClickedUrl(const QString &url)
{
    const QUrl link(url);
    const QString host = link.host().toLower();
    if (host.isEmpty() || !m_service->shortenersList().contains(host, Qt::CaseInsensitive))
        return false;
    const QString rest = link.path() + (link.hasQuery() ? link.query() : QString());
    if (rest.size() < 2)
        return false;
    const QString cacheKey = dotlessUrl(url);
    const TAUrlCache &cache = TADataManager::sharedManager().urlCache();
    if (!cache.contains(cacheKey))
        return false; // expansion belongs to the short-link resolver
    addClickedUrlRecord(host, url, cache.value(cacheKey));
    return true;
}

void RTCompanionClient::addClickedUrlRecord(const QString &shortener, const QString &url,
                                            const QString &destination)
{
    if (m_clickedUrls.size() >= kMaxPendingReports)
        m_clickedUrls.removeFirst();
    m_clickedUrls.append(
        QVariantMap{{QStringLiteral("shortener"), shortener.left(kMaxReportUrlLength)},
                    {QStringLiteral("url"), standardUnscapedString(url).left(kMaxReportUrlLength)},
                    {QStringLiteral("destination"),
                     standardUnscapedString(destination).left(kMaxReportUrlLength)}});
}

void RTCompanionClient::addUserShortenedUrl(const QString &shortUrl, const QString &longUrl,
                                            const QString &shortener)
{
    if (m_userShortenedUrls.size() >= kMaxPendingReports)
        m_userShortenedUrls.removeFirst();
    m_userShortenedUrls.append(QVariantMap{
        {QStringLiteral("shortener"), shortener.left(kMaxReportUrlLength)},
        {QStringLiteral("url"), standardUnscapedString(shortUrl).left(kMaxReportUrlLength)},
        {QStringLiteral("destination"),
         standardUnscapedString(longUrl).left(kMaxReportUrlLength)}});
}

void RTCompanionClient::publishLinkHosts()
{
    RTLinkHosts::setTables({m_service->shortenersList(), m_framers, m_service->imagers()});
    RTLinkExpansionQueue::shared().hostTablesChanged();
}
