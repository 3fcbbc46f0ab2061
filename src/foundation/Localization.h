#pragma once

#include <QString>

// User-visible texts are looked up by keys of the form "##File:N##". The English values
// live in JSON tables under resources/texts/ (one per layer), compiled into the program.
// An unknown key comes back unchanged, so a missing entry shows up plainly.
[[nodiscard]] QString localizedString(const char *key);
[[nodiscard]] QString localizedString(const QString &key);
