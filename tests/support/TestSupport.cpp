#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

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
