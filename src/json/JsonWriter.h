#pragma once

#include "json/JsonBase.h"
#include "json/JsonValue.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <functional>
#include <utility>

// An object whose members keep the order given and whose keys may be any value (only
// strings can be written). QVariantMap and QVariantHash are written too.
using JsonMembers = QList<std::pair<QVariant, QVariant>>;

// Writes values as JSON text. Accepted: QVariantMap, QVariantHash, JsonMembers (objects),
// QVariantList, QStringList (arrays), QString, bool, the integer types, finite doubles and
// floats, a null or invalid QVariant (null), and JsonValue (written as read, numbers with
// their exact text). Any other type is written through its registered proxy, if any.
//
// stringWithObject() accepts only an object or an array at the top, stringWithFragment()
// any value. On failure the result is a null string/array and errorTrace() says why.
class JsonWriter : public JsonBase
{
public:
    using Proxy = std::function<QVariant(const QVariant &)>;

    [[nodiscard]] bool humanReadable() const { return m_humanReadable; }
    void setHumanReadable(bool on) { m_humanReadable = on; }
    [[nodiscard]] bool sortKeys() const { return m_sortKeys; }
    void setSortKeys(bool on) { m_sortKeys = on; }

    [[nodiscard]] QString stringWithObject(const QVariant &value);
    [[nodiscard]] QString stringWithFragment(const QVariant &value);
    [[nodiscard]] QByteArray utf8WithObject(const QVariant &value);
    [[nodiscard]] QByteArray utf8WithFragment(const QVariant &value);

    // A type JSON cannot hold is written as what proxy returns for it. Process-wide; call
    // at start-up, before any writer runs.
    static void registerProxy(QMetaType type, Proxy proxy);

private:
    QByteArray write(const QVariant &value, bool documentOnly);
    bool writeValue(const QVariant &value, unsigned depth, QByteArray &out);
    bool writeJsonValue(const JsonValue &value, unsigned depth, QByteArray &out);
    void writeNewline(unsigned level, QByteArray &out) const;

    bool m_humanReadable = false;
    bool m_sortKeys = false;
    int m_proxyHops = 0;
};

Q_DECLARE_METATYPE(JsonMembers)
