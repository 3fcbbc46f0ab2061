#include "twitter/RTServiceTwitter.h"

#include "accounts/RTServiceImager.h"
#include "accounts/RTServiceRegistry.h"
#include "accounts/RTShortenerService.h"
#include "foundation/Localization.h"
#include "foundation/Log.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "model/RTMessageFlags.h"

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

// Numeric ids: a longer id is a larger number.
bool idLess(const QString &a, const QString &b)
{
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

// The decimal text of a number, as QString::number gives it, without its locale code:
// a restore turns tens of thousands of stored ids into text.
QString decimalText(quint64 n)
{
    char16_t digits[20];
    int start = 20;
    do {
        digits[--start] = char16_t(u'0' + n % 10);
        n /= 10;
    } while (n);
    return QString(reinterpret_cast<const QChar *>(digits + start), 20 - start);
}

// An id as stored: a string, or a number from stores that kept ids as numbers.
QString idFromCbor(const QCborValue &v)
{
    if (v.isString())
        return v.toString();
    if (v.isInteger() && v.toInteger() >= 0)
        return decimalText(quint64(v.toInteger()));
    return {};
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

namespace {

using FlagEntries = std::vector<std::pair<QString, quint32>>;

// The cap newest messages' flag words.
FlagEntries newestOfMessages(const RTServiceTwitter::MessagesDictionary &messages, size_t cap)
{
    struct Entry
    {
        qint64 created;
        QString id;
        quint32 flags;
    };
    std::vector<Entry> entries;
    entries.reserve(size_t(messages.size()));
    for (auto it = messages.cbegin(); it != messages.cend(); ++it) {
        if (!it.value())
            continue;
        const QDateTime &created = it.value()->createdAt();
        // A message without a date counts as the oldest.
        entries.push_back(
            {created.isValid() ? created.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min(),
             it.key(), it.value()->permanentFlags()});
    }
    const size_t keep = std::min(entries.size(), cap);
    // Order matters only when some must be left out.
    if (keep < entries.size()) {
        const auto newerFirst = [](const Entry &a, const Entry &b) {
            if (a.created != b.created)
                return a.created > b.created;
            return idLess(b.id, a.id); // same second: the larger id is the newer
        };
        std::partial_sort(entries.begin(), entries.begin() + qsizetype(keep), entries.end(),
                          newerFirst);
    }
    FlagEntries result;
    result.reserve(keep);
    for (size_t i = 0; i < keep; ++i)
        result.emplace_back(std::move(entries[i].id), entries[i].flags);
    return result;
}

FlagEntries
newestPermanentFlagEntries(const RTServiceTwitter::MessagesDictionary &messages,
                           const std::optional<RTServiceTwitter::FlagsDictionary> &stored,
                           int maxCount)
{
    const size_t cap = size_t(std::max(maxCount, 0));
    FlagEntries result;
    if (size_t(messages.size()) <= cap) {
        // Every message fits: no order, and no dates to read.
        result.reserve(size_t(messages.size()));
        for (auto it = messages.cbegin(); it != messages.cend(); ++it) {
            if (it.value())
                result.emplace_back(it.key(), it.value()->permanentFlags());
        }
    } else {
        result = newestOfMessages(messages, cap);
    }

    const size_t room = cap - result.size();
    if (stored && room > 0) {
        std::vector<std::pair<QString, quint32>> carried;
        for (auto it = stored->cbegin(); it != stored->cend(); ++it) {
            if (!messages.contains(it.key()))
                carried.emplace_back(it.key(), it.value());
        }
        const size_t take = std::min(carried.size(), room);
        if (take < carried.size()) {
            std::partial_sort(
                carried.begin(), carried.begin() + qsizetype(take), carried.end(),
                [](const auto &a, const auto &b) { return idLess(b.first, a.first); });
        }
        for (size_t i = 0; i < take; ++i)
            result.push_back(std::move(carried[i]));
    }
    return result;
}

// CBOR items written straight into a buffer that grows in large steps.
class CborBuffer
{
public:
    explicit CborBuffer(qsizetype expected)
        : m_bytes(expected, Qt::Uninitialized)
    {
    }
    // The head of an item: its major type and its count or value, big-endian.
    void head(quint8 major, quint64 n)
    {
        char *p = room(9);
        const char type = char(major << 5);
        if (n < 24) {
            *p = char(type | char(n));
            m_size += 1;
            return;
        }
        int bytes = 8;
        char info = 27;
        if (n <= 0xff) {
            bytes = 1;
            info = 24;
        } else if (n <= 0xffff) {
            bytes = 2;
            info = 25;
        } else if (n <= 0xffffffffu) {
            bytes = 4;
            info = 26;
        }
        *p++ = char(type | info);
        for (int i = bytes - 1; i >= 0; --i)
            *p++ = char((n >> (8 * i)) & 0xff);
        m_size += 1 + bytes;
    }
    void text(const QString &s)
    {
        for (const QChar c : s) {
            if (c.unicode() >= 0x80) {
                const QByteArray utf8 = s.toUtf8();
                head(3, quint64(utf8.size()));
                std::memcpy(room(utf8.size()), utf8.constData(), size_t(utf8.size()));
                m_size += utf8.size();
                return;
            }
        }
        // Ids are digits: their characters are their bytes.
        head(3, quint64(s.size()));
        char *p = room(s.size());
        for (const QChar c : s)
            *p++ = char(c.unicode());
        m_size += s.size();
    }
    // An id as a number where it reads back as the same text (what idFromCbor does),
    // else as text: numbers are a third of the bytes and cost no string to read.
    void id(const QString &s)
    {
        const qsizetype n = s.size();
        bool number = n > 0 && n <= 19 && (n == 1 || s.front() != u'0');
        quint64 value = 0;
        for (qsizetype i = 0; i < n && number; ++i) {
            const char16_t c = s.at(i).unicode();
            number = c >= u'0' && c <= u'9';
            value = value * 10 + quint64(c - u'0');
        }
        if (number && value <= quint64(std::numeric_limits<qint64>::max()))
            head(0, value);
        else
            text(s);
    }
    QByteArray take()
    {
        m_bytes.truncate(m_size);
        return std::move(m_bytes);
    }
    // For a map whose size is known only at the end: room for its head first, and the
    // head put in front of the entries when they are all written.
    void reserveHead() { m_size = kMaxHead; }
    QByteArray takeWithMapHead(quint64 entries)
    {
        const qsizetype end = m_size;
        m_size = 0;
        head(5, entries);
        const qsizetype size = m_size;
        std::memmove(m_bytes.data() + kMaxHead - size, m_bytes.data(), size_t(size));
        m_bytes.truncate(end);
        m_bytes.remove(0, kMaxHead - size);
        return std::move(m_bytes);
    }

private:
    char *room(qsizetype n)
    {
        if (m_size + n > m_bytes.size())
            m_bytes.resize(std::max(m_bytes.size() * 2, m_size + n));
        return m_bytes.data() + m_size;
    }
    static constexpr qsizetype kMaxHead = 9;
    QByteArray m_bytes;
    qsizetype m_size = 0;
};

// Stored words of ids no message holds, in the order they are written: all of them
// when they fit in room, else the largest ids.
std::vector<RTServiceTwitter::FlagsDictionary::const_iterator>
carriedFlags(const RTServiceTwitter::MessagesDictionary &messages,
             const std::optional<RTServiceTwitter::FlagsDictionary> &stored, size_t room)
{
    std::vector<RTServiceTwitter::FlagsDictionary::const_iterator> carried;
    if (!stored || room == 0)
        return carried;
    for (auto it = stored->cbegin(); it != stored->cend(); ++it) {
        if (!messages.contains(it.key()))
            carried.push_back(it);
    }
    const size_t take = std::min(carried.size(), room);
    if (take < carried.size()) {
        std::partial_sort(carried.begin(), carried.begin() + qsizetype(take), carried.end(),
                          [](const auto &a, const auto &b) { return idLess(b.key(), a.key()); });
        carried.resize(take);
    }
    return carried;
}

// The CBOR map of newestPermanentFlags, written in one pass over the messages when they
// all fit: no copies of ids, and no map built only to be written out again.
QByteArray encodedPermanentFlags(const RTServiceTwitter::MessagesDictionary &messages,
                                 const std::optional<RTServiceTwitter::FlagsDictionary> &stored,
                                 int maxCount)
{
    const size_t cap = size_t(std::max(maxCount, 0));
    if (size_t(messages.size()) > cap) {
        const FlagEntries newest = newestOfMessages(messages, cap);
        const auto carried = carriedFlags(messages, stored, cap - newest.size());
        CborBuffer bytes(qsizetype(newest.size() + carried.size()) * 16 + 9);
        bytes.head(5, quint64(newest.size() + carried.size()));
        for (const auto &[id, word] : newest) {
            bytes.id(id);
            bytes.head(0, word);
        }
        for (const auto &it : carried) {
            bytes.id(it.key());
            bytes.head(0, it.value());
        }
        return bytes.take();
    }

    // Numeric ids take 9 bytes and a word up to 5.
    CborBuffer bytes(qsizetype(messages.size()) * 16 + 64);
    bytes.reserveHead();
    // Each entry touches three cold places: its hash node, the id's characters and the
    // message. Nodes are asked for far ahead, what they point to nearer.
    constexpr int kNear = 4;
    constexpr int kFar = 10;
    auto near = messages.cbegin();
    auto far = messages.cbegin();
    for (int i = 0; i < kFar && far != messages.cend(); ++i, ++far)
        __builtin_prefetch(&far.key());
    for (int i = 0; i < kNear && near != messages.cend(); ++i, ++near) {
    }
    size_t live = 0;
    for (auto it = messages.cbegin(); it != messages.cend(); ++it) {
        if (far != messages.cend()) {
            __builtin_prefetch(&far.key());
            ++far;
        }
        if (near != messages.cend()) {
            __builtin_prefetch(near.key().constData());
            if (const RTMessageTwitterPtr &message = near.value())
                message->prefetchPermanentFlags();
            ++near;
        }
        if (const RTMessageTwitterPtr &message = it.value()) {
            bytes.id(it.key());
            bytes.head(0, message->permanentFlags());
            ++live;
        }
    }
    const auto carried = carriedFlags(messages, stored, cap - live);
    for (const auto &it : carried) {
        bytes.id(it.key());
        bytes.head(0, it.value());
    }
    return bytes.takeWithMapHead(quint64(live + carried.size()));
}

// The stored words as a tree gives them: ids as text or numbers, a word per id; an
// entry of any other kind is skipped.
void flagWordsFromTree(const KeyedUnarchiver &coder, RTServiceTwitter::FlagsDictionary *flags,
                       int *skipped)
{
    const QCborValue stored = coder.value(kPermanentMessageFlagsKey);
    if (!stored.isMap()) {
        if (!stored.isNull())
            coder.fail(QStringLiteral("permanentMessageFlags is not a map"));
        return;
    }
    const QCborMap map = stored.toMap();
    flags->reserve(map.size());
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const QString id = idFromCbor(it.key());
        const QCborValue word = it.value();
        if (id.isEmpty() || !word.isInteger() || word.toInteger() < 0 ||
            word.toInteger() > qint64(std::numeric_limits<quint32>::max())) {
            ++*skipped;
            continue;
        }
        flags->insert(id, quint32(word.toInteger()));
    }
}

// The same words read straight from the map's bytes, for the forms this program writes:
// ids as numbers or ASCII text, words as numbers. False for anything else, which the
// tree then reads.
bool readFlagWords(const QByteArray &bytes, RTServiceTwitter::FlagsDictionary *flags, int *skipped)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const auto *end = p + bytes.size();
    // A head with a count or value that fits 64 bits; false for other forms.
    const auto head = [&](quint8 *major, quint64 *value) {
        if (p >= end)
            return false;
        *major = *p >> 5;
        const quint8 info = *p++ & 0x1f;
        if (info < 24) {
            *value = info;
            return true;
        }
        if (info > 27)
            return false;
        const int size = 1 << (info - 24);
        if (end - p < size)
            return false;
        quint64 n = 0;
        for (int i = 0; i < size; ++i)
            n = (n << 8) | *p++;
        *value = n;
        return true;
    };
    quint8 major = 0;
    quint64 count = 0;
    if (!head(&major, &count) || major != 5 || count > quint64(end - p))
        return false;
    flags->reserve(qsizetype(count));
    for (quint64 i = 0; i < count; ++i) {
        quint64 key = 0;
        if (!head(&major, &key))
            return false;
        QString id;
        if (major == 0) {
            // Beyond qint64 a tree holds a double, which is no id.
            if (key > quint64(std::numeric_limits<qint64>::max()))
                return false;
            id = decimalText(key);
        } else if (major == 3) {
            if (key == 0 || key > quint64(end - p))
                return false;
            const auto *text = p;
            p += key;
            if (std::any_of(text, p, [](uchar c) { return c >= 0x80; }))
                return false;
            id = QString::fromLatin1(reinterpret_cast<const char *>(text), qsizetype(key));
        } else {
            return false;
        }
        quint64 word = 0;
        if (!head(&major, &word))
            return false;
        if (major == 1 || (major == 0 && word > std::numeric_limits<quint32>::max())) {
            ++*skipped;
            continue;
        }
        if (major != 0)
            return false;
        flags->insert(id, quint32(word));
    }
    return p == end;
}

} // namespace

RTServiceTwitter::FlagsDictionary
RTServiceTwitter::newestPermanentFlags(const MessagesDictionary &messages,
                                       const std::optional<FlagsDictionary> &stored, int maxCount)
{
    FlagsDictionary result;
    const FlagEntries entries = newestPermanentFlagEntries(messages, stored, maxCount);
    result.reserve(qsizetype(entries.size()));
    for (const auto &[id, word] : entries)
        result.insert(id, word);
    return result;
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
                                 encodedPermanentFlags(messagesDictionary(),
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
        if (encoded.isEmpty() || !readFlagWords(encoded, &flags, &skipped)) {
            flags.clear();
            skipped = 0;
            flagWordsFromTree(coder, &flags, &skipped);
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
            const QString id = idFromCbor(item);
            if (!id.isEmpty())
                flags[id] |= set.flag;
        }
    }
    setPermanentMessageFlags(flags);
}
