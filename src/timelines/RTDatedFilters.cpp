#include "timelines/RTDatedFilters.h"

#include "accounts/RTServiceRegistry.h"
#include "accounts/RTServiceTalvo.h"
#include "foundation/Clock.h"
#include "foundation/MainThread.h"
#include "timelines/RTTreeNodeManager.h"
#include "twitter/RTServiceTwitter.h"

#include <QThread>
#include <QThreadPool>

namespace {

// Timers take an int of milliseconds; a later change is looked at again after this.
constexpr qint64 kMaxTimerMs = 24LL * 3600 * 1000;

template<class Filter>
std::shared_ptr<const Filter> findActive(const QHash<QString, std::shared_ptr<const Filter>> &all,
                                         const QString &kind, const QString &factor,
                                         const QDateTime &now)
{
    std::shared_ptr<const Filter> found;
    const QString wanted = factor.toLower();
    for (const auto &filter : all) {
        if (filter->datedFilterPredicate() == kind && !filter->isExpired(now) &&
            filter->factor().toLower() == wanted &&
            (!found || filter->filterId().toLongLong() > found->filterId().toLongLong()))
            found = filter;
    }
    return found;
}

// Dictionaries have no order; the newest filter (largest id) comes last.
template<class Filter>
QList<std::shared_ptr<const Filter>> byId(const QHash<QString, std::shared_ptr<const Filter>> &all)
{
    QList<std::shared_ptr<const Filter>> list(all.cbegin(), all.cend());
    std::sort(list.begin(), list.end(), [](const auto &a, const auto &b) {
        return a->filterId().toLongLong() < b->filterId().toLongLong();
    });
    return list;
}

} // namespace

RTDatedFilters::RTDatedFilters(RTServiceRegistry &registry, QObject *parent)
    : QObject(parent)
    , m_registry(registry)
{
    m_expiryTimer.setSingleShot(true);
    connect(&m_expiryTimer, &QTimer::timeout, this, &RTDatedFilters::expiryTimerFired);
}

RTDatedFilters::~RTDatedFilters()
{
    if (RTDatedFiltersInterface::hasShared() && &RTDatedFiltersInterface::shared() == this)
        RTDatedFiltersInterface::setShared(nullptr);
    // A background pass uses this object: wait for it to finish.
    while (m_backgroundPasses.load() > 0)
        QThread::msleep(1);
}

void RTDatedFilters::setCompanion(RTServiceTalvo *companion)
{
    m_companion = companion;
}

RTDatedFilters::Mutes RTDatedFilters::mutes() const
{
    QMutexLocker locker(&m_lock);
    return m_mutes;
}

RTDatedFilters::Highlights RTDatedFilters::highlights() const
{
    QMutexLocker locker(&m_lock);
    return m_highlights;
}

RTDatedFilters::Translates RTDatedFilters::translates() const
{
    QMutexLocker locker(&m_lock);
    return m_translates;
}

void RTDatedFilters::setMutes(const Mutes &mutes)
{
    {
        QMutexLocker locker(&m_lock);
        m_mutes = mutes;
    }
    scheduleExpiry();
}

void RTDatedFilters::setHighlights(const Highlights &highlights)
{
    {
        QMutexLocker locker(&m_lock);
        m_highlights = highlights;
    }
    scheduleExpiry();
}

void RTDatedFilters::setTranslates(const Translates &translates)
{
    QMutexLocker locker(&m_lock);
    m_translates = translates;
}

RTDatedFilters::Snapshot RTDatedFilters::snapshot() const
{
    QMutexLocker locker(&m_lock);
    return {m_mutes, m_highlights, m_translates, m_filtersKnown.load()};
}

// --- look-ups ---------------------------------------------------------------------------

QList<std::shared_ptr<const RTMessageFilter>>
RTDatedFilters::complyingFiltersForMessage(const RTMessage &message, const QString &filterPredicate,
                                           int filterType) const
{
    QList<std::shared_ptr<const RTMessageFilter>> found;
    const Snapshot filters = snapshot();
    const QDateTime now = Clock::currentDateTime();
    auto collect = [&](const auto &list) {
        for (const auto &filter : list) {
            if (filter->datedFilterPredicate() == filterPredicate && !filter->isExpired(now) &&
                filter->predicateCompliesWithMessage(message))
                found.append(filter);
        }
    };
    if (filterType == MuteFilters)
        collect(byId(filters.mutes));
    else if (filterType == HighlightFilters)
        collect(byId(filters.highlights));
    else if (filterType == TranslateFilters) {
        for (const RTTranslateUserObjectPtr &translation : byId(filters.translates))
            if (translation->messageComplies(message))
                found.append(translation);
    }
    return found;
}

bool RTDatedFilters::hasComplyingFilterForMessage(
    const RTMessage &message, const QString &filterPredicate, int filterType,
    std::shared_ptr<const RTMessageFilter> *filter) const
{
    const auto found = complyingFiltersForMessage(message, filterPredicate, filterType);
    if (filter)
        *filter = found.isEmpty() ? nullptr : found.last();
    return !found.isEmpty();
}

RTMuteObjectPtr RTDatedFilters::findActiveMute(const QString &filterPredicate,
                                               const QString &factor) const
{
    return findActive(mutes(), filterPredicate, factor, Clock::currentDateTime());
}

RTHighlightObjectPtr RTDatedFilters::findActiveHighlight(const QString &filterPredicate,
                                                         const QString &factor) const
{
    return findActive(highlights(), filterPredicate, factor, Clock::currentDateTime());
}

// --- applying ---------------------------------------------------------------------------

bool RTDatedFilters::wasMutedByFilter(const QString &messageId) const
{
    if (!m_companion)
        return false;
    QMutexLocker locker(&m_companion->filteredSetsLock());
    return m_companion->temporaryMutedMessagesSet.contains(messageId) ||
           m_companion->permanentMutedMessagesSet.contains(messageId);
}

bool RTDatedFilters::isHandHighlighted(const QString &messageId) const
{
    if (!m_companion)
        return false;
    QMutexLocker locker(&m_companion->filteredSetsLock());
    return m_companion->temporaryHighlightedMessagesSet.contains(messageId) ||
           m_companion->permanentHighlightedMessagesSet.contains(messageId);
}

void RTDatedFilters::noteMuted(const RTMessage &message, bool muted)
{
    if (!m_companion)
        return;
    QMutexLocker locker(&m_companion->filteredSetsLock());
    if (muted) {
        (message.shouldStoreInPermanentReadAndHiddenSet() ? m_companion->permanentMutedMessagesSet
                                                          : m_companion->temporaryMutedMessagesSet)
            .insert(message.messageId());
    } else {
        m_companion->permanentMutedMessagesSet.remove(message.messageId());
        m_companion->temporaryMutedMessagesSet.remove(message.messageId());
    }
}

bool RTDatedFilters::processMessage(RTMessage &message, const Snapshot &filters,
                                    const QDateTime &now, bool fullPass,
                                    QList<RTMessagePtr> *toTranslate)
{
    bool changed = false;
    // A message a filter muted stays muted while some live mute covers it. Until the
    // service has answered, the filters of an earlier run are not known yet.
    if (filters.known && message.isMuted() && wasMutedByFilter(message.messageId())) {
        bool covered = false;
        for (const RTMuteObjectPtr &mute : filters.mutes) {
            if (!mute->isExpired(now) && mute->messageComplies(message)) {
                covered = true;
                break;
            }
        }
        if (!covered) {
            message.setIsMuted(false);
            noteMuted(message, false);
            changed = true;
        }
    }
    for (const RTMuteObjectPtr &mute : filters.mutes) {
        if (mute->processMessage(message, now)) {
            noteMuted(message, true);
            changed = true;
        }
    }

    if (fullPass && message.isHighlighted()) {
        bool covered = isHandHighlighted(message.messageId());
        for (auto it = filters.highlights.cbegin(); !covered && it != filters.highlights.cend();
             ++it)
            covered = !(*it)->isExpired(now) && (*it)->messageComplies(message);
        if (!covered) {
            message.setIsHighlighted(false);
            changed = true;
        }
    }
    for (const RTHighlightObjectPtr &highlight : filters.highlights)
        changed |= highlight->processMessage(message, now);
    if (!message.isHighlighted() && isHandHighlighted(message.messageId())) {
        message.setIsHighlighted(true);
        changed = true;
    }

    if (toTranslate && !message.isAutotranslated()) {
        for (const RTTranslateUserObjectPtr &translation : filters.translates) {
            if (translation->messageComplies(message)) {
                if (RTMessagePtr self = message.weak_from_this().lock())
                    toTranslate->append(self);
                break;
            }
        }
    }
    return changed;
}

void RTDatedFilters::requestTranslations(const QList<RTMessagePtr> &messages)
{
    if (messages.isEmpty())
        return;
    // Translation requests start from the main thread, like the user's own.
    runOnMainThread(
        [messages] {
            for (const RTMessagePtr &message : messages)
                if (!message->isAutotranslated())
                    message->autoTranslate();
        },
        false);
}

void RTDatedFilters::applyDatedFiltersToMessages(const QList<RTMessagePtr> &messages)
{
    const Snapshot filters = snapshot();
    if (filters.mutes.isEmpty() && filters.highlights.isEmpty() && filters.translates.isEmpty() &&
        !filters.known)
        return;
    const QDateTime now = Clock::currentDateTime();
    QList<RTMessagePtr> toTranslate;
    for (const RTMessagePtr &message : messages) {
        if (message)
            processMessage(*message, filters, now, false, &toTranslate);
    }
    requestTranslations(toTranslate);
}

void RTDatedFilters::applyFiltersToStoredMessages(const QList<RTMessagePtr> &messages)
{
    QMutexLocker pass(&m_passLock);
    const Snapshot filters = snapshot();
    const QDateTime now = Clock::currentDateTime();
    QList<RTMessagePtr> toTranslate;
    for (const RTMessagePtr &message : messages) {
        if (message)
            processMessage(*message, filters, now, true, &toTranslate);
    }
    requestTranslations(toTranslate);
    if (RTTreeNodeManager *manager = m_nodeManager.data())
        manager->allTreeNodesReEvaluteContent();
}

QList<RTMessagePtr> RTDatedFilters::allStoredMessages() const
{
    QList<RTMessagePtr> all;
    for (const auto &account : m_registry.allServicesOfSameClass<RTServiceTwitter>()) {
        const RTServiceTwitter::MessagesDictionary messages = account->messagesDictionary();
        all.reserve(all.size() + messages.size());
        for (const RTMessageTwitterPtr &message : messages)
            all.append(message);
    }
    return all;
}

void RTDatedFilters::applyFiltersNow()
{
    applyFiltersToStoredMessages(allStoredMessages());
    emit filtersApplied();
}

void RTDatedFilters::applyFiltersHelper()
{
    if (m_passRunning.exchange(true)) {
        m_passWanted.store(true);
        return;
    }
    const QList<RTMessagePtr> messages = allStoredMessages();
    QPointer<RTDatedFilters> self(this);
    ++m_backgroundPasses;
    QThreadPool::globalInstance()->start([this, self, messages] {
        applyFiltersToStoredMessages(messages);
        --m_backgroundPasses;
        runOnMainThread(
            [self] {
                if (!self)
                    return;
                self->m_passRunning.store(false);
                emit self->filtersApplied();
                if (self->m_passWanted.exchange(false))
                    self->applyFiltersHelper();
            },
            false);
    });
}

void RTDatedFilters::clearTranslate(const RTTranslateUserObject &translation)
{
    for (const RTMessagePtr &message : allStoredMessages()) {
        if (message->isTranslated() && translation.messageCompliesWithFactor(*message))
            message->translate();
    }
}

// --- expiry -----------------------------------------------------------------------------

QDateTime RTDatedFilters::nextChange() const
{
    const Snapshot filters = snapshot();
    const QDateTime now = Clock::currentDateTime();
    QDateTime next;
    auto consider = [&](const QDateTime &when) {
        if (when.isValid() && when > now && (!next.isValid() || when < next))
            next = when;
    };
    for (const RTMuteObjectPtr &mute : filters.mutes) {
        consider(mute->createdAt());
        consider(mute->expiresAt());
    }
    for (const RTHighlightObjectPtr &highlight : filters.highlights) {
        consider(highlight->createdAt());
        consider(highlight->expiresAt());
    }
    return next;
}

void RTDatedFilters::scheduleExpiry()
{
    m_scheduledChange = nextChange();
    if (!m_scheduledChange.isValid()) {
        m_expiryTimer.stop();
        return;
    }
    const qint64 wait = Clock::currentDateTime().msecsTo(m_scheduledChange);
    m_expiryTimer.start(int(qBound<qint64>(0, wait, kMaxTimerMs)));
}

void RTDatedFilters::expiryTimerFired()
{
    if (m_scheduledChange.isValid() && Clock::currentDateTime() >= m_scheduledChange)
        applyFiltersHelper();
    scheduleExpiry();
}
