#include "timelines/RTMessageCollection.h"

#include "timelines/RTTreeNodePredicates.h"

#include <algorithm>

namespace {

// Digits only, no leading zero, short enough for 64 bits: such ids order as numbers by
// length, then text.
bool isPlainNumber(const QString &id)
{
    const qsizetype n = id.size();
    if (n == 0 || n > 18 || (n > 1 && id.front() == u'0'))
        return false;
    return std::all_of(id.cbegin(), id.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// Numeric ids order as numbers ("999" before "1000"); others as text.
int compareIds(const QString &a, const QString &b)
{
    if (isPlainNumber(a) && isPlainNumber(b)) {
        if (a.size() != b.size())
            return a.size() < b.size() ? -1 : 1;
        return a.compare(b);
    }
    bool okA = false;
    bool okB = false;
    const qint64 x = a.toLongLong(&okA);
    const qint64 y = b.toLongLong(&okB);
    if (okA && okB)
        return x < y ? -1 : (x > y ? 1 : 0);
    return a.compare(b);
}

} // namespace

bool RTMessageCollection::isNewerThan(const RTMessage &a, const RTMessage &b)
{
    const QDateTime &da = a.createdAt();
    const QDateTime &db = b.createdAt();
    if (da != db)
        return da > db;
    return compareIds(a.messageId(), b.messageId()) > 0;
}

bool RTMessageCollection::contains(const RTMessage *message) const
{
    return m_members.contains(message);
}

int RTMessageCollection::addMessages(const QList<RTMessagePtr> &messages)
{
    QList<RTMessagePtr> fresh;
    fresh.reserve(messages.size());
    for (const RTMessagePtr &message : messages) {
        if (message && !m_members.contains(message.get())) {
            m_members.insert(message.get());
            fresh.append(message);
        }
    }
    if (fresh.isEmpty())
        return 0;
    const auto newer = [](const RTMessagePtr &a, const RTMessagePtr &b) {
        return isNewerThan(*a, *b);
    };
    // A page arrives newest first, or (gathered oldest first) strictly the other way:
    // most batches need no sort, and a strictly reversed one sorts by reversing.
    if (!std::is_sorted(fresh.cbegin(), fresh.cend(), newer)) {
        const auto strictlyOlderFirst =
            std::adjacent_find(fresh.cbegin(), fresh.cend(),
                               [&newer](const RTMessagePtr &a, const RTMessagePtr &b) {
                                   return !newer(b, a);
                               }) == fresh.cend();
        if (strictlyOlderFirst)
            std::reverse(fresh.begin(), fresh.end());
        else
            std::stable_sort(fresh.begin(), fresh.end(), newer);
    }
    // Everything from pos on is older than every fresh message and stays where it is,
    // so a batch of new arrivals only touches the head of the list.
    const qsizetype pos =
        std::upper_bound(m_content.cbegin(), m_content.cend(), fresh.last(), newer) -
        m_content.cbegin();
    const qsizetype k = fresh.size();
    m_content.insert(pos, k, RTMessagePtr());
    // Merge the old head [0, pos) with fresh backwards into [0, pos + k).
    qsizetype i = pos - 1;
    qsizetype j = k - 1;
    for (qsizetype w = pos + k - 1; j >= 0; --w) {
        if (i >= 0 && newer(fresh[j], m_content[i]))
            m_content[w] = std::move(m_content[i--]);
        else
            m_content[w] = std::move(fresh[j--]);
    }
    return int(fresh.size());
}

int RTMessageCollection::removeMessages(const QList<RTMessagePtr> &messages)
{
    QSet<const RTMessage *> gone;
    for (const RTMessagePtr &message : messages) {
        if (message && m_members.remove(message.get()))
            gone.insert(message.get());
    }
    if (gone.isEmpty())
        return 0;
    m_content.removeIf([&gone](const RTMessagePtr &m) { return gone.contains(m.get()); });
    return int(gone.size());
}

void RTMessageCollection::clear()
{
    m_content.clear();
    m_members.clear();
}

QList<RTMessagePtr> RTMessageCollection::arrangedObjects() const
{
    if (m_filter.isNull())
        return m_content;
    QList<RTMessagePtr> shown;
    for (const RTMessagePtr &message : m_content) {
        if (evaluatePredicate(m_filter, *message))
            shown.append(message);
    }
    return shown;
}
