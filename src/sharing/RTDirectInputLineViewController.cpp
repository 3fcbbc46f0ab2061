#include "sharing/RTDirectInputLineViewController.h"

#include "accounts/RTServiceRegistry.h"
#include "accounts/RTServiceTalvo.h"
#include "accounts/RTShortenerService.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "foundation/UrlKeys.h"
#include "platform/DesktopApplication.h"
#include "sharing/RTImageUploader.h"
#include "sharing/RTRequestCallback.h"
#include "sharing/RTShortenerClient.h"
#include "text/RTMessageTextParser.h"
#include "twitter/RTServiceTwitter.h"

#include <QPointer>

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

bool setting(const char *name)
{
    return SettingsStore::shared().boolForKey(key(name));
}

QHash<int, RTDirectInputLineViewController::Factory> &factories()
{
    static QHash<int, RTDirectInputLineViewController::Factory> table;
    return table;
}

QHash<const RTService *, QPointer<RTDirectInputLineViewController>> &controllers()
{
    static QHash<const RTService *, QPointer<RTDirectInputLineViewController>> table;
    return table;
}

} // namespace

RTDirectInputLineViewController::RTDirectInputLineViewController(RTServicePtr service,
                                                                 QObject *parent)
    : QObject(parent)
    , m_service(std::move(service))
{
    // Whenever the line is shown again it starts empty, unless it holds unsent text.
    connect(&SettingsStore::shared(), &SettingsStore::valueChanged, this,
            [this](const QString &changed) {
                if (changed == key(TAShowDirectInputLineKey) && setting(TAShowDirectInputLineKey) &&
                    m_text.isEmpty())
                    clearDirectInputLine();
            });
}

RTDirectInputLineViewController::~RTDirectInputLineViewController()
{
    cancelShrink();
    cancelUpload();
}

void RTDirectInputLineViewController::registerControllerFactory(int serviceType, Factory factory)
{
    factories().insert(serviceType, std::move(factory));
}

RTDirectInputLineViewController *
RTDirectInputLineViewController::directInputlineViewController(const RTServicePtr &service)
{
    if (!service)
        return nullptr;
    auto &table = controllers();
    if (RTDirectInputLineViewController *existing = table.value(service.get()))
        return existing;
    const Factory factory = factories().value(service->serviceType());
    if (!factory)
        return nullptr;
    RTDirectInputLineViewController *made = factory(service);
    if (made)
        table.insert(service.get(), made);
    return made;
}

RTDirectInputLineViewController *
RTDirectInputLineViewController::newControllerForService(const RTServicePtr &service)
{
    if (!service)
        return nullptr;
    const Factory factory = factories().value(service->serviceType());
    return factory ? factory(service) : nullptr;
}

void RTDirectInputLineViewController::releaseControllerForService(const RTService *service)
{
    if (QPointer<RTDirectInputLineViewController> c = controllers().take(service))
        delete c.data();
}

void RTDirectInputLineViewController::releaseAllControllers()
{
    const auto all = std::exchange(controllers(), {});
    for (const QPointer<RTDirectInputLineViewController> &c : all)
        delete c.data();
}

void RTDirectInputLineViewController::setText(const QString &text)
{
    if (m_text == text)
        return;
    m_text = text;
    emit textChanged(m_text);
}

void RTDirectInputLineViewController::setSelectedRange(qsizetype location, qsizetype length)
{
    location = qBound<qsizetype>(0, location, m_text.size());
    length = qBound<qsizetype>(0, length, m_text.size() - location);
    m_selectionStart = location;
    m_selectionLength = length;
    emit selectionChanged(location, length);
}

int RTDirectInputLineViewController::remaining() const
{
    // Characters are UTF-16 code units, as the services count them.
    return m_limitTextLenght - int(qMin<qsizetype>(m_text.size(), 1 << 24));
}

void RTDirectInputLineViewController::setLimited(bool limited, int budget)
{
    m_limited = limited;
    m_limitTextLenght = budget;
}

void RTDirectInputLineViewController::setPostEnabled(bool enabled)
{
    m_postEnabled = enabled;
}

void RTDirectInputLineViewController::beep() const
{
    if (DesktopApplication::hasShared())
        DesktopApplication::shared().beep();
}

bool RTDirectInputLineViewController::shouldChangeText(qsizetype location, qsizetype length,
                                                       const QString &replacement)
{
    if (replacement.isEmpty())
        return true;
    if (m_limited && (location >= m_limitTextLenght || location + length >= m_limitTextLenght) &&
        setting(RTLimitInputLengthKey)) {
        // Links are shortened before posting, so text with a link may go past the budget.
        if (RTMessageTextParser::linksRangesInMessageText(replacement).isEmpty()) {
            beep();
            return false;
        }
    }
    if (location > kHardTextCeiling || location + length > kHardTextCeiling ||
        m_text.size() - length + replacement.size() > kHardTextCeiling + 1) {
        beep();
        return false;
    }
    if (replacement == QLatin1String(" "))
        emit mentionsPopupRequested(false);
    return true;
}

void RTDirectInputLineViewController::textDidChange(const QString &text, qsizetype caret)
{
    m_text = text;
    m_selectionStart = qBound<qsizetype>(0, caret, m_text.size());
    m_selectionLength = 0;
    dealWithMessage(m_text);
}

bool RTDirectInputLineViewController::pasteText(const QString &pasted)
{
    if (!shouldChangeText(m_selectionStart, m_selectionLength, pasted))
        return false;
    QString next = m_text;
    next.replace(m_selectionStart, m_selectionLength, pasted);
    const qsizetype caret = m_selectionStart + pasted.size();
    setText(next);
    setSelectedRange(caret);
    dealWithMessage(m_text);
    shortenLinksIfNeeded();
    return true;
}

void RTDirectInputLineViewController::dealWithMessage(const QString &text)
{
    if (m_limited) {
        const int left = m_limitTextLenght - int(qMin<qsizetype>(text.size(), 1 << 24));
        if (left < 0) {
            m_counterStyle = CounterStyle::Over;
            // Links are shortened before posting, which may bring the text within the
            // budget; without one there is no way to post.
            setPostEnabled(hasShortenableLinks(text));
        } else {
            m_counterStyle = left <= 10 ? CounterStyle::Warning : CounterStyle::Normal;
            setPostEnabled(!text.isEmpty());
        }
    } else {
        m_counterStyle = CounterStyle::Normal;
        setPostEnabled(!text.trimmed().isEmpty());
    }
    emit countChanged();
}

void RTDirectInputLineViewController::clearMessageText()
{
    setText(QString());
    setSelectedRange(0);
    dealWithMessage(m_text);
    emit focusRequested();
}

void RTDirectInputLineViewController::clearDirectInputLine()
{
    clearMessageText();
}

bool RTDirectInputLineViewController::isReadyToPost()
{
    if (!m_postEnabled || m_text.isEmpty() || isShrinking())
        return false;
    if (m_isShortening) {
        m_isPendingPost = true;
        return false;
    }
    if ((!m_limited || m_text.size() <= m_limitTextLenght) &&
        !setting(RTAlwaysShortenLinksInMessagesKey)) {
        m_isPendingPost = false;
        return true;
    }
    if (m_isPendingPost) {
        m_isPendingPost = false;
        // Shortening did not bring the text within the budget: it stays for the user.
        return !m_limited || m_text.size() <= m_limitTextLenght;
    }
    m_isPendingPost = true;
    shortenLinks();
    return false;
}

QStringList RTDirectInputLineViewController::knownShortDomains() const
{
    QStringList domains;
    for (const RTServicePtr &s : RTServiceRegistry::shared().services()) {
        if (const auto companion = std::dynamic_pointer_cast<RTServiceTalvo>(s)) {
            domains << companion->shortenersList();
            const QVariantMap imagers = companion->imagers();
            for (auto it = imagers.cbegin(); it != imagers.cend(); ++it) {
                const QString domain =
                    it.value().toMap().value(QStringLiteral("domain")).toString();
                domains << (domain.isEmpty() ? it.key() : domain);
            }
        }
    }
    if (domains.isEmpty())
        domains = RTMessageTextParser::defaultShortenerHosts();
    domains.removeAll(QString());
    return domains;
}

bool RTDirectInputLineViewController::hasShortenableLinks(const QString &text) const
{
    const QStringList links = RTMessageTextParser::unescapedLinksInMessageText(text);
    if (links.isEmpty())
        return false;
    const QStringList domains = knownShortDomains();
    for (const QString &link : links) {
        bool known = m_pictureLinks.contains(link);
        for (const QString &domain : domains)
            known = known || link.contains(domain, Qt::CaseInsensitive);
        if (!known)
            return true;
    }
    return false;
}

RTServicePtr RTDirectInputLineViewController::accountShortener() const
{
    if (const auto twitter = std::dynamic_pointer_cast<RTServiceTwitter>(m_service))
        return twitter->defaultShortener();
    return nullptr;
}

bool RTDirectInputLineViewController::requestShortening(const RTServicePtr &shortener,
                                                        const QString &longUrl)
{
    QPointer<RTDirectInputLineViewController> self(this);
    return RTShortenerClient::shortByLongStringURL(
        shortener, longUrl, [self, shortener](const QString &longURL, const QString &shortURL) {
            if (self)
                self->shorteningFinishedWithShortener(shortener, longURL, shortURL);
        });
}

void RTDirectInputLineViewController::shortenLinks()
{
    m_isShortening = true;
    RTServicePtr shortener = accountShortener();
    if (!shortener)
        shortener = RTShortenerService::defaultShortener();
    if (!shortener)
        shortener = RTShortenerService::anonymousShortenerService(QStringLiteral("RTServiceBitly"));
    m_currentShortener = shortener;

    const QStringList domains = knownShortDomains();
    const QStringList links = RTMessageTextParser::unescapedLinksInMessageText(m_text);
    QStringList toSend;
    {
        QMutexLocker locker(&m_lock);
        for (const QString &link : links) {
            if (m_shortUrlLookUp.contains(dotlessUrl(link)) || m_urlShorteningList.contains(link))
                continue;
            bool known = m_pictureLinks.contains(link);
            for (const QString &domain : domains)
                known = known || link.contains(domain, Qt::CaseInsensitive);
            if (known)
                continue;
            m_urlShorteningList.append(link);
            toSend.append(link);
        }
    }
    for (const QString &link : toSend) {
        if (!requestShortening(shortener, link)) {
            // No request went out: the link stays as it is.
            QMutexLocker locker(&m_lock);
            m_urlShorteningList.removeAll(link);
            m_shortUrlLookUp.insert(dotlessUrl(link), link);
        }
    }
    QMutexLocker locker(&m_lock);
    if (m_urlShorteningList.isEmpty())
        replaceLongURLsWithShortURLs();
}

void RTDirectInputLineViewController::shortenLinksIfNeeded()
{
    if (setting(RTAlwaysShortenLinksInMessagesKey))
        shortenLinks();
}

void RTDirectInputLineViewController::addAndShortenURL(const QString &url)
{
    const QString trimmed = url.trimmed();
    if (trimmed.isEmpty())
        return;
    // The link goes before what the user wrote, which stays.
    setText(QStringLiteral(" ") + trimmed + (m_text.isEmpty() ? QString() : QStringLiteral(" ")) +
            m_text);
    setSelectedRange(0);
    dealWithMessage(m_text);
    shortenLinksIfNeeded();
}

void RTDirectInputLineViewController::shorteningFinishedWithShortener(const RTServicePtr &,
                                                                      const QString &longURL,
                                                                      const QString &shortURL)
{
    QMutexLocker locker(&m_lock);
    if (!longURL.isEmpty()) {
        m_urlShorteningList.removeAll(longURL);
        const QString s = shortURL.trimmed();
        m_shortUrlLookUp.insert(dotlessUrl(longURL), s.isEmpty() ? longURL : s);
        if (s.isEmpty())
            emit shorteningFailed(longURL);
    } else {
        m_urlShorteningList.clear();
    }
    if (m_urlShorteningList.isEmpty() && m_isShortening)
        replaceLongURLsWithShortURLs();
}

void RTDirectInputLineViewController::replaceLongURLsWithShortURLs()
{
    QMutexLocker locker(&m_lock);
    const qsizetype selStart = m_selectionStart;
    const qsizetype selLength = m_selectionLength;
    QString next = m_text;
    for (auto it = m_shortUrlLookUp.cbegin(); it != m_shortUrlLookUp.cend(); ++it) {
        const QString longUrl = redottedUrl(it.key());
        const QString shortUrl = it.value().trimmed();
        if (!longUrl.isEmpty() && longUrl != shortUrl)
            next.replace(longUrl, shortUrl, Qt::CaseInsensitive);
    }
    setText(next);
    if (selStart + selLength < m_text.size())
        setSelectedRange(selStart, selLength);
    else
        setSelectedRange(m_text.size());
    dealWithMessage(m_text);
    m_shortUrlLookUp.clear();
    m_urlShorteningList.clear();
    m_isShortening = false;
    locker.unlock();
    if (m_isPendingPost)
        send();
}

bool RTDirectInputLineViewController::shareImageData(const QByteArray &jpeg)
{
    if (m_upload || jpeg.isEmpty() || !m_service)
        return false;
    const RTServicePtr imager = RTImageUploader::imagerForAccount(m_service);
    if (!imager)
        return false;
    QPointer<RTDirectInputLineViewController> self(this);
    auto done = [self](bool success, const QVariantMap &result) {
        if (!self)
            return;
        self->m_upload.reset();
        if (success && result.value(key(kRTRequestType)).toInt() == 1) {
            const QString link = result.value(key(kRTImageURLKey)).toString();
            if (!link.isEmpty()) {
                // A picture host's link is short already.
                self->m_pictureLinks.append(link);
                const bool wasEmpty = self->m_text.isEmpty();
                const QString next = self->m_text.endsWith(QLatin1Char(' ')) || wasEmpty
                                         ? self->m_text + link
                                         : self->m_text + QStringLiteral(" ") + link;
                self->setText(next);
                self->dealWithMessage(self->m_text);
                self->setSelectedRange(wasEmpty ? 0 : self->m_text.size());
            }
            emit self->uploadFinished(!link.isEmpty(), QString());
            return;
        }
        emit self->uploadFinished(false,
                                  result.value(key(kRTOperationFailureMessageKey)).toString());
    };
    m_upload = RTImageUploader::uploadImageWithTwitterService(
        imager, m_service,
        RTRequestCallback::make([done](const QVariantMap &r) { done(true, r); },
                                [done](const QVariantMap &r) { done(false, r); }),
        0, jpeg, [self](qint64 sent, qint64 total) {
            QMetaObject::invokeMethod(
                self.data(),
                [self, sent, total] {
                    if (self && self->m_upload)
                        emit self->uploadProgress(sent, total);
                },
                Qt::QueuedConnection);
        });
    if (!m_upload)
        return false;
    emit uploadStarted();
    return true;
}

void RTDirectInputLineViewController::cancelUpload()
{
    if (!m_upload)
        return;
    const RTRequestOperationPtr upload = std::move(m_upload);
    m_upload.reset();
    upload->cancel();
    emit uploadFinished(false, QString());
}

RTRequestDelegatePtr RTDirectInputLineViewController::sendDelegate(const QVariantMap &sentState)
{
    ++m_postsInFlight;
    QPointer<RTDirectInputLineViewController> self(this);
    return RTRequestCallback::make(
        [self, sentState](const QVariantMap &r) {
            if (self)
                self->sendFinished(true, r, sentState);
        },
        [self, sentState](const QVariantMap &r) {
            if (self)
                self->sendFinished(false, r, sentState);
        });
}

void RTDirectInputLineViewController::sendFinished(bool success, const QVariantMap &result,
                                                   const QVariantMap &sentState)
{
    m_postsInFlight = qMax(0, m_postsInFlight - 1);
    if (success) {
        emit posted(sentState.value(key(kStateText)).toString());
        return;
    }
    m_failedPost = sentState;
    // Nothing new was written since: the failed text comes straight back.
    if (m_text.isEmpty())
        restoreFailedPost();
    emit postFailed(result.value(key(kRTOperationFailureMessageKey)).toString());
}

void RTDirectInputLineViewController::restoreFailedPost()
{
    if (m_failedPost.isEmpty())
        return;
    const QVariantMap state = m_failedPost;
    m_failedPost.clear();
    setupStateWithStateDictionary(state);
    setSelectedRange(m_text.size());
    emit showLineRequested();
    emit focusRequested();
}

void RTDirectInputLineViewController::send()
{
    finishSend();
}

void RTDirectInputLineViewController::finishSend()
{
    clearDirectInputLine();
    if (m_isTemporary)
        emit messageListFocusRequested();
    m_isTemporary = false;
    if (setting(RTCloseDirectInputAfterPostingKey))
        emit hideLineRequested();
}

bool RTDirectInputLineViewController::validateMenuItem(int tag) const
{
    if (tag == 102)
        return m_text.size() > 4;
    return true;
}

bool RTDirectInputLineViewController::isShowingMentionsPopupNeeded() const
{
    if (m_avoidAutocompletePopup)
        return false;
    const qsizetype caret = m_selectionStart + m_selectionLength;
    if (caret < 0 || caret > m_text.size())
        return false;
    if (caret < m_text.size() && m_text.at(caret) != QLatin1Char(' '))
        return false;
    for (qsizetype i = caret - 1; i >= 0; --i) {
        const QChar c = m_text.at(i);
        if (c == QLatin1Char(' '))
            return false;
        if (c != QLatin1Char('@'))
            continue;
        if (i == 0 || m_text.at(i - 1) == QLatin1Char(' '))
            return true;
        return i == 1 && (m_text.at(0) == QLatin1Char('~') || m_text.at(0) == QLatin1Char('.'));
    }
    return false;
}

QVariantMap RTDirectInputLineViewController::stateDictionary() const
{
    return {{key(kStateText), m_text}};
}

void RTDirectInputLineViewController::setupStateWithStateDictionary(const QVariantMap &state)
{
    clearMessageText();
    setText(state.value(key(kStateText)).toString());
    dealWithMessage(m_text);
}
