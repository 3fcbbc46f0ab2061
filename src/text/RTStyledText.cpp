#include "text/RTStyledText.h"

RTStyledText::RTStyledText(QString text, const RTTextAttributes &attributes)
    : m_text(std::move(text))
{
    if (!m_text.isEmpty())
        m_runs.append({0, m_text.size(), attributes});
}

RTTextAttributes RTStyledText::attributesAt(qsizetype position) const
{
    for (const RTTextRun &run : m_runs) {
        if (position >= run.start && position < run.start + run.length)
            return run.attributes;
    }
    return {};
}

bool RTStyledText::clip(qsizetype &start, qsizetype &length) const
{
    if (start < 0) {
        length += start;
        start = 0;
    }
    if (start >= m_text.size() || length <= 0)
        return false;
    length = std::min(length, m_text.size() - start);
    return true;
}

void RTStyledText::splitAt(qsizetype position)
{
    for (qsizetype i = 0; i < m_runs.size(); ++i) {
        RTTextRun &run = m_runs[i];
        if (position > run.start && position < run.start + run.length) {
            RTTextRun tail{position, run.start + run.length - position, run.attributes};
            run.length = position - run.start;
            m_runs.insert(i + 1, tail);
            return;
        }
    }
}

void RTStyledText::mergeRuns()
{
    qsizetype kept = 0;
    for (qsizetype i = 1; i < m_runs.size(); ++i) {
        if (m_runs[kept].attributes == m_runs[i].attributes)
            m_runs[kept].length += m_runs[i].length;
        else
            m_runs[++kept] = m_runs[i];
    }
    if (!m_runs.isEmpty())
        m_runs.resize(kept + 1);
}

void RTStyledText::setAttributes(qsizetype start, qsizetype length,
                                 const RTTextAttributes &attributes)
{
    modifyAttributes(start, length, [&](RTTextAttributes &a) { a = attributes; });
}

void RTStyledText::insert(qsizetype position, const QString &text,
                          const RTTextAttributes &attributes)
{
    if (text.isEmpty())
        return;
    position = std::clamp<qsizetype>(position, 0, m_text.size());
    splitAt(position);
    qsizetype index = 0;
    while (index < m_runs.size() && m_runs[index].start < position)
        ++index;
    for (qsizetype i = index; i < m_runs.size(); ++i)
        m_runs[i].start += text.size();
    m_runs.insert(index, {position, text.size(), attributes});
    m_text.insert(position, text);
    mergeRuns();
}

void RTStyledText::paint(const QList<RTTextRun> &runs)
{
    // Which painted run owns each unit; -1 keeps the attributes already there.
    std::vector<int> owner(size_t(m_text.size()), -1);
    bool any = false;
    for (int k = 0; k < runs.size(); ++k) {
        qsizetype start = runs[k].start;
        qsizetype length = runs[k].length;
        if (!clip(start, length))
            continue;
        std::fill(owner.begin() + start, owner.begin() + start + length, k);
        any = true;
    }
    if (!any)
        return;
    QList<RTTextRun> out;
    for (const RTTextRun &run : m_runs) {
        qsizetype i = run.start;
        const qsizetype end = run.start + run.length;
        while (i < end) {
            const int k = owner[size_t(i)];
            qsizetype j = i + 1;
            while (j < end && owner[size_t(j)] == k)
                ++j;
            out.append({i, j - i, k < 0 ? run.attributes : runs[k].attributes});
            i = j;
        }
    }
    m_runs = std::move(out);
    mergeRuns();
}
