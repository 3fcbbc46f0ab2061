#pragma once

#include "foundation/HostProfile.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

struct SandboxFixtureOptions
{
    int users = 12;
    quint32 seed = 1;
    double activity = 0;
    QString faultsFile; // empty: <dataDir>/faults.conf, which writeFaults() fills
};

// Runs a real talvo-sandbox for a test: on free ports, in a temporary folder, until the
// fixture is stopped or destroyed. Typical use, once per test suite:
//
//   static SandboxFixture sandbox;
//   ASSERT_TRUE(sandbox.start()) << sandbox.errorString();
//   HostProfile::setCurrent(sandbox.profile());
class SandboxFixture
{
public:
    using Options = SandboxFixtureOptions;

    SandboxFixture();
    ~SandboxFixture();
    SandboxFixture(const SandboxFixture &) = delete;
    SandboxFixture &operator=(const SandboxFixture &) = delete;

    // Starts the sandbox and waits until it listens (at most timeoutMs).
    bool start(const Options &options = Options(), int timeoutMs = 20000);
    // Stops it (SIGTERM, then SIGKILL after 5 s); the data folder stays until the fixture
    // is destroyed.
    void stop();
    // Whether the last stop() ended the sandbox by its own shutdown on SIGTERM.
    [[nodiscard]] bool stoppedCleanly() const { return m_stoppedCleanly; }
    // Stops and starts again on the same data folder (new ports, same state).
    bool restart(int timeoutMs = 20000);

    [[nodiscard]] bool isRunning() const;
    [[nodiscard]] const HostProfile &profile() const { return m_profile; }
    [[nodiscard]] int port() const { return m_port; }
    [[nodiscard]] int tlsPort() const { return m_tlsPort; }
    [[nodiscard]] QString dataDir() const;
    [[nodiscard]] QString caBundle() const { return m_profile.caBundle(); }
    [[nodiscard]] QString errorString() const { return m_error; }
    // The sandbox's request log so far (one line per request).
    [[nodiscard]] QString log() const;

    // Replaces the fault rules; the sandbox picks them up with its next request.
    bool writeFaults(const QByteArray &rules);

    // Screen names of the seeded users start with these; every password is this.
    static constexpr char kPassword[] = "sandbox";
    static QString binaryPath();

private:
    bool launch(int timeoutMs);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    Options m_options;
    HostProfile m_profile;
    int m_port = 0;
    int m_tlsPort = 0;
    QString m_error;
    bool m_stoppedCleanly = false;
};
