#pragma once

#include <QList>
#include <QString>
#include <optional>
#include <vector>

// Toolkit-neutral text styles: what the window layer needs to draw a message body.
// Colours are 0xAARRGGBB.
enum class RTTextCursor
{
    Arrow,
    PointingHand
};

struct RTTextAttributes
{
    QString fontFamily;
    double fontSize = 0; // 0: no font set
    bool bold = false;
    std::optional<quint32> textColor;
    std::optional<quint32> underlineColor;
    std::optional<quint32> strokeColor;
    QString link; // target URL text; empty for no link
    RTTextCursor cursor = RTTextCursor::Arrow;

    bool operator==(const RTTextAttributes &) const = default;
};

struct RTTextRun
{
    qsizetype start = 0;
    qsizetype length = 0;
    RTTextAttributes attributes;

    bool operator==(const RTTextRun &) const = default;
};

// A string with runs of attributes. The runs cover the whole string, in order, without
// gaps; neighbouring runs always differ. Ranges outside the string are clipped.
class RTStyledText
{
public:
    RTStyledText() = default;
    RTStyledText(QString text, const RTTextAttributes &attributes);

    [[nodiscard]] const QString &text() const { return m_text; }
    [[nodiscard]] const QList<RTTextRun> &runs() const { return m_runs; }
    [[nodiscard]] bool isEmpty() const { return m_text.isEmpty(); }

    // The attributes at a position (default attributes outside the text).
    [[nodiscard]] RTTextAttributes attributesAt(qsizetype position) const;

    // Replaces the attributes over a range.
    void setAttributes(qsizetype start, qsizetype length, const RTTextAttributes &attributes);
    // Changes the attributes over a range run by run, keeping what fn leaves alone.
    template<typename Fn> void modifyAttributes(qsizetype start, qsizetype length, Fn &&fn)
    {
        if (!clip(start, length))
            return;
        splitAt(start);
        splitAt(start + length);
        for (RTTextRun &run : m_runs) {
            if (run.start >= start && run.start + run.length <= start + length)
                fn(run.attributes);
        }
        mergeRuns();
    }

    // Applies many changes in one pass over the text, however many ranges there are.
    // paint: each run's attributes replace what is under it; later runs win.
    void paint(const QList<RTTextRun> &runs);
    // modifyRanges: fn changes the attributes under every given range (start, length).
    template<typename Fn>
    void modifyRanges(const QList<std::pair<qsizetype, qsizetype>> &ranges, Fn &&fn)
    {
        std::vector<bool> marked(size_t(m_text.size()), false);
        bool any = false;
        for (auto [start, length] : ranges) {
            if (!clip(start, length))
                continue;
            std::fill(marked.begin() + start, marked.begin() + start + length, true);
            any = true;
        }
        if (!any)
            return;
        QList<RTTextRun> out;
        for (const RTTextRun &run : m_runs) {
            qsizetype i = run.start;
            const qsizetype end = run.start + run.length;
            while (i < end) {
                const bool on = marked[size_t(i)];
                qsizetype j = i + 1;
                while (j < end && marked[size_t(j)] == on)
                    ++j;
                RTTextRun piece{i, j - i, run.attributes};
                if (on)
                    fn(piece.attributes);
                out.append(piece);
                i = j;
            }
        }
        m_runs = std::move(out);
        mergeRuns();
    }

    // Inserts plain text with the given attributes at a position.
    void insert(qsizetype position, const QString &text, const RTTextAttributes &attributes);

    bool operator==(const RTStyledText &) const = default;

private:
    bool clip(qsizetype &start, qsizetype &length) const;
    void splitAt(qsizetype position);
    void mergeRuns();

    QString m_text;
    QList<RTTextRun> m_runs;
};
