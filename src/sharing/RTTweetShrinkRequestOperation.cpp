#include "sharing/RTTweetShrinkRequestOperation.h"

#include "foundation/MainThread.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/StringAdditions.h"
#include "json/Json.h"

QUrl RTTweetShrinkRequestOperation::shrinkUrl(const QString &text)
{
    const QString base = serviceBase("shrink");
    if (base.isEmpty())
        return {};
    return QUrl::fromEncoded(
        (base + QStringLiteral("/shrink?text=") + encodeForQueryString(text)).toUtf8(),
        QUrl::StrictMode);
}

bool RTTweetShrinkRequestOperation::readAnswer(const QByteArray &body, QString *text,
                                               QString *difference)
{
    const JsonValue answer = objectFromJSON(body);
    if (!answer.isObject() || !answer["text"].isString())
        return false;
    const JsonValue saved = answer["difference"];
    *text = answer["text"].toString();
    // A number or a string, kept as written; anything else says nothing.
    *difference = saved.isNumber() || saved.isString() ? saved.toString() : QString();
    return true;
}

void RTTweetShrinkRequestOperation::main()
{
    if (isCancelled())
        return;
    m_shrunkenText = QString();
    const std::optional<QByteArray> body =
        runRequest(shrinkUrl(m_textToShrink), RTShrinkingMessageStatusContext);
    if (isCancelled())
        return;
    if (body) {
        QString text;
        QString difference;
        if (readAnswer(*body, &text, &difference)) {
            m_shrunkenText = text;
            m_charactersDifference = difference;
        } else {
            setFailureReason(QStringLiteral("The shrinking service's answer could not be read"));
        }
    }
    if (m_finished)
        runOnMainThread([this] { m_finished(*this); }, true);
}
