#include "model/RTMessage.h"

#include "foundation/Log.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "model/RTMessageDataSource.h"
#include "model/RTMessageHolder.h"
#include "model/RTMessageHooks.h"
#include "model/RTUser.h"

#include <QMutexLocker>

RTMessage::RTMessage(const QString &messageId)
    : m_messageId(messageId)
{
}

RTMessage::~RTMessage() = default;

std::shared_ptr<RTMessage> RTMessage::create(const QString &messageId)
{
    return std::make_shared<RTMessage>(messageId);
}

QHash<QString, RTAttributedString> RTMessage::attributedBodyDictionary() const
{
    QMutexLocker lock(&m_lock);
    return m_attributedBodyDictionary;
}

void RTMessage::setAttributedBodyDictionary(const QHash<QString, RTAttributedString> &bodies)
{
    willChangeValueForKey(RTMessageProperty::AttributedBodyDictionary);
    {
        QMutexLocker lock(&m_lock);
        m_attributedBodyDictionary = bodies;
    }
    didChangeValueForKey(RTMessageProperty::AttributedBodyDictionary);
}

// ---------------------------------------------------------------------------
// Flag words

bool RTMessage::readFlag(quint32 flag, const std::atomic<quint32> &mask)
{
    return (mask.load(std::memory_order_acquire) & flag) != 0;
}

quint32 RTMessage::setFlag(quint32 flag, std::atomic<quint32> &mask)
{
    return mask.fetch_or(flag, std::memory_order_acq_rel);
}

quint32 RTMessage::clearFlag(quint32 flag, std::atomic<quint32> &mask)
{
    return mask.fetch_and(~flag, std::memory_order_acq_rel);
}

quint32 RTMessage::mergeFlags(std::atomic<quint32> &mask, quint32 flags)
{
    return mask.fetch_or(flags, std::memory_order_acq_rel);
}

bool RTMessage::readPermanentFlag(quint32 flag) const
{
    return readFlag(flag, m_permanentFlags);
}

quint32 RTMessage::setPermanentFlag(quint32 flag)
{
    return setFlag(flag, m_permanentFlags);
}

quint32 RTMessage::clearPermanentFlag(quint32 flag)
{
    return clearFlag(flag, m_permanentFlags);
}

quint32 RTMessage::setPermanentFlag(quint32 flag, bool value)
{
    return value ? setPermanentFlag(flag) : clearPermanentFlag(flag);
}

quint32 RTMessage::mergePermanentFlagsWithFlags(quint32 flags)
{
    return mergeFlags(m_permanentFlags, flags);
}

bool RTMessage::readTemporaryFlag(quint32 flag) const
{
    return readFlag(flag, m_temporaryFlags);
}

quint32 RTMessage::setTemporaryFlag(quint32 flag)
{
    return setFlag(flag, m_temporaryFlags);
}

quint32 RTMessage::clearTemporaryFlag(quint32 flag)
{
    return clearFlag(flag, m_temporaryFlags);
}

quint32 RTMessage::setTemporaryFlag(quint32 flag, bool value)
{
    return value ? setTemporaryFlag(flag) : clearTemporaryFlag(flag);
}

quint32 RTMessage::mergeTemporaryFlagsWithFlags(quint32 flags)
{
    return mergeFlags(m_temporaryFlags, flags);
}

void RTMessage::mergeFlagsWithMessage(const RTMessage &other)
{
    mergeTemporaryFlagsWithFlags(other.temporaryFlags());
    mergePermanentFlagsWithFlags(other.permanentFlags());
}

void RTMessage::changePermanentFlag(quint32 flag, bool value, const char *key)
{
    if (readPermanentFlag(flag) == value)
        return;
    willChangeValueForKey(key);
    setPermanentFlag(flag, value);
    didChangeValueForKey(key);
}

void RTMessage::changeTemporaryFlag(quint32 flag, bool value, const char *key)
{
    if (readTemporaryFlag(flag) == value)
        return;
    willChangeValueForKey(key);
    setTemporaryFlag(flag, value);
    didChangeValueForKey(key);
}

void RTMessage::setIsSeen(bool value)
{
    if (isSeen() == value)
        return;
    willChangeValueForKey(RTMessageProperty::IsSeen);
    const quint32 before = setPermanentFlag(RTPermanentFlag::IsSeen, value);
    // Two threads may both pass the check above; only the one that really flipped the
    // bit moves the counts, or a node would count the message twice.
    const bool flipped = ((before & RTPermanentFlag::IsSeen) != 0) != value;
    if (flipped) {
        const QSet<RTMessageHolder *> nodes = containedInTreeNodesSet();
        for (RTMessageHolder *node : nodes)
            node->changeNewMessagesCountBy(value ? -1 : 1);
    }
    didChangeValueForKey(RTMessageProperty::IsSeen);
}

void RTMessage::setIsHidden(bool value)
{
    changePermanentFlag(RTPermanentFlag::IsHidden, value, RTMessageProperty::IsHidden);
}

void RTMessage::setIsSpecialHidden(bool value)
{
    changePermanentFlag(RTPermanentFlag::IsSpecialHidden, value,
                        RTMessageProperty::IsSpecialHidden);
}

void RTMessage::setIsDeleted(bool value)
{
    changePermanentFlag(RTPermanentFlag::IsDeleted, value, RTMessageProperty::IsDeleted);
}

void RTMessage::setIsMuted(bool value)
{
    changePermanentFlag(RTPermanentFlag::IsMuted, value, RTMessageProperty::IsMuted);
}

void RTMessage::setIsTranslated(bool value)
{
    changeTemporaryFlag(RTTemporaryFlag::IsTranslated, value, RTMessageProperty::IsTranslated);
}

void RTMessage::setIsAutotranslated(bool value)
{
    changeTemporaryFlag(RTTemporaryFlag::IsAutotranslated, value,
                        RTMessageProperty::IsAutotranslated);
}

void RTMessage::setShowedPopupNotification(bool value)
{
    changeTemporaryFlag(RTTemporaryFlag::ShowedPopupNotification, value,
                        RTMessageProperty::ShowedPopupNotification);
}

void RTMessage::setIsFullyDownloaded(bool value)
{
    changeTemporaryFlag(RTTemporaryFlag::IsFullyDownloaded, value,
                        RTMessageProperty::IsFullyDownloaded);
}

void RTMessage::setIsHighlighted(bool value)
{
    changeTemporaryFlag(RTTemporaryFlag::IsHighlighted, value, RTMessageProperty::IsHighlighted);
}

void RTMessage::setIsRepeated(bool value)
{
    changeTemporaryFlag(RTTemporaryFlag::IsRepeated, value, RTMessageProperty::IsRepeated);
}

// ---------------------------------------------------------------------------
// Marking with copies

void RTMessage::markWithCopies(void (RTMessage::*setter)(bool), bool value)
{
    (this->*setter)(value);
    if (!isRepeated())
        return;
    RTMessageDataSource *source = dataSource();
    if (!source)
        return;
    const QList<RTMessagePtr> copies = source->messagesLike(*this);
    for (const RTMessagePtr &copy : copies) {
        if (copy && copy.get() != this)
            (copy.get()->*setter)(value);
    }
}

void RTMessage::markSeen(bool value)
{
    markWithCopies(&RTMessage::setIsSeen, value);
}

void RTMessage::markHidden(bool value)
{
    markWithCopies(&RTMessage::setIsHidden, value);
}

void RTMessage::markSpecialHidden(bool value)
{
    markWithCopies(&RTMessage::setIsSpecialHidden, value);
}

RTMessageDataSource *RTMessage::dataSource() const
{
    return dynamic_cast<RTMessageDataSource *>(service());
}

// ---------------------------------------------------------------------------
// Tree nodes

void RTMessage::willBeAddedToTreeNode(RTMessageHolder *node)
{
    if (!node)
        return;
    willChangeValueForKey(RTMessageProperty::ContainedInTreeNodesSet);
    {
        QMutexLocker lock(&m_lock);
        m_containedInTreeNodes.insert(node);
    }
    didChangeValueForKey(RTMessageProperty::ContainedInTreeNodesSet);
}

void RTMessage::willBeRemovedFromTreeNode(RTMessageHolder *node)
{
    willChangeValueForKey(RTMessageProperty::ContainedInTreeNodesSet);
    {
        QMutexLocker lock(&m_lock);
        m_containedInTreeNodes.remove(node);
    }
    didChangeValueForKey(RTMessageProperty::ContainedInTreeNodesSet);
}

QSet<RTMessageHolder *> RTMessage::containedInTreeNodesSet() const
{
    QMutexLocker lock(&m_lock);
    return m_containedInTreeNodes;
}

// ---------------------------------------------------------------------------
// Display bodies

void RTMessage::processBody()
{
    const auto hooks = RTMessageHooks::current();
    const SettingsStore &settings = SettingsStore::shared();
    const bool resolve = settings.boolForKey(RTShouldResolveShortURLsKey);
    const double fontSize = settings.floatForKey(TAMessageFontSizeKey);
    const QStringList terms = highlightTerms();

    auto build = [&](const QString &text, bool translatedIcon) {
        RTAttributedString parsed = hooks->parse(hooks->unescapeHTML(text));
        if (translatedIcon)
            parsed.insertAttachment(0, QStringLiteral("tweet_translated"));
        if (resolve)
            replaceShortURLs(hooks->shortURLReplacementDictionary(parsed.string()), parsed);
        parsed.setFontSize(fontSize);
        return parsed;
    };
    auto highlighted = [&](const RTAttributedString &plain) {
        return terms.isEmpty() ? plain : hooks->highlightTerms(plain, terms);
    };

    QHash<QString, RTAttributedString> bodies = attributedBodyDictionary();
    const RTAttributedString plain = build(body(), false);
    bodies.insert(QLatin1String(kRTAttributedBodyUnHighlighted), plain);
    bodies.insert(QLatin1String(kRTAttributedBodyHighlighted), highlighted(plain));
    const QString translation = translatedBody();
    if (!translation.isNull()) {
        const RTAttributedString translated = build(translation, true);
        bodies.insert(QLatin1String(kRTAttributedBodyUnHighlightedTransalated), translated);
        bodies.insert(QLatin1String(kRTAttributedBodyTranslated), highlighted(translated));
    }
    {
        QMutexLocker lock(&m_lock);
        m_attributedBodyDictionary = std::move(bodies);
    }
    // Views redraw on this one.
    willChangeValueForKey(RTMessageProperty::IsTranslated);
    didChangeValueForKey(RTMessageProperty::IsTranslated);
}

RTAttributedString RTMessage::attributedBody() const
{
    return attributedBodyForRequestType(0);
}

QString RTMessage::attributedBodyString() const
{
    return attributedBody().string();
}

QStringList RTMessage::preferredAttributedBodyLookupForRequestType(int) const
{
    if (isTranslated())
        return {QLatin1String(kRTAttributedBodyTranslated),
                QLatin1String(kRTAttributedBodyHighlighted)};
    return {QLatin1String(kRTAttributedBodyHighlighted)};
}

RTAttributedString RTMessage::attributedBodyForRequestType(int type) const
{
    const QStringList keys = preferredAttributedBodyLookupForRequestType(type);
    QMutexLocker lock(&m_lock);
    for (const QString &key : keys) {
        const auto it = m_attributedBodyDictionary.constFind(key);
        if (it != m_attributedBodyDictionary.constEnd())
            return *it;
    }
    return {};
}

void RTMessage::replaceShortURLs(const QHash<QString, QString> &urls, RTAttributedString &text)
{
    text.replaceOccurrences(urls);
}

void RTMessage::replaceShortURLsUsingURLsDictionary(const QHash<QString, QString> &urls)
{
    if (urls.isEmpty())
        return;
    QHash<QString, RTAttributedString> bodies = attributedBodyDictionary();
    for (RTAttributedString &text : bodies)
        replaceShortURLs(urls, text);
    setAttributedBodyDictionary(bodies);
}

void RTMessage::updateAttributedBodyFont()
{
    const double fontSize = SettingsStore::shared().floatForKey(TAMessageFontSizeKey);
    QHash<QString, RTAttributedString> bodies = attributedBodyDictionary();
    for (RTAttributedString &text : bodies)
        text.setFontSize(fontSize);
    setAttributedBodyDictionary(bodies);
}

// ---------------------------------------------------------------------------
// Translation

void RTMessage::translate()
{
    setIsTranslated(!isTranslated());
    showOrRequestTranslation();
}

void RTMessage::autoTranslate()
{
    setIsAutotranslated(!isAutotranslated());
    showOrRequestTranslation();
}

void RTMessage::showOrRequestTranslation()
{
    if (!translatedBody().isEmpty()) {
        processBody();
        return;
    }
    if (const RTMessagePtr self = weak_from_this().lock())
        RTMessageHooks::current()->requestTranslation(self);
}

QString RTMessage::description() const
{
    const QObject *account = service();
    return QStringLiteral("%1 %2\nservice: %3\nuser: %4\nbody: %5\ncreatedAt: %6\n"
                          "updatedAt: %7\ntemporaryFlags: 0x%8\npermanentFlags: 0x%9")
        .arg(QLatin1String(account ? "message" : "search message"), messageId(),
             account ? account->objectName() : QStringLiteral("(none)"),
             m_user ? m_user->displayName() : QString(), body(), createdAt().toString(Qt::ISODate),
             updatedAt().toString(Qt::ISODate))
        .arg(temporaryFlags(), 8, 16, QLatin1Char('0'))
        .arg(permanentFlags(), 8, 16, QLatin1Char('0'));
}
