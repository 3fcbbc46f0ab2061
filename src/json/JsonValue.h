#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <concepts>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace json_detail {
struct Document;
}

// One value of a document read by JsonReader. A light handle: it shares the document
// it came from, so it stays valid after the reader is gone and copies cheaply.
//
// Reads never fail: a missing member, an index out of range or a lookup on the wrong
// type gives an undefined value, so chains such as value["user"]["id_str"].toString()
// need no checks in between. Numbers keep their exact decimal text.
class JsonValue
{
public:
    enum class Type : std::uint8_t
    {
        Undefined,
        Null,
        Bool,
        Number,
        String,
        Array,
        Object
    };

    class const_iterator;

    JsonValue() = default;

    [[nodiscard]] Type type() const;
    [[nodiscard]] bool isUndefined() const { return type() == Type::Undefined; }
    [[nodiscard]] bool isValid() const { return type() != Type::Undefined; }
    [[nodiscard]] bool isNull() const { return type() == Type::Null; }
    [[nodiscard]] bool isBool() const { return type() == Type::Bool; }
    [[nodiscard]] bool isNumber() const { return type() == Type::Number; }
    [[nodiscard]] bool isString() const { return type() == Type::String; }
    [[nodiscard]] bool isArray() const { return type() == Type::Array; }
    [[nodiscard]] bool isObject() const { return type() == Type::Object; }

    [[nodiscard]] bool toBool(bool defaultValue = false) const;
    // A string's text, or a number's exact decimal text; defaultValue for anything else.
    [[nodiscard]] QString toString(const QString &defaultValue = QString()) const;
    // The UTF-8 bytes of a string or of a number's text; empty for anything else. The
    // view lives as long as any value of this document.
    [[nodiscard]] std::string_view utf8View() const;
    [[nodiscard]] QByteArray toUtf8() const
    {
        const std::string_view v = utf8View();
        return QByteArray(v.data(), qsizetype(v.size()));
    }

    // Exact conversions of a number: ok is false (and the result 0) when the value is not
    // a number or the number is not an integer in range ("1.5", "1e30"). "2.0" and "2e3"
    // are integers.
    [[nodiscard]] qint64 toInt64(bool *ok = nullptr) const;
    [[nodiscard]] quint64 toUInt64(bool *ok = nullptr) const;
    [[nodiscard]] int toInt(bool *ok = nullptr) const;
    // The nearest double; ok is false when it is not a number or is beyond the range of
    // a double (overflow or underflow).
    [[nodiscard]] double toDouble(bool *ok = nullptr) const;

    // Elements of an array or members of an object; 0 for anything else.
    [[nodiscard]] qsizetype size() const;
    [[nodiscard]] bool isEmpty() const { return size() == 0; }
    // The element at index i (linear in i: iterate for whole arrays).
    [[nodiscard]] JsonValue at(qsizetype i) const;
    template<std::integral I> [[nodiscard]] JsonValue operator[](I i) const
    {
        return at(static_cast<qsizetype>(i));
    }
    // The member named key; for a key given twice the last one counts, as in a dictionary.
    [[nodiscard]] JsonValue value(std::string_view key) const;
    [[nodiscard]] JsonValue operator[](const char *key) const { return value(key); }
    [[nodiscard]] JsonValue operator[](std::string_view key) const { return value(key); }
    [[nodiscard]] JsonValue operator[](QLatin1StringView key) const
    {
        return value(std::string_view(key.data(), size_t(key.size())));
    }
    [[nodiscard]] JsonValue operator[](const QString &key) const;
    [[nodiscard]] bool contains(std::string_view key) const { return value(key).isValid(); }
    // Several members in one pass over the object: out[i] is what value(keys[i]) gives.
    // At most 64 keys.
    void values(std::span<const std::string_view> keys, std::span<JsonValue> out) const;
    // Keys of an object in document order (a repeated key appears each time).
    [[nodiscard]] QStringList keys() const;

    // Iterates the elements of an array or the members of an object (it.key() gives the
    // member's name, *it its value); empty for anything else.
    [[nodiscard]] const_iterator begin() const;
    [[nodiscard]] const_iterator end() const;

    // Objects become QVariantMap, arrays QVariantList, strings QString, null a null
    // QVariant of std::nullptr_t, integers qlonglong (qulonglong above the signed range)
    // and other numbers double (their exact text as a string when beyond a double).
    [[nodiscard]] QVariant toVariant() const;
    [[nodiscard]] QVariantMap toVariantMap() const;
    [[nodiscard]] QVariantList toVariantList() const;

    // Same document and same node: the same value.
    [[nodiscard]] bool isSameValue(const JsonValue &other) const
    {
        return m_doc == other.m_doc && m_index == other.m_index;
    }

private:
    friend class JsonReader;
    friend class JsonWriter;
    friend class const_iterator;
    JsonValue(std::shared_ptr<const json_detail::Document> doc, std::uint32_t index)
        : m_doc(std::move(doc))
        , m_index(index)
    {
    }

    std::shared_ptr<const json_detail::Document> m_doc;
    std::uint32_t m_index = 0;
};

class JsonValue::const_iterator
{
public:
    using value_type = JsonValue;
    using difference_type = std::ptrdiff_t;

    const_iterator() = default;
    [[nodiscard]] JsonValue operator*() const { return value(); }
    [[nodiscard]] JsonValue value() const;
    // The member's name when iterating an object; empty for arrays.
    [[nodiscard]] QString key() const;
    [[nodiscard]] std::string_view keyView() const;
    const_iterator &operator++();
    const_iterator operator++(int)
    {
        const_iterator old = *this;
        ++*this;
        return old;
    }
    bool operator==(const const_iterator &other) const { return m_index == other.m_index; }

private:
    friend class JsonValue;
    const_iterator(std::shared_ptr<const json_detail::Document> doc, std::uint32_t index,
                   bool object)
        : m_doc(std::move(doc))
        , m_index(index)
        , m_object(object)
    {
    }

    std::shared_ptr<const json_detail::Document> m_doc;
    std::uint32_t m_index = 0; // the element, or the member's key node
    bool m_object = false;
};

Q_DECLARE_METATYPE(JsonValue)
