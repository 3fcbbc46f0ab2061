#pragma once

#include "accounts/RTService.h"
#include "accounts/RTServiceProtocols.h"

// Base of the picture hosts. Most are used anonymously with the posting Twitter
// account's credentials; only Mobypicture is an account of its own.
class RTServiceImager : public RTService, public RTServiceImagerProtocol
{
    Q_OBJECT

public:
    explicit RTServiceImager(QObject *parent = nullptr);

    [[nodiscard]] bool isAnonymous() const override { return m_isAnonymous; }
    // RTServiceTwitpic asks for RTRequestOperationTwitpic, and so on: the sharing layer
    // registers one operation class per picture host kind.
    [[nodiscard]] QString requestOperationClass() const override
    {
        return QStringLiteral("RTRequestOperation") +
               QString::fromLatin1(metaObject()->className()).mid(9);
    }
    void setIsAnonymous(bool anonymous) { m_isAnonymous = anonymous; }
    [[nodiscard]] bool shouldAppearInServiceList() const override { return !m_isAnonymous; }

    // The classes offered as anonymous choices, in offering order.
    [[nodiscard]] static QStringList imagerClasses();
    // A new anonymous instance of the named picture-host class (serviceId "Anonymous");
    // nullptr for a name that is not a registered picture-host class.
    [[nodiscard]] static std::shared_ptr<RTServiceImager>
    anonymousImagerService(const QString &className);
    // The first registered Twitpic service (type 14), else nullptr.
    [[nodiscard]] static RTServicePtr defaultImager();

private:
    bool m_isAnonymous = true;
};
