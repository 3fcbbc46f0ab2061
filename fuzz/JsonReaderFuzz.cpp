// Any bytes: the reader must give a value or an error, never crash, and what it reads must
// survive writing and reading again unchanged.
#include "json/JsonReader.h"
#include "json/JsonWriter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void fail(const char *what)
{
    fprintf(stderr, "fuzz_json_reader: %s\n", what);
    abort();
}

// Touches every accessor on every node.
void visit(const JsonValue &v, int &budget)
{
    if (--budget < 0)
        return;
    (void)v.toString();
    bool ok = false;
    const qint64 i = v.toInt64(&ok);
    if (ok) {
        // An exact integer converts to the double nearest that integer.
        bool dok = false;
        if (v.toDouble(&dok) != static_cast<double>(i) || !dok)
            fail("integer and double disagree");
    }
    (void)v.toUInt64();
    (void)v.toBool();
    (void)v.keys();
    for (auto it = v.begin(); it != v.end(); ++it) {
        (void)it.key();
        visit(*it, budget);
        if (v.isObject() && !v.value(it.keyView()).isValid())
            fail("member not found by its own key");
    }
    if (v.isArray() && v.size() > 0 && !v.at(v.size() - 1).isValid())
        fail("last element missing");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    JsonReader reader;
    // The first byte picks a small depth limit now and then, to reach the depth checks.
    if (size > 0 && data[0] == ' ')
        reader.setMaxDepth(3);
    const JsonValue value = reader.fragmentWithString(input);
    if (!value.isValid()) {
        if (reader.errorTrace().isEmpty())
            fail("failure without an error");
        return 0;
    }
    if (!reader.errorTrace().isEmpty())
        fail("success with an error");

    int budget = 10000;
    visit(value, budget);
    (void)value.toVariant();

    JsonWriter writer;
    writer.setMaxDepth(reader.maxDepth());
    const QByteArray written = writer.utf8WithFragment(QVariant::fromValue(value));
    if (written.isNull())
        fail("read value could not be written");
    JsonReader again;
    again.setMaxDepth(reader.maxDepth());
    const JsonValue reread = again.fragmentWithString(written);
    if (!reread.isValid())
        fail("written text could not be read");
    const QByteArray rewritten = writer.utf8WithFragment(QVariant::fromValue(reread));
    if (rewritten != written)
        fail("writing is not stable");
    return 0;
}
