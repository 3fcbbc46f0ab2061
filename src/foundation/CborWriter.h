#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <algorithm>
#include <cstring>

// CBOR items written straight into a byte array that grows in large steps, in the same
// shortest forms that QCborStreamWriter gives, without a device call per item.
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

    explicit CborWriter(qsizetype expectedSize = 0)
        : m_bytes(std::max<qsizetype>(expectedSize, 16), Qt::Uninitialized)
    {
    }

    // The head of an item: its major type and its count or value, big-endian.
    void head(quint8 major, quint64 n)
    {
        char *p = room(9);
        const char type = char(major << 5);
        if (n < 24) {
            *p = char(type | char(n));
            m_size += 1;
            return;
        }
        int size = 8;
        char info = 27;
        if (n <= 0xff) {
            size = 1;
            info = 24;
        } else if (n <= 0xffff) {
            size = 2;
            info = 25;
        } else if (n <= 0xffffffffu) {
            size = 4;
            info = 26;
        }
        *p++ = char(type | info);
        for (int i = size - 1; i >= 0; --i)
            *p++ = char((n >> (8 * i)) & 0xff);
        m_size += 1 + size;
    }
    void integer(qint64 n)
    {
        if (n >= 0)
            head(Unsigned, quint64(n));
        else
            head(Negative, quint64(-1 - n));
    }
    void text(QStringView s);
    void bytes(const QByteArray &b)
    {
        head(ByteString, quint64(b.size()));
        raw(b);
    }
    // Bytes that are already whole CBOR items.
    void raw(const QByteArray &cbor)
    {
        std::memcpy(room(cbor.size()), cbor.constData(), size_t(cbor.size()));
        m_size += cbor.size();
    }

    [[nodiscard]] QByteArray take()
    {
        m_bytes.truncate(m_size);
        m_size = 0;
        return std::move(m_bytes);
    }
    // For a map whose size is known only at the end: room for its head first, and the
    // head put in front of the entries when they are all written.
    void reserveHead() { m_size = kMaxHead; }
    [[nodiscard]] QByteArray takeWithMapHead(quint64 entries);

private:
    char *room(qsizetype n)
    {
        if (m_size + n > m_bytes.size())
            m_bytes.resize(std::max(m_bytes.size() * 2, m_size + n));
        return m_bytes.data() + m_size;
    }
    static constexpr qsizetype kMaxHead = 9;
    QByteArray m_bytes;
    qsizetype m_size = 0;
};
