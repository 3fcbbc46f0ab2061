#include "networks/pingfm/RTPingfmDirectInputViewController.h"

#include "accounts/RTServicePingfm.h"
#include "foundation/RTGlobalVariables.h"
#include "networks/pingfm/RTPingfmClient.h"

RTPingfmDirectInputViewController::RTPingfmDirectInputViewController(
    std::shared_ptr<RTServicePingfm> account, QObject *parent)
    : RTDirectInputLineViewController(account, parent)
    , m_account(account)
{
    setLimited(true, 140);
    updateBudget();
    if (account)
        connect(account.get(), &RTServicePingfm::postSwitchesChanged, this,
                &RTPingfmDirectInputViewController::updateBudget);
}

void RTPingfmDirectInputViewController::registerFactory()
{
    registerControllerFactory(
        4, [](const RTServicePtr &service) -> RTDirectInputLineViewController * {
            const auto account = std::dynamic_pointer_cast<RTServicePingfm>(service);
            return account ? new RTPingfmDirectInputViewController(account) : nullptr;
        });
}

void RTPingfmDirectInputViewController::updateBudget()
{
    const auto account = pingfmAccount();
    if (!account)
        return;
    if (account->postStatus())
        setLimited(true, 200);
    else if (account->postMicroBlog())
        setLimited(true, 140);
    dealWithMessage(m_text);
}

RTServicePtr RTPingfmDirectInputViewController::accountShortener() const
{
    return RTPingfmClient::defaultShortener();
}

void RTPingfmDirectInputViewController::send()
{
    if (!isReadyToPost())
        return;
    const auto account = pingfmAccount();
    if (!account)
        return;
    const QVariantMap sentState = stateDictionary();
    postToAccount(RTPingfmClient::postTypeForAccount(*account), m_text, sentState);
    finishSend();
}

void RTPingfmDirectInputViewController::postToAccount(int postType, const QString &text,
                                                      const QVariantMap &sentState)
{
    if (RTPingfmClient::postItem(pingfmAccount(), postType, text, sendDelegate(sentState)))
        return;
    // Nothing was sent (the account is gone or belongs to other hosts): the text comes back.
    sendFinished(false,
                 {{QString::fromLatin1(kRTOperationFailureMessageKey),
                   tr("The Ping.fm account cannot post now")}},
                 sentState);
}
