#include "platform/linux/XdgAutostart.h"

#include "foundation/Log.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

namespace {
// Autostart entries are a few hundred bytes; anything far larger is not ours.
constexpr qint64 kMaxEntrySize = 64 * 1024;
constexpr char kVersionKey[] = "X-Talvo-Version";

QString quoteArgument(const QString &argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = argument.isEmpty();
    for (const QChar c : argument)
        needsQuotes = needsQuotes || reserved.contains(c);
    QString out = argument;
    out.replace(QLatin1Char('%'), QLatin1String("%%"));
    if (!needsQuotes)
        return out;
    QString quoted;
    for (const QChar c : out) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// Desktop-entry values escape \s, \n, \t, \r and \\.
QString unescapeValue(const QString &value)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar n = value.at(++i);
        if (n == QLatin1Char('s'))
            out += QLatin1Char(' ');
        else if (n == QLatin1Char('n'))
            out += QLatin1Char('\n');
        else if (n == QLatin1Char('t'))
            out += QLatin1Char('\t');
        else if (n == QLatin1Char('r'))
            out += QLatin1Char('\r');
        else
            out += n;
    }
    return out;
}

QString escapeValue(const QString &value)
{
    QString out;
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c == QLatin1Char('\t'))
            out += QLatin1String("\\t");
        else if (c == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else
            out += c;
    }
    return out;
}

// The keys of the [Desktop Entry] group; empty when the file is not a desktop entry.
QMap<QString, QString> readEntry(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxEntrySize)
        return {};
    QMap<QString, QString> keys;
    bool inEntry = false;
    const QList<QByteArray> lines = file.read(kMaxEntrySize).split('\n');
    for (const QByteArray &raw : lines) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!inEntry || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        if (!keys.contains(key)) // the first of a repeated key counts
            keys.insert(key, unescapeValue(line.mid(eq + 1).trimmed()));
    }
    return keys;
}
} // namespace

XdgAutostart::XdgAutostart(const QString &folder)
    : m_folder(folder)
{
    if (m_folder.isEmpty()) {
        QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        if (base.isEmpty())
            base = QDir::homePath() + QLatin1String("/.config");
        m_folder = base + QLatin1String("/autostart");
    }
}

QString XdgAutostart::entryPath(const QString &name) const
{
    return QDir(m_folder).filePath(name + QLatin1String(".desktop"));
}

QString XdgAutostart::execLine(const QString &program, const QStringList &arguments)
{
    QStringList parts{quoteArgument(program)};
    for (const QString &argument : arguments)
        parts << quoteArgument(argument);
    return parts.join(QLatin1Char(' '));
}

QString XdgAutostart::programOfExecLine(const QString &exec)
{
    QString program;
    qsizetype i = 0;
    const QString line = exec.trimmed();
    if (line.startsWith(QLatin1Char('"'))) {
        for (i = 1; i < line.size(); ++i) {
            const QChar c = line.at(i);
            if (c == QLatin1Char('"'))
                break;
            if (c == QLatin1Char('\\') && i + 1 < line.size())
                program += line.at(++i);
            else
                program += c;
        }
        if (i >= line.size())
            return QString(); // no closing quote
    } else {
        program = line.section(QLatin1Char(' '), 0, 0);
    }
    program.replace(QLatin1String("%%"), QLatin1String("%"));
    return program;
}

std::optional<LoginItems::Item> XdgAutostart::findLoginItem(const QString &name) const
{
    const QMap<QString, QString> keys = readEntry(entryPath(name));
    if (keys.value(QStringLiteral("Type")) != QLatin1String("Application"))
        return std::nullopt;
    const auto isTrue = [](const QString &v) { return v.compare(QLatin1String("true")) == 0; };
    const auto isFalse = [](const QString &v) { return v.compare(QLatin1String("false")) == 0; };
    if (isTrue(keys.value(QStringLiteral("Hidden"))) ||
        isFalse(keys.value(QStringLiteral("X-GNOME-Autostart-enabled"))))
        return std::nullopt;
    Item item;
    item.program = programOfExecLine(keys.value(QStringLiteral("Exec")));
    if (item.program.isEmpty())
        return std::nullopt;
    item.url = QUrl::fromLocalFile(item.program).toString();
    item.version = keys.value(QLatin1String(kVersionKey));
    return item;
}

bool XdgAutostart::addLoginItem(const QString &name, const Item &item)
{
    if (!QDir().mkpath(m_folder)) {
        qCWarning(lcPlatform) << "cannot create the autostart folder" << m_folder;
        return false;
    }
    QString text;
    text += QLatin1String("[Desktop Entry]\nType=Application\nName=Talvo Helper\n");
    text += QLatin1String("Comment=New posts from anywhere with the hot key, and talvo: links\n");
    text += QLatin1String("Exec=") +
            escapeValue(execLine(item.program, {QStringLiteral("--autostart")})) +
            QLatin1Char('\n');
    text += QLatin1String("Icon=talvo\nTerminal=false\nNoDisplay=true\n");
    text += QLatin1String("X-GNOME-Autostart-enabled=true\n");
    text += QLatin1String(kVersionKey) + QLatin1Char('=') + escapeValue(item.version) +
            QLatin1Char('\n');
    QSaveFile file(entryPath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        qCWarning(lcPlatform) << "cannot write the autostart entry" << file.fileName()
                              << file.errorString();
        return false;
    }
    return true;
}

bool XdgAutostart::removeLoginItem(const QString &name)
{
    const QString path = entryPath(name);
    return !QFile::exists(path) || QFile::remove(path);
}
