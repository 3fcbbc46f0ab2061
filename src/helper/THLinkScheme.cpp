#include "helper/THLinkScheme.h"

#include "foundation/Localization.h"

#include <QUrl>

namespace {
THLinkScheme::Result refused(const char *key)
{
    return {false, QString(), localizedString(key)};
}

// Characters that could hide or rearrange text in a post: controls, line and paragraph
// separators, and direction overrides.
bool isHiddenCharacter(char32_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029 ||
           (c >= 0x200b && c <= 0x200f) || (c >= 0x202a && c <= 0x202e) ||
           (c >= 0x2066 && c <= 0x2069) || c == 0xfeff;
}

bool hasHiddenOrSpace(const QString &text)
{
    for (const char32_t c : text.toUcs4()) {
        if (isHiddenCharacter(c) || QChar::isSpace(c))
            return true;
    }
    return false;
}

bool startsWithEncodedWebScheme(const QString &text)
{
    return text.startsWith(QLatin1String("http%3a"), Qt::CaseInsensitive) ||
           text.startsWith(QLatin1String("https%3a"), Qt::CaseInsensitive);
}

QString withDecodedAuthority(const QString &link)
{
    const qsizetype start = link.indexOf(QLatin1String("://"));
    if (start < 0)
        return link;
    qsizetype end = start + 3;
    while (end < link.size() && link.at(end) != QLatin1Char('/') &&
           link.at(end) != QLatin1Char('?') && link.at(end) != QLatin1Char('#'))
        ++end;
    const QString authority = link.mid(start + 3, end - start - 3);
    if (!authority.contains(QLatin1Char('%')))
        return link;
    return link.left(start + 3) + QUrl::fromPercentEncoding(authority.toUtf8()) + link.mid(end);
}
} // namespace

bool THLinkScheme::isSchemeArgument(const QString &argument)
{
    return argument.startsWith(QLatin1String(scheme) + QLatin1Char(':'), Qt::CaseInsensitive);
}

THLinkScheme::Result THLinkScheme::parse(const QString &argument)
{
    if (argument.size() > kMaxLength)
        return refused("##THLinkScheme:0##");
    if (!isSchemeArgument(argument))
        return refused("##THLinkScheme:1##");
    QString rest = argument.mid(qsizetype(qstrlen(scheme)) + 1);
    if (rest.isEmpty() || rest == QLatin1String("//"))
        return {true, QString(), QString()};
    // A link handed over as one encoded component: decode it once, never twice.
    if (startsWithEncodedWebScheme(rest))
        rest = QUrl::fromPercentEncoding(rest.toUtf8());
    // Openers that encode the whole link encode a non-ASCII host too; hosts are never
    // percent-encoded otherwise.
    rest = withDecodedAuthority(rest);
    if (hasHiddenOrSpace(rest))
        return refused("##THLinkScheme:2##");

    const QUrl url(rest, QUrl::StrictMode);
    const QString webScheme = url.scheme().toLower();
    if (!url.isValid() ||
        (webScheme != QLatin1String("http") && webScheme != QLatin1String("https")))
        return refused("##THLinkScheme:3##");
    // Only a full address: "http:/x" or "https:example.org" are not links anyone shares.
    if (!rest.mid(webScheme.size() + 1).startsWith(QLatin1String("//")) || url.host().isEmpty())
        return refused("##THLinkScheme:3##");
    // "https://bank.example@other.example/" shows one host and opens another.
    if (!url.userInfo().isEmpty() ||
        rest.section(QLatin1Char('/'), 2, 2).contains(QLatin1Char('@')))
        return refused("##THLinkScheme:4##");
    // The host must survive conversion to its ASCII form.
    if (QUrl::toAce(url.host()).isEmpty())
        return refused("##THLinkScheme:3##");
    const QString link = url.toString(QUrl::FullyEncoded);
    if (link.size() > kMaxLength)
        return refused("##THLinkScheme:0##");
    return {true, link, QString()};
}
