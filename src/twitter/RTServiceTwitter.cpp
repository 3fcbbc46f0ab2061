#include "twitter/RTServiceTwitter.h"

#include "accounts/RTServiceImager.h"
#include "accounts/RTServiceRegistry.h"
#include "accounts/RTShortenerService.h"
#include "foundation/Localization.h"
#include "foundation/Log.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "model/RTMessageFlags.h"
#include "twitter/RTPermanentFlagsArchive.h"

#include <QCborArray>
#include <QCborMap>
#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace {
const QString kMyselfKey = QStringLiteral("myself");
const QString kDefaultShortenerKey = QStringLiteral("defaultShortener");
const QString kDefaultImagerKey = QStringLiteral("defaultImager");
const QString kShowListsNodeKey = QStringLiteral("showListsNode");
const QString kShowFavoritesNodeKey = QStringLiteral("showFavoritesNode");
const QString kShowSearchesNodeKey = QStringLiteral("showSearchesNode");
const QString kShowGroupsNodeKey = QStringLiteral("showGroupsNode");
const QString kShowRetweetsNodeKey = QStringLiteral("showRetweetsNode");
const QString kShowCombinedNodeKey = QStringLiteral("showCombinedNode");
const QString kShouldPollTwitterListsKey = QStringLiteral("shouldPollTwitterLists");
const QString kPermanentMessageFlagsKey = QStringLiteral("permanentMessageFlags");
const QString kShowRetweetsInHomeKey = QStringLiteral("showRetweetsInHome");
const QString kSavedSearchesArrayKey = QStringLiteral("savedSearchesArray");
const QString kListsArrayKey = QStringLiteral("listsArray");
const QString kShowSentInHomeKey = QStringLiteral("showSentInHome");
const QString kShowMentionsInHomeKey = QStringLiteral("showMentionsInHome");
const QString kAutocompleteUsersKey = QStringLiteral("autocompleteUsers");

std::atomic<quint64> g_storeGeneration{0};

quint64 nextStoreGeneration()
{
    return g_storeGeneration.fetch_add(1, std::memory_order_acq_rel) + 1;
}

template<class Setter> void setAndAnnounce(bool &field, bool value, Setter announce)
{
    if (field == value)
        return;
    field = value;
    announce();
}
} // namespace

RTServiceTwitter::RTServiceTwitter(QObject *parent)
    : RTService(parent)
{
    setServiceName(QStringLiteral("Twitter"));
    setHttpProtocol(QStringLiteral("http"));
    setHostname(QStringLiteral("twitter.com"));
    setServiceImage(QStringLiteral("twitter_60"));
    m_messagesGeneration.store(nextStoreGeneration());
    m_defaultShortener = RTShortenerService::defaultShortener();
    m_defaultImager = RTServiceImager::defaultImager();
    connect(&SettingsStore::shared(), &SettingsStore::valueChanged, this,
            [this](const QString &key) {
                if (key == QLatin1String(TAMessageFontSizeKey))
                    applyMessageFontSize();
            });
}

RTServiceTwitter::~RTServiceTwitter() = default;

QString RTServiceTwitter::directInputServiceName() const
{
    return serviceId();
}

QString RTServiceTwitter::accountAdditionControllerClass()
{
    return QStringLiteral("RTTwitterAccountAdditionController");
}

QString RTServiceTwitter::localizedServiceName()
{
    return localizedString("##RTServiceTwitter:100##");
}

QString RTServiceTwitter::classServiceImage()
{
    return QStringLiteral("twitter");
}

QString RTServiceTwitter::localizedServiceDesription()
{
    return localizedString("##RTServiceTwitter:101##");
}

// --- lifecycle ----------------------------------------------------------------------

void RTServiceTwitter::start()
{
    if (running())
        return;
    loadOAuthTokens();
    if (oauthToken().isEmpty() || oauthTokenSecret().isEmpty()) {
        requestOAuthToken();
        return;
    }
    RTService::start();
    startPolling();
}

void RTServiceTwitter::stop()
{
    invalidateAllTimers();
    RTService::stop();
}

bool RTServiceTwitter::setServicePassword(const QString &password)
{
    setVerifiedCredentials(true);
    const bool stored = RTService::setServicePassword(password);
    if (running())
        requestOAuthToken();
    return stored;
}

void RTServiceTwitter::requestOAuthToken()
{
    emit accessTokenRequested();
    requestOAuthTokenWithDelegate(nullptr);
}

// --- fields -------------------------------------------------------------------------

void RTServiceTwitter::setMyself(const RTUserTwitterPtr &user)
{
    if (m_myself == user)
        return;
    m_myself = user;
    emit myselfChanged();
}

void RTServiceTwitter::resolveRegisteredServices(const RTServiceRegistry &registry)
{
    for (RTServicePtr *field : {&m_defaultShortener, &m_defaultImager}) {
        if (!*field)
            continue;
        if (RTServicePtr registered =
                registry.serviceWithServiceId((*field)->serviceId(), (*field)->serviceType()))
            *field = registered;
    }
}

void RTServiceTwitter::setShowListsNode(bool on)
{
    setAndAnnounce(m_showListsNode, on, [this] { emit showNodesChanged(); });
}

void RTServiceTwitter::setShowFavoritesNode(bool on)
{
    setAndAnnounce(m_showFavoritesNode, on, [this] { emit showNodesChanged(); });
}

void RTServiceTwitter::setShowSearchesNode(bool on)
{
    setAndAnnounce(m_showSearchesNode, on, [this] { emit showNodesChanged(); });
}

void RTServiceTwitter::setShowGroupsNode(bool on)
{
    setAndAnnounce(m_showGroupsNode, on, [this] { emit showNodesChanged(); });
}

void RTServiceTwitter::setShowRetweetsNode(bool on)
{
    setAndAnnounce(m_showRetweetsNode, on, [this] { emit showNodesChanged(); });
}

void RTServiceTwitter::setShowCombinedNode(bool on)
{
    setAndAnnounce(m_showCombinedNode, on, [this] { emit showNodesChanged(); });
}

void RTServiceTwitter::setShowRetweetsInHome(bool on)
{
    setAndAnnounce(m_showRetweetsInHome, on, [this] { emit homeContentsChanged(); });
}

void RTServiceTwitter::setShowSentInHome(bool on)
{
    setAndAnnounce(m_showSentInHome, on, [this] { emit homeContentsChanged(); });
}

void RTServiceTwitter::setShowMentionsInHome(bool on)
{
    setAndAnnounce(m_showMentionsInHome, on, [this] { emit homeContentsChanged(); });
}

// --- stores -------------------------------------------------------------------------

RTServiceTwitter::MessagesDictionary RTServiceTwitter::messagesDictionary() const
{
    QMutexLocker lock(&m_messagesDictionaryLock);
    return m_messagesDictionary;
}

void RTServiceTwitter::setMessagesDictionary(const MessagesDictionary &messages)
{
    {
        QMutexLocker lock(&m_messagesDictionaryLock);
        m_messagesDictionary = messages;
        messagesChanged();
    }
    emit messagesDictionaryChanged();
}

void RTServiceTwitter::messagesChanged()
{
    m_messagesGeneration.store(nextStoreGeneration(), std::memory_order_release);
}

RTServiceTwitter::UsersDictionary RTServiceTwitter::usersDictionary() const
{
    QMutexLocker lock(&m_usersDictionaryLock);
    return m_usersDictionary;
}

void RTServiceTwitter::setUsersDictionary(const UsersDictionary &users)
{
    {
        QMutexLocker lock(&m_usersDictionaryLock);
        m_usersDictionary = users;
    }
    emit usersDictionaryChanged();
}

std::shared_ptr<RTMessage> RTServiceTwitter::messageWithId(const QString &messageId) const
{
    QMutexLocker lock(&m_messagesDictionaryLock);
    return m_messagesDictionary.value(messageId);
}

std::optional<RTServiceTwitter::UsersDictionary> RTServiceTwitter::autocompleteUsers() const
{
    QMutexLocker lock(&m_usersDictionaryLock);
    return m_autocompleteUsers;
}

void RTServiceTwitter::setAutocompleteUsers(const std::optional<UsersDictionary> &users)
{
    QMutexLocker lock(&m_usersDictionaryLock);
    m_autocompleteUsers = users;
}

std::optional<RTServiceTwitter::FlagsDictionary> RTServiceTwitter::permanentMessageFlags() const
{
    QMutexLocker lock(&m_messagesDictionaryLock);
    return m_permanentMessageFlags;
}

void RTServiceTwitter::setPermanentMessageFlags(const std::optional<FlagsDictionary> &flags)
{
    QMutexLocker lock(&m_messagesDictionaryLock);
    m_permanentMessageFlags = flags;
    messagesChanged();
}

RTServiceTwitter::FlagsDictionary
RTServiceTwitter::newestPermanentFlags(const MessagesDictionary &messages,
                                       const std::optional<FlagsDictionary> &stored, int maxCount)
{
    return RTPermanentFlagsArchive::newest(messages, stored, maxCount);
}

void RTServiceTwitter::applyMessageFontSize()
{
    for (const RTMessageTwitterPtr &message : messagesDictionary())
        if (message)
            message->updateAttributedBodyFont();
}

// --- archive ------------------------------------------------------------------------

void RTServiceTwitter::encodeWithCoder(KeyedArchiver &coder) const
{
    RTService::encodeWithCoder(coder);
    coder.encodeObject(kMyselfKey, m_myself.get());
    coder.encodeObject(kDefaultShortenerKey, m_defaultShortener.get());
    std::vector<const RTArchivable *> searches;
    for (const RTSearchTwitterPtr &search : m_savedSearchesArray) {
        if (search)
            searches.push_back(search.get());
    }
    coder.encodeObjectList(kSavedSearchesArrayKey, searches);
    std::vector<const RTArchivable *> lists;
    for (const RTListTwitterPtr &list : m_listsArray) {
        if (list)
            lists.push_back(list.get());
    }
    coder.encodeObjectList(kListsArrayKey, lists);
    coder.encodeObject(kDefaultImagerKey, m_defaultImager.get());
    coder.encodeBool(kShowListsNodeKey, m_showListsNode);
    coder.encodeBool(kShowFavoritesNodeKey, m_showFavoritesNode);
    coder.encodeBool(kShowSearchesNodeKey, m_showSearchesNode);
    coder.encodeBool(kShowGroupsNodeKey, m_showGroupsNode);
    coder.encodeBool(kShowRetweetsNodeKey, m_showRetweetsNode);
    coder.encodeBool(kShowCombinedNodeKey, m_showCombinedNode);
    coder.encodeBool(kShouldPollTwitterListsKey, m_shouldPollTwitterLists);

    if (coder.isDigest()) {
        // Read before any word is: a change after this moves one of them on.
        QCborArray stamp;
        stamp.append(qint64(m_messagesGeneration.load(std::memory_order_acquire)));
        stamp.append(qint64(RTMessage::permanentFlagsGeneration()));
        coder.encodeValue(kPermanentMessageFlagsKey, stamp);
    } else {
        coder.encodeEncodedValue(kPermanentMessageFlagsKey,
                                 RTPermanentFlagsArchive::encode(messagesDictionary(),
                                                                 permanentMessageFlags(),
                                                                 kMaxArchivedMessageFlags));
    }

    coder.encodeBool(kShowRetweetsInHomeKey, m_showRetweetsInHome);
    coder.encodeBool(kShowSentInHomeKey, m_showSentInHome);
    coder.encodeBool(kShowMentionsInHomeKey, m_showMentionsInHome);

    // After a restart the user store holds little more than myself until timelines
    // arrive; keep the previous run's completion list across such a restart.
    UsersDictionary users = usersDictionary();
    if (users.size() <= 2) {
        if (const auto autocomplete = autocompleteUsers())
            users = *autocomplete;
    }
    std::vector<std::pair<QString, const RTArchivable *>> userObjects;
    userObjects.reserve(size_t(users.size()));
    for (auto it = users.cbegin(); it != users.cend(); ++it)
        if (it.value())
            userObjects.emplace_back(it.key(), it.value().get());
    coder.encodeObjectMap(kAutocompleteUsersKey, userObjects);
}

void RTServiceTwitter::decodeWithCoder(const KeyedUnarchiver &coder)
{
    RTService::decodeWithCoder(coder);

    if (auto me = coder.decodeObjectOfClass<RTUserTwitter>(kMyselfKey)) {
        m_myself = RTUserTwitterPtr(std::move(me));
        m_myself->setService(this);
        setUsersDictionary({{m_myself->userId(), m_myself}});
    }
    if (coder.containsValueForKey(kDefaultShortenerKey))
        m_defaultShortener =
            RTServicePtr(coder.decodeObjectOfClass<RTService>(kDefaultShortenerKey));
    if (coder.containsValueForKey(kDefaultImagerKey))
        m_defaultImager = RTServicePtr(coder.decodeObjectOfClass<RTService>(kDefaultImagerKey));

    if (coder.containsValueForKey(kShowListsNodeKey)) {
        m_showListsNode = coder.decodeBool(kShowListsNodeKey, m_showListsNode);
        m_showFavoritesNode = coder.decodeBool(kShowFavoritesNodeKey, m_showFavoritesNode);
        m_showSearchesNode = coder.decodeBool(kShowSearchesNodeKey, m_showSearchesNode);
        m_showGroupsNode = coder.decodeBool(kShowGroupsNodeKey, m_showGroupsNode);
        m_showRetweetsNode = coder.decodeBool(kShowRetweetsNodeKey, m_showRetweetsNode);
    }
    m_showCombinedNode = coder.decodeBool(kShowCombinedNodeKey, m_showCombinedNode);
    m_shouldPollTwitterLists =
        coder.decodeBool(kShouldPollTwitterListsKey, m_shouldPollTwitterLists);

    if (coder.containsValueForKey(kPermanentMessageFlagsKey)) {
        FlagsDictionary flags;
        int skipped = 0;
        const QByteArray encoded = coder.encodedValue(kPermanentMessageFlagsKey);
        if (encoded.isEmpty() || !RTPermanentFlagsArchive::read(encoded, &flags, &skipped)) {
            flags.clear();
            skipped = 0;
            const QCborValue stored = coder.value(kPermanentMessageFlagsKey);
            if (stored.isMap())
                RTPermanentFlagsArchive::readTree(stored.toMap(), &flags, &skipped);
            else if (!stored.isNull())
                coder.fail(QStringLiteral("permanentMessageFlags is not a map"));
        }
        if (skipped)
            qCWarning(lcTwitter) << "skipped" << skipped << "malformed stored flag words";
        setPermanentMessageFlags(flags);
    } else {
        decodeLegacyFlagSets(coder);
    }

    m_showRetweetsInHome = coder.decodeBool(kShowRetweetsInHomeKey, m_showRetweetsInHome);
    m_showSentInHome = coder.decodeBool(kShowSentInHomeKey, m_showSentInHome);
    m_showMentionsInHome = coder.decodeBool(kShowMentionsInHomeKey, m_showMentionsInHome);

    if (coder.containsValueForKey(kAutocompleteUsersKey) && !coder.isNull(kAutocompleteUsersKey)) {
        UsersDictionary users;
        for (auto &[id, object] : coder.decodeObjectMap(kAutocompleteUsersKey)) {
            auto user = coder.castOrFail<RTUserTwitter>(std::move(object), kAutocompleteUsersKey);
            if (user)
                users.insert(id, RTUserTwitterPtr(std::move(user)));
        }
        setAutocompleteUsers(users);
    }
    if (coder.containsValueForKey(kSavedSearchesArrayKey) &&
        !coder.isNull(kSavedSearchesArrayKey)) {
        QList<RTSearchTwitterPtr> searches;
        for (auto &object : coder.decodeObjectList(kSavedSearchesArrayKey)) {
            auto search =
                coder.castOrFail<RTSearchTwitter>(std::move(object), kSavedSearchesArrayKey);
            if (search)
                searches.append(RTSearchTwitterPtr(std::move(search)));
        }
        setSavedSearchesArray(searches);
    }
    // Stores written before lists were kept have none; the next lists answer fills them.
    if (coder.containsValueForKey(kListsArrayKey) && !coder.isNull(kListsArrayKey)) {
        QList<RTListTwitterPtr> lists;
        for (auto &object : coder.decodeObjectList(kListsArrayKey)) {
            auto list = coder.castOrFail<RTListTwitter>(std::move(object), kListsArrayKey);
            if (!list || list->listId().isEmpty())
                continue;
            RTListTwitterPtr kept(std::move(list));
            kept->setService(this);
            if (m_myself && kept->user() && kept->user()->userId() == m_myself->userId())
                kept->setUser(m_myself);
            lists.append(kept);
        }
        setListsArray(lists);
    }
}

void RTServiceTwitter::decodeLegacyFlagSets(const KeyedUnarchiver &coder)
{
    const struct
    {
        const char *key;
        quint32 flag;
    } sets[] = {
        {"temporaryReadMessagesSet", RTPermanentFlag::IsSeen},
        {"permanentReadMessagesSet", RTPermanentFlag::IsSeen},
        {"temporaryHiddenMessagesSet", RTPermanentFlag::IsHidden},
        {"permanentHiddenMessagesSet", RTPermanentFlag::IsHidden},
        {"temporarySpecialHiddenMessagesSet", RTPermanentFlag::IsSpecialHidden},
        {"permanentSpecialHiddenMessagesSet", RTPermanentFlag::IsSpecialHidden},
    };
    FlagsDictionary flags;
    for (const auto &set : sets) {
        const QString key = QString::fromLatin1(set.key);
        if (!coder.containsValueForKey(key))
            continue;
        const QCborValue value = coder.value(key);
        if (!value.isArray()) {
            if (!value.isNull())
                qCWarning(lcTwitter) << "ignored malformed" << key;
            continue;
        }
        for (const QCborValue &item : value.toArray()) {
            const QString id = RTPermanentFlagsArchive::idFromCbor(item);
            if (!id.isEmpty())
                flags[id] |= set.flag;
        }
    }
    setPermanentMessageFlags(flags);
}
