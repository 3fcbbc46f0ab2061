#pragma once

#include "network/RTRequestOperation.h"

#include <QString>
#include <QVariantMap>
#include <functional>

// Starting requests. Accounts sit below this layer and cannot make operations
// themselves, so the account entry point lives here and takes the account; each account
// kind names its operation class (RTService::requestOperationClass()), and the layer
// that defines that class registers a factory for the name.
//
//   RTServiceRequests::doRequest(account, RTTwitterRequestHome, nullptr, {}, userInfo, 0);
class RTServiceRequests
{
public:
    using Factory = std::function<RTRequestOperationPtr()>;

    static void registerRequestOperationClass(const QString &className, Factory factory);
    [[nodiscard]] static RTRequestOperationPtr makeRequestOperation(const QString &className);

    // Queues requestType for the account on the queue of operationType (0 service
    // requests, 1 pictures, 2 link following, 3 immediate; anything else: 0). Dropped
    // (nothing queued, no callback, null returned) while the account's credentials are
    // not verified, unless userInfo says kRTBypassCredentialsCheckKey, and always while the
    // account belongs to another host profile than the installed one. An account that is
    // also an RTRequestDelegate is asked willAddOperation() before queueing.
    // requestOperationClass: another class than the account's own, for calls its own
    // class does not make.
    static RTRequestOperationPtr doRequest(const RTServicePtr &service, qint32 requestType,
                                           RTRequestDelegatePtr delegate,
                                           const QVariantMap &parameters,
                                           const QVariantMap &userInfo, int operationType,
                                           const QString &requestOperationClass = QString());

    // The same for calls that belong to no account: no credentials check, no service, and
    // the delegate is the one asked willAddOperation().
    static RTRequestOperationPtr doRequest(qint32 requestType, RTRequestDelegatePtr delegate,
                                           const QVariantMap &parameters,
                                           const QVariantMap &userInfo, int operationType,
                                           const QString &requestOperationClass);

private:
    static RTRequestOperationPtr enqueue(RTRequestOperationPtr operation, RTRequestDelegate *hook,
                                         const QVariantMap &userInfo, int operationType);
};
