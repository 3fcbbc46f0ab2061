#pragma once

#include <QString>

// Escaping helpers used wherever text becomes part of a URL, and back.
// All work on UTF-8 bytes; all are pure and safe from any thread.

// Percent-escapes every character that may not appear in a URL (blanks, quotes, angle
// brackets, braces, back-slash, control and non-ASCII characters). "%" is left alone so
// an already escaped URL passes through unchanged.
[[nodiscard]] QString standardScapedOutString(const QString &s);

// Replaces every percent escape by its byte and decodes the result as UTF-8. A string
// whose escapes do not decode to valid UTF-8 comes back unchanged.
[[nodiscard]] QString standardUnscapedString(const QString &s);

// Percent-escapes everything except ASCII letters, digits and "-._~", with upper-case
// hexadecimal digits: the form for query values and OAuth signatures.
[[nodiscard]] QString encodeForQueryString(const QString &s);
// The same for raw bytes, which need not be UTF-8.
[[nodiscard]] QString encodeForQueryString(const QByteArray &bytes);

// True when the string contains "%" followed by two hexadecimal digits anywhere.
[[nodiscard]] bool isURLEncoded(const QString &s);

// Replaces XML and HTML character entities (named, decimal and hexadecimal) by their
// characters. Unknown entities and invalid code points are left as they stand.
[[nodiscard]] QString stringByUnescapingHTML(const QString &s);
// The value of name="..." within an HTML tag (name includes the "=", matched without
// regard to case): the text between the next two double quotes; empty when absent.
[[nodiscard]] QString htmlAttributeValue(QStringView tag, QLatin1String name);
