#pragma once

#include "accounts/RTShortenerService.h"

// A Ping.fm account: relays posts and shortens links. The two post switches exclude
// each other.
class RTServicePingfm : public RTShortenerService
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit RTServicePingfm(QObject *parent = nullptr);

    [[nodiscard]] int serviceType() const override { return 4; }
    [[nodiscard]] int sortWeight() const override { return 10; }
    [[nodiscard]] bool shouldAppearInServiceList() const override { return true; }
    [[nodiscard]] int shortenerServiceType() const override { return 8; }
    // "ping.fm [alice]": a Ping.fm account is never anonymous.
    [[nodiscard]] QString shortenerServiceName() const override;

    [[nodiscard]] bool postMicroBlog() const { return m_postMicroBlog; }
    void setPostMicroBlog(bool on);
    [[nodiscard]] bool postStatus() const { return m_postStatus; }
    void setPostStatus(bool on);

    void encodeWithCoder(KeyedArchiver &coder) const override;
    void decodeWithCoder(const KeyedUnarchiver &coder) override;

signals:
    // Either switch changed; the compose line's budget follows them.
    void postSwitchesChanged();

private:
    bool m_postMicroBlog = true;
    bool m_postStatus = false;
};
