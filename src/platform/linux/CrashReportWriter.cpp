#include "platform/linux/CrashReportWriter.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <execinfo.h>
#include <fcntl.h>
#include <mutex>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Everything the handler reads is in fixed buffers filled before any crash.
constexpr int kMaxPath = 1024;
constexpr int kLogSlots = 64;
constexpr int kLogSlotSize = 240;
constexpr int kMaxFrames = 64;
constexpr int kMaxThreads = 128;
constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS};

char g_folder[kMaxPath];
char g_version[64];
char g_build[128];
int g_dumpSignal = 0;
std::atomic<bool> g_crashing{false};
std::atomic<pid_t> g_crashTid{0};
std::atomic<pid_t> g_dumpTid{0};
std::atomic<int> g_dumpFd{-1};
std::atomic<bool> g_dumpDone{false};

char g_log[kLogSlots][kLogSlotSize];
std::atomic<unsigned> g_logNext{0};
QtMessageHandler g_previousHandler = nullptr;

// --- async-signal-safe helpers -------------------------------------------------------

void put(int fd, const char *s, size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, s, n);
        if (w <= 0)
            return;
        s += w;
        n -= size_t(w);
    }
}

void put(int fd, const char *s)
{
    put(fd, s, std::strlen(s));
}

// Decimal digits of v into buf (at least 24 bytes); returns buf.
char *number(char *buf, unsigned long long v)
{
    char tmp[24];
    int n = 0;
    do {
        tmp[n++] = char('0' + v % 10);
        v /= 10;
    } while (v != 0 && n < 23);
    for (int i = 0; i < n; ++i)
        buf[i] = tmp[n - 1 - i];
    buf[n] = '\0';
    return buf;
}

void putNumber(int fd, unsigned long long v)
{
    char buf[24];
    put(fd, number(buf, v));
}

const char *signalName(int sig)
{
    switch (sig) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGFPE:
        return "SIGFPE";
    case SIGILL:
        return "SIGILL";
    case SIGABRT:
        return "SIGABRT";
    case SIGTRAP:
        return "SIGTRAP";
    case SIGSYS:
        return "SIGSYS";
    default:
        return "signal";
    }
}

pid_t currentTid()
{
    return pid_t(::syscall(SYS_gettid));
}

void writeStack(int fd)
{
    void *frames[kMaxFrames];
    const int n = ::backtrace(frames, kMaxFrames);
    backtrace_symbols_fd(frames, n, fd);
}

// Another thread, asked by the crashing one, writes its own stack.
void onDumpSignal(int)
{
    const int fd = g_dumpFd.load();
    if (fd < 0 || g_dumpTid.load() != currentTid())
        return;
    writeStack(fd);
    g_dumpDone.store(true);
}

void sleepMs(long ms)
{
    timespec ts{0, ms * 1000000L};
    ::nanosleep(&ts, nullptr);
}

void writeOtherThreads(int fd)
{
    const int dir = ::open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return;
    const pid_t self = currentTid();
    const pid_t pid = ::getpid();
    alignas(8) char buf[4096];
    int threads = 0;
    for (;;) {
        const long n = ::syscall(SYS_getdents64, dir, buf, sizeof buf);
        if (n <= 0)
            break;
        for (long off = 0; off < n && threads < kMaxThreads;) {
            // struct linux_dirent64: ino (8), off (8), reclen (2), type (1), name.
            unsigned short reclen;
            std::memcpy(&reclen, buf + off + 16, sizeof reclen);
            const char *name = buf + off + 19;
            off += reclen;
            if (name[0] < '0' || name[0] > '9')
                continue;
            pid_t tid = 0;
            for (const char *p = name; *p >= '0' && *p <= '9'; ++p)
                tid = tid * 10 + (*p - '0');
            if (tid == self)
                continue;
            ++threads;
            put(fd, "\nThread ");
            putNumber(fd, static_cast<unsigned long long>(tid));
            put(fd, ":\n");
            g_dumpDone.store(false);
            g_dumpTid.store(tid);
            if (::syscall(SYS_tgkill, pid, tid, g_dumpSignal) != 0)
                continue;
            // A thread that has the signal blocked or is stuck in the kernel is skipped.
            for (int waited = 0; waited < 50 && !g_dumpDone.load(); ++waited)
                sleepMs(10);
            if (!g_dumpDone.load())
                put(fd, "(no answer)\n");
        }
    }
    g_dumpTid.store(0);
    ::close(dir);
}

void writeLog(int fd)
{
    put(fd, "\nLast log lines:\n");
    const unsigned next = g_logNext.load();
    const unsigned first = next > unsigned(kLogSlots) ? next - kLogSlots : 0;
    for (unsigned i = first; i < next; ++i) {
        const char *slot = g_log[i % kLogSlots];
        put(fd, slot, strnlen(slot, kLogSlotSize));
        put(fd, "\n");
    }
}

// Die of the same signal, so the parent and the desktop see the crash.
void dieOf(int sig)
{
    struct sigaction dfl = {};
    dfl.sa_handler = SIG_DFL;
    ::sigaction(sig, &dfl, nullptr);
    ::raise(sig);
}

void onFatalSignal(int sig, siginfo_t *info, void *)
{
    // A crash inside the handler itself dies at once; a crash of another thread while the
    // report is written waits for the first one to end the process (but not forever).
    if (g_crashing.exchange(true)) {
        for (int i = 0; i < 100 && g_crashTid.load() != currentTid(); ++i)
            sleepMs(100);
        dieOf(sig);
        return;
    }
    g_crashTid.store(currentTid());

    char path[kMaxPath + 64];
    char finalPath[kMaxPath + 64];
    char digits[24];
    std::strcpy(path, g_folder);
    std::strcat(path, "/");
    std::strcat(path, number(digits, static_cast<unsigned long long>(::time(nullptr))));
    std::strcat(path, "-");
    std::strcat(path, number(digits, static_cast<unsigned long long>(::getpid())));
    std::strcat(path, CrashReportWriter::kSuffix);
    std::strcpy(finalPath, path);
    std::strcat(path, ".part");

    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
        put(fd, "Talvo crash report\nVersion: ");
        put(fd, g_version);
        put(fd, "\nBuild: ");
        put(fd, g_build);
        put(fd, "\nSignal: ");
        put(fd, signalName(sig));
        put(fd, " (");
        putNumber(fd, static_cast<unsigned long long>(sig));
        put(fd, "), code ");
        if (info->si_code < 0)
            put(fd, "-");
        putNumber(fd, static_cast<unsigned long long>(info->si_code < 0 ? -info->si_code
                                                                        : info->si_code));
        put(fd, "\nTime: ");
        putNumber(fd, static_cast<unsigned long long>(::time(nullptr)));
        put(fd, "\n\nCrashed thread ");
        putNumber(fd, static_cast<unsigned long long>(currentTid()));
        put(fd, ":\n");
        writeStack(fd);
        g_dumpFd.store(fd);
        writeOtherThreads(fd);
        g_dumpFd.store(-1);
        writeLog(fd);
        ::fsync(fd);
        ::close(fd);
        ::rename(path, finalPath);
    }

    dieOf(sig);
}

void copyInto(char *dst, size_t size, const QByteArray &src)
{
    const size_t n = std::min(size - 1, size_t(src.size()));
    std::memcpy(dst, src.constData(), n);
    dst[n] = '\0';
}

void logHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const char *category = context.category ? context.category : "default";
    CrashReportWriter::recordLogLine(QLatin1String(category) + QLatin1String(": ") + message);
    if (g_previousHandler) {
        g_previousHandler(type, context, message);
    } else {
        const QByteArray text = qFormatLogMessage(type, context, message).toLocal8Bit();
        std::fprintf(stderr, "%s\n", text.constData());
    }
}

} // namespace

QString CrashReportWriter::defaultReportFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QLatin1String("/.local/state");
    return state + QLatin1String("/Talvo/crashes");
}

QString CrashReportWriter::redactSecrets(const QString &line)
{
    static const char *const keys[] = {
        "oauth_token_secret", "oauth_token", "oauth_signature", "x_auth_password",
        "password",           "api_key",     "secret",          "authorization",
        "access_token",       "token"};
    QString out = line;
    for (const char *key : keys) {
        const QLatin1String name(key);
        qsizetype from = 0;
        while ((from = out.indexOf(name, from, Qt::CaseInsensitive)) >= 0) {
            qsizetype i = from + name.size();
            // Only a whole key: "token" must not match inside "tokens".
            const bool startsWord = from == 0 || !out.at(from - 1).isLetterOrNumber();
            while (i < out.size() && (out.at(i) == u' ' || out.at(i) == u'"'))
                ++i;
            if (!startsWord || i >= out.size() || (out.at(i) != u'=' && out.at(i) != u':')) {
                from += name.size();
                continue;
            }
            ++i;
            while (i < out.size() && (out.at(i) == u' ' || out.at(i) == u'"'))
                ++i;
            // "Authorization: OAuth ..." and "Basic ..." mask the whole rest of the line.
            const bool wholeRest = name == QLatin1String("authorization");
            qsizetype end = i;
            while (end < out.size() && (wholeRest || !(out.at(end) == u'&' || out.at(end) == u' ' ||
                                                       out.at(end) == u'"' || out.at(end) == u',' ||
                                                       out.at(end) == u';' || out.at(end) == u'}')))
                ++end;
            if (end > i)
                out.replace(i, end - i, QStringLiteral("***"));
            from = i + 3;
        }
    }
    return out;
}

void CrashReportWriter::recordLogLine(const QString &line)
{
    const QByteArray text = redactSecrets(line).toUtf8();
    // Writers take turns; the crash handler reads without the lock.
    static std::mutex writers;
    const std::lock_guard lock(writers);
    const unsigned slot = g_logNext.load() % kLogSlots;
    // The slot is filled before it is published, so the handler never reads it torn
    // unless 64 lines arrive while the report is written.
    copyInto(g_log[slot], kLogSlotSize, text.left(kLogSlotSize - 1));
    g_logNext.fetch_add(1);
}

bool CrashReportWriter::install(const QString &reportFolder, const QByteArray &version,
                                const QByteArray &build)
{
    const QByteArray folder = QFile::encodeName(QDir(reportFolder).absolutePath());
    if (folder.size() >= kMaxPath || !QDir().mkpath(reportFolder))
        return false;
    copyInto(g_folder, sizeof g_folder, folder);
    copyInto(g_version, sizeof g_version, version);
    copyInto(g_build, sizeof g_build, build);
    g_dumpSignal = SIGRTMIN + 3;

    // The first backtrace() loads the unwinder; that must not happen inside a handler.
    void *warmUp[2];
    (void)::backtrace(warmUp, 2);

    // A stack overflow leaves no stack for the handler: give it its own.
    static char altStack[64 * 1024];
    stack_t ss = {};
    ss.ss_sp = altStack;
    ss.ss_size = sizeof altStack;
    ::sigaltstack(&ss, nullptr);

    struct sigaction fatal = {};
    fatal.sa_sigaction = onFatalSignal;
    fatal.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&fatal.sa_mask);
    for (int sig : kFatalSignals)
        ::sigaction(sig, &fatal, nullptr);

    struct sigaction dump = {};
    dump.sa_handler = onDumpSignal;
    dump.sa_flags = SA_RESTART;
    sigemptyset(&dump.sa_mask);
    ::sigaction(g_dumpSignal, &dump, nullptr);

    static bool handlerInstalled = false;
    if (!handlerInstalled) {
        g_previousHandler = qInstallMessageHandler(logHandler);
        handlerInstalled = true;
    }
    return true;
}
