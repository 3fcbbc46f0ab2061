#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QCborValue;

class QCborStreamReader;

// The five files of the store in one folder: reading with a size bound, and writing
// through a temporary file that replaces the old one only once it is whole.
class TAStoreFiles
{
public:
    static constexpr char kServicesFile[] = "services.dat";
    static constexpr char kImagesDataFile[] = "images.dat";
    static constexpr char kImagesIndexFile[] = "images.idx";
    static constexpr char kUrlsDataFile[] = "urls.dat";
    static constexpr char kUrlsIndexFile[] = "urls.idx";

    enum class ReadStatus
    {
        Ok,
        Missing,
        Unreadable
    };
    struct ReadResult
    {
        ReadStatus status = ReadStatus::Missing;
        QByteArray bytes;
        QString error;
    };

    explicit TAStoreFiles(QString folder);

    [[nodiscard]] const QString &folder() const { return m_folder; }
    [[nodiscard]] QString path(const QString &fileName) const;
    [[nodiscard]] bool exists(const QString &fileName) const;

    // Files larger than the bound of their kind are Unreadable, not read into memory.
    [[nodiscard]] ReadResult read(const QString &fileName) const;
    // Creates the folder when needed. On failure the previous file is left as it was.
    bool write(const QString &fileName, const QByteArray &bytes, QString *error) const;

    // Removes the temporary files of writes that were killed before their rename
    // ("services.dat.AbC123"). Files younger than minimumAgeSecs are left, since another
    // process may be writing them right now. Returns how many were removed.
    int removeLeftoverTemporaryFiles(qint64 minimumAgeSecs = 60) const;

    [[nodiscard]] static qint64 maximumSize(const QString &fileName);
    // The form of both cache index files: a CBOR array of the keys in their order.
    [[nodiscard]] static QByteArray encodeKeyIndex(const QStringList &keys);

    // Reads a CBOR map with text keys straight from its bytes, handing each value to
    // readValue, which reads it and says whether it was of the kind expected. The maps
    // of both caches are read so, without a tree of their values first. False for
    // anything else (damage, other kinds): the caller's general reading reports it.
    using MapValueReader = std::function<bool(QString &&key, QCborStreamReader &reader)>;
    [[nodiscard]] static bool readTextKeyedMap(const QByteArray &data,
                                               const MapValueReader &readValue,
                                               qsizetype *entries = nullptr);
    // The same map read through a tree, for a file readTextKeyedMap refused: error says
    // what is wrong (notAMap, or badEntry for a key that is no text or a value entry
    // refuses).
    using MapEntryReader = std::function<bool(const QString &key, const QCborValue &value)>;
    [[nodiscard]] static bool readTextKeyedTree(const QByteArray &data, const MapEntryReader &entry,
                                                const QString &notAMap, const QString &badEntry,
                                                QString *error);
    [[nodiscard]] static bool readText(QCborStreamReader &reader, QString *text);
    [[nodiscard]] static bool readBytes(QCborStreamReader &reader, QByteArray *bytes);

    // Tests only: runs after the temporary file is written and flushed, before it
    // replaces the old file; returning false makes the write fail at that point.
    static void setBeforeCommitHookForTesting(std::function<bool(const QString &path)> hook);

private:
    QString m_folder;
};
