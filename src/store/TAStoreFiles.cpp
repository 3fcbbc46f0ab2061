#include "store/TAStoreFiles.h"

#include "foundation/CborWriter.h"
#include "foundation/KeyedArchive.h"

#include <QCborMap>
#include <QCborStreamReader>
#include <QCborValue>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace {

// Pictures are the bulk of the store; 1,000 of them stay far below this.
constexpr qint64 kMaxImagesDataSize = 256LL * 1024 * 1024;
constexpr qint64 kMaxOtherFileSize = 64LL * 1024 * 1024;

std::function<bool(const QString &)> &beforeCommitHook()
{
    static std::function<bool(const QString &)> hook;
    return hook;
}

} // namespace

TAStoreFiles::TAStoreFiles(QString folder)
    : m_folder(std::move(folder))
{
}

int TAStoreFiles::removeLeftoverTemporaryFiles(qint64 minimumAgeSecs) const
{
    const QDir dir(m_folder);
    if (!dir.exists())
        return 0;
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-minimumAgeSecs);
    int removed = 0;
    for (const char *name :
         {kServicesFile, kImagesDataFile, kImagesIndexFile, kUrlsDataFile, kUrlsIndexFile}) {
        // The temporary name is the file's name, a dot and six characters.
        const QString pattern = QString::fromLatin1(name) + QStringLiteral(".??????");
        for (const QFileInfo &info : dir.entryInfoList({pattern}, QDir::Files | QDir::Hidden)) {
            // Random letters and digits; an all-lower-case word ("services.dat.backup") is
            // more likely the user's own copy and stays.
            const QString tail = info.fileName().right(6);
            const bool word = std::all_of(tail.cbegin(), tail.cend(),
                                          [](QChar c) { return c >= u'a' && c <= u'z'; });
            if (!word && info.lastModified().toUTC() <= before && QFile::remove(info.filePath()))
                ++removed;
        }
    }
    return removed;
}

QString TAStoreFiles::path(const QString &fileName) const
{
    return m_folder + QLatin1Char('/') + fileName;
}

bool TAStoreFiles::exists(const QString &fileName) const
{
    return QFileInfo(path(fileName)).isFile();
}

qint64 TAStoreFiles::maximumSize(const QString &fileName)
{
    return fileName == QLatin1String(kImagesDataFile) ? kMaxImagesDataSize : kMaxOtherFileSize;
}

TAStoreFiles::ReadResult TAStoreFiles::read(const QString &fileName) const
{
    ReadResult result;
    const QString filePath = path(fileName);
    const QFileInfo info(filePath);
    if (!info.exists()) {
        result.status = ReadStatus::Missing;
        return result;
    }
    result.status = ReadStatus::Unreadable;
    if (!info.isFile()) {
        result.error = QStringLiteral("%1 is not a file").arg(fileName);
        return result;
    }
    const qint64 limit = maximumSize(fileName);
    if (info.size() > limit) {
        result.error = QStringLiteral("%1 is larger than %2 bytes").arg(fileName).arg(limit);
        return result;
    }
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return result;
    }
    // A buffer of the file's size (a buffer of the bound would be hundreds of megabytes
    // of fresh pages), one byte more to notice a file that grew since the check; one that
    // did is read on up to one byte past the bound.
    result.bytes = file.read(std::min(info.size(), limit) + 1);
    if (result.bytes.size() > info.size() && result.bytes.size() <= limit)
        result.bytes += file.read(limit + 1 - result.bytes.size());
    if (result.bytes.size() > limit) {
        result.bytes.clear();
        result.error = QStringLiteral("%1 is larger than %2 bytes").arg(fileName).arg(limit);
        return result;
    }
    result.status = ReadStatus::Ok;
    return result;
}

bool TAStoreFiles::write(const QString &fileName, const QByteArray &bytes, QString *error) const
{
    if (!QDir().mkpath(m_folder)) {
        if (error)
            *error = QStringLiteral("cannot create the folder %1").arg(m_folder);
        return false;
    }
    QSaveFile file(path(fileName));
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (beforeCommitHook() && !beforeCommitHook()(path(fileName))) {
        if (error)
            *error = QStringLiteral("%1: the write was interrupted").arg(fileName);
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

void TAStoreFiles::setBeforeCommitHookForTesting(std::function<bool(const QString &)> hook)
{
    beforeCommitHook() = std::move(hook);
}

QByteArray TAStoreFiles::encodeKeyIndex(const QStringList &keys)
{
    CborWriter writer(keys.size() * 96 + 16);
    writer.head(CborWriter::Array, quint64(keys.size()));
    for (const QString &key : keys)
        writer.text(key);
    return writer.take();
}

bool TAStoreFiles::readTextKeyedTree(const QByteArray &data, const MapEntryReader &entry,
                                     const QString &notAMap, const QString &badEntry,
                                     QString *error)
{
    const QCborValue root = KeyedUnarchiver::parseData(data, error);
    if (!root.isMap()) {
        if (error && !root.isInvalid())
            *error = notAMap;
        return false;
    }
    const QCborMap map = root.toMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (!it.key().isString() || !entry(it.key().toString(), it.value())) {
            if (error)
                *error = badEntry;
            return false;
        }
    }
    return true;
}

bool TAStoreFiles::readText(QCborStreamReader &reader, QString *text)
{
    if (!reader.isString())
        return false;
    text->clear();
    auto chunk = reader.readString();
    while (chunk.status == QCborStreamReader::Ok) {
        *text += chunk.data;
        chunk = reader.readString();
    }
    return chunk.status == QCborStreamReader::EndOfString;
}

bool TAStoreFiles::readBytes(QCborStreamReader &reader, QByteArray *bytes)
{
    if (!reader.isByteArray())
        return false;
    bytes->clear();
    auto chunk = reader.readByteArray();
    while (chunk.status == QCborStreamReader::Ok) {
        *bytes += chunk.data;
        chunk = reader.readByteArray();
    }
    return chunk.status == QCborStreamReader::EndOfString;
}

bool TAStoreFiles::readTextKeyedMap(const QByteArray &data, const MapValueReader &readValue,
                                    qsizetype *entries)
{
    QCborStreamReader reader(data);
    if (!reader.isMap() || !reader.enterContainer())
        return false;
    qsizetype count = 0;
    while (reader.lastError() == QCborError::NoError && reader.hasNext()) {
        QString key;
        if (!readText(reader, &key) || !readValue(std::move(key), reader))
            return false;
        ++count;
    }
    if (reader.lastError() != QCborError::NoError || !reader.leaveContainer() ||
        reader.currentOffset() != data.size())
        return false;
    if (entries)
        *entries = count;
    return true;
}
