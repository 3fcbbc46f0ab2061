#pragma once

#include "accounts/RTService.h"
#include "foundation/OperationQueue.h"
#include "store/TAImageCache.h"
#include "store/TAStoreFiles.h"
#include "store/TAUrlCache.h"

#include <QObject>
#include <QTimer>
#include <QVariantMap>
#include <memory>

class RTServiceRegistry;
class TASearcherInterface;

// The store: the registry of services, the request queues, the picture and link caches,
// and the five files that keep them across a restart. One per process (sharedManager);
// used on the main thread only.
class TADataManager : public QObject
{
    Q_OBJECT

public:
    static constexpr double kSaveCachedDataTimerInterval = 300.0;

    // Created on first use, restoring the store from the application support folder.
    static TADataManager &sharedManager();
    // Tests: drops the shared instance; the next sharedManager() builds a fresh one that
    // reads folder (empty: the application support folder).
    static void resetSharedManagerForTesting(const QString &folder = QString());

    // A store on folder with the given registry (not owned). sharedManager() uses the
    // application support folder and the process-wide registry.
    TADataManager(const QString &folder, RTServiceRegistry *registry, QObject *parent = nullptr);
    ~TADataManager() override;

    // --- queues ---------------------------------------------------------------------
    // 0 service requests, 1 pictures, 2 link following, 3 immediate; others: 0.
    [[nodiscard]] OperationQueue &operationQueueForType(int type) const;
    [[nodiscard]] OperationQueue &serviceRequestsQueue() const;
    [[nodiscard]] OperationQueue &imageDownloadingRequestsQueue() const;
    [[nodiscard]] OperationQueue &URLFollowingQueue() const;
    [[nodiscard]] OperationQueue &immediateRequestsQueue() const;

    // --- registry -------------------------------------------------------------------
    [[nodiscard]] RTServiceRegistry &registry() const { return *m_registry; }
    [[nodiscard]] const RTServiceList &services() const;
    void addService(const RTServicePtr &service);
    void removeService(const RTServicePtr &service);
    void addServiceArray(const RTServiceList &services);
    void removeServiceArray(const RTServiceList &services);
    [[nodiscard]] RTServicePtr serviceWithServiceId(const QString &serviceId, int type) const;
    [[nodiscard]] bool hasTwitterServices() const;
    // Starts every service in registry order, then the searcher.
    void startupServices();

    [[nodiscard]] TASearcherInterface *searcher() const { return m_searcher.get(); }
    void setSearcher(std::shared_ptr<TASearcherInterface> searcher);

    // --- pictures -------------------------------------------------------------------
    // The cached picture, or a null array: then one download is queued (at most one per
    // URL) and RTNewImageDownloadedNotification is posted when it has arrived.
    QByteArray getImageForUrl(const QString &url);
    // {kRTImageURLKey: URL, kRTImageDataKey: bytes} from a finished download.
    Q_INVOKABLE void newImageDownloaded(const QVariantMap &info);
    [[nodiscard]] const TAImageCache &imageCache() const { return m_imageCache; }
    [[nodiscard]] const QStringList &sortedImageUrls() const { return m_imageCache.sortedKeys(); }

    // --- expanded links -------------------------------------------------------------
    // Keyed by dotlessUrl of the short link; values are the long links, percent-escaped.
    [[nodiscard]] TAUrlCache &urlCache() { return m_urlCache; }
    [[nodiscard]] const TAUrlCache &urlCache() const { return m_urlCache; }
    [[nodiscard]] const QStringList &sortedUrls() const { return m_urlCache.sortedKeys(); }

    // --- files ----------------------------------------------------------------------
    [[nodiscard]] const TAStoreFiles &files() const { return m_files; }
    [[nodiscard]] QTimer *saveCachedDataTimer() const { return m_saveCachedDataTimer; }
    [[nodiscard]] double saveCachedDataTimerInterval() const
    {
        return kSaveCachedDataTimerInterval;
    }
    // Writes each file whose content changed since it was last read or written; a
    // failed write leaves the previous file and is tried again at the next save.
    void saveCachesToDisk();
    // Reads the five files (once, at creation), then appends the default services.
    void restoreCacheFromDisk();
    // Runs after every restore, once the registry holds the saved and default services:
    // later layers use it to link restored services to each other (an account's
    // shortener to the registered instance). Register before the first sharedManager().
    static void addAfterRestoreHook(std::function<void(TADataManager &)> hook);
    // Why the services file was not used at the last restore; empty when it was read or
    // did not exist.
    [[nodiscard]] QString servicesRestoreError() const { return m_servicesRestoreError; }
    // A process that only reads the store (the helper) turns saving off: no timer, no
    // save at termination, and saveCachesToDisk() does nothing.
    void setSavingEnabled(bool enabled);
    [[nodiscard]] bool savingEnabled() const { return m_savingEnabled; }

private:
    // What the store knows of a file's content: the generation of the cache it was
    // written from or read into, or a hash of its bytes.
    struct FileState
    {
        bool generationKnown = false;
        quint64 generation = 0;
        bool hashKnown = false;
        size_t hash = 0;
        qsizetype size = -1;
    };
    void applicationWillTerminate();
    void appendDefaultServices(RTServiceList &services) const;
    // Writes bytes unless the file already holds them; returns whether it is up to date.
    bool saveFile(const char *fileName, FileState &state, quint64 generation, bool haveGeneration,
                  const std::function<QByteArray()> &encode);
    void rememberReadFile(FileState &state, const TAStoreFiles::ReadResult &read);
    static void rememberDecodedFile(FileState &state, quint64 generation);
    void saveServices();

    TAStoreFiles m_files;
    RTServiceRegistry *m_registry;
    std::shared_ptr<TASearcherInterface> m_searcher;
    TAImageCache m_imageCache;
    TAUrlCache m_urlCache;
    QTimer *m_saveCachedDataTimer;
    bool m_savingEnabled = true;
    QString m_servicesRestoreError;

    FileState m_servicesState;
    // The digest of the accounts as the services file last held them; empty: unknown.
    QByteArray m_servicesDigest;
    FileState m_imagesDataState;
    FileState m_imagesIndexState;
    FileState m_urlsDataState;
    FileState m_urlsIndexState;
};
