#pragma once

#include <QByteArray>
#include <QString>

// CBOR items appended straight to a byte array, in the same shortest forms that
// QCborStreamWriter gives, without a device call per item.
class CborWriter
{
public:
    enum MajorType : quint8
    {
        Unsigned = 0,
        Negative = 1,
        ByteString = 2,
        TextString = 3,
        Array = 4,
        Map = 5,
        Tag = 6,
    };

    explicit CborWriter(qsizetype expectedSize = 0) { m_out.reserve(expectedSize); }

    // The head of an item: its major type and its count or value.
    void head(MajorType major, quint64 n);
    void integer(qint64 n)
    {
        if (n >= 0)
            head(Unsigned, quint64(n));
        else
            head(Negative, quint64(-1 - n));
    }
    void text(const QString &s);
    void bytes(const QByteArray &b)
    {
        head(ByteString, quint64(b.size()));
        m_out.append(b);
    }
    // Bytes that are already whole CBOR items.
    void raw(const QByteArray &cbor) { m_out.append(cbor); }

    [[nodiscard]] QByteArray take() { return std::move(m_out); }

private:
    QByteArray m_out;
};
