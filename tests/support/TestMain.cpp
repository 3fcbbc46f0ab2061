// Test entry point: every test process gets its own XDG folders, so tests never touch
// the user's settings or store and can run in parallel.
#include "foundation/OperationQueue.h"

#include <QCoreApplication>
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Loopback test servers must never be reached through a developer's proxy.
    qputenv("no_proxy", "127.0.0.1,localhost,::1");
    qputenv("NO_PROXY", "127.0.0.1,localhost,::1");

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Talvo"));
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    OperationQueue::shutDownAll();
    return status;
}
