#pragma once

#include <QPalette>

// Light and dark palettes for the Fusion style, for desktops without a theme of their
// own (a bare X server) and for screenshots. A themed desktop's palette is kept.
namespace RTThemes {
[[nodiscard]] QPalette lightPalette();
[[nodiscard]] QPalette darkPalette();
// Fusion with the light or dark palette, applied to the whole application.
void apply(bool dark);
} // namespace RTThemes
