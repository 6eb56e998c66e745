#pragma once
// The operation log of a status panel as a table model over core's JobLog. Lines are kept at once
// but shown to the view in batches (one row insertion per batch), so a run that logs a hundred
// thousand files stays quick to display.
#include "core/status/JobLog.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QTimer>

namespace drivlet::gui {

class JobLogModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TimeStamp = 0, Action = 1, FileName = 2, Info = 3, ColumnCount = 4 };

    explicit JobLogModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void AddEntry(std::string timeStamp, std::string fileName, std::string action, std::string status,
                  bool isError);
    void AddThreadError(std::string timeStamp, std::string text);
    // Removes every line (the error count stays, as the log's does).
    void Clear();
    void ResetErrorCount() { log_.ResetErrorCount(); }
    // Shows the lines added since the last batch; also done by itself on the next loop turn.
    void Flush();

    // Every line, shown or not yet.
    const JobLog& Log() const { return log_; }

private:
    void LineAdded();

    JobLog log_;
    int shown_ = 0;
    QTimer flushTimer_;
    QIcon stateIcons_[3];
};

} // namespace drivlet::gui
