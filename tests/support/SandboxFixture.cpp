#include "support/SandboxFixture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QThread>

namespace {

// The CA and server certificate are made once per build and copied into each new data
// folder: making them costs more than the rest of a sandbox's start.
const char *const kCertFiles[] = {"ca.pem", "ca.key", "server.pem", "server.key", "server.names"};

QString certCacheDir()
{
    return QFileInfo(SandboxFixture::binaryPath()).absolutePath() + QStringLiteral("/test-certs");
}

bool copyCerts(const QString &from, const QString &to)
{
    if (!QDir().mkpath(to))
        return false;
    for (const char *name : kCertFiles) {
        const QString file = QString::fromLatin1(name);
        if (!QFile::copy(from + u'/' + file, to + u'/' + file))
            return false;
    }
    return true;
}

void rememberCerts(const QString &dataDir)
{
    const QString cache = certCacheDir();
    auto names = [](const QString &dir) {
        QFile f(dir + QStringLiteral("/server.names"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    if (QFileInfo::exists(cache)) {
        if (names(cache) == names(dataDir))
            return;
        QDir(cache).removeRecursively(); // made for another set of host names
    }
    // Copy beside the cache and rename, so a parallel test never sees half a folder.
    const QString staging = cache + QStringLiteral(".%1").arg(QCoreApplication::applicationPid());
    if (copyCerts(dataDir, staging) && QDir().rename(staging, cache))
        return;
    QDir(staging).removeRecursively();
}

} // namespace

SandboxFixture::SandboxFixture() = default;

SandboxFixture::~SandboxFixture()
{
    stop();
}

QString SandboxFixture::binaryPath()
{
    const QByteArray fromEnv = qgetenv("TALVO_SANDBOX_BINARY");
    return fromEnv.isEmpty() ? QStringLiteral(TALVO_SANDBOX_BINARY)
                             : QString::fromLocal8Bit(fromEnv);
}

QString SandboxFixture::dataDir() const
{
    return m_dir ? m_dir->filePath(QStringLiteral("data")) : QString();
}

bool SandboxFixture::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

QString SandboxFixture::log() const
{
    QFile file(m_dir ? m_dir->filePath(QStringLiteral("sandbox.log")) : QString());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool SandboxFixture::writeFaults(const QByteArray &rules)
{
    if (!m_dir)
        return false;
    QSaveFile file(m_options.faultsFile);
    return file.open(QIODevice::WriteOnly) && file.write(rules) == rules.size() && file.commit();
}

bool SandboxFixture::start(const Options &options, int timeoutMs)
{
    stop();
    m_dir = std::make_unique<QTemporaryDir>();
    if (!m_dir->isValid()) {
        m_error = QStringLiteral("cannot make a temporary folder");
        return false;
    }
    m_options = options;
    if (m_options.faultsFile.isEmpty())
        m_options.faultsFile = m_dir->filePath(QStringLiteral("faults.conf"));
    if (QFileInfo::exists(certCacheDir()))
        copyCerts(certCacheDir(), dataDir());
    if (!launch(timeoutMs))
        return false;
    rememberCerts(dataDir());
    return true;
}

bool SandboxFixture::restart(int timeoutMs)
{
    if (!m_dir)
        return start(Options(), timeoutMs);
    stop();
    return launch(timeoutMs);
}

bool SandboxFixture::launch(int timeoutMs)
{
    const QString profilePath = m_dir->filePath(QStringLiteral("profile.conf"));
    const QString logPath = m_dir->filePath(QStringLiteral("sandbox.log"));
    QFile::remove(profilePath);
    QFile::remove(logPath);

    m_process = std::make_unique<QProcess>();
    m_process->setStandardOutputFile(logPath);
    m_process->setStandardErrorFile(logPath, QIODevice::Append);
    m_process->start(binaryPath(),
                     {QStringLiteral("--data-dir"), dataDir(), QStringLiteral("--port"),
                      QStringLiteral("0"), QStringLiteral("--tls-port"), QStringLiteral("0"),
                      QStringLiteral("--seed"), QString::number(m_options.seed),
                      QStringLiteral("--users"), QString::number(m_options.users),
                      QStringLiteral("--activity"), QString::number(m_options.activity),
                      QStringLiteral("--faults"), m_options.faultsFile,
                      QStringLiteral("--print-profile"), profilePath});
    if (!m_process->waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("cannot start %1: %2").arg(binaryPath(), m_process->errorString());
        return false;
    }
    // The sandbox prints its ports once both servers accept connections.
    static const QRegularExpression ready(QStringLiteral(
        "listening on http://127\\.0\\.0\\.1:(\\d+) and https://127\\.0\\.0\\.1:(\\d+)"));
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        const QRegularExpressionMatch m = ready.match(log());
        if (m.hasMatch()) {
            m_port = m.captured(1).toInt();
            m_tlsPort = m.captured(2).toInt();
            m_profile = HostProfile::load(profilePath, &m_error);
            return !m_profile.isEmpty();
        }
        if (m_process->state() != QProcess::Running) {
            m_error = QStringLiteral("talvo-sandbox exited: %1").arg(log().trimmed());
            return false;
        }
        QThread::msleep(10);
    }
    m_error = QStringLiteral("talvo-sandbox did not start in time: %1").arg(log().trimmed());
    stop();
    return false;
}

void SandboxFixture::stop()
{
    if (!m_process)
        return;
    m_stoppedCleanly = false;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        m_stoppedCleanly = m_process->waitForFinished(5000) &&
                           m_process->exitStatus() == QProcess::NormalExit &&
                           m_process->exitCode() == 0;
        if (!m_stoppedCleanly && m_process->state() != QProcess::NotRunning) {
            m_process->kill();
            m_process->waitForFinished(2000);
        }
    }
    m_process.reset();
}
