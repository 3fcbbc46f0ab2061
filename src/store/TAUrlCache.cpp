#include "store/TAUrlCache.h"

#include "foundation/CborWriter.h"
#include "foundation/KeyedArchive.h"
#include "store/TAStoreFiles.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborStreamReader>
#include <algorithm>

void TAUrlCache::setValue(const QString &key, const QString &longUrl)
{
    auto it = m_entries.find(key);
    if (it != m_entries.end() && it.value() == longUrl)
        return;
    m_entries.insert(key, longUrl);
    ++m_dataGeneration;
}

void TAUrlCache::remove(const QString &key)
{
    if (m_entries.remove(key))
        ++m_dataGeneration;
}

QByteArray TAUrlCache::encodeData() const
{
    QStringList keys = m_entries.keys();
    std::sort(keys.begin(), keys.end());
    CborWriter writer(keys.size() * 160 + 16);
    writer.head(CborWriter::Map, quint64(keys.size()));
    for (const QString &key : std::as_const(keys)) {
        writer.text(key);
        writer.text(m_entries.value(key));
    }
    return writer.take();
}

QByteArray TAUrlCache::encodeIndex() const
{
    return TAStoreFiles::encodeKeyIndex(m_sortedKeys);
}

bool TAUrlCache::decode(const QByteArray &data, const std::optional<QByteArray> &index,
                        QString *error, QString *indexError)
{
    clear();
    QHash<QString, QString> entries;
    const bool whole =
        TAStoreFiles::readTextKeyedMap(data, [&entries](QString &&key, QCborStreamReader &reader) {
            QString link;
            if (!TAStoreFiles::readText(reader, &link))
                return false;
            entries.insert(std::move(key), std::move(link));
            return true;
        });
    if (!whole) {
        // The tree says what is wrong with the file.
        entries.clear();
        const auto link = [&entries](const QString &key, const QCborValue &value) {
            if (!value.isString())
                return false;
            entries.insert(key, value.toString());
            return true;
        };
        if (!TAStoreFiles::readTextKeyedTree(
                data, link, QStringLiteral("the link cache is not a map"),
                QStringLiteral("the link cache holds an entry that is not a link"), error))
            return false;
    }
    QStringList sorted;
    if (index) {
        const QCborValue indexRoot = KeyedUnarchiver::parseData(*index, indexError);
        if (indexRoot.isArray()) {
            for (const QCborValue &v : indexRoot.toArray()) {
                if (v.isString())
                    sorted.append(v.toString());
            }
        } else if (indexError && !indexRoot.isInvalid()) {
            *indexError = QStringLiteral("the link index is not an array");
        }
    }
    m_entries = std::move(entries);
    m_sortedKeys = std::move(sorted);
    return true;
}

void TAUrlCache::clear()
{
    m_entries.clear();
    m_sortedKeys.clear();
    ++m_dataGeneration;
    ++m_indexGeneration;
}
