#include "accounts/RTServiceRegistry.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/UrlKeys.h"
#include "store/TADataManager.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <QCoreApplication>
#include <QDir>
#include <QMutex>
#include <QUuid>
#include <atomic>
#include <thread>

namespace {

// A picture host on loopback that counts what it is asked for.
class PictureServer
{
public:
    PictureServer()
    {
        m_server.Get(".*", [this](const httplib::Request &req, httplib::Response &res) {
            {
                QMutexLocker lock(&m_mutex);
                m_paths.append(QString::fromStdString(req.path));
            }
            if (req.path == "/pic.png" || req.path == "/a pic.png") {
                res.set_content(std::string("\x89PNG-bytes", 10), "image/png");
            } else if (req.path == "/empty.png") {
                res.set_content("", "image/png");
            } else {
                res.status = 404;
                res.set_content("not found", "text/plain");
            }
        });
        // One request per connection, so stopping does not wait out an idle keep-alive.
        m_server.set_keep_alive_max_count(1);
        // Bound and listening already: requests wait for the accept loop.
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~PictureServer()
    {
        m_server.stop();
        m_thread.join();
    }
    QString url(const char *path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(QLatin1String(path));
    }
    QStringList paths()
    {
        QMutexLocker lock(&m_mutex);
        return m_paths;
    }

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    QMutex m_mutex;
    QStringList m_paths;
};

} // namespace

TEST(ImageDownloadTest, OneDownloadPerPictureAndOnlySuccessfulAnswersAreKept)
{
    PictureServer server;
    const QString folder =
        testTempDir() + QLatin1String("/pictures-") + QUuid::createUuid().toString(QUuid::Id128);
    RTServiceRegistry registry;
    TADataManager dm(folder, &registry);
    std::atomic<int> arrivals{0};
    const int observer = NotificationCenter::defaultCenter().addObserver(
        QLatin1String(RTNewImageDownloadedNotification),
        [&arrivals, &dm](const void *object, const QVariantMap &) {
            if (object == &dm)
                ++arrivals;
        });

    const QString pic = server.url("/pic.png");
    EXPECT_TRUE(dm.getImageForUrl(pic).isNull());
    EXPECT_TRUE(dm.getImageForUrl(pic).isNull());
    ASSERT_TRUE(waitUntil([&] { return arrivals.load() == 1; }));
    EXPECT_EQ(dm.getImageForUrl(pic), QByteArray("\x89PNG-bytes", 10));

    // A link with a blank is escaped before it is fetched (the server sees it decoded).
    const QString spaced = server.url("/a pic.png");
    EXPECT_TRUE(dm.getImageForUrl(spaced).isNull());
    ASSERT_TRUE(waitUntil([&] { return arrivals.load() == 2; }));
    EXPECT_FALSE(dm.getImageForUrl(spaced).isNull());

    // Error pages and empty answers are not pictures; the placeholder stays, so they are
    // not asked for again.
    for (const char *path : {"/missing.png", "/empty.png"}) {
        const QString url = server.url(path);
        EXPECT_TRUE(dm.getImageForUrl(url).isNull());
        dm.imageDownloadingRequestsQueue().waitUntilAllOperationsAreFinished();
        QCoreApplication::processEvents();
        EXPECT_TRUE(dm.imageCache().isPlaceholder(dotlessUrl(url))) << path;
        EXPECT_TRUE(dm.getImageForUrl(url).isNull());
    }
    dm.imageDownloadingRequestsQueue().waitUntilAllOperationsAreFinished();
    QCoreApplication::processEvents();
    EXPECT_EQ(arrivals.load(), 2);
    EXPECT_EQ(server.paths(),
              (QStringList{"/pic.png", "/a pic.png", "/missing.png", "/empty.png"}));
    NotificationCenter::defaultCenter().removeObserver(observer);
}

TEST(ImageDownloadTest, MalformedArrivalsAreIgnored)
{
    const QString folder =
        testTempDir() + QLatin1String("/arrivals-") + QUuid::createUuid().toString(QUuid::Id128);
    RTServiceRegistry registry;
    TADataManager dm(folder, &registry);
    const QVariantMap bad[] = {
        {},
        {{kRTImageURLKey, QStringLiteral("http://p/1")}},
        {{kRTImageURLKey, 5}, {kRTImageDataKey, QByteArray("x")}},
        {{kRTImageURLKey, QStringLiteral("http://p/1")}, {kRTImageDataKey, QStringLiteral("x")}},
    };
    for (const QVariantMap &info : bad)
        dm.newImageDownloaded(info);
    EXPECT_EQ(dm.imageCache().count(), 0);
    EXPECT_TRUE(dm.sortedImageUrls().isEmpty());
}
