#include "networks/facebook/RTFacebookDirectInputLineViewController.h"

#include "foundation/RTGlobalVariables.h"
#include "networks/facebook/RTServiceFacebook.h"

RTFacebookDirectInputLineViewController::RTFacebookDirectInputLineViewController(
    std::shared_ptr<RTServiceFacebook> account, QObject *parent)
    : RTDirectInputLineViewController(account, parent)
    , m_account(account)
{
    setLimited(true, 255);
}

void RTFacebookDirectInputLineViewController::registerFactory()
{
    registerControllerFactory(
        3, [](const RTServicePtr &service) -> RTDirectInputLineViewController * {
            const auto account = std::dynamic_pointer_cast<RTServiceFacebook>(service);
            return account ? new RTFacebookDirectInputLineViewController(account) : nullptr;
        });
}

void RTFacebookDirectInputLineViewController::send()
{
    if (!isReadyToPost())
        return;
    const auto account = m_account.lock();
    if (!account)
        return;
    const QVariantMap sentState = stateDictionary();
    const bool sent = account->setUserStatusWithString(m_text, sendDelegate(sentState)) != nullptr;
    finishSend();
    // Nothing was sent (no token yet): the text comes straight back into the emptied line.
    if (!sent)
        sendFinished(false,
                     {{QString::fromLatin1(kRTOperationFailureMessageKey),
                       tr("The Facebook account cannot post now; log in to it again")}},
                     sentState);
}
