#include "store/TADataManager.h"

#include "accounts/AccountsRegistration.h"
#include "accounts/RTServiceImager.h"
#include "accounts/RTServiceRegistry.h"
#include "accounts/RTServiceTalvo.h"
#include "accounts/RTShortenerService.h"
#include "foundation/Log.h"
#include "foundation/MainThread.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/UrlKeys.h"
#include "platform/TAUtility.h"
#include "store/TAImageDownloadOperation.h"
#include "store/TASearcherInterface.h"
#include "store/TAServicesArchive.h"

#include <QCoreApplication>
#include <QFile>
#include <QHashFunctions>

namespace {

constexpr int kTwitterServiceType = 2;
constexpr char kDamagedSuffix[] = ".damaged";

struct SharedInstance
{
    std::unique_ptr<TADataManager> manager;
    QString folderOverride;
};

SharedInstance &sharedInstance()
{
    static SharedInstance instance;
    return instance;
}

std::vector<std::function<void(TADataManager &)>> &afterRestoreHooks()
{
    static std::vector<std::function<void(TADataManager &)>> hooks;
    return hooks;
}

bool isKindOfClass(const QObject &object, const QString &className)
{
    for (const QMetaObject *mo = object.metaObject(); mo; mo = mo->superClass()) {
        if (QLatin1String(mo->className()) == className)
            return true;
    }
    return false;
}

template<class Base>
bool holdsAnonymousInstance(const RTServiceList &services, const QString &className)
{
    for (const RTServicePtr &service : services) {
        const auto *typed = dynamic_cast<const Base *>(service.get());
        if (typed && typed->isAnonymous() && isKindOfClass(*service, className))
            return true;
    }
    return false;
}

size_t contentHash(const QByteArray &bytes)
{
    return qHashBits(bytes.constData(), size_t(bytes.size()), 0);
}

} // namespace

TADataManager &TADataManager::sharedManager()
{
    SharedInstance &shared = sharedInstance();
    if (!shared.manager) {
        const QString folder = shared.folderOverride.isEmpty()
                                   ? TAUtility::applicationSupportFolder()
                                   : shared.folderOverride;
        shared.manager =
            std::make_unique<TADataManager>(folder, &RTServiceRegistry::shared(), nullptr);
    }
    return *shared.manager;
}

void TADataManager::resetSharedManagerForTesting(const QString &folder)
{
    SharedInstance &shared = sharedInstance();
    if (shared.manager) {
        shared.manager->setSavingEnabled(false);
        shared.manager.reset();
    }
    RTServiceRegistry::shared().setServices({});
    shared.folderOverride = folder;
}

TADataManager::TADataManager(const QString &folder, RTServiceRegistry *registry, QObject *parent)
    : QObject(parent)
    , m_files(folder)
    , m_registry(registry)
    , m_saveCachedDataTimer(new QTimer(this))
{
    Q_ASSERT(isOnMainThread());
    Q_ASSERT(m_registry);
    // Restoring needs every service class; registering twice is harmless.
    registerAccountArchiveClasses();

    m_saveCachedDataTimer->setInterval(int(kSaveCachedDataTimerInterval * 1000));
    m_saveCachedDataTimer->setSingleShot(false);
    connect(m_saveCachedDataTimer, &QTimer::timeout, this, &TADataManager::saveCachesToDisk);
    m_saveCachedDataTimer->start();
    if (QCoreApplication *app = QCoreApplication::instance()) {
        connect(app, &QCoreApplication::aboutToQuit, this,
                &TADataManager::applicationWillTerminate);
    }
    if (const int removed = m_files.removeLeftoverTemporaryFiles())
        qCInfo(lcStore) << "removed" << removed << "unfinished store files";
    restoreCacheFromDisk();
}

TADataManager::~TADataManager() = default;

// --- queues ---------------------------------------------------------------------------

OperationQueue &TADataManager::operationQueueForType(int type) const
{
    return OperationQueue::forType(type);
}

OperationQueue &TADataManager::serviceRequestsQueue() const
{
    return OperationQueue::forType(OperationQueue::ServiceRequests);
}

OperationQueue &TADataManager::imageDownloadingRequestsQueue() const
{
    return OperationQueue::forType(OperationQueue::ImageDownloadingRequests);
}

OperationQueue &TADataManager::URLFollowingQueue() const
{
    return OperationQueue::forType(OperationQueue::UrlFollowing);
}

OperationQueue &TADataManager::immediateRequestsQueue() const
{
    return OperationQueue::forType(OperationQueue::ImmediateRequests);
}

// --- registry -------------------------------------------------------------------------

const RTServiceList &TADataManager::services() const
{
    return m_registry->services();
}

void TADataManager::addService(const RTServicePtr &service)
{
    m_registry->addService(service);
}

void TADataManager::removeService(const RTServicePtr &service)
{
    m_registry->removeService(service);
}

void TADataManager::addServiceArray(const RTServiceList &services)
{
    m_registry->addServiceArray(services);
}

void TADataManager::removeServiceArray(const RTServiceList &services)
{
    m_registry->removeServiceArray(services);
}

RTServicePtr TADataManager::serviceWithServiceId(const QString &serviceId, int type) const
{
    return m_registry->serviceWithServiceId(serviceId, type);
}

bool TADataManager::hasTwitterServices() const
{
    const RTServiceList &all = services();
    return std::any_of(all.cbegin(), all.cend(), [](const RTServicePtr &s) {
        return s && s->serviceType() == kTwitterServiceType;
    });
}

void TADataManager::startupServices()
{
    Q_ASSERT(isOnMainThread());
    // A copy: a service that starts may change the registry.
    const RTServiceList all = services();
    for (const RTServicePtr &service : all) {
        if (const QString refusal = service->hostProfileRefusal(); !refusal.isEmpty()) {
            qCWarning(lcStore).noquote() << "not started:" << refusal;
            continue;
        }
        service->start();
    }
    if (m_searcher)
        m_searcher->start();
}

void TADataManager::setSearcher(std::shared_ptr<TASearcherInterface> searcher)
{
    m_searcher = std::move(searcher);
}

// --- pictures -------------------------------------------------------------------------

QByteArray TADataManager::getImageForUrl(const QString &url)
{
    Q_ASSERT(isOnMainThread());
    bool fetchNeeded = false;
    const QByteArray data = m_imageCache.lookup(dotlessUrl(url), &fetchNeeded);
    if (fetchNeeded) {
        auto operation = std::make_shared<TAImageDownloadOperation>(url, this);
        operation->setQueuePriority(Operation::QueuePriorityVeryLow);
        imageDownloadingRequestsQueue().addOperation(operation);
    }
    return data;
}

void TADataManager::newImageDownloaded(const QVariantMap &info)
{
    Q_ASSERT(isOnMainThread());
    const QVariant url = info.value(QLatin1String(kRTImageURLKey));
    const QVariant data = info.value(QLatin1String(kRTImageDataKey));
    if (url.typeId() != QMetaType::QString || data.typeId() != QMetaType::QByteArray) {
        qCWarning(lcStore) << "picture arrival without a link or data; ignored";
        return;
    }
    m_imageCache.insert(dotlessUrl(url.toString()), data.toByteArray());
    NotificationCenter::defaultCenter().post(QLatin1String(RTNewImageDownloadedNotification), this);
}

// --- files ----------------------------------------------------------------------------

void TADataManager::setSavingEnabled(bool enabled)
{
    m_savingEnabled = enabled;
    if (enabled)
        m_saveCachedDataTimer->start();
    else
        m_saveCachedDataTimer->stop();
}

void TADataManager::applicationWillTerminate()
{
    if (m_savingEnabled)
        saveCachesToDisk();
}

bool TADataManager::saveFile(const char *fileName, FileState &state, quint64 generation,
                             bool haveGeneration, const std::function<QByteArray()> &encode)
{
    const QString name = QLatin1String(fileName);
    const bool onDisk = m_files.exists(name);
    if (onDisk && haveGeneration && state.generationKnown && state.generation == generation)
        return true;
    const QByteArray bytes = encode();
    // Bytes are hashed only where the generation cannot tell: a file without one, or one
    // whose content is known by its hash alone.
    std::optional<size_t> hash;
    if (onDisk && state.hashKnown && state.size == bytes.size()) {
        hash = contentHash(bytes);
        if (*hash == state.hash) {
            state.generationKnown = haveGeneration;
            state.generation = generation;
            return true;
        }
    }
    QString error;
    if (!m_files.write(name, bytes, &error)) {
        qCWarning(lcStore) << "could not save" << name << ":" << error;
        return false;
    }
    state.generationKnown = haveGeneration;
    state.generation = generation;
    state.hashKnown = !haveGeneration;
    state.hash = state.hashKnown ? hash.value_or(contentHash(bytes)) : 0;
    state.size = bytes.size();
    return true;
}

void TADataManager::saveCachesToDisk()
{
    Q_ASSERT(isOnMainThread());
    if (!m_savingEnabled)
        return;
    // Each file stands alone: one failure does not keep the others from being written.
    saveFile(TAStoreFiles::kImagesDataFile, m_imagesDataState, m_imageCache.dataGeneration(), true,
             [this] { return m_imageCache.encodeData(); });
    saveFile(TAStoreFiles::kImagesIndexFile, m_imagesIndexState, m_imageCache.indexGeneration(),
             true, [this] { return m_imageCache.encodeIndex(); });
    saveFile(TAStoreFiles::kUrlsDataFile, m_urlsDataState, m_urlCache.dataGeneration(), true,
             [this] { return m_urlCache.encodeData(); });
    saveFile(TAStoreFiles::kUrlsIndexFile, m_urlsIndexState, m_urlCache.indexGeneration(), true,
             [this] { return m_urlCache.encodeIndex(); });
    saveServices();
}

void TADataManager::saveServices()
{
    // Accounts change without telling the store; their digest, cheap to build, says
    // whether the full archive can differ from the file.
    const QByteArray digest = TAServicesArchive::digest(services());
    if (!m_servicesDigest.isEmpty() && digest == m_servicesDigest &&
        m_files.exists(QLatin1String(TAStoreFiles::kServicesFile)))
        return;
    if (saveFile(TAStoreFiles::kServicesFile, m_servicesState, 0, false,
                 [this] { return TAServicesArchive::encode(services()); }))
        m_servicesDigest = digest;
}

void TADataManager::rememberReadFile(FileState &state, const TAStoreFiles::ReadResult &read)
{
    // What is on disk now; the first save encodes again and writes only what differs.
    state = FileState();
    if (read.status == TAStoreFiles::ReadStatus::Ok) {
        state.hashKnown = true;
        state.hash = contentHash(read.bytes);
        state.size = read.bytes.size();
    }
}

void TADataManager::rememberDecodedFile(FileState &state, quint64 generation)
{
    // The file holds what the cache was decoded into: it is current until the cache changes.
    state = FileState();
    state.generationKnown = true;
    state.generation = generation;
}

void TADataManager::restoreCacheFromDisk()
{
    Q_ASSERT(isOnMainThread());
    using Status = TAStoreFiles::ReadStatus;

    const auto imagesData = m_files.read(QLatin1String(TAStoreFiles::kImagesDataFile));
    const auto imagesIndex = m_files.read(QLatin1String(TAStoreFiles::kImagesIndexFile));
    // Files that decode as they are stay current until the caches change; any other file
    // is written at the next save.
    m_imagesDataState = FileState();
    m_imagesIndexState = FileState();
    m_imageCache.clear();
    if (imagesData.status == Status::Ok) {
        QString error;
        QString indexError;
        const std::optional<QByteArray> index =
            imagesIndex.status == Status::Ok ? std::optional(imagesIndex.bytes) : std::nullopt;
        if (!m_imageCache.decode(imagesData.bytes, index, &error, &indexError)) {
            qCWarning(lcStore) << "picture cache not used:" << error;
        } else {
            rememberDecodedFile(m_imagesDataState, m_imageCache.dataGeneration());
            if (!indexError.isEmpty() || imagesIndex.status == Status::Unreadable)
                qCWarning(lcStore) << "picture index rebuilt:" << indexError << imagesIndex.error;
            else if (imagesIndex.status == Status::Ok)
                rememberDecodedFile(m_imagesIndexState, m_imageCache.indexGeneration());
        }
    } else if (imagesData.status == Status::Unreadable) {
        qCWarning(lcStore) << "picture cache not used:" << imagesData.error;
    }

    const auto urlsData = m_files.read(QLatin1String(TAStoreFiles::kUrlsDataFile));
    const auto urlsIndex = m_files.read(QLatin1String(TAStoreFiles::kUrlsIndexFile));
    m_urlsDataState = FileState();
    m_urlsIndexState = FileState();
    m_urlCache.clear();
    if (urlsData.status == Status::Ok) {
        QString error;
        QString indexError;
        const std::optional<QByteArray> index =
            urlsIndex.status == Status::Ok ? std::optional(urlsIndex.bytes) : std::nullopt;
        if (!m_urlCache.decode(urlsData.bytes, index, &error, &indexError)) {
            qCWarning(lcStore) << "link cache not used:" << error;
        } else {
            rememberDecodedFile(m_urlsDataState, m_urlCache.dataGeneration());
            if (!indexError.isEmpty())
                qCWarning(lcStore) << "link index not used:" << indexError;
            else if (urlsIndex.status == Status::Ok)
                rememberDecodedFile(m_urlsIndexState, m_urlCache.indexGeneration());
        }
    } else if (urlsData.status == Status::Unreadable) {
        qCWarning(lcStore) << "link cache not used:" << urlsData.error;
    }

    // A services file we cannot read stays in place until the next save replaces it.
    const auto servicesData = m_files.read(QLatin1String(TAStoreFiles::kServicesFile));
    rememberReadFile(m_servicesState, servicesData);
    m_servicesDigest.clear();
    m_servicesRestoreError.clear();
    RTServiceList restored;
    if (servicesData.status == Status::Ok) {
        TAServicesArchive::Decoded decoded = TAServicesArchive::decode(servicesData.bytes);
        m_servicesRestoreError = decoded.error;
        restored = std::move(decoded.services);
    } else if (servicesData.status == Status::Unreadable) {
        m_servicesRestoreError = servicesData.error;
    }
    if (!m_servicesRestoreError.isEmpty()) {
        qCWarning(lcStore) << "saved accounts not used, starting without them:"
                           << m_servicesRestoreError;
        // The next save replaces the file; keep a copy so the accounts can be recovered.
        const QString path = m_files.path(QLatin1String(TAStoreFiles::kServicesFile));
        const QString copy = path + QLatin1String(kDamagedSuffix);
        QFile::remove(copy);
        if (!QFile::copy(path, copy))
            qCWarning(lcStore) << "could not keep a copy of the damaged accounts file";
    }
    appendDefaultServices(restored);
    m_registry->setServices(restored);
    for (const auto &hook : afterRestoreHooks())
        hook(*this);
}

void TADataManager::addAfterRestoreHook(std::function<void(TADataManager &)> hook)
{
    Q_ASSERT(isOnMainThread());
    afterRestoreHooks().push_back(std::move(hook));
}

void TADataManager::appendDefaultServices(RTServiceList &services) const
{
    const RTServiceList saved = services;
    for (const QString &cls : RTShortenerService::shortenersClasses()) {
        if (holdsAnonymousInstance<RTShortenerService>(saved, cls))
            continue;
        if (auto shortener = RTShortenerService::anonymousShortenerService(cls))
            services.append(shortener);
    }
    for (const QString &cls : RTServiceImager::imagerClasses()) {
        if (holdsAnonymousInstance<RTServiceImager>(saved, cls))
            continue;
        if (auto imager = RTServiceImager::anonymousImagerService(cls))
            services.append(imager);
    }
    const bool hasCompanion =
        std::any_of(services.cbegin(), services.cend(), [](const RTServicePtr &s) {
            return dynamic_cast<const RTServiceTalvo *>(s.get()) != nullptr;
        });
    if (!hasCompanion) {
        if (RTServicePtr companion = createServiceOfClass(QStringLiteral("RTServiceTalvo")))
            services.append(companion);
    }
}
