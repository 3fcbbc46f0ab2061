#pragma once

#include "sharing/RTTextServiceRequestOperation.h"

#include <functional>

// Translates a text with the translation service. An empty source language lets the
// service detect it; a null target language means the user's preferred language. When it
// ends (not after a cancel) the finished function runs on the main thread, without the
// worker waiting.
class RTTextTranslationRequestOperation : public RTTextServiceRequestOperation
{
public:
    using Finished = std::function<void(const QString &translatedText)>;

    [[nodiscard]] QString sourceLanguage() const { return m_sourceLanguage; }
    void setSourceLanguage(const QString &code) { m_sourceLanguage = code; }
    [[nodiscard]] QString targetLanguage() const { return m_targetLanguage; }
    void setTargetLanguage(const QString &code) { m_targetLanguage = code; }
    [[nodiscard]] QString textToTranslate() const { return m_textToTranslate; }
    void setTextToTranslate(const QString &text) { m_textToTranslate = text; }
    // Null when the answer held no translation.
    [[nodiscard]] QString translatedText() const { return m_translatedText; }

    void setFinished(Finished finished) { m_finished = std::move(finished); }

    // <translate host>/ajax/services/language/translate?v=1.0&langpair=SRC%7CDST&q=TEXT
    [[nodiscard]] static QUrl translationUrl(const QString &source, const QString &target,
                                             const QString &text);
    // responseData.translatedText of an answer; null when it has none. *failure gets the
    // service's own reason when it gave one.
    [[nodiscard]] static QString readAnswer(const QByteArray &body, QString *failure);

    void main() override;

protected:
    // Runs the request and sets translatedText; false when cancelled.
    bool translate();
    // The translation the caller gets; the Twitter subclass puts its tokens back first.
    virtual QString finishedText(const QString &translated) { return translated; }

private:
    QString m_sourceLanguage{QStringLiteral("")};
    QString m_targetLanguage;
    QString m_textToTranslate{QStringLiteral("")};
    QString m_translatedText;
    Finished m_finished;
};
