#include "ui/filters/RTFiltersPane.h"

#include "accounts/RTServiceRegistry.h"
#include "companion/RTCompanionClient.h"
#include "companion/RTCompanionRequestTypes.h"
#include "foundation/RTGlobalVariables.h"
#include "model/RTUserTwitter.h"
#include "twitter/RTServiceTwitter.h"
#include "ui/filters/RTFiltersModel.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

bool isRemoval(qint32 type)
{
    return type == RTTalvoRequestDestroyMute || type == RTTalvoRequestDestroyHighlight;
}

} // namespace

QString RTFiltersPane::screenNameOf(RTServiceRegistry &registry, const QString &userId)
{
    for (const auto &account : registry.allServicesOfSameClass<RTServiceTwitter>()) {
        if (const RTUserTwitterPtr me = account->myself(); me && me->userId() == userId)
            return me->screenName();
        const RTServiceTwitter::UsersDictionary users = account->usersDictionary();
        if (const RTUserTwitterPtr user = users.value(userId); user)
            return user->screenName();
    }
    return {};
}

RTFiltersPane::RTFiltersPane(RTCompanionClient &client, RTServiceRegistry &registry,
                             QWidget *parent)
    : QWidget(parent)
    , m_client(client)
{
    setObjectName(QStringLiteral("filtersPane"));
    m_model = new RTFiltersModel(
        client.filters(), [&registry](const QString &id) { return screenNameOf(registry, id); },
        this);

    auto *intro =
        new QLabel(tr("Authors and hashtags you muted or highlighted, with the time each has left. "
                      "Muted messages wait in Muted until their mute ends."),
                   this);
    intro->setWordWrap(true);

    m_view = new QTreeView(this);
    m_view->setObjectName(QStringLiteral("filtersList"));
    m_view->setAccessibleName(tr("Mutes and highlights"));
    m_view->setModel(m_model);
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setAllColumnsShowFocus(true);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->header()->setStretchLastSection(false);
    m_view->header()->setSectionResizeMode(RTFiltersModel::FactorColumn, QHeaderView::Stretch);
    m_view->header()->setSectionResizeMode(RTFiltersModel::KindColumn,
                                           QHeaderView::ResizeToContents);
    m_view->header()->setSectionResizeMode(RTFiltersModel::RemainingColumn,
                                           QHeaderView::ResizeToContents);

    m_empty = new QLabel(tr("Nothing is muted or highlighted.\nChoose Mute or Highlight in a "
                            "message's menu to add one."),
                         this);
    m_empty->setObjectName(QStringLiteral("filtersEmpty"));
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setWordWrap(true);
    m_empty->setEnabled(false); // the secondary text colour

    m_stack = new QStackedWidget(this);
    m_stack->addWidget(m_view);
    m_stack->addWidget(m_empty);

    m_remove = new QPushButton(tr("Remove"), this);
    m_remove->setObjectName(QStringLiteral("removeFilter"));
    m_remove->setAccessibleName(tr("Remove the selected mute or highlight"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("filtersStatus"));
    m_status->setWordWrap(true);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    buttons->addWidget(m_remove);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_stack, 1);
    layout->addLayout(buttons);

    connect(m_remove, &QPushButton::clicked, this, &RTFiltersPane::removeSelected);
    // Delete in the list only: the preferences window holds other panes' lists too.
    auto *removeKey = new QAction(m_remove->text(), m_view);
    removeKey->setShortcuts({QKeySequence(QKeySequence::Delete), QKeySequence(Qt::Key_Backspace)});
    removeKey->setShortcutContext(Qt::WidgetShortcut);
    m_view->addAction(removeKey);
    connect(removeKey, &QAction::triggered, this, &RTFiltersPane::removeSelected);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &RTFiltersPane::updateState);
    // The row the focus lands on is the chosen one, so the frame and Remove agree.
    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid() && !m_view->selectionModel()->isRowSelected(current.row()))
                    m_view->selectionModel()->select(current, QItemSelectionModel::ClearAndSelect |
                                                                  QItemSelectionModel::Rows);
            });
    connect(m_model, &QAbstractItemModel::modelReset, this, &RTFiltersPane::updateState);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &RTFiltersPane::updateState);
    connect(&client, &RTCompanionClient::requestFinished, this, &RTFiltersPane::requestFinished);
    connect(&client.filters(), &RTDatedFilters::filtersApplied, this, &RTFiltersPane::reload);
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &RTFiltersPane::refreshTimes);
    updateState();
}

bool RTFiltersPane::isShowingEmptyState() const
{
    return m_stack->currentWidget() == m_empty;
}

QString RTFiltersPane::statusText() const
{
    return m_status->text();
}

void RTFiltersPane::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    reload();
    m_refresh.start();
}

void RTFiltersPane::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_refresh.stop();
}

void RTFiltersPane::reload()
{
    const QString selected = m_model->filterIdAt(m_view->currentIndex().row());
    m_model->reload();
    for (int row = 0; row < m_model->rowCount(); ++row)
        if (!selected.isEmpty() && m_model->filterIdAt(row) == selected)
            m_view->setCurrentIndex(m_model->index(row, 0));
    updateState();
}

void RTFiltersPane::refreshTimes()
{
    m_model->refreshTimes();
}

void RTFiltersPane::updateState()
{
    m_stack->setCurrentWidget(m_model->rowCount() == 0 ? static_cast<QWidget *>(m_empty) : m_view);
    const int row = m_view->selectionModel()->hasSelection() ? m_view->currentIndex().row() : -1;
    const QString id = m_model->filterIdAt(row);
    m_remove->setEnabled(!id.isEmpty() && !m_pending.contains(id));
}

void RTFiltersPane::removeSelected()
{
    if (!m_view->selectionModel()->hasSelection())
        return;
    const int row = m_view->currentIndex().row();
    const QString id = m_model->filterIdAt(row);
    if (id.isEmpty() || m_pending.contains(id))
        return;
    m_pending.insert(id);
    m_status->setText(tr("Removing %1…").arg(m_model->factorTextAt(row)));
    if (m_model->isMuteAt(row))
        m_client.destroyMute(id);
    else
        m_client.destroyHighlight(id);
    updateState();
}

void RTFiltersPane::requestFinished(const QVariantMap &result, bool success)
{
    const qint32 type = result.value(QString::fromLatin1(kRTRequestType)).toInt();
    if (isRemoval(type)) {
        const QVariantMap info = result.value(QString::fromLatin1(kRTUserInfoKey)).toMap();
        const QString id = info.value(QStringLiteral("id")).toString();
        if (m_pending.remove(id)) {
            const bool removed = success && result.value(QStringLiteral("succeeded")).toBool();
            QString failure =
                result.value(QString::fromLatin1(kRTOperationFailureMessageKey)).toString();
            if (failure.isEmpty())
                failure = tr("the service did not accept it");
            m_status->setText(removed ? QString() : tr("Could not remove it: %1").arg(failure));
        }
    }
    reload();
}
