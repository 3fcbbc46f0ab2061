#pragma once

#include "json/JsonBase.h"
#include "json/JsonValue.h"

#include <QString>
#include <QVariant>

// A reader and a writer with shared settings; each operation reports the first error of
// its trace through error (when given).
class Json : public JsonBase
{
public:
    [[nodiscard]] bool humanReadable() const { return m_humanReadable; }
    void setHumanReadable(bool on) { m_humanReadable = on; }
    [[nodiscard]] bool sortKeys() const { return m_sortKeys; }
    void setSortKeys(bool on) { m_sortKeys = on; }

    [[nodiscard]] JsonValue objectWithString(const QString &text, JsonError *error = nullptr);
    [[nodiscard]] JsonValue objectWithString(const QByteArray &utf8, JsonError *error = nullptr);
    [[nodiscard]] JsonValue fragmentWithString(const QString &text, JsonError *error = nullptr);
    [[nodiscard]] JsonValue fragmentWithString(const QByteArray &utf8, JsonError *error = nullptr);
    [[nodiscard]] QString stringWithObject(const QVariant &value, JsonError *error = nullptr);
    [[nodiscard]] QString stringWithFragment(const QVariant &value, JsonError *error = nullptr);

private:
    template<class Worker> void takeTrace(const Worker &worker, JsonError *error);

    bool m_humanReadable = false;
    bool m_sortKeys = false;
};

// Reads a document (object or array) with default settings; logs the error trace and
// gives an undefined value on failure.
[[nodiscard]] JsonValue objectFromJSON(const QString &text);
[[nodiscard]] JsonValue objectFromJSON(const QByteArray &utf8);
// The same, but any value is accepted at the top.
[[nodiscard]] JsonValue fragmentFromJSON(const QString &text);
[[nodiscard]] JsonValue fragmentFromJSON(const QByteArray &utf8);
// Writes an object or array with default settings; logs the error trace and gives a null
// string on failure.
[[nodiscard]] QString JSONText(const QVariant &value);
// The same for any value.
[[nodiscard]] QString fragmentJSONText(const QVariant &value);
