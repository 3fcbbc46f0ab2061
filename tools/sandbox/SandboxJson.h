#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

// A small JSON value for the sandbox's answers. Integers are written as exact 64-bit
// text, so status ids above 2^53 reach the client unchanged; object keys keep their
// insertion order, like the real answers.
class SandboxJson
{
public:
    enum class Type
    {
        Null,
        Bool,
        Int,
        Double,
        String,
        Array,
        Object
    };

    SandboxJson() = default;
    SandboxJson(std::nullptr_t) {}
    SandboxJson(bool b)
        : m_type(Type::Bool)
        , m_int(b ? 1 : 0)
    {
    }
    SandboxJson(int i)
        : m_type(Type::Int)
        , m_int(i)
    {
    }
    SandboxJson(qint64 i)
        : m_type(Type::Int)
        , m_int(i)
    {
    }
    SandboxJson(double d)
        : m_type(Type::Double)
        , m_double(d)
    {
    }
    SandboxJson(const QString &s)
        : m_type(Type::String)
        , m_string(s)
    {
    }
    SandboxJson(const char *s)
        : m_type(Type::String)
        , m_string(QString::fromUtf8(s))
    {
    }

    static SandboxJson array() { return SandboxJson(Type::Array); }
    static SandboxJson object() { return SandboxJson(Type::Object); }

    // Object: sets (or replaces) a member. Array: appends.
    SandboxJson &set(const QString &key, SandboxJson value);
    SandboxJson &append(SandboxJson value);

    [[nodiscard]] Type type() const { return m_type; }
    [[nodiscard]] qsizetype size() const { return qsizetype(m_items.size()); }
    [[nodiscard]] const SandboxJson *member(const QString &key) const;

    [[nodiscard]] QByteArray serialize() const;

private:
    explicit SandboxJson(Type t)
        : m_type(t)
    {
    }
    void write(QByteArray &out) const;

    Type m_type = Type::Null;
    qint64 m_int = 0;
    double m_double = 0;
    QString m_string;
    std::vector<std::pair<QString, SandboxJson>> m_items; // array items have empty keys
};

// A JSON string literal (quotes included) with the escapes JSON needs.
QByteArray jsonQuote(const QString &s);
