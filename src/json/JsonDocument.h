#pragma once

// Storage of one read document, shared by every JsonValue taken from it. Private to the
// json layer.

#include "json/JsonValue.h"

#include <QByteArray>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace json_detail {

// Nodes are stored in document order: a container is followed by its descendants, and an
// object's children alternate key and value.
struct Node
{
    JsonValue::Type type;
    std::uint8_t flags;   // strings and numbers: kInDecoded; booleans: the value
    std::uint16_t keyTag; // object keys: keyTagOf their bytes, so most lookups skip the text
    std::uint32_t a;      // strings, numbers: offset of the bytes; containers: element/member count
    std::uint32_t b; // strings, numbers: length; containers: index just past the last descendant
};
static_assert(sizeof(Node) == 12);

inline constexpr std::uint8_t kInDecoded = 1; // bytes live in Document::decoded, not the input

// A few bytes of a key folded with its length: different tags, different keys.
[[nodiscard]] inline std::uint16_t keyTagOf(std::string_view key)
{
    const std::size_t n = key.size();
    if (n == 0)
        return 0;
    const auto byte = [&](std::size_t i) { return unsigned(static_cast<unsigned char>(key[i])); };
    return std::uint16_t((n & 0x3F) | ((byte(0) * 7u ^ byte(n / 2) * 3u ^ byte(n - 1)) << 6));
}

struct Document
{
    QByteArray input;    // the text read, UTF-8; strings without escapes point into it
    std::string decoded; // strings that had escapes, decoded to UTF-8
    std::vector<Node> nodes;

    [[nodiscard]] std::string_view bytes(const Node &n) const
    {
        const char *base = (n.flags & kInDecoded) ? decoded.data() : input.constData();
        return {base + n.a, n.b};
    }
    // The index of the node after i and all its descendants.
    [[nodiscard]] std::uint32_t next(std::uint32_t i) const
    {
        const Node &n = nodes[i];
        return (n.type == JsonValue::Type::Array || n.type == JsonValue::Type::Object) ? n.b
                                                                                       : i + 1;
    }
};

} // namespace json_detail
