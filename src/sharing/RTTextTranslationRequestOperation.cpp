#include "sharing/RTTextTranslationRequestOperation.h"

#include "foundation/MainThread.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/StringAdditions.h"
#include "platform/TAUtility.h"
#include "json/Json.h"

QUrl RTTextTranslationRequestOperation::translationUrl(const QString &source, const QString &target,
                                                       const QString &text)
{
    const QString base = serviceBase("translate");
    if (base.isEmpty())
        return {};
    // Language codes are letters and dashes; anything else must not shape the query.
    const QString url = base + QStringLiteral("/ajax/services/language/translate?v=1.0&langpair=") +
                        encodeForQueryString(source) + QStringLiteral("%7C") +
                        encodeForQueryString(target) + QStringLiteral("&q=") +
                        encodeForQueryString(stringByUnescapingHTML(text));
    return QUrl::fromEncoded(url.toUtf8(), QUrl::StrictMode);
}

QString RTTextTranslationRequestOperation::readAnswer(const QByteArray &body, QString *failure)
{
    const JsonValue answer = objectFromJSON(body);
    if (!answer.isObject()) {
        if (failure)
            *failure = QStringLiteral("The translation service's answer could not be read");
        return {};
    }
    const JsonValue translated = answer["responseData"]["translatedText"];
    if (translated.isString())
        return translated.toString();
    if (failure) {
        const QString details = answer["responseDetails"].toString();
        *failure = details.isEmpty() ? QStringLiteral("The answer held no translation") : details;
    }
    return {};
}

bool RTTextTranslationRequestOperation::translate()
{
    if (isCancelled())
        return false;
    if (m_targetLanguage.isNull())
        m_targetLanguage = TAUtility::preferedSystemLanguage();
    m_translatedText = QString();
    const std::optional<QByteArray> body =
        runRequest(translationUrl(m_sourceLanguage, m_targetLanguage, m_textToTranslate),
                   RTTranslatingMessageStatusContext);
    if (isCancelled())
        return false;
    if (body) {
        QString failure;
        m_translatedText = readAnswer(*body, &failure);
        if (m_translatedText.isNull())
            setFailureReason(failure);
    }
    return true;
}

void RTTextTranslationRequestOperation::main()
{
    if (!translate())
        return;
    const QString text = m_translatedText.isNull() ? QString() : finishedText(m_translatedText);
    if (m_finished)
        runOnMainThread([finished = m_finished, text] { finished(text); }, false);
}
