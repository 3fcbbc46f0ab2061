#pragma once

#include "sharing/RTDirectInputLineViewController.h"

#include <memory>

class RTServiceFacebook;

// The compose line of a Facebook account: a status update of at most 255 characters.
class RTFacebookDirectInputLineViewController : public RTDirectInputLineViewController
{
    Q_OBJECT

public:
    explicit RTFacebookDirectInputLineViewController(std::shared_ptr<RTServiceFacebook> account,
                                                     QObject *parent = nullptr);

    static void registerFactory();

    void send() override;

private:
    std::weak_ptr<RTServiceFacebook> m_account;
};
