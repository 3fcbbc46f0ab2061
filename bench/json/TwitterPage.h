#pragma once

#include <QByteArray>

// A home timeline page as the REST API sends it: count statuses with nested user
// records, every fourth a retweet carrying the original status, entities, 18-digit ids,
// escaped slashes and some non-ASCII text. The same bytes on every call.
[[nodiscard]] QByteArray makeTwitterPage(int count = 200);
