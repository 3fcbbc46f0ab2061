#include "ui/RTOutlineView.h"

#include <QPainter>

void RTOutlineView::drawBranches(QPainter *painter, const QRect &rect,
                                 const QModelIndex &index) const
{
    painter->fillRect(rect, palette().color(QPalette::Window));
    if (!model()->hasChildren(index))
        return;
    QStyleOption option;
    option.initFrom(this);
    const int indicator = indentation();
    option.rect = QRect(rect.right() - indicator + 1, rect.top(), indicator, rect.height());
    option.state = QStyle::State_Children | QStyle::State_Item;
    if (isExpanded(index))
        option.state |= QStyle::State_Open;
    style()->drawPrimitive(QStyle::PE_IndicatorBranch, &option, painter, this);
}
