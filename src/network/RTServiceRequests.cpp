#include "network/RTServiceRequests.h"

#include "foundation/Log.h"
#include "foundation/RTGlobalVariables.h"

#include <QHash>
#include <QMutex>

namespace {

struct FactoryTable
{
    QMutex lock;
    QHash<QString, RTServiceRequests::Factory> factories;
};

FactoryTable &factoryTable()
{
    static FactoryTable table;
    return table;
}

} // namespace

void RTServiceRequests::registerRequestOperationClass(const QString &className, Factory factory)
{
    FactoryTable &table = factoryTable();
    QMutexLocker locker(&table.lock);
    table.factories.insert(className, std::move(factory));
}

RTRequestOperationPtr RTServiceRequests::makeRequestOperation(const QString &className)
{
    Factory factory;
    {
        FactoryTable &table = factoryTable();
        QMutexLocker locker(&table.lock);
        factory = table.factories.value(className);
    }
    return factory ? factory() : nullptr;
}

RTRequestOperationPtr RTServiceRequests::doRequest(const RTServicePtr &service, qint32 requestType,
                                                   RTRequestDelegatePtr delegate,
                                                   const QVariantMap &parameters,
                                                   const QVariantMap &userInfo, int operationType,
                                                   const QString &requestOperationClass)
{
    if (!service)
        return nullptr;
    if (!userInfo.value(QString::fromLatin1(kRTBypassCredentialsCheckKey)).toBool() &&
        !service->verifiedCredentials()) {
        qCInfo(lcNetwork).noquote()
            << "DELAYED REQUEST" << requestType << "for" << service->description();
        return nullptr;
    }
    // Tokens and passwords never travel to another profile's hosts.
    if (const QString refusal = service->hostProfileRefusal(); !refusal.isEmpty()) {
        qCWarning(lcNetwork).noquote() << "request" << requestType << "refused:" << refusal;
        return nullptr;
    }
    const QString className =
        requestOperationClass.isEmpty() ? service->requestOperationClass() : requestOperationClass;
    RTRequestOperationPtr operation = makeRequestOperation(className);
    if (!operation) {
        qCWarning(lcNetwork).noquote()
            << "no request operation class" << className << "for" << service->description();
        return nullptr;
    }
    operation->setService(service);
    operation->setRequestType(requestType);
    operation->setDelegate(std::move(delegate));
    operation->setPostParameters(parameters);
    operation->setUserInfo(userInfo);
    return enqueue(std::move(operation), dynamic_cast<RTRequestDelegate *>(service.get()), userInfo,
                   operationType);
}

RTRequestOperationPtr RTServiceRequests::doRequest(qint32 requestType,
                                                   RTRequestDelegatePtr delegate,
                                                   const QVariantMap &parameters,
                                                   const QVariantMap &userInfo, int operationType,
                                                   const QString &requestOperationClass)
{
    RTRequestOperationPtr operation = makeRequestOperation(requestOperationClass);
    if (!operation) {
        qCWarning(lcNetwork).noquote() << "no request operation class" << requestOperationClass;
        return nullptr;
    }
    RTRequestDelegate *hook = delegate.get();
    operation->setRequestType(requestType);
    operation->setDelegate(std::move(delegate));
    operation->setPostParameters(parameters);
    operation->setUserInfo(userInfo);
    return enqueue(std::move(operation), hook, userInfo, operationType);
}

RTRequestOperationPtr RTServiceRequests::enqueue(RTRequestOperationPtr operation,
                                                 RTRequestDelegate *hook,
                                                 const QVariantMap &userInfo, int operationType)
{
    OperationQueue *queue = &OperationQueue::forType(operationType);
    const QString priorityKey = QString::fromLatin1(kRTQueuePriorityKey);
    if (userInfo.contains(priorityKey))
        operation->setQueuePriority(userInfo.value(priorityKey).toInt());
    if (hook) {
        if (OperationQueue *chosen = hook->willAddOperation(*operation, queue, userInfo))
            queue = chosen;
    }
    queue->addOperation(operation);
    return operation;
}
