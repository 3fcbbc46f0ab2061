#pragma once

#include "platform/PlatformInterface.h"

#include <QString>

// Dated mutes and highlights that the message menu offers; the companion layer keeps
// them. Until one is installed the window's mute and highlight items stay disabled.
class RTFilterActions : public PlatformInterface<RTFilterActions>
{
public:
    // minutes: how long the filter lasts; 0 for always.
    virtual void muteUser(const QString &screenName, int minutes) = 0;
    virtual void muteHashtag(const QString &hashtag, int minutes) = 0;
    virtual void highlightUser(const QString &screenName, int minutes) = 0;
};
