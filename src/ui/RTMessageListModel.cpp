#include "ui/RTMessageListModel.h"

#include "model/RTMessageTwitter.h"
#include "model/RTUserTwitter.h"
#include "model/TimeCalculator.h"
#include "timelines/RTTreeNode.h"

#include <QHash>
#include <QSet>

namespace {
using Key = std::pair<const RTMessage *, bool>;
} // namespace

RTMessageListModel::RTMessageListModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

void RTMessageListModel::setNode(RTTreeNode *node)
{
    if (m_node == node)
        return;
    beginResetModel();
    m_node = node;
    m_conversation = nullptr;
    m_conversationOrigin.clear();
    m_rows.clear();
    endResetModel();
    refresh();
}

void RTMessageListModel::setConversation(RTTreeNode *conversation, const QString &originMessageId)
{
    m_conversation = conversation;
    m_conversationOrigin = conversation ? originMessageId : QString();
    refresh();
}

bool RTMessageListModel::isShown(const RTMessage &message, qint32 requestType) const
{
    if (message.isHidden())
        return false;
    // Home and Combined drop the user's own messages and mentions that were hidden there
    // only, so Sent and Mentions keep them.
    if (message.isSpecialHidden() &&
        (requestType == 55 || requestType == RTTreeNodeRequestType::Combined))
        return false;
    return true;
}

QList<RTMessageListModel::Row> RTMessageListModel::wantedRows() const
{
    QList<Row> rows;
    if (!m_node)
        return rows;
    const qint32 type = m_node->requestType();
    const QList<RTMessagePtr> messages = m_node->displayedMessages();
    rows.reserve(messages.size());
    QList<RTMessagePtr> conversation;
    if (m_conversation)
        conversation = m_conversation->displayedMessages();
    for (const RTMessagePtr &message : messages) {
        if (!isShown(*message, type))
            continue;
        rows.append(Row{message, false});
        if (!conversation.isEmpty() && message->messageId() == m_conversationOrigin) {
            // Read top-down: the chain from the oldest message on.
            for (auto it = conversation.crbegin(); it != conversation.crend(); ++it) {
                if ((*it)->messageId() != m_conversationOrigin)
                    rows.append(Row{*it, true});
            }
        }
    }
    return rows;
}

void RTMessageListModel::refresh()
{
    const QList<Row> wanted = wantedRows();
    if (wanted == m_rows)
        return;
    QSet<Key> wantedKeys;
    wantedKeys.reserve(wanted.size());
    for (const Row &r : wanted)
        wantedKeys.insert({r.message.get(), r.inConversation});
    QSet<Key> currentKeys;
    currentKeys.reserve(m_rows.size());
    for (const Row &r : std::as_const(m_rows))
        currentKeys.insert({r.message.get(), r.inConversation});

    // Both lists keep the node's order, so one pass of removals and insertions turns the
    // current rows into the wanted ones; a reordering falls back to a reset.
    int i = 0;
    int j = 0;
    while (i < m_rows.size() || j < wanted.size()) {
        if (i < m_rows.size() &&
            !wantedKeys.contains({m_rows[i].message.get(), m_rows[i].inConversation})) {
            int end = i;
            while (end + 1 < m_rows.size() &&
                   !wantedKeys.contains(
                       {m_rows[end + 1].message.get(), m_rows[end + 1].inConversation}))
                ++end;
            beginRemoveRows(QModelIndex(), i, end);
            m_rows.remove(i, end - i + 1);
            endRemoveRows();
            continue;
        }
        if (j >= wanted.size())
            break;
        if (i < m_rows.size() && m_rows[i] == wanted[j]) {
            ++i;
            ++j;
            continue;
        }
        if (!currentKeys.contains({wanted[j].message.get(), wanted[j].inConversation})) {
            int end = j;
            while (end + 1 < wanted.size() &&
                   !currentKeys.contains(
                       {wanted[end + 1].message.get(), wanted[end + 1].inConversation}) &&
                   !(i < m_rows.size() && m_rows[i] == wanted[end + 1]))
                ++end;
            beginInsertRows(QModelIndex(), i, i + (end - j));
            for (int k = j; k <= end; ++k)
                m_rows.insert(i + (k - j), wanted[k]);
            endInsertRows();
            i += end - j + 1;
            j = end + 1;
            continue;
        }
        beginResetModel();
        m_rows = wanted;
        endResetModel();
        return;
    }
    // Flags (seen, highlighted) may have changed on rows that stayed.
    if (!m_rows.isEmpty())
        emit dataChanged(index(0), index(int(m_rows.size()) - 1));
}

int RTMessageListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

RTMessagePtr RTMessageListModel::messageAt(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows[row].message : RTMessagePtr();
}

bool RTMessageListModel::isConversationRow(int row) const
{
    return row >= 0 && row < m_rows.size() && m_rows[row].inConversation;
}

int RTMessageListModel::rowOfMessage(const QString &messageId) const
{
    for (int i = 0; i < m_rows.size(); ++i) {
        if (!m_rows[i].inConversation && m_rows[i].message->messageId() == messageId)
            return i;
    }
    return -1;
}

bool RTMessageListModel::isUnseen(int row) const
{
    const RTMessagePtr message = messageAt(row);
    if (!message)
        return false;
    RTTreeNode *owner = isConversationRow(row) ? m_conversation.data() : m_node.data();
    return owner ? owner->shouldShowMessageAsNew(message) : !message->isSeen();
}

QString RTMessageListModel::authorName(const RTMessage &message)
{
    const auto user = std::dynamic_pointer_cast<RTUserTwitter>(message.user());
    if (!user)
        return message.user() ? message.user()->displayName() : QString();
    return user->longName().isEmpty() ? user->screenName() : user->longName();
}

QString RTMessageListModel::screenName(const RTMessage &message)
{
    const auto user = std::dynamic_pointer_cast<RTUserTwitter>(message.user());
    return user ? user->screenName() : QString();
}

QString RTMessageListModel::accessibleText(const RTMessage &message)
{
    return QStringLiteral("%1, %2, %3")
        .arg(authorName(message), TimeCalculator::longAgoParseDateString(message.createdAt()),
             message.isTranslated() && !message.translatedBody().isEmpty()
                 ? message.translatedBody()
                 : message.body());
}

QVariant RTMessageListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const RTMessage &message = *m_rows[index.row()].message;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return accessibleText(message);
    case MessageIdRole:
        return message.messageId();
    case IsConversationRole:
        return m_rows[index.row()].inConversation;
    case IsUnseenRole:
        return isUnseen(index.row());
    default:
        return {};
    }
}
