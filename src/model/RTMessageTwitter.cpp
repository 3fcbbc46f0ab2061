#include "model/RTMessageTwitter.h"

#include "foundation/Localization.h"
#include "foundation/Log.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "model/RTAccountDirectory.h"
#include "model/RTMessageHooks.h"
#include "model/RTTwitterAccountActions.h"
#include "model/RTUserTwitter.h"
#include "platform/Alerts.h"

#include <QPointer>

namespace {
// Twitter request types whose lists choose their display body differently.
constexpr int kMentionsRequestType = 3;
constexpr int kSearchRequestType = 35;
constexpr int kSavedSearchesRequestType = 36;

RTTwitterAccountActions *actionsOf(QObject *account)
{
    return dynamic_cast<RTTwitterAccountActions *>(account);
}

QList<QObject *> twitterAccounts()
{
    return RTAccountDirectory::hasShared() ? RTAccountDirectory::shared().twitterAccounts()
                                           : QList<QObject *>();
}
} // namespace

RTMessageTwitter::RTMessageTwitter(const QString &messageId)
    : RTMessage(messageId)
{
}

std::shared_ptr<RTMessageTwitter> RTMessageTwitter::create(const QString &messageId)
{
    return std::make_shared<RTMessageTwitter>(messageId);
}

std::shared_ptr<RTMessageTwitter> RTMessageTwitter::sharedTwitterMessage()
{
    return std::static_pointer_cast<RTMessageTwitter>(weak_from_this().lock());
}

std::shared_ptr<RTUserTwitter> RTMessageTwitter::twitterUser() const
{
    return std::dynamic_pointer_cast<RTUserTwitter>(user());
}

void RTMessageTwitter::setIsHome(bool value)
{
    changeTemporaryFlag(RTTemporaryFlag::IsHome, value, RTMessageProperty::IsHome);
}

void RTMessageTwitter::setIsMention(bool value)
{
    changeTemporaryFlag(RTTemporaryFlag::IsMention, value, RTMessageProperty::IsMention);
}

void RTMessageTwitter::setIsReply(bool value)
{
    changeTemporaryFlag(RTTemporaryFlag::IsReply, value, RTMessageProperty::IsReply);
}

void RTMessageTwitter::setIsPrivate(bool value)
{
    changeTemporaryFlag(RTTemporaryFlag::IsPrivate, value, RTMessageProperty::IsPrivate);
}

void RTMessageTwitter::setIsSent(bool value)
{
    changeTemporaryFlag(RTTemporaryFlag::IsSent, value, RTMessageProperty::IsSent);
}

void RTMessageTwitter::setIsFavorite(bool value)
{
    changeTemporaryFlag(RTTemporaryFlag::IsFavorite, value, RTMessageProperty::IsFavorite);
}

void RTMessageTwitter::setIsSearch(bool value)
{
    changeTemporaryFlag(RTTemporaryFlag::IsSearch, value, RTMessageProperty::IsSearch);
}

void RTMessageTwitter::setIsListed(bool value)
{
    changeTemporaryFlag(RTTemporaryFlag::IsListed, value, RTMessageProperty::IsListed);
}

void RTMessageTwitter::setIsRetweet(bool value)
{
    changeTemporaryFlag(RTTemporaryFlag::IsRetweet, value, RTMessageProperty::IsRetweet);
}

void RTMessageTwitter::generateSourceName()
{
    const QString &src = source();
    const qsizetype open = src.indexOf(QLatin1Char('>'));
    if (open < 0) {
        setSourceName(src);
        return;
    }
    const qsizetype close = src.indexOf(QLatin1Char('<'), open + 1);
    setSourceName(src.mid(open + 1, close < 0 ? -1 : close - open - 1));
}

bool RTMessageTwitter::shouldStoreInPermanentReadAndHiddenSet() const
{
    return isMention() || (isPrivate() && !isSent());
}

RTMessageDataSource *RTMessageTwitter::dataSource() const
{
    if (service())
        return RTMessage::dataSource();
    return RTAccountDirectory::hasShared() ? RTAccountDirectory::shared().searcher() : nullptr;
}

void RTMessageTwitter::processBody()
{
    RTMessage::processBody();
    setInlineImageObjects(RTMessageHooks::current()->imagersInMessageText(body()));
}

QStringList RTMessageTwitter::preferredAttributedBodyLookupForRequestType(int type) const
{
    if (type == kMentionsRequestType) {
        // Mentions are never shown highlighted.
        if (isTranslated())
            return {QLatin1String(kRTAttributedBodyUnHighlightedTransalated),
                    QLatin1String(kRTAttributedBodyUnHighlighted)};
        return {QLatin1String(kRTAttributedBodyUnHighlighted)};
    }
    if (type == kSearchRequestType || type == kSavedSearchesRequestType) {
        if (isTranslated() || isAutotranslated())
            return {QLatin1String(kRTAttributedBodyTranslated),
                    QLatin1String(kRTAttributedBodyHighlighted)};
        return {QLatin1String(kRTAttributedBodyHighlighted)};
    }
    return RTMessage::preferredAttributedBodyLookupForRequestType(type);
}

void RTMessageTwitter::translate()
{
    // The same command turns an automatic translation off.
    if (isAutotranslated())
        setIsAutotranslated(false);
    else
        setIsTranslated(!isTranslated());
    showOrRequestTranslation();
}

QString RTMessageTwitter::description() const
{
    return RTMessage::description() +
           QStringLiteral("\nsource: %1\ninReplyTo: %2\nretweetedStatusId: %3")
               .arg(sourceName(), inReplyToMessageId(), retweetedStatusId());
}

// ---------------------------------------------------------------------------
// User actions

void RTMessageTwitter::retweet()
{
    SettingsStore &settings = SettingsStore::shared();
    const std::weak_ptr<RTMessageTwitter> weakSelf = sharedTwitterMessage();
    auto send = [weakSelf] {
        const auto self = weakSelf.lock();
        if (!self)
            return;
        if (RTTwitterAccountActions *account = actionsOf(self->service()))
            account->retweetWithMessage(self);
        else
            qCWarning(lcModel) << "retweet of" << self->messageId() << "without an account";
    };
    if (settings.boolForKey(RTDoNotConfirmRetweetsKey)) {
        send();
        return;
    }
    if (!Alerts::hasShared()) {
        qCWarning(lcModel) << "retweet needs a confirmation but no alerts are installed";
        return;
    }
    Alerts::Confirmation alert;
    alert.message = localizedString("##RTMessageTwitter:0##");
    alert.informativeText = localizedString("##RTMessageTwitter:1##");
    alert.defaultButton = localizedString("##RTMessageTwitter:2##");
    alert.alternateButton = localizedString("##RTMessageTwitter:3##");
    alert.checkBoxTitle = localizedString("##RTMessageTwitter:4##");
    alert.checkBoxState = settings.boolForKey(RTDoNotConfirmRetweetsKey);
    Alerts::shared().runConfirmation(alert, [send](bool confirmed, bool doNotAskAgain) {
        if (!confirmed)
            return;
        SettingsStore::shared().setBool(QLatin1String(RTDoNotConfirmRetweetsKey), doNotAskAgain);
        send();
    });
}

void RTMessageTwitter::favorite()
{
    RTTwitterAccountActions *account = actionsOf(service());
    if (!account) {
        const QList<QObject *> accounts = twitterAccounts();
        account = accounts.isEmpty() ? nullptr : actionsOf(accounts.first());
    }
    const auto self = sharedTwitterMessage();
    if (account && self)
        account->favoriteCreateWithMessage(self);
}

void RTMessageTwitter::unfavorite()
{
    const auto self = sharedTwitterMessage();
    if (RTTwitterAccountActions *account = actionsOf(service()); account && self)
        account->favoriteDestroyWithMessage(self);
}

void RTMessageTwitter::follow()
{
    if (service())
        changeFriendship(service(), true);
    else
        changeFriendShipToFollow(true);
}

void RTMessageTwitter::unfollow()
{
    if (service())
        changeFriendship(service(), false);
    else
        changeFriendShipToFollow(false);
}

void RTMessageTwitter::followUsingService(QObject *account)
{
    changeFriendship(account, true);
}

void RTMessageTwitter::unfollowUsingService(QObject *account)
{
    changeFriendship(account, false);
}

void RTMessageTwitter::changeFriendship(QObject *account, bool follow)
{
    RTTwitterAccountActions *actions = actionsOf(account);
    const auto author = twitterUser();
    if (!actions || !author)
        return;
    if (follow)
        actions->createFriendshipWithUser(author);
    else
        actions->destroyFriendshipWithUser(author);
}

void RTMessageTwitter::changeFriendShipToFollow(bool follow)
{
    const QList<QObject *> accounts = twitterAccounts();
    if (accounts.size() == 1) {
        changeFriendship(accounts.first(), follow);
        return;
    }
    if (!Alerts::hasShared()) {
        qCWarning(lcModel) << "cannot ask which account should follow: no alerts installed";
        return;
    }
    if (accounts.isEmpty()) {
        Alerts::shared().runInformation(
            localizedString("##RTMessageTwitter:5##"),
            localizedString(follow ? "##RTMessageTwitter:6##" : "##RTMessageTwitter:7##"),
            localizedString("##RTMessageTwitter:8##"));
        return;
    }
    const auto author = twitterUser();
    const std::weak_ptr<RTMessageTwitter> weakSelf = sharedTwitterMessage();
    // An account may be removed while the chooser is open; only a live one is used.
    QList<QPointer<QObject>> offered;
    for (QObject *account : accounts)
        offered.append(account);
    Alerts::shared().chooseAccount(accounts, author ? author->screenName() : QString(), follow,
                                   [weakSelf, follow, offered](QObject *account) {
                                       const auto self = weakSelf.lock();
                                       if (!self || !account)
                                           return;
                                       for (const QPointer<QObject> &candidate : offered) {
                                           if (candidate && candidate.data() == account) {
                                               self->changeFriendship(account, follow);
                                               return;
                                           }
                                       }
                                   });
}
