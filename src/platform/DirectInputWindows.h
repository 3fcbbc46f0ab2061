#pragma once

#include "platform/PlatformInterface.h"

#include <QString>

// The helper's floating compose windows, filled by the window layer. The helper picks the
// account; the window builds that account's compose line.
class DirectInputWindows : public PlatformInterface<DirectInputWindows>
{
public:
    // Opens a compose window for the account (serviceId and serviceType as the store
    // knows them). A non-empty url is put into the text after a space, with the caret
    // before it, and shortened when the settings ask for it. False when the account cannot
    // compose: then nothing is shown.
    virtual bool showDirectInputWindowForService(const QString &serviceId, int serviceType,
                                                 const QString &url) = 0;
    virtual void closeAllDirectInputWindows() = 0;
};
