#pragma once

#include <QTreeView>

// The source outline's tree view: the selection is drawn by the row delegate as a
// rounded pill, so the branch area keeps the sidebar's background.
class RTOutlineView : public QTreeView
{
    Q_OBJECT
public:
    using QTreeView::QTreeView;

protected:
    void drawBranches(QPainter *painter, const QRect &rect,
                      const QModelIndex &index) const override;
};
