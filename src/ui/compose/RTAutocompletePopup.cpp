#include "ui/compose/RTAutocompletePopup.h"

#include "sharing/RTAutocompletePopupWindowController.h"
#include "sharing/RTDirectInputLineViewController.h"

#include <QListView>
#include <QPlainTextEdit>
#include <QStandardItemModel>
#include <QVBoxLayout>

RTAutocompletePopup::RTAutocompletePopup(QPlainTextEdit *textBox)
    : QFrame(textBox, Qt::ToolTip | Qt::FramelessWindowHint)
    , m_textBox(textBox)
    , m_logic(new RTAutocompletePopupWindowController(this))
    , m_list(new QListView(this))
    , m_model(new QStandardItemModel(this))
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFrameShape(QFrame::StyledPanel);
    setAccessibleName(tr("Mention suggestions"));
    m_list->setModel(m_model);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setUniformItemSizes(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
    connect(m_logic, &RTAutocompletePopupWindowController::rowsChanged, this,
            &RTAutocompletePopup::rebuildRows);
    connect(m_logic, &RTAutocompletePopupWindowController::shownChanged, this, [this](bool shown) {
        if (shown)
            place();
        setVisible(shown);
    });
    connect(m_list, &QListView::clicked, this, [this](const QModelIndex &index) {
        m_list->setCurrentIndex(index);
        chooseCurrent();
    });
}

void RTAutocompletePopup::showFor(RTDirectInputLineViewController *line)
{
    if (!line) {
        m_logic->hide();
        return;
    }
    m_logic->showWithDirectInput(line);
    if (m_logic->isShown())
        place();
}

void RTAutocompletePopup::rebuildRows()
{
    m_model->clear();
    for (const RTAutocompleteUserObject &row : m_logic->dataSourceArray()) {
        auto *item = new QStandardItem(
            row.longName.isEmpty() ? QStringLiteral("@") + row.screenName
                                   : QStringLiteral("@%1  %2").arg(row.screenName, row.longName));
        item->setData(row.screenName, Qt::UserRole);
        item->setToolTip(row.longName);
        m_model->appendRow(item);
    }
    if (m_model->rowCount() > 0)
        m_list->setCurrentIndex(m_model->index(0, 0));
}

void RTAutocompletePopup::place()
{
    const QRect caret = m_textBox->cursorRect();
    const QPoint below = m_textBox->viewport()->mapToGlobal(caret.bottomLeft());
    const int rows = qMin(m_model->rowCount(), 8);
    const int rowHeight = qMax(m_list->sizeHintForRow(0), fontMetrics().height() + 4);
    resize(qMax(220, m_textBox->width() / 3), rows * rowHeight + 2 * frameWidth() + 2);
    move(below + QPoint(0, 2));
}

int RTAutocompletePopup::currentRow() const
{
    return m_list->currentIndex().isValid() ? m_list->currentIndex().row() : -1;
}

int RTAutocompletePopup::rowCount() const
{
    return m_model->rowCount();
}

QString RTAutocompletePopup::rowText(int row) const
{
    return m_model->index(row, 0).data(Qt::UserRole).toString();
}

void RTAutocompletePopup::moveSelection(int delta)
{
    const int count = m_model->rowCount();
    if (count == 0)
        return;
    const int row = ((currentRow() < 0 ? 0 : currentRow() + delta) % count + count) % count;
    m_list->setCurrentIndex(m_model->index(row, 0));
}

void RTAutocompletePopup::chooseCurrent()
{
    const int row = currentRow();
    if (row >= 0)
        m_logic->chooseRow(row);
}
