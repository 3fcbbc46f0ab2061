#pragma once

#include <QString>

// Cache keys for URLs: the standard Base64 of the URL's UTF-8 bytes with a line break
// after every 64 output characters and at the end. Keys hold no dots, so they are safe
// anywhere a dotted string would be split. Pure and thread-safe.
[[nodiscard]] QString dotlessUrl(const QString &url);

// The URL a key came from; a null string when the key is not valid Base64 or does not
// decode to UTF-8.
[[nodiscard]] QString redottedUrl(const QString &key);
