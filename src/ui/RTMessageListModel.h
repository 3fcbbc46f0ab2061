#pragma once

#include "model/RTMessage.h"
#include "timelines/RTTreeNode.h"

#include <QAbstractListModel>
#include <QPointer>

class RTTreeNode;

// The rows of one node's list: its displayed messages, newest first, without the hidden
// ones, and under one message the conversation opened there. refresh() brings the rows
// up to date with the node by inserting and removing rows, so the view keeps its
// scroll position and selection while messages arrive.
class RTMessageListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role
    {
        MessageIdRole = Qt::UserRole + 1,
        IsConversationRole, // the row belongs to an opened conversation
        IsUnseenRole,
    };

    explicit RTMessageListModel(QObject *parent = nullptr);

    void setNode(RTTreeNode *node);
    [[nodiscard]] RTTreeNode *node() const { return m_node; }
    // Opens the conversation node under message; the rows follow the node's content.
    void setConversation(RTTreeNode *conversation, const QString &originMessageId);
    [[nodiscard]] RTTreeNode *conversation() const { return m_conversation; }
    [[nodiscard]] QString conversationOrigin() const { return m_conversationOrigin; }

    [[nodiscard]] int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;

    [[nodiscard]] RTMessagePtr messageAt(int row) const;
    [[nodiscard]] bool isConversationRow(int row) const;
    [[nodiscard]] int rowOfMessage(const QString &messageId) const;
    // Whether the row is drawn as new in this node.
    [[nodiscard]] bool isUnseen(int row) const;

    // The text a screen reader reads for a message: "name, age, text".
    [[nodiscard]] static QString accessibleText(const RTMessage &message);
    [[nodiscard]] static QString authorName(const RTMessage &message);
    [[nodiscard]] static QString screenName(const RTMessage &message);

public slots:
    void refresh();

private:
    struct Row
    {
        RTMessagePtr message;
        bool inConversation = false;
        bool operator==(const Row &o) const
        {
            return message == o.message && inConversation == o.inConversation;
        }
    };
    [[nodiscard]] QList<Row> wantedRows() const;
    [[nodiscard]] bool isShown(const RTMessage &message, qint32 requestType) const;

    QPointer<RTTreeNode> m_node;
    QPointer<RTTreeNode> m_conversation;
    QString m_conversationOrigin;
    QList<Row> m_rows;
};
