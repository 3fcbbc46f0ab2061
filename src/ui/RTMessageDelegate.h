#pragma once

#include "text/RTImagerSource.h"
#include "text/RTStyledText.h"

#include <QHash>
#include <QStyledItemDelegate>
#include <QTextLayout>
#include <memory>
#include <optional>

class RTMessage;
class RTMessageListModel;

// Paints one message row: accent bar for unseen rows, rounded avatar, name, screen
// name, markers, right-aligned age, and the styled body with its links; quick actions
// on the hovered row. Answers which link or quick action lies under a point, for the
// view's clicks and cursor. Body layouts are cached per message and width.
class RTMessageDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // The hover actions, in drawing order from the left.
    enum QuickAction
    {
        NoAction = -1,
        ReplyAction,
        RetweetAction,
        FavoriteAction,
        MoreAction,
    };

    explicit RTMessageDelegate(RTMessageListModel &model, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const override;

    // The link target under pos (view coordinates inside option.rect), or empty.
    [[nodiscard]] QString linkAt(const QStyleOptionViewItem &option, const QModelIndex &index,
                                 const QPoint &pos) const;
    // The middle of the body character at position, in view coordinates (invalid point
    // when the position is outside the body).
    [[nodiscard]] QPoint pointForCharacter(const QStyleOptionViewItem &option,
                                           const QModelIndex &index, int position) const;
    [[nodiscard]] QuickAction quickActionAt(const QStyleOptionViewItem &option,
                                            const QPoint &pos) const;
    [[nodiscard]] QRect quickActionRect(const QStyleOptionViewItem &option,
                                        QuickAction action) const;

    // The body as drawn: the parsed text with links, mentions and hashtags, expanded
    // short links showing where they lead.
    [[nodiscard]] static RTStyledText styledBody(const RTMessage &message);

    // The inline picture whose thumbnail lies under pos, or nothing.
    [[nodiscard]] std::optional<RTInlineImageInfo> pictureAt(const QStyleOptionViewItem &option,
                                                             const QModelIndex &index,
                                                             const QPoint &pos) const;
    // Where the thumbnails of a row are drawn, in order.
    [[nodiscard]] QList<QRect> thumbnailRects(const QStyleOptionViewItem &option,
                                              const QModelIndex &index) const;
    static constexpr int kThumbnailSize = 70;

    void setHoveredRow(int row) { m_hoveredRow = row; }
    [[nodiscard]] int hoveredRow() const { return m_hoveredRow; }
    // Fonts or sizes changed: forget the cached layouts.
    void invalidate();

    // Avatars come from here; the row draws initials until one is known.
    std::function<QPixmap(const RTMessage &, int size)> avatarProvider;
    // Thumbnails (square, size x size) come from here; a placeholder is drawn meanwhile.
    std::function<QPixmap(const QString &url, int size)> thumbnailProvider;

private:
    struct Metrics
    {
        int pad;
        int avatar;
        int gap;
        int lineHeight;
        int accent;
        int indent;
    };
    struct Body
    {
        QString text;
        RTStyledText styled;
        std::shared_ptr<QTextLayout> layout;
        int width = -1;
        int height = 0;
        QList<RTInlineImageInfo> pictures;
    };

    [[nodiscard]] Metrics metrics(const QStyleOptionViewItem &option) const;
    [[nodiscard]] QRect bodyRect(const QStyleOptionViewItem &option, const QModelIndex &index,
                                 const Metrics &m) const;
    [[nodiscard]] int textLeft(const QStyleOptionViewItem &option, const QModelIndex &index,
                               const Metrics &m) const;
    // The laid-out body for the message at the given width (cached).
    const Body &body(const RTMessage &message, const QFont &font, int width,
                     const QPalette &palette) const;
    [[nodiscard]] QFont bodyFont(const QStyleOptionViewItem &option) const;

    RTMessageListModel &m_model;
    mutable QHash<const RTMessage *, Body> m_bodies;
    int m_hoveredRow = -1;
};
