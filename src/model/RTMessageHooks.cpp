#include "model/RTMessageHooks.h"

#include "foundation/Log.h"

#include <QMutex>
#include <QMutexLocker>

namespace {
QMutex s_hooksMutex;
std::shared_ptr<const RTMessageHooks> s_hooks;

const QHash<QString, QChar> &namedEntities()
{
    static const QHash<QString, QChar> entities = {
        {QStringLiteral("amp"), QLatin1Char('&')},   {QStringLiteral("lt"), QLatin1Char('<')},
        {QStringLiteral("gt"), QLatin1Char('>')},    {QStringLiteral("quot"), QLatin1Char('"')},
        {QStringLiteral("apos"), QLatin1Char('\'')}, {QStringLiteral("nbsp"), QChar(0xA0)},
    };
    return entities;
}
} // namespace

QString unescapeBasicHTMLEntities(const QString &text)
{
    if (!text.contains(QLatin1Char('&')))
        return text;
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        const qsizetype semi = c == QLatin1Char('&') ? text.indexOf(QLatin1Char(';'), i + 1) : -1;
        // Entities are short; a far-away semicolon is ordinary text.
        if (semi < 0 || semi - i > 10) {
            out.append(c);
            ++i;
            continue;
        }
        const QString name = text.mid(i + 1, semi - i - 1);
        bool ok = false;
        char32_t code = 0;
        if (name.startsWith(QLatin1Char('#'))) {
            const bool hex = name.size() > 1 &&
                             (name.at(1) == QLatin1Char('x') || name.at(1) == QLatin1Char('X'));
            code = name.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
            ok = ok && code > 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
        } else if (const auto it = namedEntities().constFind(name);
                   it != namedEntities().constEnd()) {
            code = it->unicode();
            ok = true;
        }
        if (!ok) {
            out.append(c);
            ++i;
            continue;
        }
        out.append(QString::fromUcs4(&code, 1));
        i = semi + 1;
    }
    return out;
}

RTMessageHooks RTMessageHooks::defaults()
{
    RTMessageHooks hooks;
    hooks.unescapeHTML = unescapeBasicHTMLEntities;
    hooks.parse = [](const QString &text) { return RTAttributedString(text); };
    hooks.highlightTerms = [](const RTAttributedString &text, const QStringList &) { return text; };
    hooks.shortURLReplacementDictionary = [](const QString &) { return QHash<QString, QString>(); };
    hooks.imagersInMessageText = [](const QString &) { return QVariantList(); };
    hooks.requestTranslation = [](const std::shared_ptr<RTMessage> &) {
        qCInfo(lcModel) << "no translator installed";
    };
    return hooks;
}

std::shared_ptr<const RTMessageHooks> RTMessageHooks::current()
{
    QMutexLocker lock(&s_hooksMutex);
    if (!s_hooks)
        s_hooks = std::make_shared<const RTMessageHooks>(defaults());
    return s_hooks;
}

void RTMessageHooks::install(RTMessageHooks hooks)
{
    const RTMessageHooks fallback = defaults();
    if (!hooks.unescapeHTML)
        hooks.unescapeHTML = fallback.unescapeHTML;
    if (!hooks.parse)
        hooks.parse = fallback.parse;
    if (!hooks.highlightTerms)
        hooks.highlightTerms = fallback.highlightTerms;
    if (!hooks.shortURLReplacementDictionary)
        hooks.shortURLReplacementDictionary = fallback.shortURLReplacementDictionary;
    if (!hooks.imagersInMessageText)
        hooks.imagersInMessageText = fallback.imagersInMessageText;
    if (!hooks.requestTranslation)
        hooks.requestTranslation = fallback.requestTranslation;
    auto installed = std::make_shared<const RTMessageHooks>(std::move(hooks));
    QMutexLocker lock(&s_hooksMutex);
    s_hooks = std::move(installed);
}
