#include "text/RTLinkExpansionQueue.h"

#include "foundation/MainThread.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "foundation/StringAdditions.h"
#include "store/TADataManager.h"
#include "text/RTMessageTextParser.h"
#include "text/RTShortURLParser.h"

namespace {
// Arrivals within this many milliseconds are announced together.
constexpr int kAnnounceDelayMs = 150;
} // namespace

RTLinkExpansionQueue &RTLinkExpansionQueue::shared()
{
    static auto *queue = new RTLinkExpansionQueue;
    return *queue;
}

RTLinkExpansionQueue::RTLinkExpansionQueue(QObject *parent)
    : QObject(parent)
{
    m_announce.setSingleShot(true);
    m_announce.setInterval(kAnnounceDelayMs);
    connect(&m_announce, &QTimer::timeout, this, &RTLinkExpansionQueue::expansionsArrived);
}

RTLinkExpansionQueue::~RTLinkExpansionQueue()
{
    qDeleteAll(m_parsers);
}

void RTLinkExpansionQueue::hostTablesChanged()
{
    if (!m_announce.isActive())
        m_announce.start();
}

void RTLinkExpansionQueue::expandLinksIn(const QString &text)
{
    Q_ASSERT(isOnMainThread());
    if (!SettingsStore::shared().boolForKey(RTShouldResolveShortURLsKey))
        return;
    const TAUrlCache &cache = TADataManager::sharedManager().urlCache();
    QStringList wanted;
    for (const QString &link : RTMessageTextParser::linksInMessageText(text)) {
        const QString key = RTShortURLParser::cacheKeyForLink(link);
        if (m_tried.contains(key) || cache.contains(key) || !RTShortURLParser::linkQualifies(link))
            continue;
        if (m_tried.size() >= kMaxTriedLinks)
            m_tried.clear();
        m_tried.insert(key);
        wanted.append(link);
    }
    if (wanted.isEmpty())
        return;
    auto *parser = new RTShortURLParser(this);
    m_parsers.insert(parser);
    connect(parser, &RTShortURLParser::doneResolvingAllShortURLs, this,
            &RTLinkExpansionQueue::parserDone, Qt::QueuedConnection);
    parser->parseStringForShortURLs(wanted.join(u' '));
}

void RTLinkExpansionQueue::parserDone(RTShortURLParser *parser)
{
    if (!m_parsers.remove(parser))
        return;
    if (!parser->resolvedURLs().isEmpty() && !m_announce.isActive())
        m_announce.start();
    parser->deleteLater();
}

RTStyledText RTLinkExpansionQueue::withExpansions(const RTStyledText &styled, int maxLength)
{
    if (!isOnMainThread())
        return styled;
    const TAUrlCache &cache = TADataManager::sharedManager().urlCache();
    if (cache.count() == 0)
        return styled;
    RTStyledText out;
    bool changed = false;
    QString replacedLink; // a link split into runs (a highlight inside it) is shown once
    for (const RTTextRun &run : styled.runs()) {
        QString text = styled.text().mid(run.start, run.length);
        if (!replacedLink.isEmpty() && run.attributes.link == replacedLink)
            continue;
        replacedLink.clear();
        if (!run.attributes.link.isEmpty()) {
            const QString longUrl =
                cache.value(RTShortURLParser::cacheKeyForLink(run.attributes.link));
            if (!longUrl.isEmpty()) {
                text = longUrl.size() > maxLength && maxLength > 1
                           ? longUrl.left(maxLength - 1) + QChar(0x2026)
                           : longUrl;
                changed = true;
                replacedLink = run.attributes.link;
            }
        }
        out.insert(out.text().size(), text, run.attributes);
    }
    return changed ? out : styled;
}
