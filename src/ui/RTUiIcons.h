#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

// Line icons from the SVGs in resources/icons, tinted with a palette colour, so they
// follow light and dark themes and stay sharp at any scale.
namespace RTUiIcons {
// name: a file name without ".svg" ("home", "reload").
[[nodiscard]] QIcon icon(const QString &name, const QColor &color);
// The icon a node's image name stands for ("node_home", "combined_mentions_unseen").
[[nodiscard]] QString iconNameForImage(const QString &imageName);
} // namespace RTUiIcons
