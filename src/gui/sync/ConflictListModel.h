#pragma once
// The rows of the conflict window, one per asked pair in the order the run gave them: the file
// name, the drive-side and computer-side dates, and the resolution chosen, coloured by it.
#include "core/engine/sync/IConflictPrompt.h"
#include "core/time/DateTimeText.h"
#include "gui/sync/FileTypeCache.h"

#include <QAbstractTableModel>
#include <QColor>

#include <vector>

namespace drivlet::gui {

class ConflictListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name = 0, Drive = 1, Computer = 2, Action = 3, ColumnCount = 4 };
    static constexpr int kResolutionRole = Qt::UserRole + 1;

    // The pairs outlive the model.
    ConflictListModel(const std::vector<TFilePair>& pairs, FileTypeCache& types,
                      const DateTimeTextFormat& dateText, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const TFilePair& Pair(int row) const { return pairs_[static_cast<size_t>(row)]; }
    int IconIndex(int row) const { return rows_[static_cast<size_t>(row)].icon; }
    TConflictResolution Resolution(int row) const { return rows_[static_cast<size_t>(row)].resolution; }
    void SetResolution(const std::vector<int>& rows, TConflictResolution resolution);
    void SetAll(TConflictResolution resolution);
    // One per pair, in the pairs' order.
    std::vector<TConflictResolution> Resolutions() const;

    // The text colour of a resolution.
    static QColor ColourOf(TConflictResolution resolution);

private:
    struct Row {
        QString name;
        QString driveDate;
        QString computerDate;
        int icon = FileTypeCache::kUnknown;
        TConflictResolution resolution = TConflictResolution::UseNewest;
    };

    const std::vector<TFilePair>& pairs_;
    FileTypeCache& types_;
    std::vector<Row> rows_;
};

} // namespace drivlet::gui
