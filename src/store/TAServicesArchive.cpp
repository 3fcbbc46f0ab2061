#include "store/TAServicesArchive.h"

#include "foundation/KeyedArchive.h"

#include <QCborArray>

namespace {

QByteArray archive(const RTServiceList &services, bool digest)
{
    QCborArray root;
    for (const RTServicePtr &service : services) {
        if (service)
            root.append(KeyedArchiver::archiveObject(service.get(), digest));
    }
    return KeyedArchiver::archivedData(root);
}

} // namespace

QByteArray TAServicesArchive::encode(const RTServiceList &services)
{
    return archive(services, false);
}

QByteArray TAServicesArchive::digest(const RTServiceList &services)
{
    return archive(services, true);
}

TAServicesArchive::Decoded TAServicesArchive::decode(const QByteArray &data)
{
    Decoded out;
    const QCborValue root = KeyedUnarchiver::parseData(data, &out.error);
    if (root.isInvalid())
        return out;
    if (!root.isArray()) {
        out.error = QStringLiteral("the services archive is not an array");
        return out;
    }
    auto error = std::make_shared<QString>();
    RTServiceList services;
    for (const QCborValue &item : root.toArray()) {
        std::unique_ptr<RTArchivable> object = KeyedUnarchiver::unarchiveObject(item, error);
        if (!error->isEmpty())
            break;
        auto *service = dynamic_cast<RTService *>(object.get());
        if (!service) {
            *error = QStringLiteral("an archived entry is not a service");
            break;
        }
        object.release();
        services.append(RTServicePtr(service));
    }
    if (!error->isEmpty()) {
        out.error = *error;
        return out;
    }
    out.services = std::move(services);
    return out;
}
