#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

class HttpError;
class HttpRequest;
class OperationQueue;

// Expands one short link: follows its redirects with a HEAD request, or, for a framing
// service's link, reads the page and expands the link its frame holds. Every expansion is
// bounded (time, redirects, page size, frames within frames) and ends in exactly one
// answer on the main thread: the long link, or none ("not expanded").
class RTShortURLResolver : public QObject, public std::enable_shared_from_this<RTShortURLResolver>
{
    Q_OBJECT
public:
    using Finished = std::function<void(const QString &longUrl, const QString &shortUrl)>;
    // Tries an expander of the user's own shortener accounts; false when none takes the
    // link. Installed by the sharing layer.
    using AccountExpander = std::function<bool(const QString &shortUrl, Finished finished)>;

    static constexpr double kDefaultTimeOutSeconds = 15;
    // Framing pages larger than this are not read.
    static constexpr qint64 kMaxPageBytes = 512 * 1024;
    // A framed link may lead to another framing page this many times.
    static constexpr int kMaxFrameDepth = 3;

    explicit RTShortURLResolver(int frameDepth = 0);
    ~RTShortURLResolver() override;

    // Starts the expansion; finished gets (long or empty, the short link). Main thread.
    void longByShortStringURL(const QString &shortUrl, Finished finished);
    [[nodiscard]] static QString shortenerServiceName()
    {
        return QStringLiteral("RTShortURLResolver");
    }

    // An account's expander when one takes the link, else a new resolver.
    static void urlExpanderForShortURL(const QString &shortUrl, Finished finished,
                                       int frameDepth = 0);
    static void setAccountExpander(AccountExpander expander);

    // Headers of a desktop browser; the identification is one of 20, picked at random.
    static void setBrowserLikeHeadToRequest(HttpRequest &request);
    [[nodiscard]] static const QStringList &browserIdentifications();

    // Seconds one request may wait for an answer (tests shorten it).
    [[nodiscard]] static double timeOutSeconds();
    static void setTimeOutSeconds(double seconds);

    // The target a framing page embeds, or empty. method "IFRAME" looks for the iframe
    // with frameId; anything else for the first frame of a frameset not on framerHost.
    [[nodiscard]] static QString framedTarget(const QString &page, const QString &method,
                                              const QString &frameId, const QString &framerHost);

    [[nodiscard]] QUrl resolvedURL() const { return m_resolvedURL; }
    [[nodiscard]] QUrl shortURL() const { return m_shortURL; }
    [[nodiscard]] bool isFramer() const { return m_isFramer; }
    [[nodiscard]] QString framerHost() const { return m_framerHost; }

private:
    void start();
    void requestDone(HttpRequest *request);
    void requestFailed(HttpRequest *request);
    void finish(const QString &longUrl, const QString &failureMessage);

    QUrl m_resolvedURL;
    QUrl m_shortURL;
    QString m_shortString;
    QString m_framerHost;
    QString m_framerMethod;
    QString m_frameId;
    bool m_isFramer = false;
    QString m_lastResolveError;
    Finished m_finished;
    OperationQueue &m_queue;
    int m_frameDepth = 0;
};
