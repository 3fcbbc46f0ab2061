// Entry point of the filter window tests: a QApplication on the offscreen platform, with
// private folders, and the operation queues shut down before the application goes.
#include "foundation/OperationQueue.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    QTemporaryDir tmp;
    if (!tmp.isValid())
        return 2;
    const QByteArray root = tmp.path().toLocal8Bit();
    qputenv("TALVO_TEST_TMP", root);
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_DATA_HOME", root + "/data");
    qputenv("XDG_CACHE_HOME", root + "/cache");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("no_proxy", "127.0.0.1,localhost,::1");
    qputenv("NO_PROXY", "127.0.0.1,localhost,::1");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvo"));
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    OperationQueue::shutDownAll();
    return status;
}
