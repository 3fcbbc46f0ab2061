#pragma once

#include <QString>

// The talvo: link scheme. Two forms are accepted:
//   talvo:            (or talvo://) a new post with no link
//   talvo:<address>   a new post sharing an http or https address, as a browser hands it
//                     over, raw or percent-encoded
// Anything else is refused with a reason: the shared address goes straight into a post, so
// nothing that is not plainly a web address may get through.
class THLinkScheme
{
public:
    static constexpr const char *scheme = "talvo";
    // Longer than any address a browser or a shortener handles.
    static constexpr qsizetype kMaxLength = 4096;

    struct Result
    {
        bool accepted = false;
        QString link;  // the web address to share; empty for a plain new post
        QString error; // why a refused link was refused
    };

    [[nodiscard]] static Result parse(const QString &argument);
    // Whether a command-line argument is meant as a link (it names the scheme).
    [[nodiscard]] static bool isSchemeArgument(const QString &argument);
};
