#include "model/RTAttributedString.h"

#include <algorithm>

RTAttributedString::RTAttributedString(QString text)
    : m_string(std::move(text))
{
}

void RTAttributedString::addAttribute(const QString &name, const QVariant &value,
                                      qsizetype location, qsizetype length)
{
    const qsizetype start = std::clamp<qsizetype>(location, 0, m_string.size());
    const qsizetype end =
        std::clamp<qsizetype>(location + std::max<qsizetype>(length, 0), start, m_string.size());
    if (end == start)
        return;
    m_runs.append({start, end - start, {{name, value}}});
}

QVariantMap RTAttributedString::attributesAt(qsizetype index) const
{
    QVariantMap result;
    for (const Run &run : m_runs) {
        if (index >= run.location && index < run.location + run.length)
            result.insert(run.attributes);
    }
    return result;
}

void RTAttributedString::replaceCharacters(qsizetype location, qsizetype length,
                                           const QString &replacement)
{
    const qsizetype start = std::clamp<qsizetype>(location, 0, m_string.size());
    const qsizetype end =
        std::clamp<qsizetype>(location + std::max<qsizetype>(length, 0), start, m_string.size());
    const qsizetype newEnd = start + replacement.size();
    const qsizetype delta = replacement.size() - (end - start);
    // The new text takes the attributes of the first replaced character (of the one before
    // it for an insertion), as a user typing over a selection would expect.
    const qsizetype anchor = end > start ? start : std::max<qsizetype>(start - 1, 0);
    m_string.replace(start, end - start, replacement);
    QList<Run> runs;
    runs.reserve(m_runs.size());
    for (const Run &run : std::as_const(m_runs)) {
        const qsizetype s = run.location;
        const qsizetype e = run.location + run.length;
        qsizetype ns = s;
        qsizetype ne = e;
        if (s <= anchor && anchor < e) {
            ne = e >= end ? e + delta : newEnd;
        } else if (e > start) {
            ns = s >= end ? s + delta : newEnd;
            ne = e >= end ? e + delta : newEnd;
        }
        if (ne > ns)
            runs.append({ns, ne - ns, run.attributes});
    }
    m_runs = std::move(runs);
}

int RTAttributedString::replaceOccurrences(const QHash<QString, QString> &replacements)
{
    int count = 0;
    for (auto it = replacements.cbegin(); it != replacements.cend(); ++it) {
        if (it.key().isEmpty())
            continue;
        qsizetype from = 0;
        while ((from = m_string.indexOf(it.key(), from)) >= 0) {
            replaceCharacters(from, it.key().size(), it.value());
            from += it.value().size();
            ++count;
        }
    }
    return count;
}

void RTAttributedString::insertAttachment(qsizetype location, const QString &imageName)
{
    const qsizetype at = std::clamp<qsizetype>(location, 0, m_string.size());
    m_string.insert(at, attachmentCharacter);
    for (Run &run : m_runs) {
        if (run.location >= at)
            ++run.location;
        else if (run.location + run.length > at)
            ++run.length;
    }
    addAttribute(QString::fromLatin1(attachmentAttribute), imageName, at, 1);
}
