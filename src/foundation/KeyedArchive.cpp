#include "foundation/KeyedArchive.h"

#include "foundation/CborHead.h"
#include "foundation/CborWriter.h"

#include <QCborArray>
#include <QCborStreamReader>
#include <QCborStreamWriter>
#include <QDateTime>
#include <QHash>
#include <QMutex>

namespace {
struct Registry
{
    QMutex mutex;
    QHash<QString, ArchiveClassRegistry::Factory> factories;
};

Registry &registry()
{
    static Registry r;
    return r;
}

// QCborMap::insert looks for the key first, which makes filling a large map quadratic.
// Keys that are already unique go through the encoder in one pass instead.
QCborMap mapFromUniqueEntries(const std::vector<std::pair<QString, QCborValue>> &entries)
{
    QByteArray bytes;
    QCborStreamWriter writer(&bytes);
    writer.startMap(entries.size());
    for (const auto &[key, value] : entries) {
        writer.append(key);
        value.toCbor(writer);
    }
    writer.endMap();
    return QCborValue::fromCbor(bytes).toMap();
}
// Marks a pre-encoded value inside a tree that only CborWriter writes; never on disk.
constexpr QCborTag kEncodedValueTag = QCborTag(0xfffffffffffe5441ULL);

constexpr int kMaxScanDepth = 512;

// Moves p past one whole item; false when the bytes are not one.
bool skipItem(const uchar *&p, const uchar *end, int depth)
{
    CborHead head;
    if (depth > kMaxScanDepth || !readCborHead(p, end, &head))
        return false;
    switch (head.major) {
    case 0:
    case 1:
        return true;
    case 2:
    case 3:
        if (head.indefinite) {
            while (p < end && *p != 0xff) {
                CborHead chunk;
                if (!readCborHead(p, end, &chunk) || chunk.major != head.major ||
                    chunk.indefinite || quint64(end - p) < chunk.value)
                    return false;
                p += chunk.value;
            }
            return p++ < end;
        }
        if (quint64(end - p) < head.value)
            return false;
        p += head.value;
        return true;
    case 4:
    case 5: {
        const int perEntry = head.major == 5 ? 2 : 1;
        if (head.indefinite) {
            while (p < end && *p != 0xff) {
                for (int i = 0; i < perEntry; ++i)
                    if (!skipItem(p, end, depth + 1))
                        return false;
            }
            return p++ < end;
        }
        // Every item takes a byte at least: a count beyond the bytes left is damage.
        if (head.value > quint64(end - p))
            return false;
        for (quint64 n = 0; n < head.value * quint64(perEntry); ++n)
            if (!skipItem(p, end, depth + 1))
                return false;
        return true;
    }
    case 6:
        return skipItem(p, end, depth + 1);
    default: // simple values and floats: the head held their bytes
        return true;
    }
}

} // namespace

// Copies one item, putting each definite map of at least minimumEntries entries into
// a tagged byte string of its bytes; false (and nothing to use) when the bytes are not
// one item or already hold the tag.
bool KeyedUnarchiver::setAsideLargeMaps(const uchar *&p, const uchar *end, qsizetype minimumEntries,
                                        int depth, QByteArray &out)
{
    const uchar *start = p;
    CborHead head;
    if (depth > kMaxScanDepth || !readCborHead(p, end, &head))
        return false;
    if ((head.major == 4 || head.major == 5) && !head.indefinite) {
        if (head.value > quint64(end - p))
            return false;
        if (head.major == 5 && head.value >= quint64(minimumEntries)) {
            p = start;
            if (!skipItem(p, end, depth))
                return false;
            CborWriter tagged;
            tagged.head(CborWriter::Tag, quint64(kEncodedValueTag));
            tagged.head(CborWriter::ByteString, quint64(p - start));
            out.append(tagged.take());
            out.append(reinterpret_cast<const char *>(start), p - start);
            return true;
        }
        out.append(reinterpret_cast<const char *>(start), p - start);
        const quint64 items = head.value * (head.major == 5 ? 2 : 1);
        for (quint64 n = 0; n < items; ++n)
            if (!setAsideLargeMaps(p, end, minimumEntries, depth + 1, out))
                return false;
        return true;
    }
    if (head.major == 6 && head.value == quint64(kEncodedValueTag))
        return false;
    p = start;
    if (!skipItem(p, end, depth))
        return false;
    out.append(reinterpret_cast<const char *>(start), p - start);
    return true;
}

namespace {

// Writes a tree as QCborValue::toCbor does, and pre-encoded values as their bytes.
void writeTree(CborWriter &writer, const QCborValue &v)
{
    switch (v.type()) {
    case QCborValue::Integer:
        writer.integer(v.toInteger());
        return;
    case QCborValue::String:
        writer.text(v.toString());
        return;
    case QCborValue::ByteArray:
        writer.bytes(v.toByteArray());
        return;
    case QCborValue::Array: {
        const QCborArray array = v.toArray();
        writer.head(CborWriter::Array, quint64(array.size()));
        for (const QCborValue &item : array)
            writeTree(writer, item);
        return;
    }
    case QCborValue::Map: {
        const QCborMap map = v.toMap();
        writer.head(CborWriter::Map, quint64(map.size()));
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            writeTree(writer, it.key());
            writeTree(writer, it.value());
        }
        return;
    }
    case QCborValue::Tag:
        if (v.tag() == kEncodedValueTag && v.taggedValue().isByteArray()) {
            writer.raw(v.taggedValue().toByteArray());
            return;
        }
        break;
    default:
        break;
    }
    // Booleans, null, doubles, dates and the rest: rare, and Qt's own form.
    writer.raw(v.toCbor());
}

} // namespace

void ArchiveClassRegistry::registerClass(const QString &name, Factory factory)
{
    QMutexLocker locker(&registry().mutex);
    registry().factories.insert(name, std::move(factory));
}

bool ArchiveClassRegistry::isRegistered(const QString &name)
{
    QMutexLocker locker(&registry().mutex);
    return registry().factories.contains(name);
}

std::unique_ptr<RTArchivable> ArchiveClassRegistry::create(const QString &name)
{
    Factory factory;
    {
        QMutexLocker locker(&registry().mutex);
        factory = registry().factories.value(name);
    }
    return factory ? factory() : nullptr;
}

// ---------------------------------------------------------------------------

QCborValue cborFromVariant(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return QCborValue(QCborValue::Null);
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        QCborArray array;
        for (const QVariant &v : value.toList())
            array.append(cborFromVariant(v));
        return array;
    }
    case QMetaType::QVariantMap: {
        std::vector<std::pair<QString, QCborValue>> entries;
        const QVariantMap vm = value.toMap();
        entries.reserve(vm.size());
        for (auto it = vm.cbegin(); it != vm.cend(); ++it)
            entries.emplace_back(it.key(), cborFromVariant(it.value()));
        return mapFromUniqueEntries(entries);
    }
    case QMetaType::QVariantHash: {
        std::vector<std::pair<QString, QCborValue>> entries;
        const QVariantHash vh = value.toHash();
        entries.reserve(vh.size());
        for (auto it = vh.cbegin(); it != vh.cend(); ++it)
            entries.emplace_back(it.key(), cborFromVariant(it.value()));
        return mapFromUniqueEntries(entries);
    }
    case QMetaType::ULongLong:
    case QMetaType::UInt:
    case QMetaType::ULong: {
        const quint64 u = value.toULongLong();
        if (u > quint64(std::numeric_limits<qint64>::max()))
            return QCborValue(double(u));
        return QCborValue(qint64(u));
    }
    default:
        return QCborValue::fromVariant(value);
    }
}

QVariant variantFromCbor(const QCborValue &value)
{
    if (value.isArray()) {
        QVariantList list;
        for (const QCborValue &v : value.toArray())
            list.append(variantFromCbor(v));
        return list;
    }
    if (value.isMap()) {
        QVariantMap map;
        const QCborMap m = value.toMap();
        for (auto it = m.cbegin(); it != m.cend(); ++it)
            map.insert(it.key().toString(), variantFromCbor(it.value()));
        return map;
    }
    if (value.isNull() || value.isUndefined())
        return QVariant();
    return value.toVariant();
}

// ---------------------------------------------------------------------------

void KeyedArchiver::encodeBool(const QString &key, bool value)
{
    m_map.insert(key, value);
}

void KeyedArchiver::encodeInt(const QString &key, qint64 value)
{
    m_map.insert(key, value);
}

void KeyedArchiver::encodeUInt(const QString &key, quint64 value)
{
    m_map.insert(key, cborFromVariant(QVariant::fromValue(value)));
}

void KeyedArchiver::encodeDouble(const QString &key, double value)
{
    m_map.insert(key, value);
}

void KeyedArchiver::encodeString(const QString &key, const QString &value)
{
    m_map.insert(key, value.isNull() ? QCborValue(QCborValue::Null) : QCborValue(value));
}

void KeyedArchiver::encodeVariant(const QString &key, const QVariant &value)
{
    m_map.insert(key, cborFromVariant(value));
}

void KeyedArchiver::encodeValue(const QString &key, const QCborValue &value)
{
    m_map.insert(key, value);
}

void KeyedArchiver::encodeObject(const QString &key, const RTArchivable *object)
{
    m_map.insert(key, archiveChild(object));
}

void KeyedArchiver::encodeObjectList(const QString &key,
                                     const std::vector<const RTArchivable *> &objects)
{
    QCborArray array;
    for (const RTArchivable *object : objects)
        array.append(archiveChild(object));
    m_map.insert(key, array);
}

void KeyedArchiver::encodeObjectMap(
    const QString &key, const std::vector<std::pair<QString, const RTArchivable *>> &objects)
{
    // Names are unique map keys for the callers (message and user ids).
    std::vector<std::pair<QString, QCborValue>> entries;
    entries.reserve(objects.size());
    for (const auto &[name, object] : objects)
        entries.emplace_back(name, archiveChild(object));
    m_map.insert(key, mapFromUniqueEntries(entries));
}

void KeyedArchiver::encodeEncodedValue(const QString &key, QByteArray cbor)
{
    if (m_mode == Mode::Bytes)
        m_map.insert(key, QCborValue(kEncodedValueTag, QCborValue(std::move(cbor))));
    else
        m_map.insert(key, QCborValue::fromCbor(cbor));
}

QCborValue KeyedArchiver::archiveObject(const RTArchivable *object, bool digest)
{
    return archiveObject(object, digest ? Mode::Digest : Mode::Tree);
}

QCborValue KeyedArchiver::archiveObject(const RTArchivable *object, Mode mode)
{
    if (!object)
        return QCborValue(QCborValue::Null);
    KeyedArchiver coder;
    coder.m_mode = mode;
    coder.m_map.insert(QLatin1String(classKey), object->archiveClassName());
    object->encodeWithCoder(coder);
    return coder.m_map;
}

QByteArray KeyedArchiver::archivedData(const QCborValue &root)
{
    return root.toCbor();
}

QByteArray KeyedArchiver::archivedObjectsData(const std::vector<const RTArchivable *> &objects)
{
    CborWriter writer;
    qsizetype count = 0;
    for (const RTArchivable *object : objects)
        count += object ? 1 : 0;
    writer.head(CborWriter::Array, quint64(count));
    for (const RTArchivable *object : objects) {
        if (object)
            writeTree(writer, archiveObject(object, Mode::Bytes));
    }
    return writer.take();
}

// ---------------------------------------------------------------------------

KeyedUnarchiver::KeyedUnarchiver(QCborMap map, std::shared_ptr<QString> error)
    : m_map(std::move(map))
    , m_error(error ? std::move(error) : std::make_shared<QString>())
{
}

void KeyedUnarchiver::fail(const QString &message) const
{
    if (m_error->isEmpty())
        *m_error = message;
}

bool KeyedUnarchiver::containsValueForKey(const QString &key) const
{
    return m_map.contains(key);
}

bool KeyedUnarchiver::isNull(const QString &key) const
{
    const QCborValue v = lookup(key);
    return v.isNull() || v.isUndefined();
}

QCborValue KeyedUnarchiver::value(const QString &key) const
{
    return lookup(key);
}

QCborValue KeyedUnarchiver::lookup(const QString &key) const
{
    const QCborValue v = m_map.value(key);
    if (!v.isTag() || v.tag() != kEncodedValueTag)
        return v;
    // A large map set aside while the archive was read: parsed now that it is asked for.
    QCborParserError parseError;
    const QCborValue parsed = QCborValue::fromCbor(v.taggedValue().toByteArray(), &parseError);
    if (parseError.error != QCborError::NoError) {
        fail(QStringLiteral("the archive is damaged: %1").arg(parseError.errorString()));
        return QCborValue(QCborValue::Invalid);
    }
    return parsed;
}

QByteArray KeyedUnarchiver::encodedValue(const QString &key) const
{
    const QCborValue v = m_map.value(key);
    if (v.isTag() && v.tag() == kEncodedValueTag)
        return v.taggedValue().toByteArray();
    return {};
}

void KeyedUnarchiver::typeMismatch(const QString &key, const char *expected) const
{
    fail(QStringLiteral("key '%1' is not %2").arg(key, QLatin1String(expected)));
}

bool KeyedUnarchiver::decodeBool(const QString &key, bool fallback) const
{
    const QCborValue v = lookup(key);
    if (v.isUndefined() || v.isNull())
        return fallback;
    if (v.isBool())
        return v.toBool();
    if (v.isInteger())
        return v.toInteger() != 0;
    typeMismatch(key, "a boolean");
    return fallback;
}

qint64 KeyedUnarchiver::decodeInt(const QString &key, qint64 fallback) const
{
    const QCborValue v = lookup(key);
    if (v.isUndefined() || v.isNull())
        return fallback;
    if (v.isInteger())
        return v.toInteger();
    if (v.isDouble())
        return qint64(v.toDouble());
    if (v.isBool())
        return v.toBool() ? 1 : 0;
    typeMismatch(key, "an integer");
    return fallback;
}

quint64 KeyedUnarchiver::decodeUInt(const QString &key, quint64 fallback) const
{
    const QCborValue v = lookup(key);
    if (v.isUndefined() || v.isNull())
        return fallback;
    if (v.isInteger())
        return quint64(v.toInteger());
    if (v.isDouble() && v.toDouble() >= 0)
        return quint64(v.toDouble());
    typeMismatch(key, "an unsigned integer");
    return fallback;
}

double KeyedUnarchiver::decodeDouble(const QString &key, double fallback) const
{
    const QCborValue v = lookup(key);
    if (v.isUndefined() || v.isNull())
        return fallback;
    if (v.isDouble() || v.isInteger())
        return v.toDouble();
    typeMismatch(key, "a number");
    return fallback;
}

QString KeyedUnarchiver::decodeString(const QString &key, const QString &fallback) const
{
    const QCborValue v = lookup(key);
    if (v.isUndefined())
        return fallback;
    if (v.isNull())
        return QString();
    if (v.isString())
        return v.toString();
    typeMismatch(key, "a string");
    return fallback;
}

QVariant KeyedUnarchiver::decodeVariant(const QString &key) const
{
    return variantFromCbor(lookup(key));
}

QStringList KeyedUnarchiver::decodeStringList(const QString &key) const
{
    const QCborValue v = lookup(key);
    if (v.isUndefined() || v.isNull())
        return {};
    if (!v.isArray()) {
        typeMismatch(key, "an array");
        return {};
    }
    QStringList out;
    for (const QCborValue &item : v.toArray()) {
        if (item.isString())
            out.append(item.toString());
        else if (item.isInteger())
            out.append(QString::number(item.toInteger()));
        else
            typeMismatch(key, "an array of strings");
    }
    return out;
}

std::unique_ptr<RTArchivable> KeyedUnarchiver::decodeObject(const QString &key) const
{
    const QCborValue v = lookup(key);
    if (v.isUndefined() || v.isNull())
        return nullptr;
    return unarchiveObject(v, m_error);
}

std::vector<std::unique_ptr<RTArchivable>>
KeyedUnarchiver::decodeObjectList(const QString &key) const
{
    std::vector<std::unique_ptr<RTArchivable>> out;
    const QCborValue v = lookup(key);
    if (v.isUndefined() || v.isNull())
        return out;
    if (!v.isArray()) {
        typeMismatch(key, "an array");
        return out;
    }
    for (const QCborValue &item : v.toArray()) {
        if (auto object = unarchiveObject(item, m_error))
            out.push_back(std::move(object));
    }
    return out;
}

std::vector<std::pair<QString, std::unique_ptr<RTArchivable>>>
KeyedUnarchiver::decodeObjectMap(const QString &key) const
{
    std::vector<std::pair<QString, std::unique_ptr<RTArchivable>>> out;
    const QCborValue v = lookup(key);
    if (v.isUndefined() || v.isNull())
        return out;
    if (!v.isMap()) {
        typeMismatch(key, "a map");
        return out;
    }
    const QCborMap map = v.toMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (auto object = unarchiveObject(it.value(), m_error))
            out.emplace_back(it.key().toString(), std::move(object));
    }
    return out;
}

std::unique_ptr<RTArchivable>
KeyedUnarchiver::unarchiveObject(const QCborValue &value, const std::shared_ptr<QString> &error)
{
    auto setError = [&](const QString &message) {
        if (error && error->isEmpty())
            *error = message;
    };
    if (!value.isMap()) {
        setError(QStringLiteral("an archived object is not a map"));
        return nullptr;
    }
    const QCborMap map = value.toMap();
    const QCborValue cls = map.value(QLatin1String(KeyedArchiver::classKey));
    if (!cls.isString()) {
        setError(QStringLiteral("an archived object has no class"));
        return nullptr;
    }
    auto object = ArchiveClassRegistry::create(cls.toString());
    if (!object) {
        setError(QStringLiteral("unknown archived class '%1'").arg(cls.toString()));
        return nullptr;
    }
    KeyedUnarchiver coder(map, error ? error : std::make_shared<QString>());
    object->decodeWithCoder(coder);
    return object;
}

QCborValue KeyedUnarchiver::parseDataSettingAsideLargeMaps(const QByteArray &data, QString *error,
                                                           qsizetype minimumEntries)
{
    QByteArray shortened;
    shortened.reserve(4096);
    const auto *begin = reinterpret_cast<const uchar *>(data.constData());
    const auto *end = begin + data.size();
    const uchar *p = begin;
    if (setAsideLargeMaps(p, end, minimumEntries, 0, shortened) && p == end)
        return parseData(shortened, error);
    // Anything the scan does not follow is read whole, which names the fault.
    return parseData(data, error);
}

QCborValue KeyedUnarchiver::parseData(const QByteArray &data, QString *error)
{
    if (data.isEmpty()) {
        if (error)
            *error = QStringLiteral("the archive is empty");
        return QCborValue(QCborValue::Invalid);
    }
    QCborStreamReader reader(data);
    const QCborValue value = QCborValue::fromCbor(reader);
    if (reader.lastError() != QCborError::NoError) {
        if (error)
            *error =
                QStringLiteral("the archive is damaged: %1").arg(reader.lastError().toString());
        return QCborValue(QCborValue::Invalid);
    }
    if (reader.currentOffset() != data.size()) {
        if (error)
            *error = QStringLiteral("the archive has trailing bytes");
        return QCborValue(QCborValue::Invalid);
    }
    return value;
}
