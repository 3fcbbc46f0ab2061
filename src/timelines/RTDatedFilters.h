#pragma once

#include "accounts/RTServiceTalvo.h"
#include "timelines/RTHighlightObject.h"
#include "timelines/RTMuteObject.h"
#include "timelines/RTTranslateUserObject.h"
#include "twitter/RTDatedFiltersInterface.h"

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <atomic>

class RTServiceRegistry;
class RTTreeNodeManager;

// The live mutes, highlights and translations of the companion service and their effect
// on messages: new messages are marked as they arrive (on the request's worker); a change
// of the filters, or a filter beginning or ending, runs a pass over every stored message
// and lets the nodes re-evaluate. A mute that ends, or is removed, releases the messages
// it muted, so they come back to the timelines and leave Muted.
//
// The filters are replaced as a whole on the main thread; readers take a snapshot.
class RTDatedFilters : public QObject, public RTDatedFiltersInterface
{
    Q_OBJECT
public:
    enum FilterType
    {
        MuteFilters = 0,
        HighlightFilters = 1,
        TranslateFilters = 2,
    };
    using Mutes = QHash<QString, RTMuteObjectPtr>;
    using Highlights = QHash<QString, RTHighlightObjectPtr>;
    using Translates = QHash<QString, RTTranslateUserObjectPtr>;

    explicit RTDatedFilters(RTServiceRegistry &registry, QObject *parent = nullptr);
    ~RTDatedFilters() override;

    // Keeps the ids of the messages the filters marked (archived with the service).
    void setCompanion(RTServiceTalvo *companion);
    // The manager whose nodes re-evaluate after a pass; none: no re-evaluation.
    void setNodeManager(RTTreeNodeManager *manager) { m_nodeManager = manager; }

    [[nodiscard]] Mutes mutes() const;
    [[nodiscard]] Highlights highlights() const;
    [[nodiscard]] Translates translates() const;
    // Replace the live filters; the next expiry is scheduled again. Passes are not run
    // here: the caller decides (applyFiltersHelper()).
    void setMutes(const Mutes &mutes);
    void setHighlights(const Highlights &highlights);
    void setTranslates(const Translates &translates);
    // Until the service has answered once, messages muted in an earlier run stay muted.
    [[nodiscard]] bool filtersKnown() const { return m_filtersKnown.load(); }
    void setFiltersKnown(bool known) { m_filtersKnown.store(known); }

    // --- look-ups (type: 0 mutes, 1 highlights, 2 translations) ------------------------
    // Live dated filters of the kind whose predicate matches (dates of the message are
    // not looked at), or the active translations of the author.
    [[nodiscard]] QList<std::shared_ptr<const RTMessageFilter>>
    complyingFiltersForMessage(const RTMessage &message, const QString &filterPredicate,
                               int filterType) const;
    // The last complying filter goes to *filter.
    bool hasComplyingFilterForMessage(const RTMessage &message, const QString &filterPredicate,
                                      int filterType,
                                      std::shared_ptr<const RTMessageFilter> *filter) const;
    // The live mute of that kind and factor (compared in lower case), or null.
    [[nodiscard]] RTMuteObjectPtr findActiveMute(const QString &filterPredicate,
                                                 const QString &factor) const;
    [[nodiscard]] RTHighlightObjectPtr findActiveHighlight(const QString &filterPredicate,
                                                           const QString &factor) const;

    // --- applying ---------------------------------------------------------------------
    // New messages, on the worker that merged them.
    void applyDatedFiltersToMessages(const QList<RTMessagePtr> &messages) override;
    // The whole pass over the given messages, then the nodes re-evaluate. Any thread.
    void applyFiltersToStoredMessages(const QList<RTMessagePtr> &messages);
    // Every stored message of every account, on a background thread; filtersApplied()
    // follows on the main thread. A request while a pass runs runs once more after it.
    void applyFiltersHelper();
    // The same, on the calling thread.
    void applyFiltersNow();
    // Turns off the translation of every translated message of the translation's author.
    void clearTranslate(const RTTranslateUserObject &translation);

    // --- expiry -------------------------------------------------------------------------
    // The first instant after now at which a filter begins or ends; invalid when none.
    [[nodiscard]] QDateTime nextChange() const;
    // The expiry timer's handler: a pass when a filter began or ended, then the next date.
    void expiryTimerFired();

    // Every stored message of the registry's Twitter accounts.
    [[nodiscard]] QList<RTMessagePtr> allStoredMessages() const;

signals:
    void filtersApplied();

private:
    struct Snapshot
    {
        Mutes mutes;
        Highlights highlights;
        Translates translates;
        bool known = false;
    };
    [[nodiscard]] Snapshot snapshot() const;
    // Marks one message; returns true when a flag changed. fullPass also clears marks
    // that no live filter supports any more.
    bool processMessage(RTMessage &message, const Snapshot &filters, const QDateTime &now,
                        bool fullPass, QList<RTMessagePtr> *toTranslate);
    void noteMuted(const RTMessage &message, bool muted);
    [[nodiscard]] bool wasMutedByFilter(const QString &messageId) const;
    [[nodiscard]] bool isHandHighlighted(const QString &messageId) const;
    void scheduleExpiry();
    void requestTranslations(const QList<RTMessagePtr> &messages);

    RTServiceRegistry &m_registry;
    QPointer<RTServiceTalvo> m_companion;
    QPointer<RTTreeNodeManager> m_nodeManager;
    mutable QMutex m_lock; // the three dictionaries
    Mutes m_mutes;
    Highlights m_highlights;
    Translates m_translates;
    std::atomic<bool> m_filtersKnown{false};
    QMutex m_passLock; // one pass at a time
    std::atomic<bool> m_passRunning{false};
    std::atomic<bool> m_passWanted{false};
    std::atomic<int> m_backgroundPasses{0}; // started and not yet finished
    QTimer m_expiryTimer;
    QDateTime m_scheduledChange;
};
