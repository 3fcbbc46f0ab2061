#pragma once

#include "model/RTAttributedString.h"

#include <QHash>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <memory>

class RTMessage;

// Services the message records use from layers above the model: the text parser, the
// short-link expander, the inline-picture finder and the translator. The defaults keep the
// plain text; the text and sharing layers install the real ones at start-up.
struct RTMessageHooks
{
    std::function<QString(const QString &)> unescapeHTML;
    std::function<RTAttributedString(const QString &)> parse;
    std::function<RTAttributedString(const RTAttributedString &, const QStringList &terms)>
        highlightTerms;
    // Short link -> expansion for the links of a text; empty when none is known yet.
    std::function<QHash<QString, QString>(const QString &)> shortURLReplacementDictionary;
    std::function<QVariantList(const QString &)> imagersInMessageText;
    // Queues a translation of the message; the translator sets translatedBody and calls
    // processBody on the main thread when it arrives.
    std::function<void(const std::shared_ptr<RTMessage> &)> requestTranslation;

    // The defaults: entities of the common set unescaped, no styling, no links, nothing
    // translated.
    [[nodiscard]] static RTMessageHooks defaults();
    // The installed hooks (a snapshot: safe to use while another thread installs).
    [[nodiscard]] static std::shared_ptr<const RTMessageHooks> current();
    // Missing functions are taken from the defaults.
    static void install(RTMessageHooks hooks);
};

// Unescapes the HTML entities Twitter sends (named ones of the common set and numeric).
[[nodiscard]] QString unescapeBasicHTMLEntities(const QString &text);
