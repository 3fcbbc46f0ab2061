#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>

// Reads an RSS appcast: one item per release. The version comes from a "version"
// element or from a "version" attribute of the enclosure, whatever the namespace
// prefix, so feeds written for other updaters read too.
class AppcastParser
{
public:
    struct Item
    {
        QString title;
        QString version;        // compared by compareVersions()
        QString displayVersion; // shown to the user; the version when absent
        QUrl releaseNotesLink;  // http(s) only
        QUrl downloadUrl;       // http(s) only; never fetched on Linux
        QDateTime pubDate;
    };

    // The items with a version, in feed order. Empty, with *error set, for a feed that
    // is too large, not well-formed XML or not RSS.
    [[nodiscard]] static QList<Item> parse(const QByteArray &feed, QString *error = nullptr);
    // The item with the highest version, or nullptr.
    [[nodiscard]] static const Item *newest(const QList<Item> &items);

    // <0, 0, >0 as a is older than, the same as, or newer than b. "1.10" > "1.9",
    // "1.0" == "1.0.0", and a pre-release sorts before its release: "1.0b2" < "1.0".
    [[nodiscard]] static int compareVersions(const QString &a, const QString &b);

    static constexpr qsizetype kMaxFeedBytes = 1024 * 1024;
    static constexpr int kMaxItems = 500;
    static constexpr qsizetype kMaxFieldChars = 2048;
};
