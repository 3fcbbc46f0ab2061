#include "foundation/KeyedArchive.h"

#include <QCborArray>
#include <gtest/gtest.h>

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
