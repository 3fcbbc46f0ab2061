#pragma once

#include "accounts/RTService.h"

#include <QMetaObject>
#include <QObject>

class RTServiceNodeManager;

// The ordered list of configured services and the class-level queries over it. The data
// manager owns the process-wide instance (shared()) and archives its list. The registry
// holds each service by std::shared_ptr. Main thread only.
class RTServiceRegistry : public QObject
{
    Q_OBJECT

public:
    explicit RTServiceRegistry(QObject *parent = nullptr);
    ~RTServiceRegistry() override;

    static RTServiceRegistry &shared();

    [[nodiscard]] const RTServiceList &services() const { return m_services; }
    // Replaces the list as restored from the store; the tree is built from it later.
    void setServices(const RTServiceList &services);

    // Not owned; nullptr when there is no tree (the helper, tests).
    void setNodeManager(RTServiceNodeManager *manager) { m_nodeManager = manager; }
    [[nodiscard]] RTServiceNodeManager *nodeManager() const { return m_nodeManager; }

    void addService(const RTServicePtr &service);
    void removeService(const RTServicePtr &service);
    void addServiceArray(const RTServiceList &services);
    void removeServiceArray(const RTServiceList &services);

    [[nodiscard]] RTServicePtr serviceWithServiceId(const QString &serviceId, int type) const;
    [[nodiscard]] bool hasTwitterServices() const;

    // sortWeight ascending, then serviceName ascending; a stable sort keeps registry
    // order between equals.
    [[nodiscard]] static bool servicesSortLessThan(const RTServicePtr &a, const RTServicePtr &b);
    static void sortServices(RTServiceList &services);

    // Every service whose class is cls or derives from it, sorted.
    [[nodiscard]] RTServiceList allServicesOfSameClass(const QMetaObject &cls) const;
    template<class T> [[nodiscard]] QList<std::shared_ptr<T>> allServicesOfSameClass() const
    {
        QList<std::shared_ptr<T>> result;
        for (const RTServicePtr &s : allServicesOfSameClass(T::staticMetaObject))
            result.append(std::static_pointer_cast<T>(s));
        return result;
    }
    // Every service adopting the capability interface P, sorted.
    template<class P> [[nodiscard]] RTServiceList servicesConformingTo() const
    {
        RTServiceList result;
        for (const RTServicePtr &s : m_services)
            if (dynamic_cast<const P *>(s.get()))
                result.append(s);
        sortServices(result);
        return result;
    }
    // Every other service whose class is a kind of service's class, in registry order.
    [[nodiscard]] RTServiceList otherSevicesOfSameClass(const RTService &service) const;

    // The kinds the add-account screen offers.
    [[nodiscard]] static QStringList availableServiceClasses();

signals:
    void servicesChanged();
    // Announced with every change of the list, as the answer may have changed.
    void hasTwitterServicesChanged(bool has);

private:
    void announceChange();

    RTServiceList m_services;
    RTServiceNodeManager *m_nodeManager = nullptr;
};
