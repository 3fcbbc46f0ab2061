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
    for (qsizetype i = m_runs.size() - 1; i > 0; --i) {
        if (m_runs[i - 1].attributes == m_runs[i].attributes) {
            m_runs[i - 1].length += m_runs[i].length;
            m_runs.removeAt(i);
        }
    }
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
