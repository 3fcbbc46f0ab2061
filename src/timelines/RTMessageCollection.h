#pragma once

#include "foundation/Predicate.h"
#include "model/RTMessage.h"

#include <QList>
#include <QSet>

// A node's messages, newest first by createdAt (ties by id, newest first), with a display
// filter. Batches are merged in, so adding k messages to n costs O(k log k + n), not a
// full re-sort.
class RTMessageCollection
{
public:
    [[nodiscard]] const QList<RTMessagePtr> &content() const { return m_content; }
    [[nodiscard]] int count() const { return int(m_content.size()); }
    [[nodiscard]] bool contains(const RTMessage *message) const;
    // Adds the messages not yet held; returns how many were added.
    int addMessages(const QList<RTMessagePtr> &messages);
    // Returns how many were removed.
    int removeMessages(const QList<RTMessagePtr> &messages);
    void clear();

    [[nodiscard]] Predicate filterPredicate() const { return m_filter; }
    void setFilterPredicate(const Predicate &filter) { m_filter = filter; }
    // The displayed messages: content passing the filter, in content order.
    [[nodiscard]] QList<RTMessagePtr> arrangedObjects() const;

    // Sort order: true when a is shown before b.
    static bool isNewerThan(const RTMessage &a, const RTMessage &b);

private:
    QList<RTMessagePtr> m_content;
    QSet<const RTMessage *> m_members;
    Predicate m_filter;
};
