#include "store/TAServicesArchive.h"

#include "foundation/KeyedArchive.h"

#include <QCborArray>

namespace {

constexpr qsizetype kLargeMap = 1024;

QByteArray archiveDigest(const RTServiceList &services)
{
    QCborArray root;
    for (const RTServicePtr &service : services) {
        if (service)
            root.append(KeyedArchiver::archiveObject(service.get(), true));
    }
    return KeyedArchiver::archivedData(root);
}

} // namespace

QByteArray TAServicesArchive::encode(const RTServiceList &services)
{
    std::vector<const RTArchivable *> objects;
    objects.reserve(size_t(services.size()));
    for (const RTServicePtr &service : services)
        objects.push_back(service.get());
    return KeyedArchiver::archivedObjectsData(objects);
}

QByteArray TAServicesArchive::digest(const RTServiceList &services)
{
    return archiveDigest(services);
}

TAServicesArchive::Decoded TAServicesArchive::decode(const QByteArray &data)
{
    Decoded out;
    // The flag words of an account are one map of up to 50,000 entries: left as bytes for
    // the account to read straight.
    const QCborValue root =
        KeyedUnarchiver::parseDataSettingAsideLargeMaps(data, &out.error, kLargeMap);
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
