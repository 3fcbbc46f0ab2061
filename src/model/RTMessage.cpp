#include "model/RTMessage.h"

#include "foundation/Log.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "model/RTMessageDataSource.h"
#include "model/RTMessageHolder.h"
#include "model/RTMessageHooks.h"
#include "model/RTUser.h"

#include <QMutexLocker>
#include <algorithm>

namespace {

std::atomic<quint64> g_permanentFlagsGeneration{0};

void bumpPermanentFlagsGeneration()
{
    g_permanentFlagsGeneration.fetch_add(1, std::memory_order_acq_rel);
}

} // namespace

RTMessage::RTMessage(const QString &messageId)
    : m_messageId(messageId)
{
}

RTMessage::~RTMessage() = default;

std::shared_ptr<RTMessage> RTMessage::create(const QString &messageId)
{
    return std::make_shared<RTMessage>(messageId);
}

int RTMessage::bodySlot(const QString &key)
{
    for (int slot = 0; slot < kBodySlots; ++slot) {
        if (key == bodySlotKey(slot))
            return slot;
    }
    return -1;
}

QLatin1String RTMessage::bodySlotKey(int slot)
{
    static const char *const keys[kBodySlots] = {
        kRTAttributedBodyUnHighlighted, kRTAttributedBodyHighlighted,
        kRTAttributedBodyUnHighlightedTransalated, kRTAttributedBodyTranslated};
    return QLatin1String(keys[slot]);
}

void RTMessage::storeBodies(const QHash<QString, RTAttributedString> &bodies)
{
    m_bodiesPending.store(false);
    if (bodies.isEmpty()) {
        m_bodies.reset();
        return;
    }
    m_bodies = std::make_unique<Bodies>();
    for (auto it = bodies.cbegin(); it != bodies.cend(); ++it) {
        if (const int slot = bodySlot(it.key()); slot >= 0) {
            m_bodies->forms[size_t(slot)] = it.value();
            m_bodies->set |= quint8(1u << slot);
        } else {
            m_bodies->others.insert(it.key(), it.value());
        }
    }
}

QHash<QString, RTAttributedString> RTMessage::loadBodies() const
{
    buildPendingBodies();
    if (!m_bodies)
        return {};
    QHash<QString, RTAttributedString> bodies = m_bodies->others;
    for (int slot = 0; slot < kBodySlots; ++slot) {
        if (m_bodies->set & (1u << slot))
            bodies.insert(bodySlotKey(slot), m_bodies->forms[size_t(slot)]);
    }
    return bodies;
}

QHash<QString, RTAttributedString> RTMessage::attributedBodyDictionary() const
{
    QMutexLocker lock(&m_lock);
    return loadBodies();
}

void RTMessage::setAttributedBodyDictionary(const QHash<QString, RTAttributedString> &bodies)
{
    willChangeValueForKey(RTMessageProperty::AttributedBodyDictionary);
    {
        QMutexLocker lock(&m_lock);
        storeBodies(bodies);
    }
    didChangeValueForKey(RTMessageProperty::AttributedBodyDictionary);
}

// The fields bodies are built from change under the lock the building takes, so a
// build on another thread never reads one half-written.
void RTMessage::setBody(const QString &body)
{
    QMutexLocker lock(&m_lock);
    buildPendingBodies();
    m_body = body;
}

void RTMessage::setTranslatedBody(const QString &text)
{
    QMutexLocker lock(&m_lock);
    buildPendingBodies();
    m_translatedBody = text;
}

void RTMessage::setHighlightTerms(const QStringList &terms)
{
    QMutexLocker lock(&m_lock);
    buildPendingBodies();
    m_highlightTerms = terms;
}

void RTMessage::setCreatedAt(const QDateTime &date)
{
    if (m_createdAt == date)
        return;
    m_createdAt = date;
    bumpPermanentFlagsGeneration();
}

// ---------------------------------------------------------------------------
// Flag words

quint64 RTMessage::permanentFlagsGeneration()
{
    return g_permanentFlagsGeneration.load(std::memory_order_acquire);
}

void RTMessage::permanentWordChanged(quint32 before)
{
    // After the word: a saver that reads the generation first and the word next either
    // sees the new word or, at its next save, a new generation.
    if (m_permanentFlags.load(std::memory_order_acquire) != before)
        bumpPermanentFlagsGeneration();
}

void RTMessage::setPermanentFlags(quint32 flags)
{
    permanentWordChanged(m_permanentFlags.exchange(flags, std::memory_order_acq_rel));
}

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
    const quint32 before = setFlag(flag, m_permanentFlags);
    permanentWordChanged(before);
    return before;
}

quint32 RTMessage::clearPermanentFlag(quint32 flag)
{
    const quint32 before = clearFlag(flag, m_permanentFlags);
    permanentWordChanged(before);
    return before;
}

quint32 RTMessage::setPermanentFlag(quint32 flag, bool value)
{
    return value ? setPermanentFlag(flag) : clearPermanentFlag(flag);
}

quint32 RTMessage::mergePermanentFlagsWithFlags(quint32 flags)
{
    const quint32 before = mergeFlags(m_permanentFlags, flags);
    permanentWordChanged(before);
    return before;
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
        const TreeNodeList nodes = containingTreeNodes();
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
        if (std::find(m_containedInTreeNodes.cbegin(), m_containedInTreeNodes.cend(), node) ==
            m_containedInTreeNodes.cend())
            m_containedInTreeNodes.push_back(node);
    }
    didChangeValueForKey(RTMessageProperty::ContainedInTreeNodesSet);
}

void RTMessage::willBeRemovedFromTreeNode(RTMessageHolder *node)
{
    willChangeValueForKey(RTMessageProperty::ContainedInTreeNodesSet);
    {
        QMutexLocker lock(&m_lock);
        std::erase(m_containedInTreeNodes, node);
        if (m_containedInTreeNodes.empty())
            m_containedInTreeNodes.shrink_to_fit();
    }
    didChangeValueForKey(RTMessageProperty::ContainedInTreeNodesSet);
}

QSet<RTMessageHolder *> RTMessage::containedInTreeNodesSet() const
{
    QMutexLocker lock(&m_lock);
    return QSet<RTMessageHolder *>(m_containedInTreeNodes.cbegin(), m_containedInTreeNodes.cend());
}

RTMessage::TreeNodeList RTMessage::containingTreeNodes() const
{
    QMutexLocker lock(&m_lock);
    return TreeNodeList(m_containedInTreeNodes.cbegin(), m_containedInTreeNodes.cend());
}

bool RTMessage::isContainedInTreeNode(const RTMessageHolder *node) const
{
    QMutexLocker lock(&m_lock);
    return std::find(m_containedInTreeNodes.cbegin(), m_containedInTreeNodes.cend(), node) !=
           m_containedInTreeNodes.cend();
}

// ---------------------------------------------------------------------------
// Display bodies

void RTMessage::processBody()
{
    m_bodiesPending.store(true);
    // Views redraw on this one.
    willChangeValueForKey(RTMessageProperty::IsTranslated);
    didChangeValueForKey(RTMessageProperty::IsTranslated);
}

void RTMessage::buildPendingBodies() const
{
    if (!m_bodiesPending.exchange(false))
        return;
    const auto hooks = RTMessageHooks::current();
    const SettingsStore &settings = SettingsStore::shared();
    const bool resolve = settings.boolForKey(RTShouldResolveShortURLsKey);
    const double fontSize = settings.floatForKey(TAMessageFontSizeKey);
    const QStringList &terms = m_highlightTerms;

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

    if (!m_bodies)
        m_bodies = std::make_unique<Bodies>();
    // Bodies under other keys, and the translated ones when there is no translation
    // now, stay as they were.
    m_bodies->forms[0] = build(m_body, false);
    m_bodies->forms[1] = highlighted(m_bodies->forms[0]);
    m_bodies->set |= 0b0011;
    if (!m_translatedBody.isNull()) {
        m_bodies->forms[2] = build(m_translatedBody, true);
        m_bodies->forms[3] = highlighted(m_bodies->forms[2]);
        m_bodies->set |= 0b1100;
    }
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
    buildPendingBodies();
    if (!m_bodies)
        return {};
    for (const QString &key : keys) {
        if (const int slot = bodySlot(key); slot >= 0) {
            if (m_bodies->set & (1u << slot))
                return m_bodies->forms[size_t(slot)];
        } else if (const auto it = m_bodies->others.constFind(key); it != m_bodies->others.cend()) {
            return *it;
        }
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
    willChangeValueForKey(RTMessageProperty::AttributedBodyDictionary);
    {
        // Pending bodies take the size when they are built.
        QMutexLocker lock(&m_lock);
        if (m_bodies) {
            for (RTAttributedString &text : m_bodies->forms)
                text.setFontSize(fontSize);
            for (RTAttributedString &text : m_bodies->others)
                text.setFontSize(fontSize);
        }
    }
    didChangeValueForKey(RTMessageProperty::AttributedBodyDictionary);
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
