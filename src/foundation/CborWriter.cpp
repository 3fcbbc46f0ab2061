#include "foundation/CborWriter.h"

void CborWriter::text(QStringView s)
{
    for (const QChar c : s) {
        if (c.unicode() >= 0x80) {
            const QByteArray utf8 = s.toUtf8();
            head(TextString, quint64(utf8.size()));
            raw(utf8);
            return;
        }
    }
    // Keys, ids and links are ASCII: their characters are their bytes.
    head(TextString, quint64(s.size()));
    char *p = room(s.size());
    for (const QChar c : s)
        *p++ = char(c.unicode());
    m_size += s.size();
}

QByteArray CborWriter::takeWithMapHead(quint64 entries)
{
    const qsizetype end = m_size;
    m_size = 0;
    head(Map, entries);
    const qsizetype size = m_size;
    std::memmove(m_bytes.data() + kMaxHead - size, m_bytes.data(), size_t(size));
    m_bytes.truncate(end);
    m_bytes.remove(0, kMaxHead - size);
    m_size = 0;
    return std::move(m_bytes);
}
