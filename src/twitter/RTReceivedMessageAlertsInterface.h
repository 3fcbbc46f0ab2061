#pragma once

#include "model/RTMessageTwitter.h"
#include "platform/PlatformInterface.h"

#include <QList>

class RTServiceTwitter;

// The sounds and pop-up notifications for messages an account has just received. The
// timelines layer installs them; without them (tests of this layer) nothing sounds.
// Main thread.
class RTReceivedMessageAlertsInterface : public PlatformInterface<RTReceivedMessageAlertsInterface>
{
public:
    virtual void addSoundAlerts(RTServiceTwitter &account,
                                const QList<RTMessageTwitterPtr> &messages, qint32 requestType) = 0;
    virtual void
    showPopupNotificationsForRecievedMessages(RTServiceTwitter &account,
                                              const QList<RTMessageTwitterPtr> &messages,
                                              qint32 requestType) = 0;
};
