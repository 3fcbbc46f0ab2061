#include "store/TAImageCache.h"

#include "foundation/CborWriter.h"
#include "foundation/KeyedArchive.h"
#include "store/TAStoreFiles.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborStreamReader>
#include <QSet>
#include <algorithm>

QByteArray TAImageCache::lookup(const QString &key, bool *fetchNeeded)
{
    *fetchNeeded = false;
    const auto it = m_entries.constFind(key);
    if (it != m_entries.cend()) {
        const std::optional<QByteArray> entry = it.value();
        moveToFront(key);
        return entry ? *entry : QByteArray();
    }
    m_entries.insert(key, std::nullopt);
    m_sortedKeys.prepend(key);
    ++m_indexGeneration;
    *fetchNeeded = true;
    return QByteArray();
}

void TAImageCache::insert(const QString &key, const QByteArray &data)
{
    if (data.size() > m_maxDataBytes / 4) {
        // Too large to keep; the placeholder keeps it from being fetched again.
        if (!m_entries.contains(key)) {
            m_entries.insert(key, std::nullopt);
            m_sortedKeys.prepend(key);
            ++m_indexGeneration;
        }
        return;
    }
    // The key may now stand in the index twice (once from the lookup that asked for it);
    // that is how the trim counts.
    m_sortedKeys.prepend(key);
    if (const auto old = m_entries.value(key))
        m_dataBytes -= old->size();
    m_entries.insert(key, data);
    m_dataBytes += data.size();
    ++m_dataGeneration;
    ++m_indexGeneration;
    trimIfNeeded();
    trimToBudget();
}

void TAImageCache::removeKeys(const QSet<QString> &keys)
{
    for (const QString &key : keys) {
        const auto it = m_entries.constFind(key);
        if (it == m_entries.cend())
            continue;
        if (it.value())
            m_dataBytes -= it.value()->size();
        m_entries.erase(it);
    }
    m_sortedKeys.removeIf([&keys](const QString &key) { return keys.contains(key); });
    ++m_dataGeneration;
    ++m_indexGeneration;
}

void TAImageCache::trimToBudget()
{
    if (m_dataBytes <= m_maxDataBytes)
        return;
    // Least recently used first: a key's place is its first occurrence in the index.
    QSet<QString> seen;
    QStringList byRecency;
    for (const QString &key : std::as_const(m_sortedKeys)) {
        if (!seen.contains(key)) {
            seen.insert(key);
            byRecency.append(key);
        }
    }
    QSet<QString> dropped;
    qint64 bytes = m_dataBytes;
    for (qsizetype i = byRecency.size() - 1; i >= 0 && bytes > m_maxDataBytes; --i) {
        const auto entry = m_entries.value(byRecency.at(i));
        if (!entry)
            continue;
        bytes -= entry->size();
        dropped.insert(byRecency.at(i));
    }
    removeKeys(dropped);
}

bool TAImageCache::isPlaceholder(const QString &key) const
{
    const auto it = m_entries.constFind(key);
    return it != m_entries.cend() && !it.value().has_value();
}

void TAImageCache::moveToFront(const QString &key)
{
    if (!m_sortedKeys.isEmpty() && m_sortedKeys.first() == key && m_sortedKeys.indexOf(key, 1) < 0)
        return;
    m_sortedKeys.removeAll(key);
    m_sortedKeys.prepend(key);
    ++m_indexGeneration;
}

void TAImageCache::trimIfNeeded()
{
    if (m_sortedKeys.size() <= kTrimThreshold)
        return;
    // A key in the tail goes everywhere, even when it also occurs among the first entries.
    QSet<QString> tail;
    for (qsizetype i = kTrimKeep; i < m_sortedKeys.size(); ++i)
        tail.insert(m_sortedKeys.at(i));
    m_sortedKeys.resize(kTrimKeep);
    removeKeys(tail);
}

QByteArray TAImageCache::encodeData() const
{
    // Sorted keys: the same content always gives the same bytes.
    QStringList keys;
    keys.reserve(m_entries.size());
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        if (it.value())
            keys.append(it.key());
    }
    std::sort(keys.begin(), keys.end());
    // The pictures and a key of about a hundred bytes each: written without regrowing.
    CborWriter writer(qsizetype(m_dataBytes) + keys.size() * 128 + 16);
    writer.head(CborWriter::Map, quint64(keys.size()));
    for (const QString &key : std::as_const(keys)) {
        writer.text(key);
        writer.bytes(*m_entries.value(key));
    }
    return writer.take();
}

QByteArray TAImageCache::encodeIndex() const
{
    QStringList keys;
    keys.reserve(m_sortedKeys.size());
    for (const QString &key : m_sortedKeys) {
        if (!isPlaceholder(key))
            keys.append(key);
    }
    return TAStoreFiles::encodeKeyIndex(keys);
}

bool TAImageCache::decode(const QByteArray &data, const std::optional<QByteArray> &index,
                          QString *error, QString *indexError)
{
    clear();
    QHash<QString, std::optional<QByteArray>> entries;
    // A whole file of pictures is read straight into the cache; any other file goes
    // through the tree, which says what is wrong with it.
    const bool whole =
        TAStoreFiles::readTextKeyedMap(data, [&entries](QString &&key, QCborStreamReader &reader) {
            QByteArray picture;
            if (!TAStoreFiles::readBytes(reader, &picture))
                return false;
            entries.insert(std::move(key), std::move(picture));
            return true;
        });
    if (!whole) {
        entries.clear();
        const auto picture = [&entries](const QString &key, const QCborValue &value) {
            if (!value.isByteArray())
                return false;
            entries.insert(key, value.toByteArray());
            return true;
        };
        if (!TAStoreFiles::readTextKeyedTree(
                data, picture, QStringLiteral("the picture cache is not a map"),
                QStringLiteral("the picture cache holds an entry that is not a picture"), error))
            return false;
    }

    QStringList sorted;
    if (index) {
        const QCborValue indexRoot = KeyedUnarchiver::parseData(*index, indexError);
        if (!indexRoot.isArray() && indexError && !indexRoot.isInvalid())
            *indexError = QStringLiteral("the picture index is not an array");
        if (indexRoot.isArray()) {
            const QCborArray array = indexRoot.toArray();
            sorted.reserve(array.size());
            for (const QCborValue &v : array) {
                if (v.isString() && entries.contains(v.toString()))
                    sorted.append(v.toString());
            }
        }
    }
    QSet<QString> indexed(sorted.cbegin(), sorted.cend());
    QStringList unindexed;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        if (!indexed.contains(it.key()))
            unindexed.append(it.key());
    }
    std::sort(unindexed.begin(), unindexed.end());
    sorted += unindexed;

    m_entries = std::move(entries);
    m_sortedKeys = std::move(sorted);
    m_dataBytes = 0;
    for (const auto &entry : std::as_const(m_entries))
        m_dataBytes += entry ? entry->size() : 0;
    trimIfNeeded();
    trimToBudget();
    return true;
}

void TAImageCache::clear()
{
    m_entries.clear();
    m_sortedKeys.clear();
    m_dataBytes = 0;
    ++m_dataGeneration;
    ++m_indexGeneration;
}
