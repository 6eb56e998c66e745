#pragma once
// The Schedules screen's list: every row of the schedule table with its job name, next run time,
// an Active check box the user toggles in place, and the job's type; coloured by the row's mode.
#include "core/db/ProgramDatabase.h"

#include <QAbstractTableModel>

#include <functional>
#include <vector>

namespace drivlet::gui {

class ScheduleRowsModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { JobNameColumn, NextRunColumn, ActiveColumn, TypeColumn, ColumnCount };

    explicit ScheduleRowsModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    void SetRows(std::vector<ScheduleRunRow> rows);
    const std::vector<ScheduleRunRow>& Rows() const { return rows_; }
    // The row with this ID, or -1.
    int RowOf(int64_t id) const;
    void SetRow(int row, const ScheduleRunRow& value);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    // The user switched a row on or off in the list.
    void activeToggled(int row, bool active);

private:
    std::vector<ScheduleRunRow> rows_;
};

} // namespace drivlet::gui
