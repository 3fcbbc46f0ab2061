#include "text/RTShortURLResolver.h"

#include "foundation/Log.h"
#include "foundation/MainThread.h"
#include "foundation/OperationQueue.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "foundation/StringAdditions.h"
#include "http/HttpRequest.h"
#include "network/RTErrorMessageManager.h"
#include "text/RTLinkHosts.h"

#include <QMutex>
#include <QRandomGenerator>
#include <atomic>

namespace {
QMutex g_expanderMutex;
RTShortURLResolver::AccountExpander *g_accountExpander = nullptr;
std::atomic<double> g_timeOutSeconds{RTShortURLResolver::kDefaultTimeOutSeconds};

// Characters a frame tag may hold between "<iframe" and "</iframe>".
bool isFrameTagChar(QChar c)
{
    if (c.isLetterOrNumber() || c.category() == QChar::Symbol_Other)
        return true;
    static const QString allowed = QStringLiteral("-+_#:/@$?%^'!.,&*=>~;(){}\" ");
    return allowed.contains(c);
}

QString iframeTarget(const QString &page, const QString &frameId)
{
    static const QLatin1String open("<iframe");
    static const QLatin1String close("</iframe>");
    qsizetype from = 0;
    for (;;) {
        const qsizetype start = page.indexOf(open, from, Qt::CaseInsensitive);
        if (start < 0)
            return {};
        // The element may not hold "<" before its end tag, so the next "<" decides.
        const qsizetype next = page.indexOf(u'<', start + open.size());
        if (next < 0)
            return {};
        from = next;
        if (QStringView(page).mid(next, close.size()).compare(close, Qt::CaseInsensitive) != 0)
            continue;
        const QStringView tag =
            QStringView(page).mid(start + open.size(), next - start - open.size());
        if (!std::all_of(tag.begin(), tag.end(), isFrameTagChar))
            continue;
        if (htmlAttributeValue(tag, QLatin1String("id=")) == frameId)
            return htmlAttributeValue(tag, QLatin1String("src="));
    }
}

QString framesetTarget(const QString &page, const QString &framerHost)
{
    static const QLatin1String open("<frameset ");
    static const QLatin1String close("</frameset>");
    static const QLatin1String frame("<frame ");
    qsizetype from = 0;
    for (;;) {
        const qsizetype start = page.indexOf(open, from, Qt::CaseInsensitive);
        if (start < 0)
            return {};
        const qsizetype end = page.indexOf(close, start, Qt::CaseInsensitive);
        if (end < 0)
            return {};
        const QStringView block = QStringView(page).mid(start, end - start);
        for (qsizetype f = block.indexOf(frame, 0, Qt::CaseInsensitive); f >= 0;
             f = block.indexOf(frame, f + frame.size(), Qt::CaseInsensitive)) {
            qsizetype tagEnd = block.indexOf(u'>', f);
            if (tagEnd < 0)
                tagEnd = block.size();
            const QString src = htmlAttributeValue(block.mid(f, tagEnd - f), QLatin1String("src="));
            if (!src.isEmpty() && !src.contains(framerHost, Qt::CaseInsensitive))
                return src;
        }
        from = end + close.size();
    }
}
} // namespace

RTShortURLResolver::RTShortURLResolver(int frameDepth)
    : m_queue(OperationQueue::forType(OperationQueue::UrlFollowing))
    , m_frameDepth(frameDepth)
{
}

RTShortURLResolver::~RTShortURLResolver() = default;

double RTShortURLResolver::timeOutSeconds()
{
    return g_timeOutSeconds.load();
}

void RTShortURLResolver::setTimeOutSeconds(double seconds)
{
    g_timeOutSeconds.store(seconds > 0 ? seconds : kDefaultTimeOutSeconds);
}

void RTShortURLResolver::setAccountExpander(AccountExpander expander)
{
    QMutexLocker lock(&g_expanderMutex);
    delete g_accountExpander;
    g_accountExpander = expander ? new AccountExpander(std::move(expander)) : nullptr;
}

void RTShortURLResolver::urlExpanderForShortURL(const QString &shortUrl, Finished finished,
                                                int frameDepth)
{
    AccountExpander account;
    {
        QMutexLocker lock(&g_expanderMutex);
        if (g_accountExpander)
            account = *g_accountExpander;
    }
    if (account && account(shortUrl, finished))
        return;
    std::make_shared<RTShortURLResolver>(frameDepth)
        ->longByShortStringURL(shortUrl, std::move(finished));
}

const QStringList &RTShortURLResolver::browserIdentifications()
{
    static const QStringList ids = [] {
        QStringList out;
        const char *const systems[] = {"Windows; U; Windows NT 6.1; en-US",
                                       "Windows; U; Windows NT 6.0; en-US",
                                       "Windows; U; Windows NT 5.1; en-US",
                                       "Windows; U; Windows NT 5.1; en-GB",
                                       "Windows; U; Windows NT 6.1; de",
                                       "Windows; U; Windows NT 6.0; fr",
                                       "Windows; U; Windows NT 5.1; es-ES",
                                       "Windows; U; Windows NT 5.1; it",
                                       "Windows; U; Windows NT 6.1; ja",
                                       "Windows; U; Windows NT 5.1; pt-BR",
                                       "Macintosh; U; Intel Mac OS X 10.5; en-US",
                                       "Macintosh; U; Intel Mac OS X 10.5; de",
                                       "Macintosh; U; Intel Mac OS X 10.4; en-US",
                                       "Macintosh; U; PPC Mac OS X 10.5; en-US",
                                       "Macintosh; U; Intel Mac OS X 10.5; fr",
                                       "X11; U; Linux i686; en-US",
                                       "X11; U; Linux x86_64; en-US",
                                       "X11; U; Linux i686; de",
                                       "X11; U; Linux i686; en-GB",
                                       "X11; U; FreeBSD i386; en-US"};
        for (const char *system : systems)
            out << QStringLiteral("Mozilla/5.0 (%1; rv:1.9.1b3) Gecko/20090305 Firefox/3.1b3")
                       .arg(QLatin1String(system));
        return out;
    }();
    return ids;
}

void RTShortURLResolver::setBrowserLikeHeadToRequest(HttpRequest &request)
{
    const QStringList &ids = browserIdentifications();
    const QString id = ids.at(int(QRandomGenerator::global()->bounded(qint64(ids.size()))));
    request.addRequestHeader("User-Agent", id.toUtf8());
    request.addRequestHeader("Accept",
                             "text/xml,text/html;q=0.9,text/plain;q=0.8,image/png,*/*;q=0.5");
    request.addRequestHeader("Accept-Language", "en-gb,en;q=0.5");
    request.addRequestHeader("Accept-Charset", "ISO-8859-1,utf-8;q=0.7,*;q=0.7");
    request.addRequestHeader("Keep-Alive", "300");
    request.addRequestHeader("Connection", "keep-alive");
}

QString RTShortURLResolver::framedTarget(const QString &page, const QString &method,
                                         const QString &frameId, const QString &framerHost)
{
    if (method == QLatin1String("IFRAME"))
        return frameId.isEmpty() ? QString() : iframeTarget(page, frameId);
    return framerHost.isEmpty() ? QString() : framesetTarget(page, framerHost);
}

void RTShortURLResolver::longByShortStringURL(const QString &shortUrl, Finished finished)
{
    Q_ASSERT(isOnMainThread());
    m_isFramer = false;
    m_shortString = shortUrl;
    m_shortURL = QUrl(standardScapedOutString(shortUrl), QUrl::TolerantMode);
    m_finished = std::move(finished);
    const QVariantMap framers = RTLinkHosts::tables().framers;
    for (auto it = framers.cbegin(); it != framers.cend(); ++it) {
        const QVariantMap record = it.value().toMap();
        const QString domain = record.value(QStringLiteral("domain")).toString();
        if (!domain.isEmpty() && m_shortURL.host().compare(domain, Qt::CaseInsensitive) == 0) {
            m_framerHost = domain;
            m_framerMethod = record.value(QStringLiteral("method")).toString();
            m_frameId = record.value(QStringLiteral("frame_id")).toString();
            m_isFramer = true;
            break;
        }
    }
    start();
}

void RTShortURLResolver::start()
{
    if (!m_shortURL.isValid() || m_shortURL.host().isEmpty() ||
        (m_shortURL.scheme() != QLatin1String("http") &&
         m_shortURL.scheme() != QLatin1String("https"))) {
        // Answered later, as every expansion is, so callers see one order of events.
        auto self = shared_from_this();
        runOnMainThread([self] { self->finish(QString(), QString()); }, false);
        return;
    }
    auto request = std::make_shared<HttpRequest>(m_shortURL);
    setBrowserLikeHeadToRequest(*request);
    request->setShouldUseRFC2616RedirectBehaviour(true);
    request->setRequestMethod(m_isFramer ? QStringLiteral("GET") : QStringLiteral("HEAD"));
    const double timeOut = timeOutSeconds();
    request->setTimeOutSeconds(timeOut);
    // A host that drips its answer still ends in time.
    request->setDeadlineSeconds(timeOut * 2);
    request->setMaxResponseBodySize(kMaxPageBytes);
    auto self = shared_from_this();
    request->setDidFinishSelector([self](HttpRequest *r) { self->requestDone(r); });
    request->setDidFailSelector([self](HttpRequest *r) { self->requestFailed(r); });
    m_queue.addOperation(request->operation());
}

void RTShortURLResolver::requestDone(HttpRequest *request)
{
    const QUrl finalUrl = request->url();
    const QString failedFramed =
        QStringLiteral("RTShortURLResolver - Failed to resolve framed ShortURL: <%1> ")
            .arg(m_shortURL.toString());
    if (!m_isFramer || finalUrl.host().compare(m_shortURL.host(), Qt::CaseInsensitive) != 0) {
        // A short link that did not move was not expanded (an unknown code, a refused
        // HEAD); the page a frame holds is an answer in itself.
        if (m_frameDepth == 0 && finalUrl.adjusted(QUrl::StripTrailingSlash) ==
                                     m_shortURL.adjusted(QUrl::StripTrailingSlash)) {
            finish(QString(), QStringLiteral("RTShortURLResolver - Failed to resolve ShortURL: "
                                             "<%1> ")
                                  .arg(m_shortURL.toString()));
            return;
        }
        m_resolvedURL = finalUrl;
        finish(finalUrl.toString(QUrl::FullyEncoded), QString());
        return;
    }
    QString target =
        framedTarget(request->responseString(), m_framerMethod, m_frameId, m_framerHost);
    target = stringByUnescapingHTML(target).trimmed();
    const QUrl targetUrl = m_shortURL.resolved(QUrl(target, QUrl::TolerantMode));
    if (target.isEmpty() || !targetUrl.isValid() || targetUrl.host().isEmpty() ||
        m_frameDepth >= kMaxFrameDepth) {
        finish(QString(), failedFramed);
        return;
    }
    auto self = shared_from_this();
    urlExpanderForShortURL(
        targetUrl.toString(QUrl::FullyEncoded),
        [self, failedFramed](const QString &longUrl, const QString &) {
            if (longUrl.isEmpty()) {
                self->finish(QString(), failedFramed);
                return;
            }
            self->m_resolvedURL = QUrl(longUrl);
            self->finish(longUrl, QString());
        },
        m_frameDepth + 1);
}

void RTShortURLResolver::requestFailed(HttpRequest *request)
{
    m_lastResolveError = request->error().localizedDescription();
    m_resolvedURL = QUrl();
    finish(QString(), QStringLiteral("RTShortURLResolver - Failed to resolve ShortURL: <%1> ")
                          .arg(m_shortURL.toString()));
}

void RTShortURLResolver::finish(const QString &longUrl, const QString &failureMessage)
{
    if (!failureMessage.isEmpty()) {
        qCDebug(lcText).noquote() << failureMessage << m_lastResolveError;
        if (SettingsStore::shared().boolForKey(RTShowErrorMessagesForURLResolvingKey))
            RTErrorMessageManager::sharedManager().postErrorMessage(
                std::make_shared<RTErrorMessage>(failureMessage, QVariantMap()), QString(), true);
    }
    Finished finished = std::move(m_finished);
    m_finished = nullptr;
    if (finished)
        finished(longUrl, m_shortString);
}
