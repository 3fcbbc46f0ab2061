#pragma once

#include "platform/PlatformInterface.h"

#include <QString>

// The number shown on the program's launcher (dock) entry.
class LauncherBadge : public PlatformInterface<LauncherBadge>
{
public:
    // A decimal count, or the empty string for no badge. Main thread only.
    virtual void setBadgeLabel(const QString &label) = 0;
};
