#pragma once

#include "platform/PlatformInterface.h"

#include <QDateTime>
#include <QString>

// Checks an RSS feed of releases and installs updates.
class UpdateFramework : public PlatformInterface<UpdateFramework>
{
public:
    virtual void resetUpdateCycle() = 0;
    virtual void checkForUpdates() = 0;
    [[nodiscard]] virtual QString feedUrl() const = 0;
    virtual void setFeedUrl(const QString &url) = 0;
    // Invalid when there was no check yet.
    [[nodiscard]] virtual QDateTime lastUpdateCheckDate() const = 0;
};
