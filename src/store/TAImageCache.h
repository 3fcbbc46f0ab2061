#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

// The downloaded pictures by cache key, with an index of keys, most recently used first.
// A key with a pending (or failed) download holds a placeholder so it is asked for only
// once. The index may hold a key more than once; every removal removes all occurrences.
// Main thread only.
class TAImageCache
{
public:
    // Above this many index entries the index is cut back to its first kTrimKeep.
    static constexpr qsizetype kTrimThreshold = 2000;
    static constexpr qsizetype kTrimKeep = 1000;
    // The pictures together stay within this many bytes, the least recently used going
    // first, so the file they are saved to is always one the store reads back. A single
    // picture above a quarter of it is not kept (its placeholder stays).
    static constexpr qint64 kMaxDataBytes = 192LL * 1024 * 1024;

    // The picture for key, or a null array. fetchNeeded is set when the key was unknown:
    // a placeholder now stands for it and the caller starts the one download.
    QByteArray lookup(const QString &key, bool *fetchNeeded);
    // A finished download: stored under key and put first in the index, then trimmed.
    void insert(const QString &key, const QByteArray &data);

    [[nodiscard]] bool contains(const QString &key) const { return m_entries.contains(key); }
    // The stored picture without touching the order, or a null array.
    [[nodiscard]] QByteArray picture(const QString &key) const
    {
        const auto it = m_entries.constFind(key);
        return it != m_entries.cend() && it.value() ? *it.value() : QByteArray();
    }
    [[nodiscard]] bool isPlaceholder(const QString &key) const;
    [[nodiscard]] qsizetype count() const { return m_entries.size(); }
    [[nodiscard]] const QStringList &sortedKeys() const { return m_sortedKeys; }
    [[nodiscard]] qint64 dataBytes() const { return m_dataBytes; }
    // Tests use a smaller budget.
    void setMaxDataBytes(qint64 bytes) { m_maxDataBytes = bytes; }

    // The two files: the pictures (a CBOR map key -> bytes, placeholders left out, so a
    // pending download never blocks the save) and the index (a CBOR array of keys, only
    // those with a picture).
    [[nodiscard]] QByteArray encodeData() const;
    [[nodiscard]] QByteArray encodeIndex() const;
    // Replaces the content. A damaged or missing index costs only the order (indexError
    // says why): any picture missing from the index is appended to it so a later trim
    // can drop it, and index keys without a picture are dropped. Returns false (content
    // left empty) when the pictures cannot be read.
    bool decode(const QByteArray &data, const std::optional<QByteArray> &index, QString *error,
                QString *indexError = nullptr);
    void clear();

    // Bumped by every change to what the two files would hold.
    [[nodiscard]] quint64 dataGeneration() const { return m_dataGeneration; }
    [[nodiscard]] quint64 indexGeneration() const { return m_indexGeneration; }

private:
    void moveToFront(const QString &key);
    void trimIfNeeded();
    void trimToBudget();
    void removeKeys(const QSet<QString> &keys);

    // nullopt is the placeholder of a download not yet arrived.
    QHash<QString, std::optional<QByteArray>> m_entries;
    QStringList m_sortedKeys;
    qint64 m_dataBytes = 0;
    qint64 m_maxDataBytes = kMaxDataBytes;
    quint64 m_dataGeneration = 0;
    quint64 m_indexGeneration = 0;
};
