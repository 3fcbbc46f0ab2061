#include "text/RTShortURLParser.h"

#include "foundation/MainThread.h"
#include "foundation/StringAdditions.h"
#include "foundation/UrlKeys.h"
#include "store/TADataManager.h"
#include "text/RTLinkHosts.h"
#include "text/RTMessageTextParser.h"
#include "text/RTShortURLResolver.h"

#include <QPointer>

RTShortURLParser::RTShortURLParser(QObject *parent)
    : QObject(parent)
{
}

QString RTShortURLParser::shortenerNameFromURL(const QUrl &url)
{
    const QString host = url.host();
    if (host.isEmpty())
        return {};
    const RTLinkHostTables tables = RTLinkHosts::tables();
    QString name;
    for (const QString &shortener : tables.shortenersList) {
        if (!shortener.isEmpty() && host.contains(shortener, Qt::CaseInsensitive)) {
            name = host;
            break;
        }
    }
    for (auto it = tables.framers.cbegin(); it != tables.framers.cend(); ++it) {
        const QString domain = it.value().toMap().value(QStringLiteral("domain")).toString();
        if (!domain.isEmpty() && host.contains(domain, Qt::CaseInsensitive))
            return it.key();
    }
    return name;
}

bool RTShortURLParser::linkQualifies(const QString &link)
{
    const QUrl url(standardScapedOutString(link), QUrl::TolerantMode);
    if (!url.isValid() || shortenerNameFromURL(url).isEmpty())
        return false;
    return url.path(QUrl::FullyEncoded).size() > 1 || url.query(QUrl::FullyEncoded).size() > 1;
}

QString RTShortURLParser::cacheKeyForLink(const QString &link)
{
    return dotlessUrl(standardScapedOutString(standardUnscapedString(link)));
}

QHash<QString, QString>
RTShortURLParser::shortURLReplacementDictionaryForMessageString(const QString &text)
{
    // The link cache belongs to the main thread; bodies built elsewhere show short links
    // until the view asks again.
    if (!isOnMainThread())
        return {};
    const TAUrlCache &cache = TADataManager::sharedManager().urlCache();
    QHash<QString, QString> out;
    if (cache.count() == 0)
        return out;
    for (const RTParseRecord &record : RTMessageTextParser::linksRangesInMessageText(text)) {
        if (!record.linkIsValid || out.contains(record.value))
            continue;
        const QString link = standardUnscapedString(record.link);
        if (!linkQualifies(link))
            continue;
        const QString longUrl = cache.value(cacheKeyForLink(link));
        if (!longUrl.isEmpty())
            out.insert(record.value, longUrl);
    }
    return out;
}

void RTShortURLParser::parseStringForShortURLs(const QString &text)
{
    Q_ASSERT(isOnMainThread());
    TAUrlCache &cache = TADataManager::sharedManager().urlCache();
    QStringList started;
    m_starting = true;
    for (const QString &link : RTMessageTextParser::linksInMessageText(text)) {
        if (!linkQualifies(link))
            continue;
        const QString key = cacheKeyForLink(link);
        if (cache.contains(key)) {
            m_resolvedURLs.insert(key, cache.value(key));
            continue;
        }
        if (started.contains(key))
            continue;
        started.append(key);
        ++m_resolvingCount;
        QPointer<RTShortURLParser> self(this);
        RTShortURLResolver::urlExpanderForShortURL(
            link, [self](const QString &longUrl, const QString &shortUrl) {
                if (self)
                    self->shorteningFinished(longUrl, shortUrl);
            });
    }
    m_starting = false;
    if (m_resolvingCount == 0)
        emit doneResolvingAllShortURLs(this);
}

void RTShortURLParser::shorteningFinished(const QString &longUrl, const QString &shortUrl)
{
    if (!longUrl.isEmpty() && !shortUrl.isEmpty()) {
        const QString key = cacheKeyForLink(shortUrl);
        const QString escaped = standardScapedOutString(longUrl);
        m_resolvedURLs.insert(key, escaped);
        TADataManager::sharedManager().urlCache().setValue(key, escaped);
    }
    if (--m_resolvingCount == 0 && !m_starting)
        emit doneResolvingAllShortURLs(this);
}
