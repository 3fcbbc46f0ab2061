#include "Faults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
constexpr qint64 kMaxFaultsFileBytes = 64 * 1024;
constexpr int kMaxDelayMs = 10 * 60 * 1000;
constexpr qint64 kMaxBodyFileBytes = 16 * 1024 * 1024;

QByteArray typeForFile(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"json")
        return "application/json";
    if (suffix == u"xml")
        return "application/xml";
    if (suffix == u"html" || suffix == u"htm")
        return "text/html; charset=utf-8";
    if (suffix == u"txt")
        return "text/plain; charset=utf-8";
    return "application/octet-stream";
}

// The whole file, or a null array with *error set.
QByteArray readBodyFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return {};
    }
    if (file.size() > kMaxBodyFileBytes) {
        *error = QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(kMaxBodyFileBytes);
        return {};
    }
    QByteArray bytes = file.read(kMaxBodyFileBytes + 1);
    if (bytes.isNull())
        bytes = QByteArray(""); // an empty file is an empty body, not no body
    return bytes;
}
} // namespace

Faults::Faults(QString path)
    : m_path(std::move(path))
{
    refresh();
}

void Faults::refresh()
{
    if (m_path.isEmpty())
        return;
    std::optional<QByteArray> content;
    QFile file(m_path);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFaultsFileBytes) {
            qWarning("sandbox: cannot read faults file %s", qPrintable(m_path));
            return;
        }
        content = file.read(kMaxFaultsFileBytes + 1);
    }
    {
        std::lock_guard lock(m_mutex);
        if (content == m_loaded)
            return;
        m_loaded = content;
    }
    QString error;
    if (!parse(content ? QString::fromUtf8(*content) : QString(), &error))
        qWarning("sandbox: faults file %s: %s (previous rules kept)", qPrintable(m_path),
                 qPrintable(error));
    else
        qInfo("sandbox: faults file %s loaded", qPrintable(m_path));
}

bool Faults::parse(const QString &text, QString *error, const QString &baseDir)
{
    const QDir base(!baseDir.isEmpty()  ? baseDir
                    : !m_path.isEmpty() ? QFileInfo(m_path).absolutePath()
                                        : QDir::currentPath());
    QList<Rule> rules;
    qint64 skew = 0;
    std::optional<int> remaining;
    const QStringList lines = text.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        const qsizetype comment = line.indexOf(u';');
        if (comment >= 0)
            line.truncate(comment);
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        auto fail = [&](const QString &why) {
            if (error)
                *error = QStringLiteral("line %1: %2").arg(i + 1).arg(why);
            return false;
        };
        if (line.startsWith(QLatin1String("path "))) {
            const QStringList words = line.mid(5).split(u' ', Qt::SkipEmptyParts);
            if (words.isEmpty())
                return fail(QStringLiteral("path without a pattern"));
            Rule rule;
            bool statusGiven = false;
            rule.pattern = words.first();
            QString re = QRegularExpression::escape(rule.pattern);
            re.replace(QLatin1String("\\*"), QLatin1String(".*"));
            re.replace(QLatin1String("\\?"), QLatin1String("."));
            rule.regex = QRegularExpression(QRegularExpression::anchoredPattern(re));
            for (qsizetype w = 1; w < words.size(); ++w) {
                const QString word = words.at(w);
                const qsizetype eq = word.indexOf(u'=');
                const QString key = eq < 0 ? word : word.left(eq);
                if (key == u"body" && eq > 0) {
                    const QString file = base.absoluteFilePath(word.mid(eq + 1));
                    QString why;
                    rule.body = readBodyFile(file, &why);
                    if (rule.body.isNull())
                        return fail(why);
                    if (rule.contentType.isEmpty())
                        rule.contentType = typeForFile(file);
                    continue;
                }
                if (key == u"type" && eq > 0) {
                    rule.contentType = word.mid(eq + 1).toLatin1();
                    if (rule.contentType.isEmpty() || !rule.contentType.contains('/'))
                        return fail(QStringLiteral("bad type in %1").arg(word));
                    continue;
                }
                bool ok = true;
                const int value = eq < 0 ? 0 : word.mid(eq + 1).toInt(&ok);
                if (!ok)
                    return fail(QStringLiteral("bad number in %1").arg(word));
                if (key == u"status" && value >= 100 && value <= 599) {
                    rule.status = value;
                    statusGiven = true;
                } else if (key == u"delay" && value >= 0 && value <= kMaxDelayMs)
                    rule.delayMs = value;
                else if (key == u"stall" && value >= 0 && value <= kMaxDelayMs)
                    rule.stallMs = value;
                else if (key == u"drop" && eq < 0)
                    rule.drop = true;
                else
                    return fail(QStringLiteral("unknown or out-of-range option %1").arg(word));
            }
            if (rule.replays() && !statusGiven)
                rule.status = 200;
            rules.append(rule);
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            return fail(QStringLiteral("expected key = value or path ..."));
        const QString key = line.left(eq).trimmed();
        bool ok = false;
        const qint64 value = line.mid(eq + 1).trimmed().toLongLong(&ok);
        if (!ok)
            return fail(QStringLiteral("bad number for %1").arg(key));
        if (key == u"clock_skew" && qAbs(value) <= 10LL * 365 * 86400)
            skew = value;
        else if (key == u"rate_limit_remaining" && value >= 0 && value <= 1000000)
            remaining = int(value);
        else
            return fail(QStringLiteral("unknown or out-of-range setting %1").arg(key));
    }
    std::lock_guard lock(m_mutex);
    m_rules = rules;
    m_skew = skew;
    m_remaining = remaining;
    return true;
}

std::optional<Faults::Rule> Faults::ruleFor(const QString &path)
{
    std::lock_guard lock(m_mutex);
    for (const Rule &rule : m_rules) {
        if (rule.regex.match(path).hasMatch())
            return rule;
    }
    return std::nullopt;
}

qint64 Faults::clockSkewSecs()
{
    std::lock_guard lock(m_mutex);
    return m_skew;
}

std::optional<int> Faults::forcedRateLimitRemaining()
{
    std::lock_guard lock(m_mutex);
    return m_remaining;
}
