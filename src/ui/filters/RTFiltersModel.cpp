#include "ui/filters/RTFiltersModel.h"

#include "foundation/Clock.h"
#include "foundation/Localization.h"
#include "model/TimeCalculator.h"
#include "timelines/RTDatedFilters.h"
#include "timelines/RTTreeNodeManager.h"

#include <algorithm>

namespace {
const QString kUserKind = QStringLiteral("USER");
} // namespace

RTFiltersModel::RTFiltersModel(RTDatedFilters &filters, NameResolver names, QObject *parent)
    : QAbstractTableModel(parent)
    , m_filters(filters)
    , m_names(std::move(names))
{
    reload();
}

int RTFiltersModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int RTFiltersModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString RTFiltersModel::remainingText(const RTDatedMessageFilter &filter, const QDateTime &now)
{
    if (filter.isForever(now))
        return localizedString("##RTTwitterMessageDatedFilterMenu:8##");
    return TimeCalculator::durationStringFromTimeInterval(
        double(std::max<qint64>(0, filter.remainingPeriod(now))));
}

QVariant RTFiltersModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        switch (index.column()) {
        case FactorColumn:
            return row.factorText;
        case KindColumn:
            return row.isMute ? tr("Mute") : tr("Highlight");
        case RemainingColumn:
            return remainingText(*row.filter, Clock::currentDateTime());
        default:
            return {};
        }
    case Qt::ToolTipRole:
        return tr("Ends %1").arg(
            QLocale().toString(row.filter->expiresAt().toLocalTime(), QLocale::LongFormat));
    case FilterIdRole:
        return row.filter->filterId();
    case IsMuteRole:
        return row.isMute;
    case ExpiresAtRole:
        return row.filter->expiresAt();
    default:
        return {};
    }
}

QVariant RTFiltersModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case FactorColumn:
        return tr("Author or Hashtag");
    case KindColumn:
        return tr("Kind");
    case RemainingColumn:
        return tr("Time Left");
    default:
        return {};
    }
}

QList<RTFiltersModel::Row> RTFiltersModel::currentRows(const QDateTime &now) const
{
    QList<Row> rows;
    const auto add = [&](const RTDatedMessageFilterPtr &filter, bool isMute) {
        if (!filter || filter->isExpired(now))
            return;
        QString text = filter->factor();
        if (filter->datedFilterPredicate() == kUserKind) {
            const QString name = m_names ? m_names(filter->factor()) : QString();
            text = name.isEmpty() ? tr("user %1").arg(filter->factor()) : QLatin1Char('@') + name;
        }
        rows.append({filter, isMute, text});
    };
    for (const RTMuteObjectPtr &mute : m_filters.mutes())
        add(mute, true);
    for (const RTHighlightObjectPtr &highlight : m_filters.highlights())
        add(highlight, false);
    // Soonest to end first; the id keeps the order stable between equal ends.
    std::sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
        const QDateTime ea = a.filter->expiresAt();
        const QDateTime eb = b.filter->expiresAt();
        if (ea != eb)
            return ea < eb;
        if (a.isMute != b.isMute)
            return a.isMute;
        return a.filter->filterId().toLongLong() < b.filter->filterId().toLongLong();
    });
    return rows;
}

void RTFiltersModel::reload()
{
    QList<Row> rows = currentRows(Clock::currentDateTime());
    const bool sameRows = std::equal(
        rows.begin(), rows.end(), m_rows.begin(), m_rows.end(), [](const Row &a, const Row &b) {
            return a.filter == b.filter && a.isMute == b.isMute && a.factorText == b.factorText;
        });
    if (sameRows) {
        if (!m_rows.isEmpty())
            emit dataChanged(index(0, RemainingColumn), index(rowCount() - 1, RemainingColumn));
        return;
    }
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void RTFiltersModel::refreshTimes()
{
    const QDateTime now = Clock::currentDateTime();
    for (int i = int(m_rows.size()) - 1; i >= 0; --i) {
        if (m_rows.at(i).filter->isExpired(now)) {
            beginRemoveRows({}, i, i);
            m_rows.removeAt(i);
            endRemoveRows();
        }
    }
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, RemainingColumn), index(rowCount() - 1, RemainingColumn));
}

QString RTFiltersModel::filterIdAt(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).filter->filterId() : QString();
}

bool RTFiltersModel::isMuteAt(int row) const
{
    return row >= 0 && row < m_rows.size() && m_rows.at(row).isMute;
}

QString RTFiltersModel::factorTextAt(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).factorText : QString();
}
