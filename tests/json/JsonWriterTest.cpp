#include "json/JsonWriter.h"
#include "json/Json.h"
#include "json/JsonReader.h"

#include <QDateTime>
#include <QUrl>
#include <gtest/gtest.h>

#include <limits>

namespace {

QVariant members(std::initializer_list<std::pair<QVariant, QVariant>> list)
{
    return QVariant::fromValue(JsonMembers(list));
}

QVariant deepList(int depth)
{
    QVariant v = QVariantList();
    for (int i = 1; i < depth; ++i)
        v = QVariantList{v};
    return v;
}

} // namespace

TEST(JsonWriter, WritesFragments)
{
    struct Case
    {
        QVariant value;
        const char *expected;
    };
    const Case cases[] = {
        {QVariant(), "null"},
        {QVariant::fromValue(nullptr), "null"},
        {true, "true"},
        {false, "false"},
        {42, "42"},
        {-7LL, "-7"},
        {std::numeric_limits<quint64>::max(), "18446744073709551615"},
        {2.5, "2.5"},
        {0.1, "0.1"},
        {1e300, "1e+300"},
        {QStringLiteral("line\nand/slash"), "\"line\\nand/slash\""},
        {QStringLiteral("q\" b\\ \b\t\f\r"), R"("q\" b\\ \b\t\f\r")"},
        {QString(QChar(0x01)) + QChar(0x1f) + QChar(0x7f), "\"\\u0001\\u001f\x7f\""},
        {QStringLiteral("\u00e9\U0001F600"), "\"\xC3\xA9\xF0\x9F\x98\x80\""},
        {QVariantList{1, QStringLiteral("a"), QVariant(), QVariantList{}}, R"([1,"a",null,[]])"},
        {QStringList{"x", "y"}, R"(["x","y"])"},
        {QVariantMap{{"b", 1}, {"a", QVariantMap{}}}, R"({"a":{},"b":1})"},
        {members({{QStringLiteral("z"), 1}, {QStringLiteral("a"), 2}}), R"({"z":1,"a":2})"},
    };
    for (const Case &c : cases) {
        JsonWriter writer;
        EXPECT_EQ(writer.stringWithFragment(c.value), QString::fromUtf8(c.expected))
            << c.expected << " " << writer.errorTraceText().toStdString();
        EXPECT_TRUE(writer.errorTrace().isEmpty());
    }
}

TEST(JsonWriter, RefusesWhatJsonCannotHold)
{
    struct Case
    {
        QVariant value;
        bool fragment;
        QStringList trace;
    };
    const Case cases[] = {
        {QStringLiteral("s"), false, {"4: Not valid type for JSON"}},
        {12, false, {"4: Not valid type for JSON"}},
        {members({{42, QStringLiteral("v")}}), false, {"1: JSON object key must be string"}},
        {QDateTime(), true, {"1: JSON serialisation not supported for QDateTime"}},
        {QVariantList{1, QUrl()}, false, {"1: JSON serialisation not supported for QUrl"}},
        {QVariantMap{{"when", QDateTime()}},
         false,
         {"1: JSON serialisation not supported for QDateTime",
          "1: Unsupported value for key when in object"}},
        {QVariantList{std::numeric_limits<double>::quiet_NaN()},
         false,
         {"1: JSON serialisation not supported for non-finite number"}},
        {std::numeric_limits<double>::infinity(),
         true,
         {"1: JSON serialisation not supported for non-finite number"}},
        {QVariant::fromValue(JsonValue()),
         true,
         {"1: JSON serialisation not supported for undefined value"}},
    };
    for (const Case &c : cases) {
        JsonWriter writer;
        const QString s =
            c.fragment ? writer.stringWithFragment(c.value) : writer.stringWithObject(c.value);
        EXPECT_TRUE(s.isNull()) << s.toStdString();
        QStringList trace;
        for (const JsonError &e : writer.errorTrace())
            trace << QString::number(e.code) + QStringLiteral(": ") + e.description;
        EXPECT_EQ(trace, c.trace);
    }
}

TEST(JsonWriter, HumanReadableAndSortedKeys)
{
    JsonWriter writer;
    writer.setHumanReadable(true);
    const QVariant v = members({{QStringLiteral("b"), QVariantList{1, QVariantList{}}},
                                {QStringLiteral("a"), QVariantMap{}},
                                {QStringLiteral("c"), members({{QStringLiteral("d"), true}})}});
    EXPECT_EQ(writer.stringWithObject(v), QStringLiteral("{\n"
                                                         "  \"b\" : [\n"
                                                         "    1,\n"
                                                         "    []\n"
                                                         "  ],\n"
                                                         "  \"a\" : {},\n"
                                                         "  \"c\" : {\n"
                                                         "    \"d\" : true\n"
                                                         "  }\n"
                                                         "}"));
    writer.setHumanReadable(false);
    writer.setSortKeys(true);
    // Plain comparison of the UTF-16 text: capitals before small letters.
    const QVariant unsorted = members({{QStringLiteral("b"), 1},
                                       {QStringLiteral("a"), 2},
                                       {QStringLiteral("B"), 3},
                                       {QStringLiteral("aa"), 4}});
    EXPECT_EQ(writer.stringWithObject(unsorted), QStringLiteral(R"({"B":3,"a":2,"aa":4,"b":1})"));

    // Read documents keep their order unless sorted, and their exact number text.
    JsonReader reader;
    const JsonValue doc = reader.objectWithString(QByteArray(R"({"z":1.50,"y":[2E3],"x":"\/"})"));
    EXPECT_EQ(writer.stringWithObject(QVariant::fromValue(doc)),
              QStringLiteral(R"({"x":"/","y":[2E3],"z":1.50})"));
    writer.setSortKeys(false);
    EXPECT_EQ(writer.stringWithObject(QVariant::fromValue(doc)),
              QStringLiteral(R"({"z":1.50,"y":[2E3],"x":"/"})"));
}

TEST(JsonWriter, DepthLimitMatchesTheReader)
{
    JsonWriter writer;
    EXPECT_FALSE(writer.stringWithObject(deepList(512)).isNull());
    EXPECT_TRUE(writer.stringWithObject(deepList(513)).isNull());
    EXPECT_EQ(writer.firstError().code, 7);
    EXPECT_EQ(writer.firstError().description, QStringLiteral("Nested too deep"));

    JsonReader reader;
    reader.setMaxDepth(0);
    const JsonValue deep = reader.objectWithString(QByteArray(600, '[') + QByteArray(600, ']'));
    ASSERT_TRUE(deep.isValid());
    EXPECT_TRUE(writer.stringWithObject(QVariant::fromValue(deep)).isNull());
    writer.setMaxDepth(600);
    EXPECT_EQ(writer.stringWithObject(QVariant::fromValue(deep)).size(), 1200);
}

struct Ping
{
};
struct Pong
{
};

struct Point
{
    int x = 0;
    int y = 0;
};

TEST(JsonWriter, WritesProxiesOfOtherTypes)
{
    JsonWriter::registerProxy(QMetaType::fromType<Point>(), [](const QVariant &v) {
        const auto p = v.value<Point>();
        return QVariant(QVariantList{p.x, p.y});
    });
    JsonWriter writer;
    EXPECT_EQ(writer.stringWithObject(QVariantMap{{"at", QVariant::fromValue(Point{3, 4})}}),
              QStringLiteral(R"({"at":[3,4]})"));
    EXPECT_EQ(JSONText(QVariantList{QVariant::fromValue(Point{1, 2})}), QStringLiteral("[[1,2]]"));
    EXPECT_EQ(fragmentJSONText(QVariant::fromValue(Point{5, 6})), QStringLiteral("[5,6]"));
    // Two proxies answering each other end in an error, not in a stack overflow.
    JsonWriter::registerProxy(QMetaType::fromType<Ping>(),
                              [](const QVariant &) { return QVariant::fromValue(Pong()); });
    JsonWriter::registerProxy(QMetaType::fromType<Pong>(),
                              [](const QVariant &) { return QVariant::fromValue(Ping()); });
    EXPECT_TRUE(writer.stringWithObject(QVariantList{QVariant::fromValue(Ping())}).isNull());
    EXPECT_EQ(writer.firstError().code, 1);
    EXPECT_TRUE(JSONText(QStringLiteral("fragment")).isNull());
    EXPECT_EQ(fragmentJSONText(QStringLiteral("fragment")), QStringLiteral("\"fragment\""));

    Json json;
    json.setSortKeys(true);
    JsonError error;
    EXPECT_EQ(json.stringWithObject(QVariantHash{{"b", 1}, {"a", 2}}, &error),
              QStringLiteral(R"({"a":2,"b":1})"));
    EXPECT_FALSE(error.isValid());
    EXPECT_TRUE(json.stringWithObject(members({{1.5, 1}}), &error).isNull());
    EXPECT_EQ(error.description, QStringLiteral("JSON object key must be string"));
}
