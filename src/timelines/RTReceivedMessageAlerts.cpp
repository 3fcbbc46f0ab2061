#include "timelines/RTReceivedMessageAlerts.h"

#include "foundation/Localization.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "model/RTUserTwitter.h"
#include "platform/DesktopApplication.h"
#include "platform/DesktopNotifications.h"
#include "store/TADataManager.h"
#include "timelines/RTSoundAlertManager.h"
#include "timelines/RTTreeNodeManager.h"
#include "twitter/RTRequestOperationTwitter.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTwitterRequestTypes.h"

namespace {
constexpr qint32 kLastSoundRequestType = 55;
}

RTReceivedMessageAlerts::RTReceivedMessageAlerts(RTTreeNodeManager &manager)
    : m_manager(manager)
{
    if (!RTReceivedMessageAlertsInterface::hasShared())
        RTReceivedMessageAlertsInterface::setShared(this);
}

RTReceivedMessageAlerts::~RTReceivedMessageAlerts()
{
    if (RTReceivedMessageAlertsInterface::hasShared() &&
        &RTReceivedMessageAlertsInterface::shared() == this)
        RTReceivedMessageAlertsInterface::setShared(nullptr);
}

RTReceivedMessageAlerts::SoundChoice RTReceivedMessageAlerts::soundForRequestType(qint32 type)
{
    switch (type) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 35:
    case 36:
    case 46:
    case 50:
    case 51:
    case 55:
        return {kRTTwitterSoundPrefsNewTweet, true};
    case RTTwitterRequestMentions:
        return {kRTTwitterSoundPrefsNewMention, true};
    case RTTwitterRequestDirectInbox:
        return {kRTTwitterSoundPrefsNewDM, true};
    case 6:
    case 13:
    case 49:
        return {kRTTwitterSoundPrefsNewPost, false};
    default:
        return {};
    }
}

QString RTReceivedMessageAlerts::notificationNameForRequestType(qint32 type)
{
    switch (type) {
    case RTTwitterRequestMentions:
        return QLatin1String(RTPopupReplyMessages);
    case 1:
    case RTTwitterRequestHomeTimeline:
        return QLatin1String(RTPopupHomeMessages);
    case RTTwitterRequestDirectInbox:
        return QLatin1String(RTPopupDirectMessages);
    default:
        return {};
    }
}

void RTReceivedMessageAlerts::addSoundAlerts(RTServiceTwitter &,
                                             const QList<RTMessageTwitterPtr> &messages,
                                             qint32 requestType)
{
    if (messages.isEmpty() || requestType > kLastSoundRequestType)
        return;
    const SoundChoice choice = soundForRequestType(requestType);
    if (!choice.settingsKey)
        return;
    const QString type = QLatin1String(choice.settingsKey);
    RTSoundAlertManager::postSoundAlert(type, SettingsStore::shared().stringForKey(type),
                                        choice.rateLimited);
}

QByteArray RTReceivedMessageAlerts::iconForMessage(const RTMessageTwitter &message)
{
    const auto user = std::dynamic_pointer_cast<RTUserTwitter>(message.user());
    if (!user || user->profileImageUrl().isEmpty())
        return {};
    // Not cached yet: no icon this time (the lookup starts the download for later ones).
    return TADataManager::sharedManager().getImageForUrl(user->profileImageUrl());
}

void RTReceivedMessageAlerts::showPopupNotificationsForRecievedMessages(
    RTServiceTwitter &account, const QList<RTMessageTwitterPtr> &messages, qint32 requestType)
{
    const SettingsStore &settings = SettingsStore::shared();
    if (messages.isEmpty() || !account.showPopupNotifications() ||
        !settings.boolForKey(QLatin1String(RTEnablePopupsKey)))
        return;
    if (settings.boolForKey(QLatin1String(RTOnlyShowPopupsWhenOnBackgroundKey)) &&
        DesktopApplication::hasShared() && DesktopApplication::shared().isActive())
        return;

    QList<RTMessageTwitterPtr> collected;
    for (const RTMessageTwitterPtr &message : messages) {
        if (message && !message->showedPopupNotification() && !message->isSeen() &&
            !message->isMuted())
            collected.append(message);
    }
    if (collected.isEmpty())
        return;
    const QString name = notificationNameForRequestType(requestType);
    if (name.isEmpty())
        return;

    // What arrives while the account starts up was waiting before: it is only marked,
    // so the first start never floods the desktop.
    const bool quiet =
        !account.startupPollSequence().isEmpty() || !DesktopNotifications::hasShared();
    if (!quiet) {
        const RTTreeNode *root = m_manager.getRootNodeForService(&account);
        const RTTreeNode *node = root ? root->getChildByRequestType(requestType) : nullptr;
        const QVariantMap identity = node ? node->identity() : QVariantMap();
        const qsizetype shown = std::min<qsizetype>(collected.size(), kMaxIndividualPopups);
        for (qsizetype i = 0; i < shown; ++i) {
            const RTMessageTwitter &message = *collected.at(i);
            DesktopNotifications::Notification n;
            n.title = message.user() ? message.user()->displayName() : QString();
            n.description = message.body();
            n.notificationName = name;
            n.iconData = iconForMessage(message);
            n.clickContext = {{QLatin1String(kRTPopupTreeNodeIdentityKey), identity},
                              {QLatin1String(kRTPopupMessageIdKey), message.messageId()}};
            n.offerMessageActions = true;
            DesktopNotifications::shared().notify(n);
        }
        if (collected.size() > kMaxIndividualPopups) {
            DesktopNotifications::Notification summary;
            summary.title = account.serviceId();
            summary.description =
                localizedString("##RTTwitter+requestReceiving:0##")
                    .replace(QLatin1String("%d"),
                             QString::number(collected.size() - kMaxIndividualPopups))
                    .replace(QLatin1String("%@"),
                             RTRequestOperationTwitter::stringFromRequestType(requestType));
            summary.notificationName = name;
            summary.clickContext = {{QLatin1String(kRTPopupTreeNodeIdentityKey), identity}};
            DesktopNotifications::shared().notify(summary);
        }
    }
    for (const RTMessageTwitterPtr &message : std::as_const(collected))
        message->setShowedPopupNotification(true);
}
