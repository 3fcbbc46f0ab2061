#include "SandboxJson.h"

#include <cmath>

SandboxJson &SandboxJson::set(const QString &key, SandboxJson value)
{
    for (auto &item : m_items) {
        if (item.first == key) {
            item.second = std::move(value);
            return *this;
        }
    }
    m_items.emplace_back(key, std::move(value));
    return *this;
}

SandboxJson &SandboxJson::append(SandboxJson value)
{
    m_items.emplace_back(QString(), std::move(value));
    return *this;
}

const SandboxJson *SandboxJson::member(const QString &key) const
{
    for (const auto &item : m_items) {
        if (item.first == key)
            return &item.second;
    }
    return nullptr;
}

QByteArray SandboxJson::serialize() const
{
    QByteArray out;
    write(out);
    return out;
}

QByteArray jsonQuote(const QString &s)
{
    QByteArray out;
    out.reserve(s.size() + 2);
    out += '"';
    const QByteArray utf8 = s.toUtf8();
    for (char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '/':
            out += "\\/";
            break; // as the real answers do
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
                out += QByteArray("\\u00") +
                       QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
            else
                out += c;
        }
    }
    out += '"';
    return out;
}

void SandboxJson::write(QByteArray &out) const
{
    switch (m_type) {
    case Type::Null:
        out += "null";
        break;
    case Type::Bool:
        out += m_int ? "true" : "false";
        break;
    case Type::Int:
        out += QByteArray::number(m_int);
        break;
    case Type::Double:
        if (std::isfinite(m_double))
            out += QByteArray::number(m_double, 'g', 17);
        else
            out += "null";
        break;
    case Type::String:
        out += jsonQuote(m_string);
        break;
    case Type::Array:
        out += '[';
        for (size_t i = 0; i < m_items.size(); ++i) {
            if (i)
                out += ',';
            m_items[i].second.write(out);
        }
        out += ']';
        break;
    case Type::Object:
        out += '{';
        for (size_t i = 0; i < m_items.size(); ++i) {
            if (i)
                out += ',';
            out += jsonQuote(m_items[i].first);
            out += ':';
            m_items[i].second.write(out);
        }
        out += '}';
        break;
    }
}
