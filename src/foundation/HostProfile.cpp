#include "foundation/HostProfile.h"

#include "foundation/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <atomic>
#include <deque>
#include <mutex>

namespace {

constexpr qint64 kMaxProfileBytes = 64 * 1024;
constexpr char kRealProfileResource[] = ":/talvo/hosts/real.conf";

std::mutex g_installedMutex;
std::deque<HostProfile> &installedProfiles()
{
    static std::deque<HostProfile> profiles;
    return profiles;
}
std::atomic<const HostProfile *> g_current{nullptr};

bool isValidServiceName(const QString &name)
{
    if (name.isEmpty())
        return false;
    for (QChar c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'-' && c != u'_')
            return false;
    }
    return true;
}

} // namespace

HostProfile HostProfile::named(const QString &name, QString *error)
{
    if (name.isEmpty() || name == QLatin1String("real"))
        return real();
    QString path;
    if (QFileInfo(name).isFile()) {
        path = name;
    } else {
        const QString config =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        for (const QString &candidate : {QStringLiteral("%1/Talvo/hosts/%2.conf").arg(config, name),
                                         QStringLiteral("%1/talvo-%2/%2.conf").arg(data, name)}) {
            if (QFileInfo(candidate).isFile()) {
                path = candidate;
                break;
            }
        }
    }
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("no host profile '%1'").arg(name);
        return {};
    }
    QString loadError;
    HostProfile profile = load(path, &loadError);
    if (profile.isEmpty() && error)
        *error = QStringLiteral("cannot read the host profile %1: %2").arg(path, loadError);
    return profile;
}

HostProfile HostProfile::load(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error =
                QStringLiteral("cannot open host profile %1: %2").arg(path, file.errorString());
        return {};
    }
    if (file.size() > kMaxProfileBytes) {
        if (error)
            *error = QStringLiteral("host profile %1 is larger than %2 bytes")
                         .arg(path)
                         .arg(kMaxProfileBytes);
        return {};
    }
    const QByteArray text = file.read(kMaxProfileBytes + 1);
    QString parseError;
    HostProfile profile = parse(text, QFileInfo(path).absolutePath(), &parseError);
    if (!parseError.isEmpty() && error)
        *error = QStringLiteral("%1: %2").arg(path, parseError);
    return profile;
}

HostProfile HostProfile::parse(const QByteArray &text, const QString &baseDir, QString *error)
{
    auto fail = [error](int line, const QString &what) {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(line).arg(what);
        return HostProfile();
    };
    if (text.size() > kMaxProfileBytes)
        return fail(0, QStringLiteral("profile too large"));

    HostProfile profile;
    QString section;
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNo = i + 1;
        const QString line = QString::fromUtf8(lines.at(i)).trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']'))
                return fail(lineNo, QStringLiteral("unterminated section header"));
            section = line.mid(1, line.size() - 2).trimmed();
            if (section != u"profile" && section != u"services")
                return fail(lineNo, QStringLiteral("unknown section [%1]").arg(section));
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            return fail(lineNo, QStringLiteral("expected key = value"));
        const QString key = line.left(eq).trimmed();
        QString value = line.mid(eq + 1).trimmed();
        // A trailing " ;comment" is allowed; URLs never contain " ;".
        const qsizetype comment = value.indexOf(QStringLiteral(" ;"));
        if (comment >= 0)
            value = value.left(comment).trimmed();

        if (section == u"profile") {
            if (key == u"name") {
                profile.m_name = value;
            } else if (key == u"ca_bundle") {
                if (!value.isEmpty())
                    profile.m_caBundle =
                        QDir::cleanPath(QDir(baseDir.isEmpty() ? QDir::currentPath() : baseDir)
                                            .absoluteFilePath(value));
            } else if (key == u"poll_interval") {
                bool ok = false;
                const int seconds = value.toInt(&ok);
                if (!ok || seconds < kMinPollInterval || seconds > kMaxPollInterval)
                    return fail(lineNo, QStringLiteral("poll_interval takes %1 to %2 seconds")
                                            .arg(kMinPollInterval)
                                            .arg(kMaxPollInterval));
                profile.m_pollInterval = seconds;
            } else {
                return fail(lineNo, QStringLiteral("unknown key %1").arg(key));
            }
        } else if (section == u"services") {
            if (!isValidServiceName(key))
                return fail(lineNo, QStringLiteral("bad service name %1").arg(key));
            const QUrl url(value, QUrl::StrictMode);
            const QString scheme = url.scheme();
            if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https"))
                return fail(lineNo, QStringLiteral("bad URL for %1: %2").arg(key, value));
            if (url.hasQuery() || url.hasFragment())
                return fail(lineNo, QStringLiteral("base URL for %1 has a query").arg(key));
            profile.m_urls.insert(key, url);
        } else {
            return fail(lineNo, QStringLiteral("entry outside a section"));
        }
    }
    if (profile.m_urls.isEmpty())
        return fail(lines.size(), QStringLiteral("no [services] entries"));
    if (error)
        error->clear();
    return profile;
}

const HostProfile &HostProfile::real()
{
    static const HostProfile profile = [] {
        QFile file(QString::fromLatin1(kRealProfileResource));
        QString error;
        HostProfile p;
        if (file.open(QIODevice::ReadOnly))
            p = parse(file.readAll(), QString(), &error);
        else
            error = file.errorString();
        if (p.isEmpty())
            qCWarning(lcFoundation) << "built-in host profile unusable:" << error;
        return p;
    }();
    return profile;
}

const HostProfile &HostProfile::current()
{
    const HostProfile *p = g_current.load(std::memory_order_acquire);
    return p ? *p : real();
}

void HostProfile::setCurrent(const HostProfile &profile)
{
    std::lock_guard lock(g_installedMutex);
    installedProfiles().push_back(profile);
    g_current.store(&installedProfiles().back(), std::memory_order_release);
}

QString HostProfile::host(const QString &service) const
{
    return m_urls.value(service).host();
}

QStringList HostProfile::services() const
{
    QStringList names = m_urls.keys();
    names.sort();
    return names;
}

QByteArray HostProfile::toIni() const
{
    QByteArray out = "[profile]\nname = " + m_name.toUtf8() + '\n';
    if (!m_caBundle.isEmpty())
        out += "ca_bundle = " + m_caBundle.toUtf8() + '\n';
    if (m_pollInterval > 0)
        out += "poll_interval = " + QByteArray::number(m_pollInterval) + '\n';
    out += "\n[services]\n";
    for (const QString &service : services())
        out += service.toUtf8() + " = " + m_urls.value(service).toString().toUtf8() + '\n';
    return out;
}
