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
    // A position inside the replaced range maps to its start (for a run's start) or to the
    // end of the replacement (for a run's end), so a run over the old text covers the new.
    auto mapStart = [&](qsizetype p) { return p < start ? p : (p >= end ? p + delta : start); };
    auto mapEnd = [&](qsizetype p) { return p <= start ? p : (p >= end ? p + delta : newEnd); };
    m_string.replace(start, end - start, replacement);
    QList<Run> runs;
    runs.reserve(m_runs.size());
    for (const Run &run : std::as_const(m_runs)) {
        const qsizetype s = mapStart(run.location);
        const qsizetype e = mapEnd(run.location + run.length);
        if (e > s)
            runs.append({s, e - s, run.attributes});
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
