#include "helper/THLinkScheme.h"

#include <gtest/gtest.h>

TEST(THLinkScheme, AcceptsOnlyPlainWebAddresses)
{
    struct Case
    {
        const char *what;
        QString argument;
        bool accepted;
        QString link;
    };
    const QString longPath = QString(5000, QLatin1Char('a'));
    const Case cases[] = {
        {"bare scheme: a plain new post", QStringLiteral("talvo:"), true, QString()},
        {"empty authority", QStringLiteral("talvo://"), true, QString()},
        {"scheme in capitals", QStringLiteral("TALVO:https://example.org/"), true,
         QStringLiteral("https://example.org/")},
        {"query and fragment kept", QStringLiteral("talvo:https://example.org/a?b=1&c=d#top"), true,
         QStringLiteral("https://example.org/a?b=1&c=d#top")},
        {"http without path", QStringLiteral("talvo:http://example.org"), true,
         QStringLiteral("http://example.org")},
        {"host percent-encoded by the opener",
         QStringLiteral("talvo:https://b%C3%BCcher.example/x"), true,
         QStringLiteral("https://xn--bcher-kva.example/x")},
        {"raw UTF-8 as xdg-open hands it",
         QStringLiteral("talvo:https://b\u00fccher.example/?q=caf\u00e9"), true,
         QStringLiteral("https://xn--bcher-kva.example/?q=caf%C3%A9")},
        {"address encoded as one component",
         QStringLiteral("talvo:https%3A%2F%2Fexample.org%2Fa%3Fb%3D1"), true,
         QStringLiteral("https://example.org/a?b=1")},
        {"the scheme's name inside the address stays",
         QStringLiteral("talvo:https://example.org/?u=talvo:x"), true,
         QStringLiteral("https://example.org/?u=talvo:x")},

        {"encoded twice is decoded once only",
         QStringLiteral("talvo:https%253A%252F%252Fexample.org"), false, QString()},
        {"script", QStringLiteral("talvo:javascript:alert(1)"), false, QString()},
        {"local file", QStringLiteral("talvo:file:///etc/passwd"), false, QString()},
        {"data", QStringLiteral("talvo:data:text/html,<b>x</b>"), false, QString()},
        {"other scheme", QStringLiteral("talvo:ftp://example.org/"), false, QString()},
        {"no scheme", QStringLiteral("talvo:example.org"), false, QString()},
        {"no authority", QStringLiteral("talvo:https:example.org"), false, QString()},
        {"no host", QStringLiteral("talvo:https://"), false, QString()},
        {"user and password", QStringLiteral("talvo:https://user:pw@example.org/"), false,
         QString()},
        {"host disguised by user info", QStringLiteral("talvo:https://bank.example@evil.example/"),
         false, QString()},
        {"space", QStringLiteral("talvo:https://example.org/a b"), false, QString()},
        {"line break adds text", QStringLiteral("talvo:https://example.org/\nbuy now"), false,
         QString()},
        {"encoded line break", QStringLiteral("talvo:https%3A%2F%2Fexample.org%2F%0Abuy"), false,
         QString()},
        {"direction override", QStringLiteral("talvo:https://example.org/\u202egnp.exe"), false,
         QString()},
        {"invalid host", QStringLiteral("talvo:https://exa mple.com/"), false, QString()},
        {"empty label", QStringLiteral("talvo:https://a..b/"), false, QString()},
        {"port out of range", QStringLiteral("talvo:https://example.org:99999/"), false, QString()},
        {"nested scheme", QStringLiteral("talvo:talvo:https://example.org/"), false, QString()},
        {"another scheme's link", QStringLiteral("https://example.org/"), false, QString()},
        {"longer name", QStringLiteral("talvox:https://example.org/"), false, QString()},
        {"too long", QStringLiteral("talvo:https://example.org/") + longPath, false, QString()},
    };
    for (const Case &c : cases) {
        const THLinkScheme::Result result = THLinkScheme::parse(c.argument);
        EXPECT_EQ(result.accepted, c.accepted) << c.what;
        EXPECT_EQ(result.link, c.link) << c.what;
        // A refusal always says why; an accepted link never carries a reason.
        EXPECT_EQ(result.error.isEmpty(), c.accepted) << c.what << ": " << qPrintable(result.error);
    }
}
