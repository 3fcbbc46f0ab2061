#include "text/TextRegistration.h"

#include "foundation/StringAdditions.h"
#include "model/RTAttributedString.h"
#include "model/RTMessageHooks.h"
#include "text/RTLinkHosts.h"
#include "text/RTMessageTextParser.h"
#include "text/RTShortURLParser.h"

RTAttributedString attributedStringFromStyledText(const RTStyledText &styled)
{
    RTAttributedString out(styled.text());
    for (const RTTextRun &run : styled.runs()) {
        const RTTextAttributes &a = run.attributes;
        const auto add = [&](const char *name, const QVariant &value) {
            out.addAttribute(QLatin1String(name), value, run.start, run.length);
        };
        if (!a.fontFamily.isEmpty()) {
            add(RTTextAttributeName::FontFamily, a.fontFamily);
            add(RTTextAttributeName::FontSize, a.fontSize);
        }
        if (a.bold)
            add(RTTextAttributeName::Bold, true);
        if (a.textColor)
            add(RTTextAttributeName::TextColor, *a.textColor);
        if (a.underlineColor)
            add(RTTextAttributeName::UnderlineColor, *a.underlineColor);
        if (a.strokeColor)
            add(RTTextAttributeName::StrokeColor, *a.strokeColor);
        if (!a.link.isEmpty())
            add(RTTextAttributeName::Link, a.link);
        if (a.cursor == RTTextCursor::PointingHand)
            add(RTTextAttributeName::PointingHandCursor, true);
    }
    return out;
}

void registerTextLayerWithModel()
{
    // Keep hooks other layers installed (short links, translation).
    RTMessageHooks hooks = *RTMessageHooks::current();
    hooks.unescapeHTML = [](const QString &text) { return stringByUnescapingHTML(text); };
    hooks.parse = [](const QString &text) {
        return attributedStringFromStyledText(RTMessageTextParser::parse(text));
    };
    // The body may have had short links replaced since parsing, so the terms are found
    // in its current text. Literal and case-insensitive, as in the parser.
    hooks.highlightTerms = [](const RTAttributedString &body, const QStringList &terms) {
        RTAttributedString out = body;
        const QString &text = body.string();
        for (const QString &term : terms) {
            if (term.isEmpty())
                continue;
            for (qsizetype at = text.indexOf(term, 0, Qt::CaseInsensitive); at >= 0;
                 at = text.indexOf(term, at + term.size(), Qt::CaseInsensitive))
                out.addAttribute(QLatin1String(RTTextAttributeName::Bold), true, at, term.size());
        }
        return out;
    };
    hooks.imagersInMessageText = [](const QString &text) {
        QVariantList out;
        for (const RTInlineImageInfo &info : RTMessageTextParser::imagersInMessageText(text)) {
            out.append(QVariantMap{{QStringLiteral("thumbnailURL"), info.thumbnailURL},
                                   {QStringLiteral("inlineImageLink"), info.inlineImageLink},
                                   {QStringLiteral("standardLink"), info.standardLink},
                                   {QStringLiteral("logoName"), info.logoName}});
        }
        return out;
    };
    hooks.shortURLReplacementDictionary = [](const QString &text) {
        return RTShortURLParser::shortURLReplacementDictionaryForMessageString(text);
    };
    RTMessageHooks::install(std::move(hooks));
    RTMessageTextParser::setImagerSource(RTLinkHosts::imagerSource());
}
