#pragma once

#include "sharing/RTTextServiceRequestOperation.h"

#include <functional>

// Asks the shrinking service for a shorter wording of a post ("you" -> "u", ...), so an
// over-long tweet fits. Queue it on the immediate queue; when it ends (also after a
// failure) the finished function runs on the main thread while the worker waits. A
// cancelled operation calls nothing.
class RTTweetShrinkRequestOperation : public RTTextServiceRequestOperation
{
public:
    using Finished = std::function<void(const RTTweetShrinkRequestOperation &)>;

    // How many characters the service says it saved, as it wrote it.
    [[nodiscard]] QString charactersDifference() const { return m_charactersDifference; }
    [[nodiscard]] QString textToShrink() const { return m_textToShrink; }
    void setTextToShrink(const QString &text) { m_textToShrink = text; }
    // The shorter text; null when the request failed or the answer held none.
    [[nodiscard]] QString shrunkenText() const { return m_shrunkenText; }

    // finishedShrinkingWithTweetShrink: set before queueing.
    void setFinished(Finished finished) { m_finished = std::move(finished); }

    // The request URL for a text: <shrink host>/shrink?text=...
    [[nodiscard]] static QUrl shrinkUrl(const QString &text);
    // Reads an answer {"text": ..., "difference": ...}; false (and nothing set) when it
    // is not one.
    static bool readAnswer(const QByteArray &body, QString *text, QString *difference);

    void main() override;

private:
    QString m_charactersDifference{QStringLiteral("")};
    QString m_textToShrink{QStringLiteral("")};
    QString m_shrunkenText{QStringLiteral("")};
    Finished m_finished;
};
