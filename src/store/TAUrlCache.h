#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

// Expanded short links: key (the short link's dotlessUrl) -> the long link,
// percent-escaped. The index is kept for the file format; nothing adds to it.
// Main thread only.
class TAUrlCache
{
public:
    [[nodiscard]] QString value(const QString &key) const { return m_entries.value(key); }
    [[nodiscard]] bool contains(const QString &key) const { return m_entries.contains(key); }
    void setValue(const QString &key, const QString &longUrl);
    void remove(const QString &key);
    [[nodiscard]] const QHash<QString, QString> &entries() const { return m_entries; }
    [[nodiscard]] const QStringList &sortedKeys() const { return m_sortedKeys; }
    [[nodiscard]] qsizetype count() const { return m_entries.size(); }

    // A CBOR map key -> string, and a CBOR array.
    [[nodiscard]] QByteArray encodeData() const;
    [[nodiscard]] QByteArray encodeIndex() const;
    // Returns false (content left empty) when the links cannot be read; a damaged index
    // only empties the index (indexError says why).
    bool decode(const QByteArray &data, const std::optional<QByteArray> &index, QString *error,
                QString *indexError = nullptr);
    void clear();

    [[nodiscard]] quint64 dataGeneration() const { return m_dataGeneration; }
    [[nodiscard]] quint64 indexGeneration() const { return m_indexGeneration; }

private:
    QHash<QString, QString> m_entries;
    QStringList m_sortedKeys;
    quint64 m_dataGeneration = 0;
    quint64 m_indexGeneration = 0;
};
