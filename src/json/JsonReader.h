#pragma once

#include "json/JsonBase.h"
#include "json/JsonValue.h"

#include <QByteArray>
#include <QString>

// Reads JSON text. objectWithString() accepts only an object or an array at the top,
// fragmentWithString() any value. On failure the result is undefined (isValid() false)
// and errorTrace() says why; nothing is thrown.
//
// One pass over the UTF-8 bytes into a flat array of nodes; strings without escapes are
// not copied but point into the input, which the document keeps (a QByteArray is shared,
// not copied; one made with QByteArray::fromRawData must outlive the values).
class JsonReader : public JsonBase
{
public:
    // Inputs from 4 GiB on are refused: offsets are 32-bit.
    static constexpr qint64 kMaxInputSize = 0xFFFFFFF0LL;

    [[nodiscard]] JsonValue objectWithString(const QByteArray &utf8);
    [[nodiscard]] JsonValue objectWithString(const QString &text);
    [[nodiscard]] JsonValue fragmentWithString(const QByteArray &utf8);
    [[nodiscard]] JsonValue fragmentWithString(const QString &text);

    // After a failed read: the byte offset of the input where reading stopped; -1 when
    // the input was refused before reading (or the read succeeded).
    [[nodiscard]] qint64 errorOffset() const { return m_errorOffset; }

private:
    JsonValue read(const QByteArray &utf8, bool documentOnly);

    qint64 m_errorOffset = -1;
};
