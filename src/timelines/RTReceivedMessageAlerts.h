#pragma once

#include "twitter/RTReceivedMessageAlertsInterface.h"

#include <QString>

class RTTreeNodeManager;

// Sounds and pop-up notifications for the messages an account has just received.
// Pop-ups stay quiet where a person would want it: never twice for one message, nothing
// for seen or muted ones, nothing during an account's startup poll sequence (those
// messages are only marked), and at most kMaxIndividualPopups per answer, then a summary.
class RTReceivedMessageAlerts : public RTReceivedMessageAlertsInterface
{
public:
    static constexpr int kMaxIndividualPopups = 3;
    // Pictures in notifications are scaled to this size.
    static constexpr int kIconSize = 50;

    explicit RTReceivedMessageAlerts(RTTreeNodeManager &manager);
    ~RTReceivedMessageAlerts() override;

    // The settings key of the sound for a request type and whether it is rate limited;
    // an empty key for types that play nothing.
    struct SoundChoice
    {
        const char *settingsKey = nullptr;
        bool rateLimited = false;
    };
    [[nodiscard]] static SoundChoice soundForRequestType(qint32 requestType);
    // "Home Messages", ...; empty for types that are not announced.
    [[nodiscard]] static QString notificationNameForRequestType(qint32 requestType);

    void addSoundAlerts(RTServiceTwitter &account, const QList<RTMessageTwitterPtr> &messages,
                        qint32 requestType) override;
    void showPopupNotificationsForRecievedMessages(RTServiceTwitter &account,
                                                   const QList<RTMessageTwitterPtr> &messages,
                                                   qint32 requestType) override;

private:
    [[nodiscard]] static QByteArray iconForMessage(const RTMessageTwitter &message);

    RTTreeNodeManager &m_manager;
};
