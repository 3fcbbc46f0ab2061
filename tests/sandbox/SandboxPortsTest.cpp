// A second sandbox on the ports of a running one must refuse to start: sharing the port
// would send part of the first one's requests to the wrong certificate.
#include "support/SandboxFixture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(SandboxPorts, ASecondSandboxOnTakenPortsSaysWhichPortAndDoesNotStart)
{
    SandboxFixture running;
    ASSERT_TRUE(running.start()) << running.errorString().toStdString();

    const struct
    {
        int port;
        int tlsPort;
        int taken;
    } cases[] = {
        {running.port(), 0, running.port()},
        {0, running.tlsPort(), running.tlsPort()},
    };
    for (const auto &c : cases) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        QProcess second;
        second.start(SandboxFixture::binaryPath(),
                     {QStringLiteral("--data-dir"), dir.path(), QStringLiteral("--users"),
                      QStringLiteral("2"), QStringLiteral("--port"), QString::number(c.port),
                      QStringLiteral("--tls-port"), QString::number(c.tlsPort)});
        ASSERT_TRUE(second.waitForFinished(20000)) << c.taken;
        EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second.exitCode(), 1) << c.taken;
        // Seeding may have spoken first; the refusal is the last line.
        const QString error = QString::fromUtf8(second.readAllStandardError());
        EXPECT_TRUE(error.endsWith(
            QStringLiteral("talvo-sandbox: port %1 is taken (is another talvo-sandbox running?)\n")
                .arg(c.taken)))
            << error.toStdString();
    }
    EXPECT_TRUE(running.isRunning());
}
