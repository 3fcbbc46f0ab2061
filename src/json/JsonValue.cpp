#include "json/JsonValue.h"

#include "json/JsonDocument.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

using json_detail::Document;
using json_detail::Node;
using Type = JsonValue::Type;

namespace {

// Magnitude of an exact decimal integer, or nothing when the text is not an integer or
// exceeds 64 bits.
bool decimalMagnitude(std::string_view text, bool &negative, std::uint64_t &magnitude)
{
    std::size_t i = 0;
    negative = !text.empty() && text[0] == '-';
    if (negative)
        ++i;
    // Digits of the mantissa with the position of the decimal point.
    std::string_view intPart, fracPart;
    const std::size_t intStart = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i;
    intPart = text.substr(intStart, i - intStart);
    if (i < text.size() && text[i] == '.') {
        const std::size_t fracStart = ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        fracPart = text.substr(fracStart, i - fracStart);
    }
    long long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negExp = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            negExp = text[i++] == '-';
        for (; i < text.size(); ++i) {
            if (exponent < 1000000) // saturate: any larger exponent decides the same way
                exponent = exponent * 10 + (text[i] - '0');
        }
        if (negExp)
            exponent = -exponent;
    }
    // value = digits(intPart fracPart) * 10^(exponent - fracPart.size())
    const long long shift = exponent - static_cast<long long>(fracPart.size());
    const std::size_t total = intPart.size() + fracPart.size();
    auto digitAt = [&](std::size_t k) {
        return k < intPart.size() ? intPart[k] : fracPart[k - intPart.size()];
    };
    // Digits dropped by a negative shift must be zeros.
    std::size_t keep = total;
    if (shift < 0) {
        const auto drop = static_cast<std::size_t>(std::min<long long>(-shift, total));
        for (std::size_t k = total - drop; k < total; ++k) {
            if (digitAt(k) != '0')
                return false;
        }
        keep = total - drop;
    }
    std::uint64_t m = 0;
    constexpr std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
    for (std::size_t k = 0; k < keep; ++k) {
        const unsigned d = unsigned(digitAt(k) - '0');
        if (m > (max - d) / 10)
            return false;
        m = m * 10 + d;
    }
    if (shift > 0 && m != 0) {
        for (long long s = 0; s < shift; ++s) {
            if (m > max / 10)
                return false;
            m *= 10;
        }
    }
    magnitude = m;
    return true;
}

} // namespace

Type JsonValue::type() const
{
    return m_doc ? m_doc->nodes[m_index].type : Type::Undefined;
}

bool JsonValue::toBool(bool defaultValue) const
{
    if (!isBool())
        return defaultValue;
    return m_doc->nodes[m_index].flags != 0;
}

std::string_view JsonValue::utf8View() const
{
    if (!m_doc)
        return {};
    const Node &n = m_doc->nodes[m_index];
    if (n.type != Type::String && n.type != Type::Number)
        return {};
    return m_doc->bytes(n);
}

QString JsonValue::toString(const QString &defaultValue) const
{
    const Type t = type();
    if (t != Type::String && t != Type::Number)
        return defaultValue;
    const std::string_view v = utf8View();
    return QString::fromUtf8(v.data(), qsizetype(v.size()));
}

quint64 JsonValue::toUInt64(bool *ok) const
{
    bool negative = false;
    std::uint64_t m = 0;
    const bool good =
        isNumber() && decimalMagnitude(utf8View(), negative, m) && (!negative || m == 0);
    if (ok)
        *ok = good;
    return good ? m : 0;
}

qint64 JsonValue::toInt64(bool *ok) const
{
    bool negative = false;
    std::uint64_t m = 0;
    constexpr std::uint64_t limit = std::uint64_t(std::numeric_limits<qint64>::max());
    bool good =
        isNumber() && decimalMagnitude(utf8View(), negative, m) && m <= limit + (negative ? 1 : 0);
    if (ok)
        *ok = good;
    if (!good)
        return 0;
    if (negative)
        return m == limit + 1 ? std::numeric_limits<qint64>::min() : -static_cast<qint64>(m);
    return static_cast<qint64>(m);
}

int JsonValue::toInt(bool *ok) const
{
    bool good = false;
    const qint64 v = toInt64(&good);
    good = good && v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max();
    if (ok)
        *ok = good;
    return good ? int(v) : 0;
}

double JsonValue::toDouble(bool *ok) const
{
    double result = 0;
    bool good = false;
    if (isNumber()) {
        const std::string_view v = utf8View();
        const auto [ptr, ec] = std::from_chars(v.data(), v.data() + v.size(), result);
        good = ec == std::errc() && ptr == v.data() + v.size();
    }
    if (ok)
        *ok = good;
    return good ? result : 0.0;
}

qsizetype JsonValue::size() const
{
    const Type t = type();
    if (t != Type::Array && t != Type::Object)
        return 0;
    return qsizetype(m_doc->nodes[m_index].a);
}

JsonValue JsonValue::at(qsizetype i) const
{
    if (!isArray() || i < 0 || i >= size())
        return {};
    std::uint32_t child = m_index + 1;
    for (qsizetype k = 0; k < i; ++k)
        child = m_doc->next(child);
    return JsonValue(m_doc, child);
}

JsonValue JsonValue::value(std::string_view key) const
{
    if (!isObject())
        return {};
    const Document &doc = *m_doc;
    const std::uint32_t end = doc.nodes[m_index].b;
    const std::uint16_t tag = json_detail::keyTagOf(key);
    std::uint32_t found = 0;
    for (std::uint32_t k = m_index + 1; k < end;) {
        const std::uint32_t v = k + 1;
        const Node &n = doc.nodes[k];
        if (n.keyTag == tag && n.b == key.size() && doc.bytes(n) == key)
            found = v;
        k = doc.next(v);
    }
    return found ? JsonValue(m_doc, found) : JsonValue();
}

void JsonValue::values(std::span<const std::string_view> keys, std::span<JsonValue> out) const
{
    Q_ASSERT(keys.size() <= out.size() && keys.size() <= 64);
    for (JsonValue &v : out)
        v = {};
    if (!isObject() || keys.empty())
        return;
    // The keys by tag in a small open table: each member costs one probe, not one
    // comparison per key.
    constexpr std::size_t kSlots = 128;
    std::uint8_t table[kSlots] = {}; // key index + 1
    std::uint16_t tags[64];
    const std::size_t count = std::min<std::size_t>(keys.size(), 64);
    for (std::size_t i = 0; i < count; ++i) {
        tags[i] = json_detail::keyTagOf(keys[i]);
        std::size_t s = tags[i] % kSlots;
        while (table[s])
            s = (s + 1) % kSlots;
        table[s] = std::uint8_t(i + 1);
    }
    const Document &doc = *m_doc;
    const std::uint32_t end = doc.nodes[m_index].b;
    std::uint32_t found[64] = {};
    for (std::uint32_t k = m_index + 1; k < end;) {
        const std::uint32_t v = k + 1;
        const Node &n = doc.nodes[k];
        for (std::size_t s = n.keyTag % kSlots; table[s]; s = (s + 1) % kSlots) {
            const std::size_t i = table[s] - 1u;
            if (tags[i] == n.keyTag && n.b == keys[i].size() && doc.bytes(n) == keys[i])
                found[i] = v; // a repeated key: the last one counts
        }
        k = doc.next(v);
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (found[i])
            out[i] = JsonValue(m_doc, found[i]);
    }
}

JsonValue JsonValue::operator[](const QString &key) const
{
    const QByteArray utf8 = key.toUtf8();
    return value(std::string_view(utf8.constData(), size_t(utf8.size())));
}

QStringList JsonValue::keys() const
{
    QStringList out;
    for (auto it = begin(); it != end(); ++it)
        out.append(it.key());
    return out;
}

JsonValue::const_iterator JsonValue::begin() const
{
    const Type t = type();
    if (t != Type::Array && t != Type::Object)
        return {};
    return const_iterator(m_doc, m_index + 1, t == Type::Object);
}

JsonValue::const_iterator JsonValue::end() const
{
    const Type t = type();
    if (t != Type::Array && t != Type::Object)
        return {};
    return const_iterator(m_doc, m_doc->nodes[m_index].b, t == Type::Object);
}

JsonValue JsonValue::const_iterator::value() const
{
    return JsonValue(m_doc, m_object ? m_index + 1 : m_index);
}

std::string_view JsonValue::const_iterator::keyView() const
{
    if (!m_object)
        return {};
    return m_doc->bytes(m_doc->nodes[m_index]);
}

QString JsonValue::const_iterator::key() const
{
    const std::string_view k = keyView();
    return QString::fromUtf8(k.data(), qsizetype(k.size()));
}

JsonValue::const_iterator &JsonValue::const_iterator::operator++()
{
    m_index = m_doc->next(m_object ? m_index + 1 : m_index);
    return *this;
}

QVariant JsonValue::toVariant() const
{
    switch (type()) {
    case Type::Undefined:
        return {};
    case Type::Null:
        return QVariant::fromValue(nullptr);
    case Type::Bool:
        return toBool();
    case Type::String:
        return toString();
    case Type::Number: {
        bool ok = false;
        const qint64 i = toInt64(&ok);
        if (ok)
            return qlonglong(i);
        const quint64 u = toUInt64(&ok);
        if (ok)
            return qulonglong(u);
        const double d = toDouble(&ok);
        if (ok)
            return d;
        return toString(); // beyond a double: keep the exact text rather than a wrong value
    }
    case Type::Array:
        return toVariantList();
    case Type::Object:
        return toVariantMap();
    }
    return {};
}

QVariantMap JsonValue::toVariantMap() const
{
    QVariantMap map;
    if (!isObject())
        return map;
    for (auto it = begin(); it != end(); ++it)
        map.insert(it.key(), it.value().toVariant());
    return map;
}

QVariantList JsonValue::toVariantList() const
{
    QVariantList list;
    if (!isArray())
        return list;
    list.reserve(size());
    for (const JsonValue &v : *this)
        list.append(v.toVariant());
    return list;
}
