#pragma once

#include <QStyledItemDelegate>

// Paints an outline row: icon, title, and the unseen count as a pill on the right
// (filled with the accent colour when non-zero). Account roots read as section headers.
class RTOutlineDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const override;
    // The badge text for a count: empty for none, "999+" above 999.
    [[nodiscard]] static QString badgeText(int count);
};
