#include "gui/drives/JobRowsModel.h"

#include "gui/drives/JobIcons.h"
#include "gui/text/PlainText.h"

#include <algorithm>

namespace drivlet::gui {
namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

JobRowsModel::JobRowsModel(std::string computerId, QObject* parent)
    : QAbstractTableModel(parent), computerId_(std::move(computerId)) {}

int JobRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int JobRowsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant JobRowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role == Qt::ToolTipRole) {
        // The whole text, shown as it is: a name holding markup is not rendered.
        const QVariant shown = data(index, Qt::DisplayRole);
        return shown.isValid() ? QVariant(PlainToolTip(shown.toString())) : QVariant();
    }
    const Entry& entry = rows_[static_cast<size_t>(index.row())];
    const TAutoRunFileData& row = entry.data;
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case TypeColumn:
            return Text(row.TypeText);
        case NameColumn:
            return Text(row.JobName);
        case FileColumn:
            return Text(row.ArchivedName);
        case LastRunColumn:
            return Text(row.LastRunAt);
        case PcColumn:
            return Text(row.PCID);
        default:
            return {};
        }
    case Qt::ForegroundRole: {
        const QColor colour =
            index.column() == PcColumn ? OwnerColour(row.Owner(computerId_)) : TypeColour(row);
        return colour.isValid() ? QVariant(colour) : QVariant();
    }
    case Qt::DecorationRole:
        return index.column() == TypeColumn ? QVariant(RowIcon(entry)) : QVariant();
    case ScheduleStateRole:
        return entry.scheduleState;
    case TypeIconRole:
        return row.TypeIcon();
    case JobFileRole:
        return Text(row.ArchivedName);
    default:
        return {};
    }
}

QVariant JobRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case TypeColumn:
        return QStringLiteral("Type");
    case NameColumn:
        return QStringLiteral("Job Name");
    case FileColumn:
        return QStringLiteral("Archived Name");
    case LastRunColumn:
        return QStringLiteral("Last Run At");
    case PcColumn:
        return QStringLiteral("PC ID");
    default:
        return {};
    }
}

void JobRowsModel::Clear() {
    if (rows_.empty()) return;
    beginResetModel();
    rows_.clear();
    endResetModel();
}

int JobRowsModel::Add(TAutoRunFileData row, int scheduleState) {
    const auto at =
        std::upper_bound(rows_.begin(), rows_.end(), row.TypeText,
                         [](const std::string& type, const Entry& e) { return type < e.data.TypeText; });
    const int index = static_cast<int>(at - rows_.begin());
    beginInsertRows({}, index, index);
    rows_.insert(at, Entry{std::move(row), scheduleState});
    endInsertRows();
    return index;
}

int JobRowsModel::RowOf(const std::string& jobFile) const {
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].data.ArchivedName == jobFile) return static_cast<int>(i);
    return -1;
}

bool JobRowsModel::RemoveJob(const std::string& jobFile) {
    const int row = RowOf(jobFile);
    if (row < 0) return false;
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
    return true;
}

void JobRowsModel::RefreshScheduleStates(const std::function<int(const std::string&)>& stateOf) {
    if (rows_.empty() || !stateOf) return;
    for (Entry& entry : rows_)
        entry.scheduleState = stateOf(entry.data.ArchivedName);
    emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1),
                     {Qt::DecorationRole, ScheduleStateRole});
}

QColor JobRowsModel::TypeColour(const TAutoRunFileData& row) {
    if (!row.Loaded) return {};
    const bool toDrive = row.Direction == TArchiveDir::amPcToUsb;
    switch (row.Kind) {
    case JobFileKind::ComputerSync:
        return {0, 128, 255};
    case JobFileKind::Sync:
        return {255, 0, 128};
    case JobFileKind::Move:
        return toDrive ? QColor(128, 0, 255) : QColor(0, 128, 128);
    case JobFileKind::Backup:
        return toDrive ? QColor(255, 0, 0) : QColor(128, 0, 0);
    default:
        return {};
    }
}

QColor JobRowsModel::OwnerColour(RowOwner owner) {
    switch (owner) {
    case RowOwner::ThisComputer:
        return {0, 128, 255};
    case RowOwner::OtherComputer:
        return {254, 174, 10};
    case RowOwner::Unreadable:
        return {255, 0, 128};
    }
    return {};
}

QIcon JobRowsModel::RowIcon(const Entry& entry) const {
    const int typeIcon = entry.data.TypeIcon();
    const int key = (typeIcon + 1) * 10 + entry.scheduleState;
    auto it = icons_.constFind(key);
    if (it == icons_.constEnd()) it = icons_.insert(key, JobRowIcon(typeIcon, entry.scheduleState));
    return *it;
}

} // namespace drivlet::gui
