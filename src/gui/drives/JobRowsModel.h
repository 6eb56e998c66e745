#pragma once
// The job list of a drive window: the rows a search found, kept sorted by their type text, with
// the colours and pictures that tell the kinds and owners apart at a glance.
#include "core/drives/TAutoRunFileData.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QIcon>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace drivlet::gui {

class JobRowsModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TypeColumn, NameColumn, FileColumn, LastRunColumn, PcColumn, ColumnCount };
    enum Role {
        ScheduleStateRole = Qt::UserRole + 1, // 0 none, 1 active, 2 switched off
        TypeIconRole,                         // TAutoRunFileData::TypeIcon()
        JobFileRole,                          // the job file's full path
    };

    explicit JobRowsModel(std::string computerId, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void Clear();
    // Inserted after the rows of the same or a smaller type text; answers its row.
    int Add(TAutoRunFileData row, int scheduleState);
    // False when no row shows that job file.
    bool RemoveJob(const std::string& jobFile);
    // -1 when no row shows that job file.
    int RowOf(const std::string& jobFile) const;
    const TAutoRunFileData& Row(int row) const { return rows_[static_cast<size_t>(row)].data; }
    int ScheduleState(int row) const { return rows_[static_cast<size_t>(row)].scheduleState; }
    // Asks again for every row's schedule state.
    void RefreshScheduleStates(const std::function<int(const std::string& jobFile)>& stateOf);

    // The font colour of a whole row, by its kind and direction; invalid for an error row.
    static QColor TypeColour(const TAutoRunFileData& row);
    static QColor OwnerColour(RowOwner owner);

private:
    struct Entry {
        TAutoRunFileData data;
        int scheduleState = 0;
    };
    QIcon RowIcon(const Entry& entry) const;

    std::string computerId_;
    std::vector<Entry> rows_;
    mutable QHash<int, QIcon> icons_;
};

} // namespace drivlet::gui
