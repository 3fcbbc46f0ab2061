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
    using Setup = std::function<void(RTRequestOperation &operation)>;

    // setup: adjusts the operation just before it is queued (requests without an account).
    RTRequestCallback(Handler onSuccess, Handler onFailure, Setup setup = {})
        : m_onSuccess(std::move(onSuccess))
        , m_onFailure(std::move(onFailure))
        , m_setup(std::move(setup))
    {
    }

    static std::shared_ptr<RTRequestCallback> make(Handler onSuccess, Handler onFailure,
                                                   Setup setup = {})
    {
        return std::make_shared<RTRequestCallback>(std::move(onSuccess), std::move(onFailure),
                                                   std::move(setup));
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

    OperationQueue *willAddOperation(RTRequestOperation &operation, OperationQueue *,
                                     const QVariantMap &) override
    {
        if (m_setup)
            m_setup(operation);
        return nullptr;
    }

private:
    Handler m_onSuccess;
    Handler m_onFailure;
    Setup m_setup;
};
