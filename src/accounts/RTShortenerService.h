#pragma once

#include "accounts/RTService.h"
#include "accounts/RTServiceProtocols.h"

// Base of the link shorteners. A shortener is either the user's account (listed,
// credentials in the keychain) or an anonymous instance using the program's own
// credentials or none.
class RTShortenerService : public RTService, public RTShortenerServiceProtocol
{
    Q_OBJECT

public:
    explicit RTShortenerService(QObject *parent = nullptr);

    [[nodiscard]] bool isAnonymous() const override { return m_isAnonymous; }
    // RTServiceBitly asks for RTRequestOperationBitly, and so on: the sharing layer
    // registers one operation class per shortener kind.
    [[nodiscard]] QString requestOperationClass() const override
    {
        return QStringLiteral("RTRequestOperation") +
               QString::fromLatin1(metaObject()->className()).mid(9);
    }
    void setIsAnonymous(bool anonymous);

    // "bit.ly" when anonymous, else "bit.ly [alice]".
    [[nodiscard]] QString shortenerServiceName() const override;
    // "<protocol>://<hostname>/": links starting with it belong to the service.
    [[nodiscard]] QString hostStringURL() const;

    // The classes offered as anonymous choices, in offering order.
    [[nodiscard]] static QStringList shortenersClasses();
    // A new anonymous instance of the named shortener class (serviceId "Anonymous");
    // nullptr for a name that is not a registered shortener class.
    [[nodiscard]] static std::shared_ptr<RTShortenerService>
    anonymousShortenerService(const QString &className);
    // The first registered bit.ly account (type 7), else nullptr.
    [[nodiscard]] static RTServicePtr defaultShortener();

    void encodeWithCoder(KeyedArchiver &coder) const override;
    void decodeWithCoder(const KeyedUnarchiver &coder) override;

signals:
    void isAnonymousChanged(bool anonymous);

private:
    bool m_isAnonymous = false;
};
