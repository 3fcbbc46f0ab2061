#pragma once

#include "model/RTMessage.h"
#include "platform/PlatformInterface.h"

#include <QList>

// The companion service's dated mutes, highlights and translations, applied to every
// message of an answer right after its merge (on the request's worker). Installed by the
// companion layer; without it messages arrive unfiltered.
class RTDatedFiltersInterface : public PlatformInterface<RTDatedFiltersInterface>
{
public:
    virtual void applyDatedFiltersToMessages(const QList<RTMessagePtr> &messages) = 0;
};
