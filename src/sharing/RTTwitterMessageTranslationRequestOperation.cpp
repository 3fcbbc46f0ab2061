#include "sharing/RTTwitterMessageTranslationRequestOperation.h"

#include "foundation/MainThread.h"
#include "model/RTMessageTwitter.h"
#include "text/RTMessageTextParser.h"

#include <algorithm>

namespace {

struct Span
{
    qsizetype location;
    qsizetype length;
    int kind; // 0 hashtag, 1 user, 2 stock
};

bool isSign(QChar c)
{
    return c == QLatin1Char('#') || c == QLatin1Char('@') || c == QLatin1Char('$') ||
           c == QChar(0xFF03) || c == QChar(0xFF20);
}

// The token as the user wrote it: with its sign, without the blank a pattern may take
// in front of it.
Span tokenSpan(const QString &text, const RTParseRecord &record, int kind)
{
    qsizetype start = record.location;
    qsizetype end = record.end();
    while (start < end && text.at(start).isSpace())
        ++start;
    if (start < end && !isSign(text.at(start)) && start > 0 && isSign(text.at(start - 1)))
        --start;
    return {start, end - start, kind};
}

QString replaceInOrder(const QString &text, const QString &placeholder, const QStringList &tokens)
{
    QString out;
    qsizetype from = 0;
    for (const QString &token : tokens) {
        const qsizetype at = text.indexOf(placeholder, from);
        if (at < 0)
            break;
        out += text.mid(from, at - from) + token;
        from = at + placeholder.size();
    }
    return out + text.mid(from);
}

} // namespace

void RTTwitterMessageTranslationRequestOperation::setTwitterMessage(
    std::shared_ptr<RTMessageTwitter> message)
{
    m_message = std::move(message);
}

QString RTTwitterMessageTranslationRequestOperation::protectTokens(const QString &text,
                                                                   Tokens *tokens)
{
    QList<Span> spans;
    for (const RTParseRecord &r : RTMessageTextParser::hashRangesInMessageText(text))
        spans.append(tokenSpan(text, r, 0));
    for (const RTParseRecord &r : RTMessageTextParser::mentionRangesInMessageText(text))
        spans.append(tokenSpan(text, r, 1));
    for (const RTParseRecord &r : RTMessageTextParser::stockSymbolRangesInMessageText(text))
        spans.append(tokenSpan(text, r, 2));
    std::sort(spans.begin(), spans.end(),
              [](const Span &a, const Span &b) { return a.location < b.location; });

    static const QString placeholders[] = {QString::fromLatin1(kHashtagPlaceholder),
                                           QString::fromLatin1(kUserPlaceholder),
                                           QString::fromLatin1(kStockPlaceholder)};
    QString out;
    qsizetype from = 0;
    for (const Span &s : std::as_const(spans)) {
        if (s.length <= 0 || s.location < from)
            continue; // overlaps a token already taken
        const QString token = text.mid(s.location, s.length);
        (s.kind == 0   ? tokens->hashtags
         : s.kind == 1 ? tokens->users
                       : tokens->stocks)
            .append(token);
        out += text.mid(from, s.location - from) + placeholders[s.kind];
        from = s.location + s.length;
    }
    return out + text.mid(from);
}

QString RTTwitterMessageTranslationRequestOperation::restoreTokens(const QString &translated,
                                                                   const Tokens &tokens)
{
    QString out =
        replaceInOrder(translated, QString::fromLatin1(kHashtagPlaceholder), tokens.hashtags);
    out = replaceInOrder(out, QString::fromLatin1(kUserPlaceholder), tokens.users);
    return replaceInOrder(out, QString::fromLatin1(kStockPlaceholder), tokens.stocks);
}

void RTTwitterMessageTranslationRequestOperation::main()
{
    if (!m_message || isCancelled())
        return;
    m_tokens = Tokens();
    setTextToTranslate(protectTokens(m_message->body(), &m_tokens));
    if (!translate() || translatedText().isNull())
        return;
    const QString text = restoreTokens(translatedText(), m_tokens);
    // The message belongs to the main thread.
    runOnMainThread(
        [message = m_message, text] {
            message->setTranslatedBody(text);
            message->processBody();
        },
        false);
}
