#include "gui/sync/ConflictListModel.h"

#include <QFileInfo>

namespace drivlet::gui {

ConflictListModel::ConflictListModel(const std::vector<TFilePair>& pairs, FileTypeCache& types,
                                     const DateTimeTextFormat& dateText, QObject* parent)
    : QAbstractTableModel(parent), pairs_(pairs), types_(types) {
    rows_.reserve(pairs.size());
    for (const TFilePair& pair : pairs) {
        Row row;
        const QString driveFile = QString::fromStdString(pair.FileA.FileName);
        row.name = QFileInfo(driveFile).fileName();
        row.driveDate = QString::fromStdString(dateText(pair.FileA.FileDateTime));
        row.computerDate = QString::fromStdString(dateText(pair.FileB.FileDateTime));
        row.icon = types_.IndexFor(FileTypeCache::ExtensionOf(driveFile));
        rows_.push_back(std::move(row));
    }
}

int ConflictListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ConflictListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ConflictListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const Row& row = rows_[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case Name:
            return row.name;
        case Drive:
            return row.driveDate;
        case Computer:
            return row.computerDate;
        case Action:
            return QString::fromUtf8(ConflictResolutionText(row.resolution).data(),
                                     static_cast<qsizetype>(ConflictResolutionText(row.resolution).size()));
        default:
            return {};
        }
    case Qt::DecorationRole:
        if (index.column() == Name) return types_.SmallIcon(row.icon);
        return {};
    case Qt::ForegroundRole:
        return ColourOf(row.resolution);
    case kResolutionRole:
        return static_cast<int>(row.resolution);
    default:
        return {};
    }
}

QVariant ConflictListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case Name:
        return QStringLiteral("Name");
    case Drive:
        return QStringLiteral("USB Drive");
    case Computer:
        return QStringLiteral("Computer");
    case Action:
        return QStringLiteral("Action");
    default:
        return {};
    }
}

void ConflictListModel::SetResolution(const std::vector<int>& rows, TConflictResolution resolution) {
    for (const int row : rows) {
        if (row < 0 || row >= rowCount()) continue;
        rows_[static_cast<size_t>(row)].resolution = resolution;
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    }
}

void ConflictListModel::SetAll(TConflictResolution resolution) {
    for (Row& row : rows_)
        row.resolution = resolution;
    if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

std::vector<TConflictResolution> ConflictListModel::Resolutions() const {
    std::vector<TConflictResolution> resolutions;
    resolutions.reserve(rows_.size());
    for (const Row& row : rows_)
        resolutions.push_back(row.resolution);
    return resolutions;
}

QColor ConflictListModel::ColourOf(TConflictResolution resolution) {
    switch (resolution) {
    case TConflictResolution::DoNothing:
        return QColor(0xFF, 0x00, 0x80);
    case TConflictResolution::UseComputer:
        return QColor(0x00, 0x91, 0x48);
    case TConflictResolution::UseDrive:
        return QColor(0x72, 0xAE, 0x00);
    case TConflictResolution::UseNewest:
        break;
    }
    return QColor(0x00, 0x80, 0xFF);
}

} // namespace drivlet::gui
