#pragma once

#include "model/RTMessageTwitter.h"
#include "model/RTUserTwitter.h"
#include "sharing/RTTwitterDirectInputLineViewController.h"
#include "twitter/RTServiceTwitter.h"

#include <QStringList>

// An account whose requests are recorded instead of sent.
class RecordingTwitter : public RTServiceTwitter
{
public:
    struct Request
    {
        qint32 type = 0;
        RTRequestDelegatePtr delegate;
        QVariantMap form;
    };
    QList<Request> requests;

protected:
    RTRequestOperationPtr queueRequest(qint32 requestType, RTRequestDelegatePtr delegate,
                                       const QVariantMap &parameters, const QVariantMap &,
                                       int) override
    {
        requests.append({requestType, std::move(delegate), parameters});
        return nullptr;
    }
};

// A Twitter line whose shortenings are recorded; the test answers them.
class RecordingLine : public RTTwitterDirectInputLineViewController
{
public:
    using RTTwitterDirectInputLineViewController::RTTwitterDirectInputLineViewController;

    QStringList shortenings;
    bool shortenerAvailable = true;

protected:
    bool requestShortening(const RTServicePtr &, const QString &longUrl) override
    {
        if (!shortenerAvailable)
            return false;
        shortenings << longUrl;
        return true;
    }
    [[nodiscard]] QStringList knownShortDomains() const override
    {
        return {QStringLiteral("bit.ly"), QStringLiteral("twitpic.com")};
    }
};

inline RTUserTwitterPtr makeUser(const QString &id, const QString &screenName, qint64 priority = 0)
{
    auto user = RTUserTwitter::create(id);
    user->setScreenName(screenName);
    user->setLongName(screenName.toUpper());
    user->setPriority(priority);
    return user;
}

inline RTMessageTwitterPtr makeMessage(const QString &id, const RTUserTwitterPtr &author,
                                       const QString &body, bool isPrivate = false)
{
    auto message = RTMessageTwitter::create(id);
    message->setUser(author);
    message->setBody(body);
    message->setIsPrivate(isPrivate);
    return message;
}
