#include "app/RTAppCastAddressTransformer.h"

#include "app/FeedUpdater.h"

QString RTAppCastAddressTransformer::transformedValue(bool beta)
{
    return beta ? FeedUpdater::betaFeedUrl() : FeedUpdater::releaseFeedUrl();
}

bool RTAppCastAddressTransformer::reverseTransformedValue(const QVariant &feed)
{
    if (feed.typeId() != QMetaType::QString)
        return false;
    const QString beta = FeedUpdater::betaFeedUrl();
    return !beta.isEmpty() && feed.toString() == beta;
}
