#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>

// Finds the short links of a text and collects their expansions: from the store's link
// cache when known, else by starting an expander per link. Expansions are written to the
// cache, so a link is fetched once per store. Main thread only.
class RTShortURLParser : public QObject
{
    Q_OBJECT
public:
    explicit RTShortURLParser(QObject *parent = nullptr);

    // The shortener or framing service owning url (a framer's name wins), or empty.
    [[nodiscard]] static QString shortenerNameFromURL(const QUrl &url);
    // A link of a text (unescaped) that names a service and more than a bare domain.
    [[nodiscard]] static bool linkQualifies(const QString &link);
    // The cache key of a link: dotlessUrl of its percent-escaped form.
    [[nodiscard]] static QString cacheKeyForLink(const QString &link);
    // Link as written in text -> its cached expansion, for the qualifying links of the
    // text. No network traffic; empty off the main thread.
    [[nodiscard]] static QHash<QString, QString>
    shortURLReplacementDictionaryForMessageString(const QString &text);

    // Starts expanding every qualifying link of text not yet cached. doneResolvingAllShortURLs
    // follows when none is outstanding (at once, when nothing had to be fetched).
    void parseStringForShortURLs(const QString &text);

    // Cache key of the short link -> long link, percent-escaped.
    [[nodiscard]] const QHash<QString, QString> &resolvedURLs() const { return m_resolvedURLs; }
    [[nodiscard]] int resolvingCount() const { return m_resolvingCount; }

signals:
    void doneResolvingAllShortURLs(RTShortURLParser *parser);

private:
    void shorteningFinished(const QString &longUrl, const QString &shortUrl);

    QHash<QString, QString> m_resolvedURLs;
    int m_resolvingCount = 0;
    bool m_starting = false;
};
