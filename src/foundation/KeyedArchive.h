#pragma once

#include <QCborMap>
#include <QCborValue>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

class KeyedArchiver;
class KeyedUnarchiver;

// An object that can be written to and read from a keyed archive: a CBOR map with a
// "$class" entry and the object's coding keys.
class RTArchivable
{
public:
    virtual ~RTArchivable() = default;
    [[nodiscard]] virtual QString archiveClassName() const = 0;
    virtual void encodeWithCoder(KeyedArchiver &coder) const = 0;
    // Runs on an object built by its class's factory, so every default is in place;
    // keys missing from an older archive keep those defaults.
    virtual void decodeWithCoder(const KeyedUnarchiver &coder) = 0;
};

// Maps "$class" names to factories. Each layer registers its archivable classes from an
// explicit registration function (static libraries drop unreferenced static objects).
class ArchiveClassRegistry
{
public:
    using Factory = std::function<std::unique_ptr<RTArchivable>()>;
    static void registerClass(const QString &name, Factory factory);
    [[nodiscard]] static bool isRegistered(const QString &name);
    [[nodiscard]] static std::unique_ptr<RTArchivable> create(const QString &name);
};

class KeyedArchiver
{
public:
    static constexpr const char *classKey = "$class";

    void encodeBool(const QString &key, bool value);
    void encodeInt(const QString &key, qint64 value);
    void encodeUInt(const QString &key, quint64 value);
    void encodeDouble(const QString &key, double value);
    // A null string is written as CBOR null and reads back as a null string.
    void encodeString(const QString &key, const QString &value);
    // Plain property-list values: strings, numbers, booleans, dates, byte arrays, lists
    // and string-keyed maps of those.
    void encodeVariant(const QString &key, const QVariant &value);
    void encodeValue(const QString &key, const QCborValue &value);
    // One whole CBOR item, already encoded by the caller. Written as it is when the
    // archive goes straight to bytes (archivedObjectsData); a tree holds it parsed.
    void encodeEncodedValue(const QString &key, QByteArray cbor);
    // A null object is written as CBOR null.
    void encodeObject(const QString &key, const RTArchivable *object);
    void encodeObjectList(const QString &key, const std::vector<const RTArchivable *> &objects);
    void encodeObjectMap(const QString &key,
                         const std::vector<std::pair<QString, const RTArchivable *>> &objects);

    [[nodiscard]] const QCborMap &map() const { return m_map; }

    // A digest stands for an archive at a fraction of its cost: an object whose large
    // parts track their own changes writes a stamp that moves whenever such a part
    // changes, instead of the part. Equal digests mean equal archives.
    [[nodiscard]] bool isDigest() const { return m_mode == Mode::Digest; }

    // The archived form of one object (a map with "$class"), or its digest.
    [[nodiscard]] static QCborValue archiveObject(const RTArchivable *object, bool digest = false);
    [[nodiscard]] static QByteArray archivedData(const QCborValue &root);
    // The bytes of archivedData(an array of archiveObject(each)), without parsing the
    // pre-encoded parts into a tree first; null objects are left out.
    [[nodiscard]] static QByteArray
    archivedObjectsData(const std::vector<const RTArchivable *> &objects);

private:
    enum class Mode
    {
        Tree,
        Digest,
        Bytes // pre-encoded values stay bytes, for archivedObjectsData only
    };
    [[nodiscard]] static QCborValue archiveObject(const RTArchivable *object, Mode mode);
    [[nodiscard]] QCborValue archiveChild(const RTArchivable *object) const
    {
        return archiveObject(object, m_mode);
    }

    QCborMap m_map;
    Mode m_mode = Mode::Tree;
};

// Reads one object's map. A key of the wrong type is a damaged archive: the read gives
// the fallback and the failure is recorded, shared with every nested unarchiver, so the
// caller decides once at the end whether to trust the result.
class KeyedUnarchiver
{
public:
    explicit KeyedUnarchiver(QCborMap map, std::shared_ptr<QString> error = nullptr);

    [[nodiscard]] bool containsValueForKey(const QString &key) const;
    [[nodiscard]] bool isNull(const QString &key) const;
    [[nodiscard]] QCborValue value(const QString &key) const;
    // The bytes of a large map set aside by parseDataSettingAsideLargeMaps, for a class
    // that reads them faster than a tree; empty for any other value.
    [[nodiscard]] QByteArray encodedValue(const QString &key) const;

    [[nodiscard]] bool decodeBool(const QString &key, bool fallback = false) const;
    [[nodiscard]] qint64 decodeInt(const QString &key, qint64 fallback = 0) const;
    [[nodiscard]] quint64 decodeUInt(const QString &key, quint64 fallback = 0) const;
    [[nodiscard]] double decodeDouble(const QString &key, double fallback = 0) const;
    [[nodiscard]] QString decodeString(const QString &key,
                                       const QString &fallback = QString()) const;
    [[nodiscard]] QVariant decodeVariant(const QString &key) const;
    [[nodiscard]] QStringList decodeStringList(const QString &key) const;

    // nullptr for a missing or null key, and for a damaged entry (recorded as failure).
    [[nodiscard]] std::unique_ptr<RTArchivable> decodeObject(const QString &key) const;
    template<class T> [[nodiscard]] std::unique_ptr<T> decodeObjectOfClass(const QString &key) const
    {
        return castOrFail<T>(decodeObject(key), key);
    }
    [[nodiscard]] std::vector<std::unique_ptr<RTArchivable>>
    decodeObjectList(const QString &key) const;
    [[nodiscard]] std::vector<std::pair<QString, std::unique_ptr<RTArchivable>>>
    decodeObjectMap(const QString &key) const;

    [[nodiscard]] bool failed() const { return !m_error->isEmpty(); }
    [[nodiscard]] QString errorString() const { return *m_error; }
    void fail(const QString &message) const;

    // Builds the object a map describes; nullptr with *error set when it cannot.
    [[nodiscard]] static std::unique_ptr<RTArchivable>
    unarchiveObject(const QCborValue &value, const std::shared_ptr<QString> &error);
    // Parses CBOR bytes; an invalid value with *error set when they are not whole CBOR.
    [[nodiscard]] static QCborValue parseData(const QByteArray &data, QString *error);
    // The same, except that maps of at least minimumEntries entries stay bytes until a
    // decoder asks for them (value() parses them then; encodedValue() hands them over).
    [[nodiscard]] static QCborValue parseDataSettingAsideLargeMaps(const QByteArray &data,
                                                                   QString *error,
                                                                   qsizetype minimumEntries);

    template<class T>
    std::unique_ptr<T> castOrFail(std::unique_ptr<RTArchivable> object, const QString &key) const
    {
        if (!object)
            return nullptr;
        if (auto *typed = dynamic_cast<T *>(object.get())) {
            object.release();
            return std::unique_ptr<T>(typed);
        }
        fail(QStringLiteral("unexpected class for key '%1'").arg(key));
        return nullptr;
    }

private:
    void typeMismatch(const QString &key, const char *expected) const;
    [[nodiscard]] QCborValue lookup(const QString &key) const;
    static bool setAsideLargeMaps(const uchar *&p, const uchar *end, qsizetype minimumEntries,
                                  int depth, QByteArray &out);

    QCborMap m_map;
    std::shared_ptr<QString> m_error;
};

// Converts between plain values and CBOR for property-list data.
[[nodiscard]] QCborValue cborFromVariant(const QVariant &value);
[[nodiscard]] QVariant variantFromCbor(const QCborValue &value);
