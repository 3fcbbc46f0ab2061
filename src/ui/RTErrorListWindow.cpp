#include "ui/RTErrorListWindow.h"

#include "network/RTErrorMessageManager.h"
#include "ui/RTUiIcons.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

RTErrorListWindow::RTErrorListWindow(QWidget *parent)
    : QDialog(parent)
    , m_list(new QListWidget(this))
    , m_emptyLabel(new QLabel(tr("No errors. Everything is working."), this))
    , m_clearButton(new QPushButton(tr("Clear"), this))
{
    setWindowTitle(tr("Errors"));
    setAccessibleName(tr("Error list"));
    auto *layout = new QVBoxLayout(this);
    const int h = fontMetrics().height();
    m_list->setAccessibleName(tr("Failed requests"));
    m_list->setWordWrap(true);
    m_list->setAlternatingRowColors(true);
    m_list->setIconSize(QSize(h, h));
    m_list->setSpacing(h / 5);
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    m_emptyLabel->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_emptyLabel, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(m_clearButton, QDialogButtonBox::ResetRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_clearButton, &QPushButton::clicked, this,
            [] { RTErrorMessageManager::sharedManager().removeAllErrorMessages(); });
    connect(&RTErrorMessageManager::sharedManager(), &RTErrorMessageManager::errorMessagesChanged,
            this, &RTErrorListWindow::reload);
    resize(h * 34, h * 22);
    reload();
}

void RTErrorListWindow::reload()
{
    m_list->clear();
    const QList<RTErrorMessagePtr> messages =
        RTErrorMessageManager::sharedManager().errorMessagesArray();
    const QIcon icon = RTUiIcons::icon(QStringLiteral("error"), QColor(0xD9, 0x6C, 0x1E));
    for (auto it = messages.crbegin(); it != messages.crend(); ++it) {
        auto *item = new QListWidgetItem(icon, (*it)->description(), m_list);
        item->setToolTip((*it)->description());
        if ((*it)->isNew()) {
            QFont f = item->font();
            f.setBold(true);
            item->setFont(f);
        }
    }
    const bool empty = messages.isEmpty();
    m_list->setVisible(!empty);
    m_emptyLabel->setVisible(empty);
    m_clearButton->setEnabled(!empty);
}
