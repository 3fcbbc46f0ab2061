#include "twitter/RTPermanentFlagsArchive.h"

#include "foundation/CborHead.h"
#include "foundation/CborWriter.h"

#include <QCborMap>
#include <QCborValue>
#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace {

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

// An id as a number where it reads back as the same text (what idFromCbor does), else
// as text: numbers are a third of the bytes and cost no string to read.
void writeId(CborWriter &bytes, QStringView s)
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
        bytes.head(CborWriter::Unsigned, value);
    else
        bytes.text(s);
}

// Orders items by the memory page of what they point to (any order within a page):
// a radix sort of page numbers, a pass per 11 bits of the span of pages.
template<class T, class Pointer> void sortByPage(std::vector<T> &items, Pointer pointerOf)
{
    if (items.size() < 2)
        return;
    quintptr lowest = std::numeric_limits<quintptr>::max();
    quintptr highest = 0;
    for (const T &item : items) {
        const auto address = reinterpret_cast<quintptr>(pointerOf(item));
        lowest = std::min(lowest, address);
        highest = std::max(highest, address);
    }
    constexpr int kPageBits = 12;
    constexpr int kDigitBits = 11;
    constexpr size_t kDigits = size_t(1) << kDigitBits;
    const auto page = [&](const T &item) {
        return (reinterpret_cast<quintptr>(pointerOf(item)) - lowest) >> kPageBits;
    };
    const quintptr pages = (highest - lowest) >> kPageBits;
    std::vector<T> sorted(items.size());
    for (int shift = 0; shift < int(sizeof(quintptr) * 8) && (pages >> shift) != 0;
         shift += kDigitBits) {
        std::vector<size_t> start(kDigits + 1, 0);
        for (const T &item : items)
            ++start[((page(item) >> shift) & (kDigits - 1)) + 1];
        for (size_t d = 1; d <= kDigits; ++d)
            start[d] += start[d - 1];
        for (const T &item : items)
            sorted[start[(page(item) >> shift) & (kDigits - 1)]++] = item;
        items.swap(sorted);
    }
}

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
} // namespace

QByteArray RTPermanentFlagsArchive::encode(const MessagesDictionary &messages,
                                           const std::optional<FlagsDictionary> &stored,
                                           int maxCount)
{
    const size_t cap = size_t(std::max(maxCount, 0));
    if (size_t(messages.size()) > cap) {
        const FlagEntries newest = newestOfMessages(messages, cap);
        const auto carried = carriedFlags(messages, stored, cap - newest.size());
        CborWriter bytes(qsizetype(newest.size() + carried.size()) * 16 + 9);
        bytes.head(CborWriter::Map, quint64(newest.size() + carried.size()));
        for (const auto &[id, word] : newest) {
            writeId(bytes, id);
            bytes.head(CborWriter::Unsigned, word);
        }
        for (const auto &it : carried) {
            writeId(bytes, it.key());
            bytes.head(CborWriter::Unsigned, it.value());
        }
        return bytes.take();
    }

    // Numeric ids take 9 bytes and a word up to 5.
    CborWriter bytes(qsizetype(messages.size()) * 16 + 64);
    bytes.reserveHead();
    // Each entry reads two cold places, the id's characters and the message. In hash
    // order those are all over the heap; in the order of the messages' addresses they
    // come a page after another, and the next ones are asked for while one is written.
    struct Entry
    {
        const RTMessageTwitter *message;
        QStringView id;
    };
    std::vector<Entry> entries;
    entries.reserve(size_t(messages.size()));
    constexpr int kNodesAhead = 16;
    auto ahead = messages.cbegin();
    for (int i = 0; i < kNodesAhead && ahead != messages.cend(); ++i, ++ahead)
        __builtin_prefetch(&ahead.key());
    for (auto it = messages.cbegin(); it != messages.cend(); ++it) {
        if (ahead != messages.cend()) {
            __builtin_prefetch(&ahead.key());
            ++ahead;
        }
        if (it.value())
            entries.push_back({it.value().get(), QStringView(it.key())});
    }
    sortByPage(entries, [](const Entry &e) { return e.message; });
    constexpr size_t kAhead = 8;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i + kAhead < entries.size()) {
            __builtin_prefetch(entries[i + kAhead].id.data());
            entries[i + kAhead].message->prefetchPermanentFlags();
        }
        writeId(bytes, entries[i].id);
        bytes.head(CborWriter::Unsigned, entries[i].message->permanentFlags());
    }
    const size_t live = entries.size();
    const auto carried = carriedFlags(messages, stored, cap - live);
    for (const auto &it : carried) {
        writeId(bytes, it.key());
        bytes.head(CborWriter::Unsigned, it.value());
    }
    return bytes.takeWithMapHead(quint64(live + carried.size()));
}

// The same words read straight from the map's bytes, for the forms this program writes:
// ids as numbers or ASCII text, words as numbers. False for anything else, which the
// tree then reads.
bool RTPermanentFlagsArchive::read(const QByteArray &bytes, FlagsDictionary *flags, int *skipped)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const auto *end = p + bytes.size();
    // A head with a definite count or value; false for other forms.
    const auto head = [&](quint8 *major, quint64 *value) {
        CborHead h;
        if (!readCborHead(p, end, &h) || h.indefinite)
            return false;
        *major = h.major;
        *value = h.value;
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

// An id as stored: a string, or a number from stores that kept ids as numbers.
QString RTPermanentFlagsArchive::idFromCbor(const QCborValue &v)
{
    if (v.isString())
        return v.toString();
    if (v.isInteger() && v.toInteger() >= 0)
        return decimalText(quint64(v.toInteger()));
    return {};
}

void RTPermanentFlagsArchive::readTree(const QCborMap &map, FlagsDictionary *flags, int *skipped)
{
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

RTPermanentFlagsArchive::FlagsDictionary
RTPermanentFlagsArchive::newest(const MessagesDictionary &messages,
                                const std::optional<FlagsDictionary> &stored, int maxCount)
{
    FlagsDictionary result;
    const FlagEntries entries = newestPermanentFlagEntries(messages, stored, maxCount);
    result.reserve(qsizetype(entries.size()));
    for (const auto &[id, word] : entries)
        result.insert(id, word);
    return result;
}
