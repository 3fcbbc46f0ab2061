#include "foundation/CborWriter.h"

void CborWriter::head(MajorType major, quint64 n)
{
    char out[9];
    const char type = char(quint8(major) << 5);
    if (n < 24) {
        out[0] = char(type | char(n));
        m_out.append(out, 1);
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
    out[0] = char(type | info);
    for (int i = 0; i < size; ++i)
        out[1 + i] = char((n >> (8 * (size - 1 - i))) & 0xff);
    m_out.append(out, 1 + size);
}

void CborWriter::text(const QString &s)
{
    // Keys and links are ASCII: their characters are their bytes.
    const qsizetype n = s.size();
    const QChar *chars = s.constData();
    for (qsizetype i = 0; i < n; ++i) {
        if (chars[i].unicode() >= 0x80) {
            const QByteArray utf8 = s.toUtf8();
            head(TextString, quint64(utf8.size()));
            m_out.append(utf8);
            return;
        }
    }
    head(TextString, quint64(n));
    const qsizetype at = m_out.size();
    m_out.resize(at + n);
    char *p = m_out.data() + at;
    for (qsizetype i = 0; i < n; ++i)
        p[i] = char(chars[i].unicode());
}
