#pragma once

#include "accounts/RTService.h"

// The companion service of Talvo's maker. Anonymous until the user configures an account.
// The companion layer adds its jobs, filters and the process-wide instance.
class RTServiceTalvo : public RTService
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit RTServiceTalvo(QObject *parent = nullptr);

    [[nodiscard]] int serviceType() const override { return 8; }
    [[nodiscard]] bool shouldAppearInServiceList() const override { return false; }
    [[nodiscard]] QString treeNodeClass() const override
    {
        return QStringLiteral("RTTreeNodeTalvo");
    }
    [[nodiscard]] QString requestOperationClass() const override
    {
        return QStringLiteral("RTRequestOperationTalvo");
    }

    [[nodiscard]] bool isAnonymous() const override { return m_isAnonymous; }
    void setIsAnonymous(bool anonymous) { m_isAnonymous = anonymous; }

    void encodeWithCoder(KeyedArchiver &coder) const override;
    void decodeWithCoder(const KeyedUnarchiver &coder) override;

private:
    bool m_isAnonymous = true;
};
