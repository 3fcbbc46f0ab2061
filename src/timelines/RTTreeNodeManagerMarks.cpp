#include "timelines/RTTreeNodeManager.h"

#include "accounts/RTServiceRegistry.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTrendObject.h"

namespace {

RTTreeNodeManager::TrendsSource &trendsSource()
{
    static RTTreeNodeManager::TrendsSource source;
    return source;
}

} // namespace

void RTTreeNodeManager::setTrendsSource(TrendsSource source)
{
    trendsSource() = std::move(source);
}

void RTTreeNodeManager::markAllMessagesAndTrendsSeen()
{
    // One badge update at the end instead of one per message.
    setIsBatchChangingNewCount(true);
    for (const auto &account : m_registry.allServicesOfSameClass<RTServiceTwitter>()) {
        const RTServiceTwitter::MessagesDictionary messages = account->messagesDictionary();
        for (const RTMessageTwitterPtr &message : messages)
            if (message && !message->isSeen())
                message->setIsSeen(true);
    }
    if (trendsSource()) {
        for (const std::shared_ptr<RTTrendObject> &trend : trendsSource()())
            if (trend)
                trend->setIsSeen(true);
    }
    setIsBatchChangingNewCount(false);
}
