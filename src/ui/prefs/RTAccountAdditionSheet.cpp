#include "ui/prefs/RTAccountAdditionSheet.h"

#include "ui/RTUiIcons.h"
#include "ui/RTWindowExtensions.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {
constexpr int kKindRole = Qt::UserRole + 1;
}

RTAccountAdditionSheet::RTAccountAdditionSheet(QWidget *parent)
    : QDialog(parent)
    , m_list(new QListWidget(this))
    , m_pages(new QStackedWidget(this))
    , m_empty(new QLabel(tr("No kind of account can be added in this build."), this))
{
    setWindowTitle(tr("Add an Account"));
    setAccessibleName(windowTitle());
    const int h = fontMetrics().height();
    m_list->setAccessibleName(tr("Kind of account"));
    m_list->setIconSize(QSize(h * 2, h * 2));
    m_list->setMinimumWidth(h * 10);
    m_list->setMaximumWidth(h * 14);
    const QColor ink = palette().color(QPalette::WindowText);
    for (const RTAccountKind &kind : RTWindowExtensions::accountKinds()) {
        auto *item = new QListWidgetItem(RTUiIcons::icon(kind.iconName, ink), kind.title, m_list);
        item->setData(kKindRole, kind.kind);
        m_kinds << kind.kind;
    }
    m_empty->setWordWrap(true);
    m_pages->addWidget(m_empty);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &RTAccountAdditionSheet::reject);
    auto *top = new QHBoxLayout;
    top->addWidget(m_list);
    top->addWidget(m_pages, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(buttons);
    resize(h * 40, h * 22);

    connect(m_list, &QListWidget::currentRowChanged, this, &RTAccountAdditionSheet::showRow);
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
}

bool RTAccountAdditionSheet::selectKind(const QString &kind)
{
    const int row = int(m_kinds.indexOf(kind));
    if (row < 0)
        return false;
    m_list->setCurrentRow(row);
    return true;
}

RTAccountAdditionPage *RTAccountAdditionSheet::currentPage() const
{
    return qobject_cast<RTAccountAdditionPage *>(m_pages->currentWidget());
}

void RTAccountAdditionSheet::showRow(int row)
{
    if (row < 0 || row >= m_kinds.size())
        return;
    const QString kind = m_kinds.at(row);
    RTAccountAdditionPage *page = m_created.value(kind);
    if (!page) {
        for (const RTAccountKind &k : RTWindowExtensions::accountKinds()) {
            if (k.kind == kind && k.createPage)
                page = k.createPage(m_pages);
        }
        if (!page)
            return;
        m_created.insert(kind, page);
        m_pages->addWidget(page);
        connect(page, &RTAccountAdditionPage::accountAdded, this, [this](const QString &id) {
            m_added = id;
            m_busy = false;
            m_list->setEnabled(true);
            emit accountAdded(id);
            accept();
        });
        connect(page, &RTAccountAdditionPage::busyChanged, this, [this](bool busy) {
            // The kind cannot change under a log-in in flight.
            m_busy = busy;
            m_list->setEnabled(!busy);
        });
    }
    if (RTAccountAdditionPage *previous = currentPage(); previous && previous != page)
        previous->cancel();
    m_pages->setCurrentWidget(page);
    page->begin();
}

void RTAccountAdditionSheet::reject()
{
    if (RTAccountAdditionPage *page = currentPage())
        page->cancel();
    m_busy = false;
    m_list->setEnabled(true);
    QDialog::reject();
}
