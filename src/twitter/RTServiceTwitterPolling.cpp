// The Twitter account's polling: its polling objects, the startup and refresh sequences,
// the service timer, list groups and the adaptation to the remaining API allowance.
#include "twitter/RTServiceTwitter.h"

#include "foundation/HostProfile.h"
#include "foundation/Log.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "twitter/RTTwitterRequestTypes.h"

#include <QThread>
#include <QTimer>
#include <algorithm>
#include <array>

namespace {

constexpr double kShortInterval = 180.0;
constexpr double kLongInterval = 900.0;

// A profile may ask for quicker polling (the sandbox's does, so a demo moves); the table
// below is the real service's, whose quickest row polls every 30 seconds.
double pollingScale()
{
    const int interval = HostProfile::current().pollInterval();
    return interval > 0 ? interval / 30.0 : 1.0;
}

bool isListGroup(qint32 requestType)
{
    return requestType >= RTServiceTwitter::kOwnPublicListsGroup &&
           requestType <= RTServiceTwitter::kOwnPrivateListsGroup;
}

// Intervals in seconds by remaining allowance (less 10): the lower bound of each row,
// then Home, Mentions, Inbox, Retweets to me, own lists (5001, 5003), subscribed (5002).
struct RateRow
{
    qint64 above;
    std::array<double, 6> seconds;
};
constexpr std::array<RateRow, 7> kRateRows{{
    {275, {30, 30, 30, 180, 240, 300}},
    {155, {60, 60, 60, 180, 240, 300}},
    {120, {120, 120, 120, 300, 240, 360}},
    {90, {180, 180, 180, 300, 240, 360}},
    {60, {240, 180, 180, 600, 300, 600}},
    {30, {300, 300, 300, 900, 480, 720}},
    {std::numeric_limits<qint64>::min(), {720, 600, 600, 900, 600, 900}},
}};

} // namespace

RTPollingObjectPtr RTServiceTwitter::pollingObjectForRequestType(qint32 requestType) const
{
    for (const RTPollingObjectPtr &object : m_pollingObjects) {
        if (object->requestType() == requestType)
            return object;
    }
    return nullptr;
}

bool RTServiceTwitter::timelinesPollingTimerIsActive() const
{
    return m_timelinesPollingTimer && m_timelinesPollingTimer->isActive();
}

void RTServiceTwitter::startPolling()
{
    updateMyUserWithDelegate(nullptr);
    setupPollingObjects();
    createStartupPollSequence();
    // A stop within the delay must not leave a timer polling a stopped account.
    performAfterDelay(kStartTimersDelay * std::min(1.0, pollingScale()), [this] {
        if (running())
            startTimers(QStringLiteral("START METHOD"));
    });
}

void RTServiceTwitter::setupPollingObjects()
{
    Q_ASSERT(QThread::currentThread() == thread());
    setShouldPollTwitterLists(showListsNode());
    // Built afresh: a restarted account would otherwise poll every timeline twice.
    m_pollingObjects.clear();
    m_startupPollSequence.clear();
    m_refreshPollSequence.clear();

    const bool lists = shouldPollTwitterLists();
    const double shortInterval = kShortInterval * std::min(1.0, pollingScale());
    const bool favorites =
        showFavoritesNode() ||
        SettingsStore::shared().boolForKey(QString::fromLatin1(RTShowCombinedFavoritesKey));
    const struct
    {
        qint32 type;
        double interval;
        bool active;
    } rows[] = {
        {RTTwitterRequestHomeTimeline, shortInterval, true},
        {RTTwitterRequestMentions, shortInterval, true},
        {RTTwitterRequestRetweetedToMe, shortInterval, showRetweetsNode()},
        {RTTwitterRequestDirectInbox, shortInterval, true},
        {RTTwitterRequestDirectOutbox, kLongInterval, true},
        {RTTwitterRequestUserLists, kLongInterval, lists},
        {RTTwitterRequestListSubscriptions, kLongInterval, lists},
        {RTTwitterRequestSentTimeline, kLongInterval, true},
        {RTTwitterRequestRetweetedByMe, kLongInterval, true},
        {RTTwitterRequestFavorites, kLongInterval, favorites},
        {RTTwitterRequestSavedSearches, kLongInterval, showSearchesNode()},
    };
    for (const auto &row : rows) {
        auto object =
            RTPollingObject::defaultPollingObjectWithRequestType(row.type, this, row.interval);
        // Set before anyone observes it: switching off here must not poll.
        object->setIsActive(row.active);
        m_pollingObjects.append(object);
    }
    for (qint32 group : {kOwnPublicListsGroup, kSubscribedListsGroup, kOwnPrivateListsGroup}) {
        auto object = RTPollingObject::defaultListPollingObjectOfType(group, this, kLongInterval);
        object->setIsActive(lists);
        m_pollingObjects.append(object);
    }

    connect(this, &RTServiceTwitter::showNodesChanged, this,
            &RTServiceTwitter::updatePollingActivity, Qt::UniqueConnection);
    connect(this, &RTServiceTwitter::requestFinished, this,
            &RTServiceTwitter::pollingRequestFinished, Qt::UniqueConnection);
}

void RTServiceTwitter::updatePollingActivity()
{
    // Only the objects whose node setting changed move; an object switched on polls at
    // once. The list groups keep what they were given at start.
    const auto set = [this](qint32 type, bool active) {
        if (const RTPollingObjectPtr object = pollingObjectForRequestType(type))
            object->setIsActive(active);
    };
    set(RTTwitterRequestRetweetedToMe, showRetweetsNode());
    set(RTTwitterRequestSavedSearches, showSearchesNode());
    set(RTTwitterRequestFavorites,
        showFavoritesNode() ||
            SettingsStore::shared().boolForKey(QString::fromLatin1(RTShowCombinedFavoritesKey)));
    set(RTTwitterRequestListSubscriptions, showListsNode());
    set(RTTwitterRequestUserLists, showListsNode());
}

void RTServiceTwitter::createStartupPollSequence()
{
    m_startupPollSequence.clear();
    for (auto it = m_pollingObjects.crbegin(); it != m_pollingObjects.crend(); ++it)
        m_startupPollSequence.append(*it);
    if (!m_startupPollSequence.isEmpty())
        m_startupPollSequence.constLast()->pollIfNeeded();
}

void RTServiceTwitter::startTimers(const QString &label)
{
    qCDebug(lcTwitter).noquote() << serviceName() << "service timer armed:" << label;
    if (!m_timelinesPollingTimer) {
        m_timelinesPollingTimer = new QTimer(this);
        m_timelinesPollingTimer->setTimerType(Qt::CoarseTimer);
        connect(m_timelinesPollingTimer, &QTimer::timeout, this, &RTServiceTwitter::pollTimelines);
    }
    m_timelinesPollingTimer->stop();
    // With a quick profile the timer ticks at half the interval: at the interval itself
    // an object polled a moment late would wait a whole extra tick.
    const double scale = pollingScale();
    m_timelinesPollingTimer->start(
        qRound(kServiceTimerInterval * (scale < 1.0 ? scale / 2 : 1.0) * 1000.0));
}

void RTServiceTwitter::pollTimelines()
{
    // A poll may change the list (a restart from a reaction); walk a copy.
    const QList<RTPollingObjectPtr> objects = m_pollingObjects;
    for (const RTPollingObjectPtr &object : objects)
        object->pollIfNeeded();
}

void RTServiceTwitter::invalidateAllTimers()
{
    if (m_timelinesPollingTimer)
        m_timelinesPollingTimer->stop();
}

void RTServiceTwitter::pollingRequestFinished(const QVariantMap &result, bool success)
{
    if (success) {
        bool ok = false;
        const qint64 remaining =
            result.value(QStringLiteral("rateLimitRemaining")).toString().trimmed().toLongLong(&ok);
        if (ok)
            updateTimeIntervalsWithApiLimit(remaining);
    }
    processPollSequenceWithResultsDictionary(result);
}

void RTServiceTwitter::processPollSequenceWithResultsDictionary(const QVariantMap &result)
{
    if (!m_startupPollSequence.isEmpty()) {
        m_startupPollSequence.removeLast();
        while (!m_startupPollSequence.isEmpty() && !m_startupPollSequence.constLast()->isActive())
            m_startupPollSequence.removeLast();
        if (!m_startupPollSequence.isEmpty())
            m_startupPollSequence.constLast()->pollIfNeeded();
        else
            startTimers(QStringLiteral("FINISHED POLL SEQUENCE"));
    }

    if (!m_refreshPollSequence.isEmpty()) {
        const QVariantMap userInfo = result.value(QString::fromLatin1(kRTUserInfoKey)).toMap();
        const RTPollingObjectPtr answered =
            userInfo.value(QString::fromLatin1(kRTPollingObjectKey)).value<RTPollingObjectPtr>();
        // Only the answer of the refresh's own running request moves it on. A timer poll
        // of an object further down, answered meanwhile, would otherwise drop that
        // object's refresh and send the running one a second time.
        const bool fromRefresh =
            userInfo.value(QString::fromLatin1(kRTBypassCredentialsCheckKey)).toBool();
        if (answered && fromRefresh && answered == m_refreshPollSequence.constLast()) {
            m_refreshPollSequence.removeLast();
            runNextRefreshPoll();
        }
    }
}

void RTServiceTwitter::runNextRefreshPoll()
{
    while (!m_refreshPollSequence.isEmpty()) {
        const RTPollingObjectPtr next = m_refreshPollSequence.constLast();
        // A list already being fetched sends nothing and so would never answer; its
        // messages are on the way, so the refresh goes on without it.
        const auto list =
            next->argument(RTPollingObject::kListObjectParameter).value<RTListTwitterPtr>();
        if (list && list->isPolling()) {
            m_refreshPollSequence.removeLast();
            continue;
        }
        next->refreshPoll();
        return;
    }
}

void RTServiceTwitter::refreshTimelines()
{
    if (!m_refreshPollSequence.isEmpty())
        return;
    for (auto it = m_pollingObjects.crbegin(); it != m_pollingObjects.crend(); ++it) {
        if (!isListGroup((*it)->requestType()))
            m_refreshPollSequence.append(*it);
    }
    m_refreshPollSequence.append(inmediatePollObjectsForLists());
    m_refreshPollSequence.append(inmediatePollObjectsForSearches());
    runNextRefreshPoll();
}

void RTServiceTwitter::refreshSearches()
{
    if (!m_refreshPollSequence.isEmpty())
        return;
    m_refreshPollSequence = inmediatePollObjectsForSearches();
    runNextRefreshPoll();
}

void RTServiceTwitter::refreshLists()
{
    if (!m_refreshPollSequence.isEmpty())
        return;
    m_refreshPollSequence = inmediatePollObjectsForLists();
    runNextRefreshPoll();
}

QList<RTPollingObjectPtr> RTServiceTwitter::inmediatePollObjectsForSearches()
{
    QList<RTPollingObjectPtr> objects;
    const QPointer<RTServiceTwitter> account(this);
    for (const RTSearchTwitterPtr &search : std::as_const(m_savedSearchesArray)) {
        objects.append(RTPollingObject::defaultInmediateSearchPollObject(
            this, [account, search](const QVariant &pollingObject, const QVariantMap &userInfo) {
                if (account)
                    account->pollSearch(search, pollingObject, userInfo);
            }));
    }
    return objects;
}

QList<RTPollingObjectPtr> RTServiceTwitter::inmediatePollObjectsForLists()
{
    QList<RTPollingObjectPtr> objects;
    for (const RTListTwitterPtr &list : std::as_const(m_listsArray))
        objects.append(RTPollingObject::defaultInmediateListPollObjectForList(list, this));
    return objects;
}

void RTServiceTwitter::pollSearch(const RTSearchTwitterPtr &search, const QVariant &pollingObject,
                                  const QVariantMap &userInfo)
{
    if (!search)
        return;
    search->setService(this);
    search->searchWithPollingObject(pollingObject, userInfo);
}

void RTServiceTwitter::pollListSince(const QString &, qint32 requestType)
{
    QList<RTListTwitterPtr> lists;
    for (const RTListTwitterPtr &list : std::as_const(m_listsArray)) {
        const bool matches =
            requestType == kOwnPublicListsGroup    ? list->isMine() && !list->isPrivate()
            : requestType == kSubscribedListsGroup ? !list->isMine()
            : requestType == kOwnPrivateListsGroup ? list->isMine() && list->isPrivate()
                                                   : false;
        if (!matches)
            continue;
        if (list->justArrived()) {
            // Fetched moments ago; its next turn polls it.
            list->setJustArrived(false);
            continue;
        }
        lists.append(list);
    }
    pollListsInArray(lists);
}

void RTServiceTwitter::pollListsInArray(const QList<RTListTwitterPtr> &lists)
{
    for (const RTListTwitterPtr &list : lists)
        pollList(list);
}

void RTServiceTwitter::updateTimeIntervalsWithApiLimit(qint64 limit)
{
    const qint64 e = limit - 10;
    const RateRow *row = &kRateRows.back();
    for (const RateRow &candidate : kRateRows) {
        if (e > candidate.above) {
            row = &candidate;
            break;
        }
    }
    double subscribed = row->seconds[5];
    if (m_listsArray.size() > 7)
        subscribed += 120.0;
    if (m_listsArray.size() > 14)
        subscribed += 120.0;

    const std::pair<qint32, double> intervals[] = {
        {RTTwitterRequestHomeTimeline, row->seconds[0]},
        {RTTwitterRequestMentions, row->seconds[1]},
        {RTTwitterRequestDirectInbox, row->seconds[2]},
        {RTTwitterRequestRetweetedToMe, row->seconds[3]},
        {kOwnPublicListsGroup, row->seconds[4]},
        {kOwnPrivateListsGroup, row->seconds[4]},
        {kSubscribedListsGroup, subscribed},
    };
    for (const auto &[type, seconds] : intervals) {
        if (const RTPollingObjectPtr object = pollingObjectForRequestType(type))
            object->setCurrentTimeInterval(seconds * pollingScale());
    }
}

void RTServiceTwitter::reloadListWithRequestType(qint32 requestType)
{
    if (const RTPollingObjectPtr object = pollingObjectForRequestType(requestType))
        object->forcePoll();
}
