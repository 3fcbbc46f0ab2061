#include "companion/RTTwitterMessageDatedFilterMenu.h"

#include "companion/RTCompanionClient.h"
#include "foundation/Clock.h"
#include "foundation/Localization.h"
#include "model/TimeCalculator.h"

namespace {

QString title(int n)
{
    return localizedString(QStringLiteral("##RTTwitterMessageDatedFilterMenu:%1##").arg(n));
}

} // namespace

QList<RTTwitterMessageDatedFilterMenu::Item> RTTwitterMessageDatedFilterMenu::periods()
{
    struct Period
    {
        int text;
        qint64 seconds;
    };
    static constexpr Period kPeriods[] = {
        {0, 3600},     {1, 7200},
        {2, 21600},    {3, 43200},
        {4, 86400},    {5, 172800},
        {12, 604800},  {13, 2592000},
        {6, 31536000}, {7, RTDatedMessageFilter::kForeverDuration}};
    QList<Item> items;
    int tag = -1;
    for (const Period &p : kPeriods)
        items.append({title(p.text), p.seconds, tag--, false, true});
    return items;
}

RTTwitterMessageDatedFilterMenu
RTTwitterMessageDatedFilterMenu::createUserMuteMenu(RTCompanionClient &client, bool extended,
                                                    const RTMessagePtr &message)
{
    return {client, message, message ? message->userId() : QString(), RTCompanionClient::kUser,
            extended};
}

RTTwitterMessageDatedFilterMenu RTTwitterMessageDatedFilterMenu::createHashtagMuteMenu(
    RTCompanionClient &client, bool extended, const RTMessagePtr &message, const QString &hashtag)
{
    return {client, message, hashtag, RTCompanionClient::kHashtag, extended};
}

RTTwitterMessageDatedFilterMenu::RTTwitterMessageDatedFilterMenu(RTCompanionClient &client,
                                                                 RTMessagePtr message,
                                                                 QString factor,
                                                                 QString datedFilterPredicate,
                                                                 bool toExtend)
    : m_client(client)
    , m_message(std::move(message))
    , m_factor(std::move(factor))
    , m_datedFilterPredicate(std::move(datedFilterPredicate))
    , m_toExtend(toExtend)
{
}

RTMuteObjectPtr RTTwitterMessageDatedFilterMenu::findActiveMuteForMessage() const
{
    if (!m_message)
        return nullptr;
    const QDateTime now = Clock::currentDateTime();
    RTMuteObjectPtr found;
    for (const RTMuteObjectPtr &mute : m_client.filters().mutes()) {
        if (!mute->isExpired(now) && mute->datedFilterPredicate() == m_datedFilterPredicate &&
            mute->predicateCompliesWithMessage(*m_message) &&
            mute->factor().toLower() == m_factor.toLower() &&
            (!found || mute->filterId().toLongLong() > found->filterId().toLongLong()))
            found = mute;
    }
    return found;
}

QList<RTTwitterMessageDatedFilterMenu::Item> RTTwitterMessageDatedFilterMenu::items() const
{
    Item status{QString(), -1, kStatusTag, true, false};
    if (const RTMuteObjectPtr mute = findActiveMuteForMessage()) {
        const QDateTime now = Clock::currentDateTime();
        status.hidden = false;
        status.title = mute->isForever(now)
                           ? title(8)
                           : title(9).arg(TimeCalculator::durationStringFromTimeInterval(
                                 double(mute->remainingPeriod(now))));
    }
    QList<Item> items{status, {QString(), -1, kSeparatorTag, false, false}};
    items += periods();
    if (m_toExtend)
        items.append({title(11), 0, -int(items.size() - 1), false, true});
    return items;
}

void RTTwitterMessageDatedFilterMenu::actOnFilter(qint64 seconds)
{
    if (m_factor.isEmpty() || seconds < 0)
        return;
    if (!m_toExtend) {
        m_client.muteFactor(m_factor, m_datedFilterPredicate, seconds);
        return;
    }
    const RTMuteObjectPtr mute = findActiveMuteForMessage();
    if (!mute)
        return;
    if (seconds == 0)
        m_client.destroyMute(mute->filterId());
    else
        m_client.extendMute(mute->filterId(), seconds);
}
