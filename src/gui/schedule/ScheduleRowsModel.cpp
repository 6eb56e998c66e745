#include "gui/schedule/ScheduleRowsModel.h"

#include "core/schedule/ScheduleSave.h"
#include "gui/text/LocaleDateTime.h"
#include "gui/text/QtText.h"

#include <QBrush>
#include <QColor>

namespace drivlet::gui {
namespace {

QColor ModeColour(int mode) {
    switch (mode) {
    case 0:
        return {176, 255, 170};
    case 1:
        return {219, 255, 170};
    case 2:
        return {255, 204, 204};
    case 3:
        return {236, 255, 0};
    default:
        return {};
    }
}

} // namespace

void ScheduleRowsModel::SetRows(std::vector<ScheduleRunRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int ScheduleRowsModel::RowOf(int64_t id) const {
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].ID == id) return static_cast<int>(i);
    return -1;
}

void ScheduleRowsModel::SetRow(int row, const ScheduleRunRow& value) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    rows_[row] = value;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

int ScheduleRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ScheduleRowsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ScheduleRowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    const ScheduleRunRow& row = rows_[index.row()];
    if (role == Qt::BackgroundRole) {
        const QColor colour = ModeColour(row.Mode);
        return colour.isValid() ? QVariant(QBrush(colour)) : QVariant();
    }
    if (role == Qt::ForegroundRole) return QBrush(Qt::black); // readable on the light mode colours
    if (index.column() == ActiveColumn && role == Qt::CheckStateRole)
        return row.Active ? Qt::Checked : Qt::Unchecked;
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
    case JobNameColumn:
        return QString::fromStdString(row.JobName);
    case NextRunColumn:
        return row.NextRunTime ? QString::fromStdString(LocaleDateTimeText(*row.NextRunTime)) : QString();
    case TypeColumn: {
        const std::string_view type = ScheduleTypeText(row.FileName);
        return QtText(type);
    }
    default:
        return {};
    }
}

QVariant ScheduleRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const titles[] = {"JobName", "Next Run Time", "Active", "Type"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}

Qt::ItemFlags ScheduleRowsModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == ActiveColumn) flags |= Qt::ItemIsUserCheckable;
    return flags;
}

bool ScheduleRowsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != ActiveColumn || role != Qt::CheckStateRole) return false;
    const bool active = value.toInt() == Qt::Checked;
    rows_[index.row()].Active = active;
    emit dataChanged(index, index);
    emit activeToggled(index.row(), active);
    return true;
}

} // namespace drivlet::gui
