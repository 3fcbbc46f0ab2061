#pragma once

#include "platform/PlatformInterface.h"

#include <QString>

// Sends reports of earlier crashes to the maker's server.
class CrashReporter : public PlatformInterface<CrashReporter>
{
public:
    struct Launch
    {
        QString company;
        QString httpProtocol;
        QString hostName;
        int port = 0;
        QString action;
        QString format;
        QString apiKey;
        QString guid;
        QString platform;
        QString userInfoTitle;
        QString userPrefsPath;
    };
    virtual void launchReporter(const Launch &launch) = 0;
};
