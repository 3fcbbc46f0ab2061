#pragma once

#include <QString>
#include <memory>

class RTMessage;

// Capabilities a service kind may adopt, queried with
// RTServiceRegistry::servicesConformingTo<Protocol>(). The layers that implement a
// capability extend these interfaces.

// Accounts that receive messages and keep them in a message and user store.
class RTMessageReceivingProtocol
{
public:
    virtual ~RTMessageReceivingProtocol() = default;
    [[nodiscard]] virtual bool includeMessagesInListViewScopeMeasurement() const = 0;
    // nullptr when the store does not hold the message.
    [[nodiscard]] virtual std::shared_ptr<RTMessage>
    messageWithId(const QString &messageId) const = 0;
};

// Accounts that can post from a compose line.
class RTMessageSendingProtocol
{
public:
    virtual ~RTMessageSendingProtocol() = default;
    [[nodiscard]] virtual QString directInputServiceName() const = 0;
};

// Accounts with saved and temporary searches.
class RTSearchingProtocol
{
public:
    virtual ~RTSearchingProtocol() = default;
    [[nodiscard]] virtual bool isSearchEnabled() const = 0;
};

// Link shorteners.
class RTShortenerServiceProtocol
{
public:
    virtual ~RTShortenerServiceProtocol() = default;
    [[nodiscard]] virtual QString shortenerServiceName() const = 0;
    [[nodiscard]] virtual int shortenerServiceType() const = 0;
};

// Picture hosts.
class RTServiceImagerProtocol
{
public:
    virtual ~RTServiceImagerProtocol() = default;
    [[nodiscard]] virtual qint64 imageSizeLimitInBytes() const = 0;
    [[nodiscard]] virtual QString imagerServiceName() const = 0;
};
