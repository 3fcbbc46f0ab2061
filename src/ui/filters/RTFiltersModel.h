#pragma once

#include "timelines/RTDatedMessageFilter.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QList>
#include <functional>

class RTDatedFilters;

// The running mutes and highlights, one row each, soonest to end first, with the time
// they have left. The rows follow the filters on reload(); refreshTimes() only updates
// the times and drops the filters that have ended.
class RTFiltersModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        FactorColumn,
        KindColumn,
        RemainingColumn,
        ColumnCount
    };
    enum Role
    {
        FilterIdRole = Qt::UserRole + 1,
        IsMuteRole,
        ExpiresAtRole,
    };
    // A user's screen name for a Twitter user id; empty when unknown.
    using NameResolver = std::function<QString(const QString &userId)>;

    explicit RTFiltersModel(RTDatedFilters &filters, NameResolver names = {},
                            QObject *parent = nullptr);

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

    void reload();
    void refreshTimes();

    [[nodiscard]] QString filterIdAt(int row) const;
    [[nodiscard]] bool isMuteAt(int row) const;
    // "@name" for a user (the id when the name is unknown), the hashtag as written.
    [[nodiscard]] QString factorTextAt(int row) const;
    // The time left as the age texts put it, or "Forever".
    [[nodiscard]] static QString remainingText(const RTDatedMessageFilter &filter,
                                               const QDateTime &now);

private:
    struct Row
    {
        RTDatedMessageFilterPtr filter;
        bool isMute = true;
        QString factorText;
    };
    [[nodiscard]] QList<Row> currentRows(const QDateTime &now) const;

    RTDatedFilters &m_filters;
    NameResolver m_names;
    QList<Row> m_rows;
};
