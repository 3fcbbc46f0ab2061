#include "model/RTAttributedString.h"

#include <algorithm>

namespace {

// Runs repeat a handful of attributes (a font, a size, a colour, bold) across every
// message; a map per run costs a few hundred bytes, a shared one a reference. Each
// thread keeps its own maps, so no lock is taken while bodies are built on workers.
// Long strings (links) are seldom repeated and are not kept.
class SharedAttributeMaps
{
public:
    QVariantMap map(const QString &name, const QVariant &value)
    {
        auto it = m_byName.find(name);
        if (it == m_byName.end()) {
            if (m_count >= kMaxMaps)
                return {{name, value}};
            it = m_byName.insert(name, {});
        }
        for (const QVariantMap &shared : std::as_const(*it)) {
            const QVariant &held = shared.first();
            if (held.metaType() == value.metaType() && held == value)
                return shared;
        }
        const QVariantMap made{{it.key(), value}};
        if (m_count < kMaxMaps && isWorthKeeping(value)) {
            it->append(made);
            ++m_count;
        }
        return made;
    }

private:
    static constexpr int kMaxMaps = 1024;
    static bool isWorthKeeping(const QVariant &value)
    {
        return value.metaType().id() != QMetaType::QString || value.toString().size() <= 32;
    }

    QHash<QString, QList<QVariantMap>> m_byName;
    int m_count = 0;
};

QVariantMap sharedAttributeMap(const QString &name, const QVariant &value)
{
    thread_local SharedAttributeMaps maps;
    return maps.map(name, value);
}

} // namespace

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
    m_runs.append({start, end - start, sharedAttributeMap(name, value)});
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
