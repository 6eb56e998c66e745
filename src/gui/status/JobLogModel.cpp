#include "gui/status/JobLogModel.h"

#include "gui/text/PlainText.h"

#include <QApplication>
#include <QColor>
#include <QStyle>

namespace drivlet::gui {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

JobLogModel::JobLogModel(QObject* parent) : QAbstractTableModel(parent) {
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(0);
    connect(&flushTimer_, &QTimer::timeout, this, &JobLogModel::Flush);
    if (QStyle* style = QApplication::style()) {
        stateIcons_[0] = style->standardIcon(QStyle::SP_DialogApplyButton);
        stateIcons_[1] = style->standardIcon(QStyle::SP_DialogCancelButton);
        stateIcons_[2] = style->standardIcon(QStyle::SP_MessageBoxCritical);
    }
}

int JobLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shown_;
}

int JobLogModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant JobLogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= shown_) return {};
    if (role == Qt::ToolTipRole) {
        // The whole text, shown as it is: a name holding markup is not rendered.
        const QVariant shown = data(index, Qt::DisplayRole);
        return shown.isValid() ? QVariant(PlainToolTip(shown.toString())) : QVariant();
    }
    const JobLogLine& line = log_.Lines()[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case TimeStamp:
            return Text(line.timeStamp);
        case Action:
            return Text(line.action);
        case FileName:
            return Text(line.fileName);
        case Info:
            return Text(line.info);
        default:
            return {};
        }
    case Qt::DecorationRole:
        if (index.column() == TimeStamp) return stateIcons_[static_cast<int>(line.state)];
        return {};
    case Qt::ForegroundRole:
        if (line.state != LogLineState::Success) return QColor(0xC0, 0, 0);
        return {};
    case Qt::UserRole:
        return static_cast<int>(line.state);
    default:
        return {};
    }
}

QVariant JobLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case TimeStamp:
        return QStringLiteral("Time Stamp");
    case Action:
        return QStringLiteral("Action");
    case FileName:
        return QStringLiteral("File Name");
    case Info:
        return QStringLiteral("Info");
    default:
        return {};
    }
}

void JobLogModel::AddEntry(std::string timeStamp, std::string fileName, std::string action,
                           std::string status, bool isError) {
    log_.AddEntry(std::move(timeStamp), std::move(fileName), std::move(action), std::move(status), isError);
    LineAdded();
}

void JobLogModel::AddThreadError(std::string timeStamp, std::string text) {
    log_.AddThreadError(std::move(timeStamp), std::move(text));
    LineAdded();
}

void JobLogModel::LineAdded() {
    if (!flushTimer_.isActive()) flushTimer_.start();
}

void JobLogModel::Flush() {
    flushTimer_.stop();
    const int total = static_cast<int>(log_.Lines().size());
    if (total <= shown_) return;
    beginInsertRows({}, shown_, total - 1);
    shown_ = total;
    endInsertRows();
}

void JobLogModel::Clear() {
    flushTimer_.stop();
    beginResetModel();
    log_.Clear();
    shown_ = 0;
    endResetModel();
}

} // namespace drivlet::gui
