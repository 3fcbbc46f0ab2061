// talvoctl store: what a store folder holds, without changing it.
#include "CtlCommand.h"

#include "app/TalvoRegistration.h"
#include "foundation/KeyedArchive.h"
#include "store/TAImageCache.h"
#include "store/TAServicesArchive.h"
#include "store/TAStoreFiles.h"
#include "store/TAUrlCache.h"
#include "twitter/RTServiceTwitter.h"

#include <QCborArray>
#include <QCborMap>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// The application support folder, computed without creating it: this command only reads.
QString defaultStoreFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QLatin1String("/Talvo");
}

QString describe(const TAStoreFiles::ReadResult &read)
{
    switch (read.status) {
    case TAStoreFiles::ReadStatus::Missing:
        return QStringLiteral("missing");
    case TAStoreFiles::ReadStatus::Unreadable:
        return QStringLiteral("damaged (%1)").arg(read.error);
    case TAStoreFiles::ReadStatus::Ok:
        break;
    }
    return QStringLiteral("%1 bytes").arg(read.bytes.size());
}

// Lists what can be told from the raw archive when the program would not use it.
void listRawEntries(const QByteArray &bytes, QTextStream &out)
{
    QString error;
    const QCborValue root = KeyedUnarchiver::parseData(bytes, &error);
    if (!root.isArray())
        return;
    int n = 0;
    for (const QCborValue &entry : root.toArray()) {
        const QCborMap map = entry.toMap();
        out << "  " << ++n << ". "
            << map.value(QLatin1String("$class")).toString(QStringLiteral("?")) << "  serviceId "
            << map.value(QLatin1String("serviceId")).toString(QStringLiteral("-")) << "\n";
    }
}

int reportServices(const TAStoreFiles &files, QTextStream &out)
{
    const auto read = files.read(QLatin1String(TAStoreFiles::kServicesFile));
    out << "services.dat: " << describe(read);
    if (read.status != TAStoreFiles::ReadStatus::Ok) {
        out << "\n";
        return read.status == TAStoreFiles::ReadStatus::Missing ? 0 : 1;
    }
    const TAServicesArchive::Decoded decoded = TAServicesArchive::decode(read.bytes);
    if (!decoded.error.isEmpty()) {
        out << ", damaged (" << decoded.error
            << "); the program would start without these services\n";
        listRawEntries(read.bytes, out);
        return 1;
    }
    out << ", " << decoded.services.size() << " services\n";
    int n = 0;
    for (const RTServicePtr &service : decoded.services) {
        out << "  " << ++n << ". " << service->metaObject()->className() << " (type "
            << service->serviceType() << ")  serviceId "
            << (service->serviceId().isNull() ? QStringLiteral("-") : service->serviceId());
        if (!service->isAnonymous()) {
            out << "  profile " << service->effectiveHostProfile();
            if (service->hostProfile().isEmpty())
                out << " (not recorded)";
        }
        if (const auto *twitter = dynamic_cast<const RTServiceTwitter *>(service.get())) {
            const auto flags = twitter->permanentMessageFlags();
            out << "  flag words " << (flags ? flags->size() : 0);
        }
        out << "\n";
    }
    return 0;
}

template<class Cache>
int reportCache(const TAStoreFiles &files, const char *dataName, const char *indexName,
                const char *noun, QTextStream &out)
{
    const auto data = files.read(QLatin1String(dataName));
    const auto index = files.read(QLatin1String(indexName));
    int status = 0;
    out << dataName << ": " << describe(data);
    if (data.status == TAStoreFiles::ReadStatus::Ok) {
        Cache cache;
        QString error;
        QString indexError;
        const std::optional<QByteArray> indexBytes = index.status == TAStoreFiles::ReadStatus::Ok
                                                         ? std::optional(index.bytes)
                                                         : std::nullopt;
        if (cache.decode(data.bytes, indexBytes, &error, &indexError)) {
            out << ", " << cache.count() << " " << noun;
        } else {
            out << ", damaged (" << error << ")";
            status = 1;
        }
        if (!indexError.isEmpty()) {
            out << "\n" << indexName << ": damaged (" << indexError << ")";
            status = 1;
        } else {
            out << "\n" << indexName << ": " << describe(index);
            if (index.status == TAStoreFiles::ReadStatus::Ok)
                out << ", " << cache.sortedKeys().size() << " entries";
            else if (index.status == TAStoreFiles::ReadStatus::Unreadable)
                status = 1;
        }
    } else {
        if (data.status == TAStoreFiles::ReadStatus::Unreadable)
            status = 1;
        out << "\n" << indexName << ": " << describe(index);
    }
    out << "\n";
    return status;
}

} // namespace

int cmdStore(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QString folder = defaultStoreFolder();
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--dir") && i + 1 < args.size()) {
            folder = args.at(++i);
        } else {
            err << "talvoctl store: unexpected argument '" << args.at(i) << "'\n";
            err << "usage: talvoctl store [--dir DIR]\n";
            return 2;
        }
    }
    if (!QFileInfo(folder).isDir()) {
        err << "talvoctl store: the folder " << folder << " does not exist\n";
        return 1;
    }
    registerTalvoLayers();

    const TAStoreFiles files(folder);
    out << "store: " << folder << "\n";
    int status = reportServices(files, out);
    status |= reportCache<TAImageCache>(files, TAStoreFiles::kImagesDataFile,
                                        TAStoreFiles::kImagesIndexFile, "pictures", out);
    status |= reportCache<TAUrlCache>(files, TAStoreFiles::kUrlsDataFile,
                                      TAStoreFiles::kUrlsIndexFile, "links", out);
    out.flush();
    return status;
}
