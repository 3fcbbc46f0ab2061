#include "CtlCommand.h"

#include "json/JsonReader.h"
#include "json/JsonWriter.h"

#include <QFile>
#include <cstdio>

namespace {

struct TextPosition
{
    qint64 line = 1;
    qint64 column = 1; // in characters
};

TextPosition textPosition(const QByteArray &utf8, qint64 offset)
{
    offset = qBound<qint64>(0, offset, utf8.size());
    const qint64 lineStart = utf8.lastIndexOf('\n', offset - 1) + 1;
    TextPosition at;
    at.line = utf8.left(offset).count('\n') + 1;
    at.column = QString::fromUtf8(utf8.mid(lineStart, offset - lineStart)).size() + 1;
    return at;
}

} // namespace

// talvoctl json [--fragment] [--human-readable] [--sort-keys] FILE|-
int cmdJson(const QStringList &args, QTextStream &out, QTextStream &err)
{
    bool fragment = false;
    bool human = false;
    bool sorted = false;
    QString path;
    for (const QString &a : args) {
        if (a == QLatin1String("--fragment"))
            fragment = true;
        else if (a == QLatin1String("--human-readable"))
            human = true;
        else if (a == QLatin1String("--sort-keys"))
            sorted = true;
        else if (path.isEmpty() && (a == QLatin1String("-") || !a.startsWith(QLatin1Char('-'))))
            path = a;
        else {
            err << "talvoctl json: unexpected argument '" << a << "'\n";
            return 2;
        }
    }
    if (path.isEmpty()) {
        err << "talvoctl json: FILE or - expected\n";
        return 2;
    }

    QFile file;
    const bool opened = path == QLatin1String("-")
                            ? file.open(stdin, QIODevice::ReadOnly)
                            : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened) {
        err << "talvoctl json: cannot read " << path << ": " << file.errorString() << "\n";
        return 2;
    }
    QByteArray text = file.readAll();
    if (text.isNull())
        text = QByteArray(""); // an empty file is empty text, not a missing one

    JsonReader reader;
    const JsonValue value =
        fragment ? reader.fragmentWithString(text) : reader.objectWithString(text);
    if (!value.isValid()) {
        // The innermost error says what went wrong; the rest only repeats the nesting.
        const QList<JsonError> &trace = reader.errorTrace();
        if (!trace.isEmpty())
            err << trace.first().toString() << "\n";
        if (reader.errorOffset() >= 0) {
            const TextPosition at = textPosition(text, reader.errorOffset());
            err << "reading stopped at line " << at.line << ", column " << at.column << "\n";
        }
        return 1;
    }
    JsonWriter writer;
    writer.setHumanReadable(human);
    writer.setSortKeys(sorted);
    const QVariant v = QVariant::fromValue(value);
    const QString written = fragment ? writer.stringWithFragment(v) : writer.stringWithObject(v);
    if (written.isNull()) {
        for (const JsonError &e : writer.errorTrace())
            err << e.toString() << "\n";
        return 1;
    }
    out << written << "\n";
    return 0;
}
