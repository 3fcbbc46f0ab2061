#pragma once

#include "text/RTStyledText.h"

#include <QObject>
#include <QSet>
#include <QTimer>

class RTShortURLParser;

// Expands the short links of texts as they are shown, each link once per run (a link
// that could not be expanded is not tried again until restart), and says when expansions
// have arrived, a burst of them at a time. Does nothing while the user turned expansion
// off. Main thread only.
class RTLinkExpansionQueue : public QObject
{
    Q_OBJECT
public:
    static RTLinkExpansionQueue &shared();
    explicit RTLinkExpansionQueue(QObject *parent = nullptr);
    ~RTLinkExpansionQueue() override;

    // New host tables: texts may now show other links and pictures.
    void hostTablesChanged();
    // Starts expanding the links of text not cached or tried yet.
    void expandLinksIn(const QString &text);
    [[nodiscard]] int outstanding() const { return int(m_parsers.size()); }

    // The styled text with the runs of expanded links showing the long link (shortened
    // for display beyond maxLength characters); their link target stays the short link.
    [[nodiscard]] static RTStyledText withExpansions(const RTStyledText &styled,
                                                     int maxLength = 60);

    // The links tried during a run are forgotten beyond this many.
    static constexpr int kMaxTriedLinks = 20000;

signals:
    // Some expansions (or new host tables) arrived since the last time; shown texts may
    // read differently.
    void expansionsArrived();

private:
    void parserDone(RTShortURLParser *parser);

    QSet<QString> m_tried;
    QSet<RTShortURLParser *> m_parsers;
    QTimer m_announce;
};
