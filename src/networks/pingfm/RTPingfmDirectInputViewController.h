#pragma once

#include "sharing/RTDirectInputLineViewController.h"

#include <memory>

class RTServicePingfm;

// The compose line of a Ping.fm account: a post relayed to the user's other networks, 200
// characters as a status update, 140 as a micro-blog post. Links are shortened through
// the first Ping.fm account.
class RTPingfmDirectInputViewController : public RTDirectInputLineViewController
{
    Q_OBJECT

public:
    explicit RTPingfmDirectInputViewController(std::shared_ptr<RTServicePingfm> account,
                                               QObject *parent = nullptr);

    static void registerFactory();

    [[nodiscard]] std::shared_ptr<RTServicePingfm> pingfmAccount() const
    {
        return m_account.lock();
    }
    void send() override;

protected:
    [[nodiscard]] RTServicePtr accountShortener() const override;
    // Hands the text to the account; tests replace it.
    virtual void postToAccount(int postType, const QString &text, const QVariantMap &sentState);

private:
    // 200 with status posting, 140 with micro-blog posting, else unchanged.
    void updateBudget();

    std::weak_ptr<RTServicePingfm> m_account;
};
