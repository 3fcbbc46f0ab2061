#include "support/TestSupport.h"

#include "foundation/OperationQueue.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

QString testSourceDir()
{
    const QByteArray dir = qgetenv("TALVO_SOURCE_DIR");
    return dir.isEmpty() ? QStringLiteral(TALVO_SOURCE_DIR) : QString::fromLocal8Bit(dir);
}

QString testTempDir()
{
    return QString::fromLocal8Bit(qgetenv("TALVO_TEST_TMP"));
}

bool waitUntil(const std::function<bool()> &pred, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!pred()) {
        if (deadline.hasExpired())
            return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

int runTestProcess(int &argc, char **argv,
                   const std::function<std::unique_ptr<QCoreApplication>(int &, char **)> &makeApp)
{
    QTemporaryDir tmp;
    if (!tmp.isValid())
        return 2;
    const QByteArray root = tmp.path().toLocal8Bit();
    qputenv("TALVO_TEST_TMP", root);
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_DATA_HOME", root + "/data");
    qputenv("XDG_CACHE_HOME", root + "/cache");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("no_proxy", "127.0.0.1,localhost,::1");
    qputenv("NO_PROXY", "127.0.0.1,localhost,::1");

    const std::unique_ptr<QCoreApplication> app = makeApp(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Talvo"));
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    OperationQueue::shutDownAll();
    return status;
}
