#include "CtlCommand.h"

#include "json/JsonReader.h"
#include "json/JsonWriter.h"

#include <QFile>
#include <cstdio>

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
        for (const JsonError &e : reader.errorTrace())
            err << e.toString() << "\n";
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
