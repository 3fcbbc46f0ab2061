#pragma once

#include <QList>
#include <QString>
#include <optional>

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
