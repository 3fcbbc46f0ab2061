#pragma once

#include "network/RTRequestOperation.h"

#include <functional>
#include <memory>

// A request delegate made of two functions, for callers that are not accounts. The
// functions run on the main thread; capture a QPointer to drop answers that come after
// their receiver is gone.
class RTRequestCallback : public RTRequestDelegate
{
public:
    using Handler = std::function<void(const QVariantMap &result)>;

    RTRequestCallback(Handler onSuccess, Handler onFailure)
        : m_onSuccess(std::move(onSuccess))
        , m_onFailure(std::move(onFailure))
    {
    }

    static std::shared_ptr<RTRequestCallback> make(Handler onSuccess, Handler onFailure)
    {
        return std::make_shared<RTRequestCallback>(std::move(onSuccess), std::move(onFailure));
    }

    void serviceRequestSuccess(const QVariantMap &result) override
    {
        if (m_onSuccess)
            m_onSuccess(result);
    }
    void serviceRequestFailure(const QVariantMap &result) override
    {
        if (m_onFailure)
            m_onFailure(result);
    }

private:
    Handler m_onSuccess;
    Handler m_onFailure;
};
