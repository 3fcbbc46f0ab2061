#include "accounts/RTServiceTalvo.h"

namespace {
const QString kShortenersListKey = QStringLiteral("shortenersList");
const QString kImagersKey = QStringLiteral("imagers");
const QString kIsAnonymousKey = QStringLiteral("isAnonymous");
const QString kTemporaryMutedKey = QStringLiteral("temporaryMutedMessagesSet");
const QString kPermanentMutedKey = QStringLiteral("permanentMutedMessagesSet");
const QString kTemporaryHighlightedKey = QStringLiteral("temporaryHighlightedMessagesSet");
const QString kPermanentHighlightedKey = QStringLiteral("permanentHighlightedMessagesSet");

QVariantMap twitterSource(int id, const char *name, const char *substring, const char *watermark)
{
    return {{QStringLiteral("id"), id},
            {QStringLiteral("name"), QString::fromLatin1(name)},
            {QStringLiteral("substring"), QString::fromLatin1(substring)},
            {QStringLiteral("url"), QStringLiteral("https://twitter.com/")},
            {QStringLiteral("watermark"), QString::fromLatin1(watermark)}};
}

QSet<QString> idSet(const KeyedUnarchiver &coder, const QString &key)
{
    const QStringList ids = coder.decodeStringList(key);
    return QSet<QString>(ids.cbegin(), ids.cend());
}
} // namespace

RTServiceTalvo::RTServiceTalvo(QObject *parent)
    : RTService(parent)
    , m_shortenersList{QStringLiteral("bit.ly"), QStringLiteral("tinyurl.com"),
                       QStringLiteral("is.gd")}
    , m_twitterSources{
          {QStringLiteral("web"), twitterSource(1, "Twitter Website", "web", "watermark_twitter")},
          {QStringLiteral("txt"), twitterSource(2, "Twitter SMS", "txt", "watermark_sms")}}
{
    setHttpProtocol(QStringLiteral("http"));
    setHostname(QStringLiteral("www.talvo.app"));
    setServiceName(QStringLiteral("Talvo"));
}

void RTServiceTalvo::encodeWithCoder(KeyedArchiver &coder) const
{
    RTService::encodeWithCoder(coder);
    coder.encodeVariant(kShortenersListKey, m_shortenersList);
    coder.encodeVariant(kImagersKey, m_imagers);
    coder.encodeBool(kIsAnonymousKey, m_isAnonymous);
    QMutexLocker locker(&m_filteredSetsLock);
    persistMessagesIDsWithSet(temporaryMutedMessagesSet, kTemporaryMutedKey, coder,
                              kMaxArchivedFilteredIds);
    persistMessagesIDsWithSet(permanentMutedMessagesSet, kPermanentMutedKey, coder,
                              kMaxArchivedFilteredIds);
    persistMessagesIDsWithSet(temporaryHighlightedMessagesSet, kTemporaryHighlightedKey, coder,
                              kMaxArchivedFilteredIds);
    persistMessagesIDsWithSet(permanentHighlightedMessagesSet, kPermanentHighlightedKey, coder,
                              kMaxArchivedFilteredIds);
}

void RTServiceTalvo::decodeWithCoder(const KeyedUnarchiver &coder)
{
    RTService::decodeWithCoder(coder);
    if (coder.containsValueForKey(kShortenersListKey))
        m_shortenersList = coder.decodeStringList(kShortenersListKey);
    if (coder.containsValueForKey(kImagersKey)) {
        const QVariant imagers = coder.decodeVariant(kImagersKey);
        if (imagers.typeId() == QMetaType::QVariantMap)
            m_imagers = imagers.toMap();
        else if (imagers.isValid())
            coder.fail(QStringLiteral("key 'imagers' is not a map"));
    }
    m_isAnonymous = coder.decodeBool(kIsAnonymousKey, m_isAnonymous);
    QMutexLocker locker(&m_filteredSetsLock);
    temporaryMutedMessagesSet = idSet(coder, kTemporaryMutedKey);
    permanentMutedMessagesSet = idSet(coder, kPermanentMutedKey);
    temporaryHighlightedMessagesSet = idSet(coder, kTemporaryHighlightedKey);
    permanentHighlightedMessagesSet = idSet(coder, kPermanentHighlightedKey);
}
