#include "json/JsonReader.h"
#include "json/JsonWriter.h"

#include <gtest/gtest.h>

namespace {

QString rewrite(const JsonValue &v)
{
    JsonWriter writer;
    return writer.stringWithFragment(QVariant::fromValue(v));
}

QStringList traceTexts(const JsonBase &b)
{
    QStringList out;
    for (const JsonError &e : b.errorTrace())
        out << QString::number(e.code) + QStringLiteral(": ") + e.description;
    return out;
}

QByteArray nested(int depth)
{
    return QByteArray(depth, '[') + QByteArray(depth, ']');
}

} // namespace

TEST(JsonReader, ReadsValidTextAndWritesItBackCompact)
{
    struct Case
    {
        const char *input;
        const char *expected;
    };
    const Case cases[] = {
        {"{}", "{}"},
        {" [ ] ", "[]"},
        {"\t\r\n{ \"a\" : 1 , \"b\":[true,false,null] }\n", R"({"a":1,"b":[true,false,null]})"},
        {"[0, -0, 1.50, -12.5e+3, 1E-7, 123456789012345678901234567890]",
         "[0,-0,1.50,-12.5e+3,1E-7,123456789012345678901234567890]"},
        {R"(["\"\\\/\b\f\n\r\t"])", R"(["\"\\/\b\f\n\r\t"])"},
        {R"(["\u0041\u00e9\u20AC\ud83d\ude00", "\u0001"])",
         "[\"A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\",\"\\u0001\"]"},
        {"[\"caf\xC3\xA9 \xF0\x9F\x98\x80\"]", "[\"caf\xC3\xA9 \xF0\x9F\x98\x80\"]"},
        {"[\"abcdefghijklmnop\\u00e9qrstuvwxyz\xC3\xA9 abcdefghijklmnop\"]",
         "[\"abcdefghijklmnop\xC3\xA9qrstuvwxyz\xC3\xA9 abcdefghijklmnop\"]"},
        {R"({"a":{"b":{"c":[[{}]]}}})", R"({"a":{"b":{"c":[[{}]]}}})"},
        {R"({"k":1,"k":2})", R"({"k":1,"k":2})"},
        {R"([""])", R"([""])"},
    };
    for (const Case &c : cases) {
        JsonReader reader;
        const JsonValue v = reader.objectWithString(QByteArray(c.input));
        ASSERT_TRUE(v.isValid()) << c.input << " " << reader.errorTraceText().toStdString();
        EXPECT_TRUE(reader.errorTrace().isEmpty());
        EXPECT_EQ(rewrite(v), QString::fromUtf8(c.expected)) << c.input;
    }
}

TEST(JsonReader, RefusesBadTextWithCodeAndDescription)
{
    struct Case
    {
        const char *input;
        bool fragment;
        int code;
        const char *description; // of the first (innermost) error
    };
    const Case cases[] = {
        {"", true, 11, "Unexpected end of string"},
        {"   ", false, 11, "Unexpected end of string"},
        {"\"text\"", false, 4, "Valid fragment, but not JSON"},
        {"42", false, 4, "Valid fragment, but not JSON"},
        {"[+1]", true, 2, "Leading + disallowed in number"},
        {"[01]", true, 2, "Leading 0 disallowed in number"},
        {"[-]", true, 2, "No digits after initial minus"},
        {"-", true, 2, "No digits after initial minus"},
        {"[1.]", true, 2, "No digits after decimal point"},
        {"[1.e5]", true, 2, "No digits after decimal point"},
        {"[1e]", true, 2, "No digits after exponent"},
        {"[1e+]", true, 2, "No digits after exponent"},
        {"[x]", true, 3, "Unrecognised leading character"},
        {"[.5]", true, 3, "Unrecognised leading character"},
        {"{1:2}", true, 3, "Object key string expected"},
        {"{\"a\" 1}", true, 3, "Expected ':' separating key and value"},
        {"[nul]", true, 3, "Expected 'null'"},
        {"[tru]", true, 3, "Expected 'true'"},
        {"[fals", true, 3, "Expected 'false'"},
        {"[True]", true, 3, "Unrecognised leading character"},
        {"[1 2]", true, 3, "Expected ',' or ']' while parsing array"},
        {"{\"a\":1 \"b\":2}", true, 3, "Expected ',' or '}' while parsing object"},
        {"[\"a\nb\"]", true, 5, "Unescaped control character '0xa'"},
        {"[\"a\x01\"]", true, 5, "Unescaped control character '0x1'"},
        // Long strings take the eight-bytes-at-a-time path.
        {"[\"abcdefghijklmnop\x1fqrstuvwxyz\"]", true, 5, "Unescaped control character '0x1f'"},
        {"[\"abcdefghijklmnop\xFFqrstuvwxyz\"]", true, 6, "Broken unicode character"},
        {"[\"abcdefghijklmnop\\qrstuvwxyz\"]", true, 8, "Illegal escape sequence '0x71'"},
        {R"(["\u12G4"])", true, 6, "Missing hex digit in quad"},
        {R"(["\u12)", true, 6, "Missing hex quad"},
        {R"(["\ud800"])", true, 6, "Missing low character in surrogate pair"},
        {R"(["\ud800\n"])", true, 6, "Missing low character in surrogate pair"},
        {R"(["\ud800\u0041"])", true, 6, "Invalid low surrogate char"},
        {R"(["\udc00"])", true, 6, "Invalid high character in surrogate pair"},
        {"[\"\xC3\"]", true, 6, "Broken unicode character"},
        {"[\"\xC0\xAF\"]", true, 6, "Broken unicode character"},     // overlong '/'
        {"[\"\xED\xA0\x80\"]", true, 6, "Broken unicode character"}, // encoded surrogate
        {"[\"\xF4\x90\x80\x80\"]", true, 6, "Broken unicode character"},
        {R"(["\x"])", true, 8, "Illegal escape sequence '0x78'"},
        {R"(["\'"])", true, 8, "Illegal escape sequence '0x27'"},
        {"[1,]", true, 9, "Trailing comma disallowed in array"},
        {"[1, ]", true, 9, "Trailing comma disallowed in array"},
        {"{\"a\":1,}", true, 9, "Trailing comma disallowed in object"},
        {"[1] x", true, 10, "Garbage after JSON"},
        {"{} {}", false, 10, "Garbage after JSON"},
        {"\"a\" 1", true, 10, "Garbage after JSON"},
        {"[\"abc", true, 11, "Unexpected EOF while parsing string"},
        {"[\"abc\\", true, 11, "Unexpected EOF while parsing string"},
        {"{\"a\":1", true, 11, "End of input while parsing object"},
        {"{\"a\"", true, 11, "End of input while parsing object"},
        {"{", true, 11, "End of input while parsing object"},
        {"[1,2", true, 11, "End of input while parsing array"},
        {"[", true, 11, "Unexpected end of string"},
    };
    for (const Case &c : cases) {
        JsonReader reader;
        const QByteArray input(c.input);
        const JsonValue v =
            c.fragment ? reader.fragmentWithString(input) : reader.objectWithString(input);
        EXPECT_FALSE(v.isValid()) << c.input;
        ASSERT_FALSE(reader.errorTrace().isEmpty()) << c.input;
        const JsonError e = reader.firstError();
        EXPECT_EQ(e.domain, QString::fromLatin1(kJsonErrorDomain));
        EXPECT_EQ(e.code, c.code) << c.input;
        EXPECT_EQ(e.description, QString::fromUtf8(c.description)) << c.input;
    }
}

// The string scanner reads many bytes at a time: each kind of byte that ends plain text
// is found wherever it falls in a block, and in the bytes after the last whole block.
TEST(JsonReader, StringsEndWhereverTheirSpecialByteFalls)
{
    const struct
    {
        QByteArray special;
        bool valid;
        QString decoded; // what the special bytes read as
    } kinds[] = {
        {"\\n", true, "\n"},
        {"\xc3\xa9", true, QStringLiteral("\u00e9")},
        {"\xe2\x82\xac", true, QStringLiteral("\u20ac")},
        {"\x1f", false, {}},
        {"\xff", false, {}},
        {"\xc3", false, {}}, // a sequence cut short by the closing quote
    };
    for (const auto &kind : kinds) {
        for (int before = 0; before <= 40; ++before) {
            const int after = 37 - before % 19;
            const QByteArray text =
                '"' + QByteArray(before, 'a') + kind.special + QByteArray(after, 'b') + "\"";
            JsonReader reader;
            const JsonValue v = reader.fragmentWithString(text);
            ASSERT_EQ(v.isValid(), kind.valid) << text.toStdString();
            if (kind.valid) {
                EXPECT_EQ(v.toString(), QString(before, 'a') + kind.decoded + QString(after, 'b'))
                    << before;
            }
        }
    }
}

TEST(JsonReader, TraceNamesEveryEnclosingContainer)
{
    JsonReader reader;
    EXPECT_FALSE(reader.objectWithString(QByteArray(R"({"a":[1,{"b":x}]})")).isValid());
    EXPECT_EQ(traceTexts(reader), (QStringList{"3: Unrecognised leading character",
                                               "3: Object value expected for key: b",
                                               "3: Expected value while parsing array",
                                               "3: Object value expected for key: a"}));

    // An error of a container itself is wrapped by the containers around it only.
    EXPECT_FALSE(reader.objectWithString(QByteArray(R"({"list":[1,]})")).isValid());
    EXPECT_EQ(traceTexts(reader), (QStringList{"9: Trailing comma disallowed in array",
                                               "3: Object value expected for key: list"}));

    EXPECT_FALSE(reader.objectWithString(QByteArray(R"([{"\q":1}])")).isValid());
    EXPECT_EQ(traceTexts(reader),
              (QStringList{"8: Illegal escape sequence '0x71'", "3: Object key string expected",
                           "3: Expected value while parsing array"}));

    // The next read starts with an empty trace.
    EXPECT_TRUE(reader.objectWithString(QByteArray("[]")).isValid());
    EXPECT_TRUE(reader.errorTrace().isEmpty());
}

TEST(JsonReader, NilInputIsItsOwnError)
{
    JsonReader reader;
    EXPECT_FALSE(reader.objectWithString(QByteArray()).isValid());
    EXPECT_EQ(traceTexts(reader), QStringList{"12: Input was 'nil'"});
    EXPECT_FALSE(reader.fragmentWithString(QString()).isValid());
    EXPECT_EQ(traceTexts(reader), QStringList{"12: Input was 'nil'"});
    // Empty but present text is an early end, not nil.
    EXPECT_FALSE(reader.objectWithString(QString(QLatin1String(""))).isValid());
    EXPECT_EQ(reader.firstError().code, 11);
}

TEST(JsonReader, DepthLimit)
{
    JsonReader reader;
    EXPECT_TRUE(reader.objectWithString(nested(512)).isValid());
    EXPECT_FALSE(reader.objectWithString(nested(513)).isValid());
    EXPECT_EQ(reader.firstError().code, 7);
    EXPECT_EQ(reader.firstError().description, QStringLiteral("Nested too deep"));
    // Objects count as levels too.
    EXPECT_FALSE(reader.objectWithString(QByteArray(R"({"a":)") + nested(512) + "}").isValid());
    EXPECT_EQ(reader.firstError().code, 7);

    reader.setMaxDepth(2);
    EXPECT_TRUE(reader.objectWithString(QByteArray(R"({"a":[]})")).isValid());
    EXPECT_FALSE(reader.objectWithString(QByteArray(R"({"a":[[]]})")).isValid());

    // No limit of our own, but a body nested a million deep still cannot hurt.
    reader.setMaxDepth(0);
    const JsonValue deep = reader.objectWithString(nested(5000));
    EXPECT_TRUE(deep.isValid());
    EXPECT_EQ(deep.toVariant().toList().size(), 1);
    EXPECT_FALSE(reader.objectWithString(nested(1000000)).isValid());
    EXPECT_EQ(reader.firstError().code, 7);
}

TEST(JsonReader, ValuesOutliveReaderAndInput)
{
    JsonValue v;
    {
        JsonReader reader;
        QByteArray text(R"({"user":{"name":"Ann\u00e9","id_str":"17"}})");
        v = reader.objectWithString(text);
        text.fill('x'); // detaches: the document keeps its own copy
    }
    EXPECT_EQ(v["user"]["name"].toString(), QStringLiteral("Ann\u00e9"));
    EXPECT_EQ(v["user"]["id_str"].toString(), QStringLiteral("17"));
}

TEST(JsonReader, QStringInputIsReadAsUtf8)
{
    JsonReader reader;
    const JsonValue v = reader.objectWithString(QStringLiteral("[\"\u00e9\u4e2d\", 1]"));
    ASSERT_TRUE(v.isArray());
    EXPECT_EQ(v[0].toString(), QStringLiteral("\u00e9\u4e2d"));
}

TEST(JsonReader, ErrorOffsetIsWhereReadingStopped)
{
    const struct
    {
        const char *input;
        qint64 offset;
    } cases[] = {
        {"[1,2,]", 5},         // at the closing bracket after the comma
        {"{\"a\":\n tru}", 7}, // at the bad literal on the second line
        {"[1] x", 4},          // garbage after the value
        {"\"bare\"", 0},       // a fragment where a document is required
        {"[1]", -1},           // no error
    };
    for (const auto &c : cases) {
        JsonReader reader;
        (void)reader.objectWithString(QByteArray(c.input));
        EXPECT_EQ(reader.errorOffset(), c.offset) << c.input;
    }
    // Depth: stops at the bracket one past the limit, not after the whole input.
    JsonReader deep;
    (void)deep.objectWithString(QByteArray(600, '['));
    EXPECT_EQ(deep.errorOffset(), qint64(JsonBase::kDefaultMaxDepth));
}
