#pragma once

#include "sharing/RTTextTranslationRequestOperation.h"

#include <QStringList>
#include <memory>

class RTMessageTwitter;

// Translates a tweet and stores the translation on it. Hashtags, mentions and stock
// symbols are swapped for placeholders first, so the service leaves them alone, and put
// back in their order afterwards. The message keeps no translation when the service gave
// none.
class RTTwitterMessageTranslationRequestOperation : public RTTextTranslationRequestOperation
{
public:
    static constexpr char kHashtagPlaceholder[] = "RT_TWITTER_HASHTAG";
    static constexpr char kUserPlaceholder[] = "RT_TWITTER_USER";
    static constexpr char kStockPlaceholder[] = "RT_TWITTER_STOCKTAG";

    [[nodiscard]] std::shared_ptr<RTMessageTwitter> twitterMessage() const { return m_message; }
    void setTwitterMessage(std::shared_ptr<RTMessageTwitter> message);

    // The tokens of a text, as written (with their sign), in order of appearance.
    struct Tokens
    {
        QStringList hashtags;
        QStringList users;
        QStringList stocks;
    };
    // The text with every token replaced by its placeholder.
    [[nodiscard]] static QString protectTokens(const QString &text, Tokens *tokens);
    // Successive placeholders get the successive tokens of their kind; placeholders the
    // service added beyond those stay as they are.
    [[nodiscard]] static QString restoreTokens(const QString &translated, const Tokens &tokens);

    void main() override;

private:
    std::shared_ptr<RTMessageTwitter> m_message;
    Tokens m_tokens;
};
