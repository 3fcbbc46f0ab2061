#include "accounts/RTServiceRegistry.h"

#include "accounts/RTServiceNodeManager.h"
#include "accounts/RTServiceProtocols.h"
#include "foundation/Log.h"
#include "foundation/MainThread.h"

#include <algorithm>

namespace {
bool hasHomeNode(const RTServicePtr &service)
{
    return !service->treeNodeClass().isEmpty() &&
           dynamic_cast<const RTMessageReceivingProtocol *>(service.get()) != nullptr;
}
} // namespace

RTServiceRegistry::RTServiceRegistry(QObject *parent)
    : QObject(parent)
{
}

RTServiceRegistry::~RTServiceRegistry() = default;

RTServiceRegistry &RTServiceRegistry::shared()
{
    // Lives for the whole process, like the data manager that exposes it.
    static auto *registry = new RTServiceRegistry;
    return *registry;
}

void RTServiceRegistry::setServices(const RTServiceList &services)
{
    Q_ASSERT(isOnMainThread());
    m_services = services;
    announceChange();
}

void RTServiceRegistry::addService(const RTServicePtr &service)
{
    Q_ASSERT(isOnMainThread());
    if (!service)
        return;
    // A second entry would give the account two nodes and two timers.
    if (m_services.contains(service)) {
        qCWarning(lcAccounts) << "service already registered:" << service->description();
        return;
    }
    m_services.append(service);
    announceChange();
    if (m_nodeManager && !service->treeNodeClass().isEmpty()) {
        m_nodeManager->addNodeWithService(service, true);
        if (hasHomeNode(service))
            m_nodeManager->observePredicateForHomeNode(service);
    }
}

void RTServiceRegistry::removeService(const RTServicePtr &service)
{
    Q_ASSERT(isOnMainThread());
    if (!service)
        return;
    // Hold the service until removal is done: the registry may own the last reference.
    const RTServicePtr keep = service;
    if (m_nodeManager) {
        if (hasHomeNode(service))
            m_nodeManager->stopObservingPredicateForHomeNode(service);
        m_nodeManager->removeNodeWithService(service);
    }
    if (service->running())
        service->stop();
    service->deleteSelf();
    if (m_services.removeAll(service) > 0)
        announceChange();
}

void RTServiceRegistry::addServiceArray(const RTServiceList &services)
{
    for (const RTServicePtr &s : services)
        addService(s);
}

void RTServiceRegistry::removeServiceArray(const RTServiceList &services)
{
    const RTServiceList copy = services; // the argument may be our own list
    for (const RTServicePtr &s : copy)
        removeService(s);
}

RTServicePtr RTServiceRegistry::serviceWithServiceId(const QString &serviceId, int type) const
{
    for (const RTServicePtr &s : m_services)
        if (s->serviceType() == type && s->serviceId() == serviceId)
            return s;
    return nullptr;
}

bool RTServiceRegistry::hasTwitterServices() const
{
    // Type 2 is the Twitter account; the class itself lives in a later layer.
    return std::any_of(m_services.cbegin(), m_services.cend(),
                       [](const RTServicePtr &s) { return s->serviceType() == 2; });
}

bool RTServiceRegistry::servicesSortLessThan(const RTServicePtr &a, const RTServicePtr &b)
{
    const int wa = a->sortWeight();
    const int wb = b->sortWeight();
    if (wa != wb)
        return wa < wb;
    return QString::compare(a->serviceName(), b->serviceName(), Qt::CaseSensitive) < 0;
}

void RTServiceRegistry::sortServices(RTServiceList &services)
{
    std::stable_sort(services.begin(), services.end(), &RTServiceRegistry::servicesSortLessThan);
}

RTServiceList RTServiceRegistry::allServicesOfSameClass(const QMetaObject &cls) const
{
    RTServiceList result;
    for (const RTServicePtr &s : m_services)
        if (s->metaObject()->inherits(&cls))
            result.append(s);
    sortServices(result);
    return result;
}

RTServiceList RTServiceRegistry::otherSevicesOfSameClass(const RTService &service) const
{
    RTServiceList result;
    for (const RTServicePtr &s : m_services)
        if (s.get() != &service && s->metaObject()->inherits(service.metaObject()))
            result.append(s);
    return result;
}

QStringList RTServiceRegistry::availableServiceClasses()
{
    return {QStringLiteral("RTServiceTwitter")};
}

void RTServiceRegistry::announceChange()
{
    emit servicesChanged();
    emit hasTwitterServicesChanged(hasTwitterServices());
}
