#include "ui/RTMessageListView.h"

#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "ui/RTMessageListModel.h"

#include <QKeyEvent>
#include <QScrollBar>

RTMessageListView::RTMessageListView(RTMessageListModel &model, QWidget *parent)
    : QListView(parent)
    , m_model(model)
    , m_delegate(new RTMessageDelegate(model, this))
{
    setModel(&model);
    setItemDelegate(m_delegate);
    setMouseTracking(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setResizeMode(QListView::Adjust);
    setLayoutMode(QListView::Batched);
    setBatchSize(60);
    setUniformItemSizes(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFrameShape(QFrame::NoFrame);
    setWordWrap(true);
    verticalScrollBar()->setSingleStep(24);
    setAccessibleName(tr("Messages"));
    // The delegate keeps laid-out bodies: a new message font size needs them again.
    connect(&SettingsStore::shared(), &SettingsStore::valueChanged, this,
            [this](const QString &key) {
                if (key != QLatin1String(TAMessageFontSizeKey))
                    return;
                m_delegate->invalidate();
                scheduleDelayedItemsLayout();
                viewport()->update();
            });
}

QStyleOptionViewItem RTMessageListView::optionForIndex(const QModelIndex &index) const
{
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    return option;
}

void RTMessageListView::selectRow(int row)
{
    if (row < 0 || row >= m_model.rowCount())
        return;
    const QModelIndex idx = m_model.index(row);
    setCurrentIndex(idx);
    scrollTo(idx);
}

void RTMessageListView::setHovered(int row)
{
    if (m_delegate->hoveredRow() == row)
        return;
    const int old = m_delegate->hoveredRow();
    m_delegate->setHoveredRow(row);
    if (old >= 0)
        update(m_model.index(old));
    if (row >= 0)
        update(m_model.index(row));
}

void RTMessageListView::mouseMoveEvent(QMouseEvent *event)
{
    const QModelIndex idx = indexAt(event->position().toPoint());
    setHovered(idx.isValid() ? idx.row() : -1);
    bool pointing = false;
    if (idx.isValid()) {
        const QStyleOptionViewItem option = optionForIndex(idx);
        pointing = !m_delegate->linkAt(option, idx, event->position().toPoint()).isEmpty() ||
                   m_delegate->quickActionAt(option, event->position().toPoint()) !=
                       RTMessageDelegate::NoAction ||
                   m_delegate->pictureAt(option, idx, event->position().toPoint()).has_value();
    }
    viewport()->setCursor(pointing ? Qt::PointingHandCursor : Qt::ArrowCursor);
    QListView::mouseMoveEvent(event);
}

void RTMessageListView::mousePressEvent(QMouseEvent *event)
{
    m_pressPos = event->position().toPoint();
    QListView::mousePressEvent(event);
}

void RTMessageListView::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const QModelIndex idx = indexAt(pos);
    QListView::mouseReleaseEvent(event);
    if (!idx.isValid() || event->button() != Qt::LeftButton ||
        (pos - m_pressPos).manhattanLength() > 6)
        return;
    const QStyleOptionViewItem option = optionForIndex(idx);
    if (idx.row() == m_delegate->hoveredRow()) {
        const auto action = m_delegate->quickActionAt(option, pos);
        if (action != RTMessageDelegate::NoAction) {
            emit quickActionActivated(idx.row(), int(action));
            return;
        }
    }
    if (const auto picture = m_delegate->pictureAt(option, idx, pos)) {
        emit pictureActivated(
            QVariantMap{{QStringLiteral("thumbnailURL"), picture->thumbnailURL},
                        {QStringLiteral("inlineImageLink"), picture->inlineImageLink},
                        {QStringLiteral("standardLink"), picture->standardLink},
                        {QStringLiteral("logoName"), picture->logoName}},
            idx.row());
        return;
    }
    const QString link = m_delegate->linkAt(option, idx, pos);
    if (!link.isEmpty())
        emit linkActivated(link, idx.row());
}

void RTMessageListView::leaveEvent(QEvent *event)
{
    setHovered(-1);
    QListView::leaveEvent(event);
}

void RTMessageListView::keyPressEvent(QKeyEvent *event)
{
    const int row = currentIndex().isValid() ? currentIndex().row() : -1;
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        switch (event->key()) {
        case Qt::Key_J:
            selectRow(row + 1);
            return;
        case Qt::Key_K:
            selectRow(std::max(0, row - 1));
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (row >= 0)
                emit openRequested(row);
            return;
        default:
            break;
        }
    }
    QListView::keyPressEvent(event);
    checkEnd();
}

void RTMessageListView::contextMenuEvent(QContextMenuEvent *event)
{
    QModelIndex idx = indexAt(event->pos());
    if (event->reason() == QContextMenuEvent::Keyboard)
        idx = currentIndex();
    if (!idx.isValid())
        return;
    setCurrentIndex(idx);
    const QPoint global = event->reason() == QContextMenuEvent::Keyboard
                              ? viewport()->mapToGlobal(visualRect(idx).center())
                              : event->globalPos();
    emit contextMenuRequestedForRow(idx.row(), global);
}

void RTMessageListView::resizeEvent(QResizeEvent *event)
{
    QListView::resizeEvent(event);
    if (viewport()->width() != m_lastWidth) {
        m_lastWidth = viewport()->width();
        scheduleDelayedItemsLayout();
    }
}

void RTMessageListView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) {
        m_delegate->invalidate();
        scheduleDelayedItemsLayout();
    }
    QListView::changeEvent(event);
}

void RTMessageListView::scrollContentsBy(int dx, int dy)
{
    QListView::scrollContentsBy(dx, dy);
    checkEnd();
}

void RTMessageListView::checkEnd()
{
    QScrollBar *bar = verticalScrollBar();
    if (m_model.rowCount() > 0 && bar->maximum() > 0 && bar->value() >= bar->maximum())
        emit endReached();
}
