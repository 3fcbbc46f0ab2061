#include "foundation/KeyedArchive.h"

#include <QCborArray>
#include <QDateTime>
#include <gtest/gtest.h>
#include <limits>

namespace {
class Pet : public RTArchivable
{
public:
    QString name = QStringLiteral("unnamed");
    qint64 legs = 4;
    bool friendly = true;
    std::unique_ptr<Pet> friendPet;

    QString archiveClassName() const override { return QStringLiteral("TestPet"); }
    void encodeWithCoder(KeyedArchiver &coder) const override
    {
        coder.encodeString(QStringLiteral("name"), name);
        coder.encodeInt(QStringLiteral("legs"), legs);
        coder.encodeBool(QStringLiteral("friendly"), friendly);
        coder.encodeObject(QStringLiteral("friend"), friendPet.get());
    }
    void decodeWithCoder(const KeyedUnarchiver &coder) override
    {
        name = coder.decodeString(QStringLiteral("name"), name);
        legs = coder.decodeInt(QStringLiteral("legs"), legs);
        friendly = coder.decodeBool(QStringLiteral("friendly"), friendly);
        friendPet = coder.decodeObjectOfClass<Pet>(QStringLiteral("friend"));
    }
};

struct Registration
{
    Registration()
    {
        ArchiveClassRegistry::registerClass(QStringLiteral("TestPet"),
                                            [] { return std::make_unique<Pet>(); });
    }
} registration;

std::unique_ptr<Pet> roundTrip(const QByteArray &data, QString *error)
{
    const QCborValue value = KeyedUnarchiver::parseData(data, error);
    if (!value.isMap())
        return nullptr;
    auto shared = std::make_shared<QString>();
    auto object = KeyedUnarchiver::unarchiveObject(value, shared);
    *error = *shared;
    auto *pet = dynamic_cast<Pet *>(object.get());
    if (!pet)
        return nullptr;
    object.release();
    return std::unique_ptr<Pet>(pet);
}
} // namespace

TEST(KeyedArchive, NestedObjectsRoundTrip)
{
    Pet cat;
    cat.name = QStringLiteral("Mïa");
    cat.legs = 3;
    cat.friendPet = std::make_unique<Pet>();
    cat.friendPet->name = QStringLiteral("Rex");
    cat.friendPet->friendly = false;

    QString error;
    auto back = roundTrip(KeyedArchiver::archivedData(KeyedArchiver::archiveObject(&cat)), &error);
    ASSERT_TRUE(back) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(back->name, QStringLiteral("Mïa"));
    EXPECT_EQ(back->legs, 3);
    ASSERT_TRUE(back->friendPet);
    EXPECT_EQ(back->friendPet->name, QStringLiteral("Rex"));
    EXPECT_FALSE(back->friendPet->friendly);
}

TEST(KeyedArchive, MissingKeysKeepDefaultsAndWrongTypesAreReported)
{
    struct Case
    {
        const char *what;
        QCborMap map;
        bool expectError;
        qint64 legs;
    };
    const QString cls = QLatin1String(KeyedArchiver::classKey);
    const std::vector<Case> cases = {
        {"only the class", QCborMap{{cls, QStringLiteral("TestPet")}}, false, 4},
        {"unknown keys are ignored",
         QCborMap{{cls, QStringLiteral("TestPet")}, {QStringLiteral("wings"), 2}}, false, 4},
        {"wrong type",
         QCborMap{{cls, QStringLiteral("TestPet")},
                  {QStringLiteral("legs"), QStringLiteral("four")}},
         true, 4},
        {"nested unknown class",
         QCborMap{{cls, QStringLiteral("TestPet")},
                  {QStringLiteral("friend"), QCborMap{{cls, QStringLiteral("Dragon")}}}},
         true, 4},
    };
    for (const Case &c : cases) {
        QString error;
        auto pet = roundTrip(c.map.toCborValue().toCbor(), &error);
        ASSERT_TRUE(pet) << c.what;
        EXPECT_EQ(pet->legs, c.legs) << c.what;
        EXPECT_EQ(!error.isEmpty(), c.expectError) << c.what << ": " << error.toStdString();
    }
}

TEST(KeyedArchive, DamagedBytesAreRejected)
{
    Pet pet;
    const QByteArray good = KeyedArchiver::archivedData(KeyedArchiver::archiveObject(&pet));
    const std::vector<QByteArray> bad = {QByteArray(), good.left(good.size() / 2), good + "x",
                                         QByteArray("\xff\xff\xff", 3)};
    for (const QByteArray &data : bad) {
        QString error;
        EXPECT_FALSE(roundTrip(data, &error)) << data.toHex().toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(KeyedArchive, LargeMapsKeepEveryEntry)
{
    QVariantMap flags;
    for (int i = 0; i < 20000; ++i)
        flags.insert(QString::number(1000000000000000000LL + i), quint32(i % 7) << 16);
    KeyedArchiver coder;
    coder.encodeVariant(QStringLiteral("flags"), flags);
    QString error;
    const QCborValue back =
        KeyedUnarchiver::parseData(KeyedArchiver::archivedData(coder.map()), &error);
    ASSERT_TRUE(back.isMap()) << error.toStdString();
    const QVariantMap decoded =
        KeyedUnarchiver(back.toMap()).decodeVariant(QStringLiteral("flags")).toMap();
    ASSERT_EQ(decoded.size(), flags.size());
    EXPECT_EQ(decoded.value(QStringLiteral("1000000000000019999")).toUInt(), (19999u % 7) << 16);
}

namespace {
// Every kind of value an archive holds, and a part its class encodes itself.
class Album : public RTArchivable
{
public:
    QCborValue encoded;
    std::unique_ptr<Pet> pet;

    QString archiveClassName() const override { return QStringLiteral("TestAlbum"); }
    void encodeWithCoder(KeyedArchiver &coder) const override
    {
        coder.encodeString(QStringLiteral("title"), QStringLiteral("Ünïcode ✓"));
        coder.encodeString(QStringLiteral("none"), QString());
        coder.encodeInt(QStringLiteral("negative"), -1234567890123LL);
        coder.encodeInt(QStringLiteral("small"), -24);
        coder.encodeUInt(QStringLiteral("huge"), std::numeric_limits<quint64>::max());
        coder.encodeDouble(QStringLiteral("ratio"), 0.1);
        coder.encodeBool(QStringLiteral("shown"), false);
        coder.encodeVariant(QStringLiteral("taken"),
                            QDateTime::fromSecsSinceEpoch(1262304000, Qt::UTC));
        coder.encodeVariant(QStringLiteral("cover"), QByteArray("\x00\x01\xff", 3));
        coder.encodeVariant(
            QStringLiteral("tags"),
            QVariantList{QStringLiteral("a"), 1, QVariantMap{{QStringLiteral("k"), 2}}});
        coder.encodeObject(QStringLiteral("pet"), pet.get());
        coder.encodeObjectList(QStringLiteral("pets"), {pet.get(), nullptr});
        coder.encodeEncodedValue(QStringLiteral("encoded"), encoded.toCbor());
    }
    void decodeWithCoder(const KeyedUnarchiver &coder) override
    {
        encoded = coder.value(QStringLiteral("encoded"));
    }
};
} // namespace

// Written straight to bytes, an archive is the same as its tree written by Qt, whatever
// its parts; pre-encoded parts read back as the values they encode.
TEST(KeyedArchive, BytesWrittenDirectlyEqualTheTreeWritten)
{
    ArchiveClassRegistry::registerClass(QStringLiteral("TestAlbum"),
                                        [] { return std::make_unique<Album>(); });
    QCborMap bigMap;
    for (int i = 0; i < 300; ++i)
        bigMap.insert(qint64(1000000000000000000LL + i), i << 16);
    const std::vector<QCborValue> encodedParts = {
        QCborValue(),
        QCborValue(7),
        QCborValue(QStringLiteral("text")),
        QCborMap{{1, 2}, {QStringLiteral("0123"), 3}},
        QCborValue(bigMap),
        QCborArray{QCborValue(QCborValue::Null), true, 2.5},
    };
    for (const QCborValue &part : encodedParts) {
        Album album;
        album.encoded = part;
        album.pet = std::make_unique<Pet>();
        album.pet->name = QStringLiteral("Rex");
        Album second;
        const std::vector<const RTArchivable *> objects = {&album, nullptr, &second};

        QCborArray tree;
        tree.append(KeyedArchiver::archiveObject(&album));
        tree.append(KeyedArchiver::archiveObject(&second));
        const QByteArray bytes = KeyedArchiver::archivedObjectsData(objects);
        EXPECT_EQ(bytes, KeyedArchiver::archivedData(tree))
            << part.toDiagnosticNotation().toStdString();

        QString error;
        const QCborValue parsed = KeyedUnarchiver::parseData(bytes, &error);
        ASSERT_TRUE(parsed.isArray()) << error.toStdString();
        ASSERT_EQ(parsed.toArray().size(), 2);
        auto shared = std::make_shared<QString>();
        auto back = KeyedUnarchiver::unarchiveObject(parsed.toArray().at(0), shared);
        auto *restored = dynamic_cast<Album *>(back.get());
        ASSERT_TRUE(restored) << shared->toStdString();
        EXPECT_EQ(restored->encoded, part) << part.toDiagnosticNotation().toStdString();
    }
}
