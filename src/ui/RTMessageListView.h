#pragma once

#include "ui/RTMessageDelegate.h"

#include <QListView>

class RTMessageListModel;

// The message list: one painted delegate, links and quick actions under the mouse,
// j/k to move, Enter to open a conversation, and a request for older messages when the
// user scrolls to the end.
class RTMessageListView : public QListView
{
    Q_OBJECT
public:
    explicit RTMessageListView(RTMessageListModel &model, QWidget *parent = nullptr);

    [[nodiscard]] RTMessageDelegate *messageDelegate() const { return m_delegate; }
    [[nodiscard]] RTMessageListModel &messageModel() const { return m_model; }
    [[nodiscard]] QStyleOptionViewItem optionForIndex(const QModelIndex &index) const;
    void selectRow(int row);

signals:
    void linkActivated(const QString &link, int row);
    // A thumbnail was clicked: the inline picture's record (thumbnailURL, inlineImageLink,
    // standardLink, logoName).
    void pictureActivated(const QVariantMap &picture, int row);
    void quickActionActivated(int row, int action);
    void openRequested(int row);
    void contextMenuRequestedForRow(int row, const QPoint &globalPos);
    // The user reached the end of the list.
    void endReached();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void setHovered(int row);
    void checkEnd();

    RTMessageListModel &m_model;
    RTMessageDelegate *m_delegate;
    QPoint m_pressPos;
    int m_lastWidth = -1;
};
