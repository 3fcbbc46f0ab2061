#include "json/JsonWriter.h"

#include "json/JsonDocument.h"

#include <QHash>
#include <QLocale>
#include <QReadWriteLock>
#include <QVariantHash>
#include <algorithm>
#include <cmath>

using json_detail::Document;
using json_detail::Node;
using Type = JsonValue::Type;

namespace {

struct ProxyTable
{
    QReadWriteLock lock;
    QHash<int, JsonWriter::Proxy> proxies;
};

ProxyTable &proxyTable()
{
    static ProxyTable table;
    return table;
}

JsonWriter::Proxy proxyFor(QMetaType type)
{
    ProxyTable &t = proxyTable();
    QReadLocker locker(&t.lock);
    return t.proxies.value(type.id());
}

void appendQuoted(std::string_view utf8, QByteArray &out)
{
    static constexpr char hex[] = "0123456789abcdef";
    out.append('"');
    const char *p = utf8.data();
    const char *end = p + utf8.size();
    const char *run = p;
    for (; p < end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(run, p - run);
        run = p + 1;
        switch (c) {
        case '"':
            out.append("\\\"", 2);
            break;
        case '\\':
            out.append("\\\\", 2);
            break;
        case '\b':
            out.append("\\b", 2);
            break;
        case '\t':
            out.append("\\t", 2);
            break;
        case '\n':
            out.append("\\n", 2);
            break;
        case '\f':
            out.append("\\f", 2);
            break;
        case '\r':
            out.append("\\r", 2);
            break;
        default: {
            const char esc[6] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xF]};
            out.append(esc, 6);
        }
        }
    }
    out.append(run, end - run);
    out.append('"');
}

void appendQuoted(const QString &s, QByteArray &out)
{
    const QByteArray utf8 = s.toUtf8();
    appendQuoted(std::string_view(utf8.constData(), size_t(utf8.size())), out);
}

bool isContainer(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash:
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        return true;
    default:
        break;
    }
    if (v.metaType() == QMetaType::fromType<JsonMembers>())
        return true;
    if (v.metaType() == QMetaType::fromType<JsonValue>()) {
        const auto j = v.value<JsonValue>();
        return j.isObject() || j.isArray();
    }
    return false;
}

} // namespace

void JsonWriter::registerProxy(QMetaType type, Proxy proxy)
{
    ProxyTable &t = proxyTable();
    QWriteLocker locker(&t.lock);
    t.proxies.insert(type.id(), std::move(proxy));
}

QString JsonWriter::stringWithObject(const QVariant &value)
{
    const QByteArray utf8 = write(value, true);
    return utf8.isNull() ? QString() : QString::fromUtf8(utf8);
}

QString JsonWriter::stringWithFragment(const QVariant &value)
{
    const QByteArray utf8 = write(value, false);
    return utf8.isNull() ? QString() : QString::fromUtf8(utf8);
}

QByteArray JsonWriter::utf8WithObject(const QVariant &value)
{
    return write(value, true);
}

QByteArray JsonWriter::utf8WithFragment(const QVariant &value)
{
    return write(value, false);
}

QByteArray JsonWriter::write(const QVariant &value, bool documentOnly)
{
    clearErrorTrace();
    if (documentOnly && !isContainer(value)) {
        addError(JsonErrorCode::Fragment, QStringLiteral("Not valid type for JSON"));
        return {};
    }
    QByteArray out("");
    if (!writeValue(value, 0, out))
        return {};
    return out;
}

void JsonWriter::writeNewline(unsigned level, QByteArray &out) const
{
    out.append('\n');
    out.append(QByteArray(qsizetype(level) * 2, ' '));
}

bool JsonWriter::writeValue(const QVariant &value, unsigned depth, QByteArray &out)
{
    const QMetaType type = value.metaType();
    const int id = type.id();

    auto enter = [&]() {
        if (depth + 1 > effectiveMaxDepth()) {
            addError(JsonErrorCode::Depth, QStringLiteral("Nested too deep"));
            return false;
        }
        return true;
    };

    // Members as (key, value) pairs in the order they are to be written.
    auto writeMembers = [&](QList<std::pair<QVariant, QVariant>> members) {
        if (!enter())
            return false;
        for (const auto &m : members) {
            if (m.first.metaType().id() != QMetaType::QString) {
                addError(JsonErrorCode::Unsupported,
                         QStringLiteral("JSON object key must be string"));
                return false;
            }
        }
        if (m_sortKeys) {
            std::stable_sort(members.begin(), members.end(), [](const auto &a, const auto &b) {
                return a.first.toString() < b.first.toString();
            });
        }
        out.append('{');
        bool first = true;
        for (const auto &m : members) {
            if (!first)
                out.append(',');
            first = false;
            if (m_humanReadable)
                writeNewline(depth + 1, out);
            appendQuoted(m.first.toString(), out);
            if (m_humanReadable)
                out.append(" : ", 3);
            else
                out.append(':');
            if (!writeValue(m.second, depth + 1, out)) {
                addError(JsonErrorCode::Unsupported,
                         QStringLiteral("Unsupported value for key %1 in object")
                             .arg(m.first.toString()));
                return false;
            }
        }
        if (m_humanReadable && !members.isEmpty())
            writeNewline(depth, out);
        out.append('}');
        return true;
    };

    auto writeElements = [&](const QVariantList &list) {
        if (!enter())
            return false;
        out.append('[');
        bool first = true;
        for (const QVariant &v : list) {
            if (!first)
                out.append(',');
            first = false;
            if (m_humanReadable)
                writeNewline(depth + 1, out);
            if (!writeValue(v, depth + 1, out))
                return false;
        }
        if (m_humanReadable && !list.isEmpty())
            writeNewline(depth, out);
        out.append(']');
        return true;
    };

    if (!value.isValid() || id == QMetaType::Nullptr) {
        out.append("null", 4);
        return true;
    }
    switch (id) {
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        QList<std::pair<QVariant, QVariant>> members;
        members.reserve(map.size());
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            members.append({QVariant(it.key()), it.value()});
        return writeMembers(std::move(members));
    }
    case QMetaType::QVariantHash: {
        const QVariantHash hash = value.toHash();
        QList<std::pair<QVariant, QVariant>> members;
        members.reserve(hash.size());
        for (auto it = hash.cbegin(); it != hash.cend(); ++it)
            members.append({QVariant(it.key()), it.value()});
        return writeMembers(std::move(members));
    }
    case QMetaType::QVariantList:
        return writeElements(value.toList());
    case QMetaType::QStringList: {
        QVariantList list;
        for (const QString &s : value.toStringList())
            list.append(s);
        return writeElements(list);
    }
    case QMetaType::QString:
        appendQuoted(value.toString(), out);
        return true;
    case QMetaType::Bool:
        out.append(value.toBool() ? "true" : "false");
        return true;
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::SChar:
        out.append(QByteArray::number(value.toLongLong()));
        return true;
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        out.append(QByteArray::number(value.toULongLong()));
        return true;
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        if (!std::isfinite(d)) {
            // NaN and infinities have no JSON spelling.
            addError(JsonErrorCode::Unsupported,
                     QStringLiteral("JSON serialisation not supported for %1")
                         .arg(QStringLiteral("non-finite number")));
            return false;
        }
        out.append(QByteArray::number(d, 'g', QLocale::FloatingPointShortest));
        return true;
    }
    default:
        break;
    }
    if (type == QMetaType::fromType<JsonMembers>())
        return writeMembers(value.value<JsonMembers>());
    if (type == QMetaType::fromType<JsonValue>())
        return writeJsonValue(value.value<JsonValue>(), depth, out);
    if (const Proxy proxy = proxyFor(type)) {
        // Proxies that answer each other's types would otherwise recurse for ever.
        constexpr int kMaxProxyHops = 16;
        const QVariant replacement = proxy(value);
        if (replacement.metaType() != type && m_proxyHops < kMaxProxyHops) {
            ++m_proxyHops;
            const bool written = writeValue(replacement, depth, out);
            --m_proxyHops;
            return written;
        }
    }
    addError(JsonErrorCode::Unsupported, QStringLiteral("JSON serialisation not supported for %1")
                                             .arg(QString::fromLatin1(type.name())));
    return false;
}

bool JsonWriter::writeJsonValue(const JsonValue &value, unsigned depth, QByteArray &out)
{
    switch (value.type()) {
    case Type::Undefined:
        addError(JsonErrorCode::Unsupported,
                 QStringLiteral("JSON serialisation not supported for %1")
                     .arg(QStringLiteral("undefined value")));
        return false;
    case Type::Null:
        out.append("null", 4);
        return true;
    case Type::Bool:
        out.append(value.toBool() ? "true" : "false");
        return true;
    case Type::Number: {
        const std::string_view t = value.utf8View();
        out.append(t.data(), qsizetype(t.size()));
        return true;
    }
    case Type::String:
        appendQuoted(value.utf8View(), out);
        return true;
    case Type::Array:
    case Type::Object:
        break;
    }
    if (depth + 1 > effectiveMaxDepth()) {
        addError(JsonErrorCode::Depth, QStringLiteral("Nested too deep"));
        return false;
    }
    const bool object = value.isObject();
    // Sorting needs the keys up front; otherwise the members go out in document order.
    std::vector<JsonValue::const_iterator> members;
    for (auto it = value.begin(); it != value.end(); ++it)
        members.push_back(it);
    if (object && m_sortKeys) {
        std::stable_sort(members.begin(), members.end(),
                         [](const auto &a, const auto &b) { return a.key() < b.key(); });
    }
    out.append(object ? '{' : '[');
    bool first = true;
    for (const auto &it : members) {
        if (!first)
            out.append(',');
        first = false;
        if (m_humanReadable)
            writeNewline(depth + 1, out);
        if (object) {
            appendQuoted(it.keyView(), out);
            if (m_humanReadable)
                out.append(" : ", 3);
            else
                out.append(':');
        }
        if (!writeJsonValue(it.value(), depth + 1, out))
            return false;
    }
    if (m_humanReadable && !members.empty())
        writeNewline(depth, out);
    out.append(object ? '}' : ']');
    return true;
}
