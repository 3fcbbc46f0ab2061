#include "ui/RTListViewController.h"

#include "timelines/RTTreeNode.h"
#include "ui/RTMessageListModel.h"
#include "ui/RTMessageListView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

RTListViewController::RTListViewController(QString viewClass, QObject *parent)
    : QObject(parent)
    , m_viewClass(std::move(viewClass))
    , m_model(new RTMessageListModel(this))
{
    connect(m_model, &QAbstractItemModel::rowsInserted, this,
            &RTListViewController::updateStateViews);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this,
            &RTListViewController::updateStateViews);
    connect(m_model, &QAbstractItemModel::modelReset, this,
            &RTListViewController::updateStateViews);
}

RTListViewController::~RTListViewController()
{
    delete m_page.data();
}

void RTListViewController::bindNode(RTTreeNode *node)
{
    if (m_node == node)
        return;
    m_node = node;
    m_model->setNode(node);
    updateStateViews();
}

QWidget *RTListViewController::widget()
{
    if (m_page)
        return m_page;
    m_page = new QWidget;
    connect(m_page, &QObject::destroyed, this, [this] {
        m_stack = nullptr;
        m_view = nullptr;
        m_emptyLabel = nullptr;
        m_footer = nullptr;
        m_footerLabel = nullptr;
        m_retryButton = nullptr;
    });
    auto *layout = new QVBoxLayout(m_page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_stack = new QStackedWidget(m_page);
    m_view = new RTMessageListView(*m_model, m_stack);
    m_emptyLabel = new QLabel(m_stack);
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    m_emptyLabel->setWordWrap(true);
    m_emptyLabel->setForegroundRole(QPalette::PlaceholderText);
    m_emptyLabel->setAutoFillBackground(true);
    m_emptyLabel->setBackgroundRole(QPalette::Base);
    QFont big = m_emptyLabel->font();
    big.setPointSizeF(big.pointSizeF() * 1.15);
    m_emptyLabel->setFont(big);
    m_stack->addWidget(m_view);
    m_stack->addWidget(m_emptyLabel);
    layout->addWidget(m_stack, 1);

    m_footer = new QWidget(m_page);
    m_footer->setAutoFillBackground(true);
    m_footer->setBackgroundRole(QPalette::Base);
    auto *footerLayout = new QHBoxLayout(m_footer);
    const int margin = m_footer->fontMetrics().height() / 2;
    footerLayout->setContentsMargins(margin, margin, margin, margin);
    m_footerLabel = new QLabel(m_footer);
    m_footerLabel->setForegroundRole(QPalette::PlaceholderText);
    m_retryButton = new QPushButton(tr("Retry"), m_footer);
    m_retryButton->setAccessibleName(tr("Retry loading older messages"));
    footerLayout->addStretch();
    footerLayout->addWidget(m_footerLabel);
    footerLayout->addWidget(m_retryButton);
    footerLayout->addStretch();
    layout->addWidget(m_footer);
    connect(m_retryButton, &QPushButton::clicked, this, &RTListViewController::retryRequested);
    connect(m_view, &RTMessageListView::endReached, this,
            &RTListViewController::olderMessagesWanted);
    updateStateViews();
    return m_page;
}

QString RTListViewController::stateText() const
{
    if (!m_page)
        return {};
    if (m_stack->currentWidget() == m_emptyLabel)
        return m_emptyLabel->text();
    return m_footer->isVisibleTo(m_page) ? m_footerLabel->text() : QString();
}

void RTListViewController::setListviewState(int state)
{
    m_state = state;
    updateStateViews();
}

void RTListViewController::updateStateViews()
{
    if (!m_page)
        return;
    const bool empty = m_model->rowCount() == 0;
    QString footer;
    bool retry = false;
    switch (m_state) {
    case StateLoadingOlder:
        footer = empty ? tr("Loading messages…") : tr("Loading older messages…");
        break;
    case StateNoOlderMessages:
        footer = tr("No older messages");
        break;
    case StateFailed:
        footer = empty ? tr("The messages could not be loaded.")
                       : tr("Older messages could not be loaded.");
        retry = true;
        break;
    default:
        break;
    }
    if (empty) {
        QString text = tr("Nothing here yet");
        if (m_state == StateEmpty)
            text = tr("Nothing here");
        if (!footer.isEmpty() && m_state != StateNoOlderMessages)
            text = footer;
        m_emptyLabel->setText(text);
        m_stack->setCurrentWidget(m_emptyLabel);
        m_footer->setVisible(retry);
        m_footerLabel->clear();
    } else {
        m_stack->setCurrentWidget(m_view);
        m_footer->setVisible(!footer.isEmpty());
        m_footerLabel->setText(footer);
    }
    m_retryButton->setVisible(retry);
}

void RTListViewController::resizeViews()
{
    if (m_resizingEnabled)
        m_model->refresh();
}

void RTListViewController::resizeViewsAfter(int milliseconds)
{
    QTimer::singleShot(milliseconds, this, [this] { resizeViews(); });
}

void RTListViewController::refresh()
{
    m_model->refresh();
    if (m_view)
        m_view->viewport()->update();
}

void RTListViewController::clearSelection()
{
    if (m_view)
        m_view->clearSelection();
}

void RTListViewController::focus()
{
    if (m_view)
        m_view->setFocus();
}

void RTListViewController::collapseMessage(const QString &messageId)
{
    emit collapseRequested(messageId);
}

bool RTListViewController::isOnScreen() const
{
    return m_page && m_page->isVisible();
}
