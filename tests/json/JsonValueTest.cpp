#include "json/Json.h"
#include "json/JsonReader.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

JsonValue read(const char *text)
{
    JsonReader reader;
    JsonValue v = reader.fragmentWithString(QByteArray(text));
    EXPECT_TRUE(v.isValid()) << text << reader.errorTraceText().toStdString();
    return v;
}

} // namespace

TEST(JsonValue, StatusIdsKeepEveryDigit)
{
    const JsonValue v = read(R"({"id":12345678901234567890,"id_str":"12345678901234567890",
                                "big":123456789012345678,"neg":-9223372036854775808})");
    EXPECT_EQ(v["id"].toString(), QStringLiteral("12345678901234567890"));
    EXPECT_EQ(v["id_str"].toString(), QStringLiteral("12345678901234567890"));
    bool ok = false;
    EXPECT_EQ(v["id"].toUInt64(&ok), 12345678901234567890ULL);
    EXPECT_TRUE(ok);
    EXPECT_EQ(v["id"].toInt64(&ok), 0);
    EXPECT_FALSE(ok); // above the signed range
    EXPECT_EQ(v["big"].toInt64(&ok), 123456789012345678LL);
    EXPECT_TRUE(ok);
    EXPECT_EQ(v["neg"].toInt64(&ok), std::numeric_limits<qint64>::min());
    EXPECT_TRUE(ok);
}

TEST(JsonValue, NumberConversionsAreExact)
{
    struct Case
    {
        const char *text;
        bool intOk;
        qint64 intValue;
        bool uintOk;
        bool doubleOk;
        double doubleValue;
    };
    const Case cases[] = {
        {"0", true, 0, true, true, 0.0},
        {"-0", true, 0, true, true, -0.0},
        {"42", true, 42, true, true, 42.0},
        {"-42", true, -42, false, true, -42.0},
        {"2.0", true, 2, true, true, 2.0},
        {"2.50", false, 0, false, true, 2.5},
        {"25e-1", false, 0, false, true, 2.5},
        {"250e-2", false, 0, false, true, 2.5},
        {"200e-2", true, 2, true, true, 2.0},
        {"1.5e1", true, 15, true, true, 15.0},
        {"2e3", true, 2000, true, true, 2000.0},
        {"0e999999999999999999", true, 0, true, true, 0.0},
        {"1e19", false, 0, true, true, 1e19},
        {"1e20", false, 0, false, true, 1e20},
        {"9223372036854775807", true, std::numeric_limits<qint64>::max(), true, true,
         9223372036854775807.0},
        {"9223372036854775808", false, 0, true, true, 9223372036854775808.0},
        {"18446744073709551616", false, 0, false, true, 18446744073709551616.0},
        {"0.1", false, 0, false, true, 0.1},
        {"1e400", false, 0, false, false, 0.0},
        {"-1e400", false, 0, false, false, 0.0},
    };
    for (const Case &c : cases) {
        const JsonValue v = read(c.text);
        ASSERT_TRUE(v.isNumber()) << c.text;
        EXPECT_EQ(v.toString(), QString::fromLatin1(c.text));
        bool ok = !c.intOk;
        EXPECT_EQ(v.toInt64(&ok), c.intValue) << c.text;
        EXPECT_EQ(ok, c.intOk) << c.text;
        (void)v.toUInt64(&ok);
        EXPECT_EQ(ok, c.uintOk) << c.text;
        const double d = v.toDouble(&ok);
        EXPECT_EQ(ok, c.doubleOk) << c.text;
        EXPECT_EQ(d, c.doubleValue) << c.text;
    }
}

TEST(JsonValue, LookupsNeverFailAndMissingIsUndefined)
{
    const JsonValue v = read(R"({"user":{"id_str":"7","tags":["a","b","c"],"n":null,
                                "ok":true},"k":1,"k":2})");
    EXPECT_EQ(v["user"]["id_str"].toString(), QStringLiteral("7"));
    EXPECT_EQ(v["user"]["tags"][2].toString(), QStringLiteral("c"));
    EXPECT_EQ(v["user"]["tags"].size(), 3);
    EXPECT_TRUE(v["user"]["tags"][3].isUndefined());
    EXPECT_TRUE(v["user"]["tags"][-1].isUndefined());
    EXPECT_TRUE(v["user"]["n"].isNull());
    EXPECT_FALSE(v["user"]["missing"].isNull());
    EXPECT_TRUE(v["user"]["missing"].isUndefined());
    EXPECT_TRUE(v["user"]["ok"].toBool());
    EXPECT_TRUE(v["nothing"]["deeper"][0]["still"].isUndefined());
    EXPECT_TRUE(v["user"]["tags"]["a"].isUndefined()); // key lookup on an array
    EXPECT_TRUE(v[0].isUndefined());                   // index on an object
    EXPECT_EQ(v["user"].toString(QStringLiteral("dflt")), QStringLiteral("dflt"));
    EXPECT_EQ(v["k"].toInt(), 2);                              // the last of a repeated key
    EXPECT_EQ(v[QStringLiteral("user")]["id_str"].toInt(), 0); // a string is not a number
    EXPECT_TRUE(v[QLatin1String("user")].contains("ok"));
    EXPECT_EQ(v.keys(), (QStringList{"user", "k", "k"}));
}

// Reading many members in one pass gives what reading them one by one gives, for keys
// that share a length and first and last letters, escaped keys, repeats and misses.
TEST(JsonValue, ManyMembersInOnePassMatchOneByOne)
{
    const char *documents[] = {
        R"({"ab":1,"ba":2,"aab":3,"abb":4,"ab":7,"":6,"a\u0062":5,"x":{"ab":8},"abc":[1]})",
        R"({"id":1,"id_str":"1","user":{"id":2},"text":"t","tex":"u","txet":"v"})",
        R"({})",
        R"([{"ab":1}])",
        R"("ab")",
    };
    const std::string_view keys[] = {"ab", "ba",     "aab",  "abb", "",     "x",       "abc",
                                     "id", "id_str", "text", "tex", "txet", "missing", "ab"};
    for (const char *text : documents) {
        const JsonValue v = read(text);
        JsonValue out[std::size(keys)];
        v.values(keys, out);
        for (std::size_t i = 0; i < std::size(keys); ++i) {
            const JsonValue one = v.value(keys[i]);
            EXPECT_EQ(out[i].isValid(), one.isValid()) << text << " " << keys[i];
            if (one.isValid()) {
                EXPECT_TRUE(out[i].isSameValue(one)) << text << " " << keys[i];
            }
        }
    }
    const JsonValue v = read(documents[0]);
    EXPECT_EQ(v["ab"].toInt(), 5); // the escaped spelling is the same key, and the last
}

TEST(JsonValue, IteratesElementsAndMembers)
{
    const JsonValue v = read(R"({"a":[1,[2,3],{"x":4}],"b":{"c":5,"d":[]},"e":6})");
    QStringList keys;
    QList<JsonValue::Type> types;
    for (auto it = v.begin(); it != v.end(); ++it) {
        keys << it.key();
        types << it.value().type();
    }
    EXPECT_EQ(keys, (QStringList{"a", "b", "e"}));
    EXPECT_EQ(types, (QList<JsonValue::Type>{JsonValue::Type::Array, JsonValue::Type::Object,
                                             JsonValue::Type::Number}));
    QList<JsonValue::Type> elements;
    for (const JsonValue &e : v["a"])
        elements << e.type();
    EXPECT_EQ(elements, (QList<JsonValue::Type>{JsonValue::Type::Number, JsonValue::Type::Array,
                                                JsonValue::Type::Object}));
    EXPECT_EQ(v["b"]["d"].begin(), v["b"]["d"].end());
    EXPECT_EQ(v["e"].begin(), v["e"].end());
}

TEST(JsonValue, ConvertsToVariants)
{
    const JsonValue v = read(R"({"s":"x","i":-7,"u":18446744073709551615,"d":2.5,"b":false,"n":null,
                "l":[1,"two"],"o":{"k":"v"},"huge":1.5e999})");
    const QVariantMap m = v.toVariantMap();
    EXPECT_EQ(m.value("s"), QVariant(QStringLiteral("x")));
    EXPECT_EQ(m.value("i").metaType().id(), QMetaType::LongLong);
    EXPECT_EQ(m.value("i").toLongLong(), -7);
    EXPECT_EQ(m.value("u").toULongLong(), std::numeric_limits<quint64>::max());
    EXPECT_EQ(m.value("d").toDouble(), 2.5);
    EXPECT_EQ(m.value("b").metaType().id(), QMetaType::Bool);
    EXPECT_EQ(m.value("n").metaType().id(), QMetaType::Nullptr);
    EXPECT_EQ(m.value("l").toList(), (QVariantList{1LL, QStringLiteral("two")}));
    EXPECT_EQ(m.value("o").toMap().value("k").toString(), QStringLiteral("v"));
    EXPECT_EQ(m.value("huge"), QVariant(QStringLiteral("1.5e999")));
}

TEST(JsonValue, CategoryFunctionsReadDocumentsOnly)
{
    EXPECT_TRUE(objectFromJSON(QStringLiteral("{\"a\":1}"))["a"].isNumber());
    EXPECT_FALSE(objectFromJSON(QStringLiteral("\"text\"")).isValid());
    EXPECT_FALSE(objectFromJSON(QByteArray("12")).isValid());
    EXPECT_EQ(fragmentFromJSON(QStringLiteral("\"text\"")).toString(), QStringLiteral("text"));
    EXPECT_EQ(fragmentFromJSON(QByteArray("12")).toInt(), 12);
    EXPECT_FALSE(fragmentFromJSON(QByteArray("[1,]")).isValid());

    Json json;
    JsonError error;
    EXPECT_FALSE(json.objectWithString(QStringLiteral("[1,]"), &error).isValid());
    EXPECT_EQ(error.code, 9);
    EXPECT_EQ(error.description, QStringLiteral("Trailing comma disallowed in array"));
    EXPECT_EQ(json.errorTrace().size(), 1);
    json.setMaxDepth(1);
    EXPECT_FALSE(json.objectWithString(QByteArray("[[]]"), &error).isValid());
    EXPECT_EQ(error.code, 7);
    EXPECT_TRUE(json.fragmentWithString(QByteArray("[1]"), &error).isValid());
    EXPECT_TRUE(json.errorTrace().isEmpty());
}
