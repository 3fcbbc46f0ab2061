#include "foundation/Localization.h"

#include "foundation/Log.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
QHash<QString, QString> loadTables()
{
    QHash<QString, QString> table;
    const QDir dir(QStringLiteral(":/talvo/texts"));
    for (const QString &name : dir.entryList({QStringLiteral("*.json")}, QDir::Files)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
        if (!doc.isObject()) {
            qCWarning(lcFoundation) << "text table" << name << "is malformed";
            continue;
        }
        const QJsonObject obj = doc.object();
        for (auto it = obj.begin(); it != obj.end(); ++it)
            table.insert(it.key(), it.value().toString());
    }
    return table;
}

const QHash<QString, QString> &tables()
{
    static const QHash<QString, QString> t = loadTables();
    return t;
}
} // namespace

QString localizedString(const QString &key)
{
    const auto &t = tables();
    const auto it = t.constFind(key);
    return it == t.constEnd() ? key : it.value();
}

QString localizedString(const char *key)
{
    return localizedString(QString::fromUtf8(key));
}
