// Applying the companion service's answers.
#include "companion/RTCompanionClient.h"

#include "accounts/RTServiceRegistry.h"
#include "companion/RTCompanionLog.h"
#include "companion/RTCompanionRequestTypes.h"
#include "foundation/RTGlobalVariables.h"
#include "timelines/RTTreeNodeKinds.h"
#include "timelines/RTTreeNodeManager.h"
#include "timelines/RTTrendMessage.h"
#include "twitter/RTServiceTwitter.h"

#include <optional>

Q_LOGGING_CATEGORY(lcCompanion, "talvo.companion")

namespace {

constexpr qsizetype kMaxRecords = 2000;
constexpr qsizetype kMaxHostLength = 255;

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

// A list of records, each built by make; nullopt (with *error) when the value is not a
// bounded list or any record is bad: a damaged answer is used not at all.
template<class Make>
auto parseRecords(const QVariant &value, const char *name, Make make, QString *error)
    -> std::optional<QList<decltype(make(QVariantMap(), error))>>
{
    using Ptr = decltype(make(QVariantMap(), error));
    if (value.typeId() != QMetaType::QVariantList) {
        *error = QStringLiteral("\"%1\" is missing or not a list").arg(QLatin1String(name));
        return std::nullopt;
    }
    const QVariantList list = value.toList();
    if (list.size() > kMaxRecords) {
        *error =
            QStringLiteral("\"%1\" holds %2 records").arg(QLatin1String(name)).arg(list.size());
        return std::nullopt;
    }
    QList<Ptr> out;
    for (const QVariant &item : list) {
        if (item.typeId() != QMetaType::QVariantMap) {
            *error = QStringLiteral("a record of \"%1\" is not an object").arg(QLatin1String(name));
            return std::nullopt;
        }
        Ptr filter = make(item.toMap(), error);
        if (!filter)
            return std::nullopt;
        out.append(filter);
    }
    return out;
}

// Merges records into current: unknown ones, or ones whose period changed, replace the
// known object. complete: the list is everything the service has, so others go.
template<class Ptr>
bool mergeDated(QHash<QString, Ptr> &current, const QList<Ptr> &incoming, bool complete)
{
    bool changed = false;
    QHash<QString, Ptr> merged = complete ? QHash<QString, Ptr>() : current;
    for (const Ptr &filter : incoming) {
        const Ptr known = current.value(filter->filterId());
        if (!known || known->duration() != filter->duration() ||
            known->extendedAt() != filter->extendedAt() ||
            known->createdAt() != filter->createdAt()) {
            merged.insert(filter->filterId(), filter);
            changed = true;
        } else {
            merged.insert(filter->filterId(), known);
        }
    }
    if (complete && merged.size() != current.size())
        changed = true;
    if (complete) {
        for (auto it = current.cbegin(); it != current.cend(); ++it)
            if (!merged.contains(it.key()))
                changed = true;
    }
    current = merged;
    return changed;
}

QVariantMap mergedDictionaries(const QVariant &lists)
{
    QVariantMap merged;
    for (const QVariant &item : lists.toList()) {
        const QVariantMap map = item.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            merged.insert(it.key(), it.value());
    }
    return merged;
}

} // namespace

void RTCompanionClient::serviceRequestSuccess(const QVariantMap &result)
{
    const qint32 type = result.value(key(kRTRequestType)).toInt();
    switch (type) {
    case RTTalvoRequestShorteners:
        applyShorteners(result);
        break;
    case RTTalvoRequestVerifyAccount:
        m_service->setIsAnonymous(false);
        m_service->setVerifiedCredentials(true);
        break;
    case RTTalvoRequestGroups:
    case RTTalvoRequestCreateGroup:
    case RTTalvoRequestRenameGroup:
    case RTTalvoRequestRemoveGroup:
    case RTTalvoRequestAddMember:
    case RTTalvoRequestRemoveMember:
        applyGroups(type, result);
        break;
    case RTTalvoRequestClickedUrls:
    case RTTalvoRequestShortenedUrls:
        applyReports(type, result);
        break;
    case RTTalvoRequestSetups:
        applySetups(result);
        break;
    case RTTalvoRequestConfigurations:
        if (result.value(QStringLiteral("succeeded")).toBool())
            applyConfigurations(result, true);
        break;
    case RTTalvoRequestTrends:
        applyTrends(result);
        break;
    case RTTalvoRequestExtendMute:
    case RTTalvoRequestDestroyMute:
    case RTTalvoRequestCreateMute:
    case RTTalvoRequestReadMute:
    case RTTalvoRequestExtendHighlight:
    case RTTalvoRequestDestroyHighlight:
    case RTTalvoRequestCreateHighlight:
    case RTTalvoRequestReadHighlight:
    case RTTalvoRequestDestroyTranslate:
    case RTTalvoRequestCreateTranslate:
        applyConfigurations(result, false);
        break;
    default:
        break;
    }
    emit requestFinished(result, true);
}

void RTCompanionClient::serviceRequestFailure(const QVariantMap &result)
{
    // Local filters, groups and pending reports stay as they are; reports go again later.
    qCInfo(lcCompanion).noquote()
        << QStringLiteral("request %1 failed:").arg(result.value(key(kRTRequestType)).toInt())
        << result.value(key(kRTOperationFailureMessageKey)).toString();
    emit requestFinished(result, false);
}

void RTCompanionClient::applyShorteners(const QVariantMap &result)
{
    const QVariant hosts = result.value(QStringLiteral("shorteners"));
    QStringList list;
    bool valid = hosts.typeId() == QMetaType::QVariantList && hosts.toList().size() <= kMaxRecords;
    for (const QVariant &host : hosts.toList()) {
        if (host.typeId() != QMetaType::QString || host.toString().isEmpty() ||
            host.toString().size() > kMaxHostLength) {
            valid = false;
            break;
        }
        list.append(host.toString().toLower());
    }
    for (const char *name : {"imagers", "customs", "framers"}) {
        for (const QVariant &item : result.value(key(name)).toList())
            valid = valid && item.typeId() == QMetaType::QVariantMap;
    }
    if (!valid) {
        qCWarning(lcCompanion) << "shorteners answer ignored: not lists of the expected kind";
        return;
    }
    m_service->setShortenersList(list);
    QVariantMap imagers = mergedDictionaries(result.value(QStringLiteral("imagers")));
    const QVariantMap customs = mergedDictionaries(result.value(QStringLiteral("customs")));
    for (auto it = customs.cbegin(); it != customs.cend(); ++it)
        imagers.insert(it.key(), it.value());
    m_service->setImagers(imagers);
    m_framers = mergedDictionaries(result.value(QStringLiteral("framers")));
    publishLinkHosts();
}

void RTCompanionClient::applyReports(qint32 requestType, const QVariantMap &result)
{
    if (!result.value(QStringLiteral("success")).toBool())
        return;
    const bool clicks = requestType == RTTalvoRequestClickedUrls;
    const QVariantMap info = result.value(key(kRTUserInfoKey)).toMap();
    const QVariantList sent =
        info.value(clicks ? QStringLiteral("clicked_urls") : QStringLiteral("shortened_urls"))
            .toList();
    QVariantList &pending = clicks ? m_clickedUrls : m_userShortenedUrls;
    // Exactly the records sent: one removal per sent record, so a record added again
    // meanwhile stays.
    for (const QVariant &record : sent) {
        const qsizetype at = pending.indexOf(record);
        if (at >= 0)
            pending.removeAt(at);
    }
}

void RTCompanionClient::applySetups(const QVariantMap &result)
{
    if (!result.value(QStringLiteral("success")).toBool())
        return;
    struct Target
    {
        const char *name;
        const char *key;
        QVariantMap *into;
    };
    const Target targets[] = {{"filter_categories", "name", &m_filterCategories},
                              {"filter_actions", "name", &m_filterActions},
                              {"filter_predicates", "name", &m_filterPredicates},
                              {"filter_conditions", "name", &m_filterConditions},
                              {"filters", "name", &m_filterDefinitions},
                              {"sources", "substring", &m_twitterSources}};
    for (const Target &t : targets) {
        for (const QVariant &item : result.value(key(t.name)).toList()) {
            const QVariantMap record = item.toMap();
            const QVariant name = record.value(key(t.key));
            if (name.typeId() == QMetaType::QString && !name.toString().isEmpty() &&
                name.toString().size() <= kMaxHostLength)
                t.into->insert(name.toString(), record);
        }
    }
}

bool RTCompanionClient::applyConfigurations(const QVariantMap &result, bool complete)
{
    QString error;
    const bool hasMutes = result.contains(QStringLiteral("mutes"));
    const bool hasHighlights = result.contains(QStringLiteral("highlights"));
    const bool hasTranslates = result.contains(QStringLiteral("translates"));
    std::optional<QList<RTMuteObjectPtr>> mutes;
    std::optional<QList<RTHighlightObjectPtr>> highlights;
    std::optional<QList<RTTranslateUserObjectPtr>> translates;
    auto makeMute = [](const QVariantMap &r, QString *e) -> RTMuteObjectPtr {
        return RTMuteObject::muteObjectWithDictionary(r, e);
    };
    auto makeHighlight = [](const QVariantMap &r, QString *e) -> RTHighlightObjectPtr {
        return RTHighlightObject::highlightObjectWithDictionary(r, e);
    };
    auto makeTranslate = [](const QVariantMap &r, QString *e) -> RTTranslateUserObjectPtr {
        return RTTranslateUserObject::translateUserObjectWithDictionary(r, e);
    };
    // A complete answer must hold all three lists; an immediate answer holds one.
    bool valid = !complete || (hasMutes && hasHighlights && hasTranslates);
    if (!valid)
        error = QStringLiteral("a list is missing");
    if (valid && hasMutes)
        valid =
            (mutes = parseRecords(result.value(QStringLiteral("mutes")), "mutes", makeMute, &error))
                .has_value();
    if (valid && hasHighlights)
        valid = (highlights = parseRecords(result.value(QStringLiteral("highlights")), "highlights",
                                           makeHighlight, &error))
                    .has_value();
    if (valid && hasTranslates)
        valid = (translates = parseRecords(result.value(QStringLiteral("translates")), "translates",
                                           makeTranslate, &error))
                    .has_value();
    if (!valid) {
        qCWarning(lcCompanion).noquote() << "filters answer ignored:" << error;
        return false;
    }

    bool changed = false;
    if (mutes) {
        auto current = m_filters.mutes();
        if (mergeDated(current, *mutes, complete)) {
            m_filters.setMutes(current);
            changed = true;
        }
    }
    if (highlights) {
        auto current = m_filters.highlights();
        if (mergeDated(current, *highlights, complete)) {
            m_filters.setHighlights(current);
            changed = true;
        }
    }
    if (translates) {
        RTDatedFilters::Translates current = m_filters.translates();
        RTDatedFilters::Translates merged = complete ? RTDatedFilters::Translates() : current;
        for (const RTTranslateUserObjectPtr &incoming : *translates) {
            const RTTranslateUserObjectPtr known = current.value(incoming->filterId());
            if (known && known->isActive() && !incoming->isActive())
                m_filters.clearTranslate(*known);
            // An older translation of the same user gives way to this one.
            for (auto it = merged.begin(); !known && it != merged.end();) {
                if (it.key() != incoming->filterId() &&
                    it.value()->factor().compare(incoming->factor(), Qt::CaseInsensitive) == 0) {
                    m_filters.clearTranslate(*it.value());
                    it = merged.erase(it);
                } else {
                    ++it;
                }
            }
            merged.insert(incoming->filterId(), incoming);
        }
        m_filters.setTranslates(merged);
    }

    // The first complete answer also releases what an earlier run muted and no filter
    // still covers.
    const bool first = complete && !m_filters.filtersKnown();
    if (complete)
        m_filters.setFiltersKnown(true);
    if (changed || first)
        m_filters.applyFiltersHelper();
    if (complete)
        emit configurationsApplied(changed);
    return changed;
}

// --- trends --------------------------------------------------------------------------------

void RTCompanionClient::applyTrends(const QVariantMap &result)
{
    const QVariantMap info = result.value(key(kRTUserInfoKey)).toMap();
    const QStringList readIds = info.value(QStringLiteral("oldTrendsReadIds")).toStringList();
    QList<RTTrendObjectPtr> current;
    QSet<QString> seenIds;
    for (const QVariant &item : result.value(QStringLiteral("twitter")).toList()) {
        const QVariantMap record = item.toMap();
        const QString id = RTMessageFilter::idString(record.value(QStringLiteral("id")));
        const QString term = record.value(QStringLiteral("term")).toString().left(200);
        if (id.isEmpty() || term.isEmpty() || seenIds.contains(id))
            continue;
        seenIds.insert(id);
        RTTrendObjectPtr trend = m_twitterTrendsDictionary.value(id);
        if (!trend) {
            trend = std::make_shared<RTTrendObject>(id);
            trend->setService(m_service.get());
            trend->setIsSeen(readIds.contains(id));
            m_twitterTrendsDictionary.insert(id, trend);
        }
        auto text = [&record](const char *name) {
            return record.value(QString::fromLatin1(name)).toString().left(200);
        };
        trend->setTerm(term);
        trend->setIsCurrent(record.value(QStringLiteral("current")).toBool());
        trend->setDuration(text("duration"));
        trend->setCount(text("count"));
        trend->setAppearances(text("appearances"));
        trend->setStartedAt(text("started_at"));
        trend->setStarted(text("started"));
        current.append(trend);
    }
    QList<RTTrendObjectPtr> gone;
    for (const RTTrendObjectPtr &trend : std::as_const(m_twitterTrends))
        if (!seenIds.contains(trend->trendId()))
            gone.append(trend);
    m_twitterTrends = current;
    publishTrends(current, gone);

    bool ok = false;
    int seconds = result.value(QStringLiteral("return_in")).toInt(&ok);
    if (!ok || seconds <= 0)
        seconds = kDefaultTrendsInterval;
    m_trendsTimer.start(qBound(kMinTrendsInterval, seconds, kMaxTrendsInterval) * 1000);
    emit trendsChanged();
}

void RTCompanionClient::publishTrends(const QList<RTTrendObjectPtr> &current,
                                      const QList<RTTrendObjectPtr> &gone)
{
    QList<RTMessagePtr> shown;
    for (const RTTrendObjectPtr &trend : current) {
        RTMessagePtr message = m_trendMessages.value(trend->trendId());
        if (message) {
            static_cast<RTTrendMessage *>(message.get())->updateFromTrend();
        } else {
            message = RTTrendMessage::create(trend, m_service.get());
            m_trendMessages.insert(trend->trendId(), message);
        }
        shown.append(message);
    }
    QList<RTMessagePtr> removed;
    for (const RTTrendObjectPtr &trend : gone)
        if (RTMessagePtr message = m_trendMessages.take(trend->trendId()))
            removed.append(message);

    RTTreeNodeManager *manager = m_nodeManager.data();
    if (!manager)
        return;
    if (!removed.isEmpty())
        manager->allTreeNodesRemoveMessages(removed, RTTalvoRequestTrends,
                                            {{QStringLiteral("forceRemove"), true}});
    RTTreeNode *parent = manager->getTalvoParentNode();
    for (RTTreeNode *node : parent ? parent->childNodes() : QList<RTTreeNode *>()) {
        if (qobject_cast<RTTreeNodeTrend *>(node))
            manager->reEvaluateMessages(shown, RTTalvoRequestTrends, {}, node);
    }
}
