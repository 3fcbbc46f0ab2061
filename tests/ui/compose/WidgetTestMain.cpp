// Entry point of the widget tests: a QApplication on the offscreen platform, with its own
// XDG folders so nothing touches the user's settings.
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
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvo"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
