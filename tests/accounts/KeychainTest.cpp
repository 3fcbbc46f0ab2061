
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

enum class Bus
{
    UnlockedKeyring, // private bus with gnome-keyring unlocked, as the tests get
    NoKeyring,       // gnome-keyring activated on demand, no login keyring yet
    NoSecretService, // a bus that cannot start any Secret Service
    NoBus,           // no session bus at all
};

// Runs keychain_probe on a bus of its own; its stdout lines.
QStringList probeLines(Bus bus, const QString &scenario)
{
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("TALVO_IN_SESSION"); // always a fresh bus: the probe may lock its keyring
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    const QString home = dir.filePath("home");
    QDir().mkpath(home);
    QDir().mkpath(dir.filePath("runtime"));
    QFile::setPermissions(dir.filePath("runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    env.insert("HOME", home);
    env.insert("XDG_RUNTIME_DIR", dir.filePath("runtime"));
    env.insert("XDG_DATA_HOME", home + "/.local/share");
    env.insert("XDG_CONFIG_HOME", home + "/.config");

    QString program = QStringLiteral("dbus-run-session");
    QStringList args;
    switch (bus) {
    case Bus::UnlockedKeyring:
        program = QStringLiteral(WITH_SESSION_SCRIPT);
        break;
    case Bus::NoKeyring:
        args << "--";
        break;
    case Bus::NoSecretService: {
        QDir().mkpath(dir.filePath("services"));
        QFile conf(dir.filePath("bare-session.conf"));
        if (!conf.open(QIODevice::WriteOnly))
            return {"cannot write bus config"};
        conf.write(
            QStringLiteral(
                "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">"
                "<busconfig><type>session</type><keep_umask/><listen>unix:tmpdir=%1</listen>"
                "<auth>EXTERNAL</auth><servicedir>%2</servicedir>"
                "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>")
                .arg(dir.path(), dir.filePath("services"))
                .toUtf8());
        conf.close();
        args << "--config-file=" + conf.fileName() << "--";
        break;
    }
    case Bus::NoBus:
        program = QStringLiteral(KEYCHAIN_PROBE_PATH);
        env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir.filePath("no-such-bus"));
        break;
    }
    if (bus != Bus::NoBus)
        args << QStringLiteral(KEYCHAIN_PROBE_PATH);
    args << scenario;

    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForStarted())
        return {"cannot start " + program};
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return {"probe timed out"};
    }
    // A keyring daemon may still be tidying its files just after its bus went away.
    dir.setAutoRemove(false);
    for (int i = 0; i < 40 && !QDir(dir.path()).removeRecursively(); ++i)
        QThread::msleep(25);
    QStringList lines =
        QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        lines << QStringLiteral("exit %1: %2")
                     .arg(p.exitCode())
                     .arg(QString::fromUtf8(p.readAllStandardError()));
    return lines;
}

std::string runProbe(Bus bus, const QString &scenario)
{
    return probeLines(bus, scenario).join('\n').toStdString();
}

std::string lines(const QStringList &expected)
{
    return expected.join('\n').toStdString();
}

} // namespace

TEST(SecretServiceKeychain, RoundTripOnARealKeyring)
{
    const QString pw = QStringLiteral("p\u00e4ssw\u00f6rd 1");
    EXPECT_EQ(runProbe(Bus::UnlockedKeyring, "roundtrip"),
              lines({"find-missing ItemNotFound", "add Success", "find Success:" + pw,
                     "exists Success", "find-other-service ItemNotFound", "add-bob Success",
                     "add-other-kind Success", "modify Success", "find-modified Success:second",
                     "modify-missing ItemNotFound", "delete Success", "find-deleted ItemNotFound",
                     "delete-again ItemNotFound", "delete-all Success", "find-bob ItemNotFound",
                     "find-other-kind Success:carolpw", "service " + pw}));
}

TEST(SecretServiceKeychain, LockedMissingOrAbsentStoresAnswerDistinctly)
{
    const struct
    {
        Bus bus;
        const char *scenario;
        QStringList expected;
    } cases[] = {
        // The unlock prompt cannot show without a display, as when the user dismisses it.
        {Bus::UnlockedKeyring,
         "locked",
         {"add Success", "lock ok", "find AccessRefused", "add AccessRefused"}},
        {Bus::NoKeyring, "absent", {"find ItemNotFound", "add Failed"}},
        {Bus::NoSecretService, "absent", {"find Unavailable", "add Unavailable"}},
        {Bus::NoBus, "absent", {"find Unavailable", "add Unavailable"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(runProbe(c.bus, c.scenario), lines(c.expected))
            << int(c.bus) << ' ' << c.scenario;
}
