#include "gui/drives/TNewDrive.h"

#include "core/app/Constants.h"
#include "core/drives/TSearchDrive.h"
#include "core/launch/JobDeletion.h"
#include "gui/dialogs/MessageBoxes.h"
#include "gui/drives/JobRowsModel.h"
#include "gui/text/LocaleDateTime.h"

#include "gui/text/PlainText.h"
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace drivlet::gui {
namespace {

QPushButton* NewJobButton(const char* caption, QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setMinimumHeight(56);
    return button;
}

} // namespace

std::string TNewDrive::NormalDrivePath(std::string drivePath) {
    if (drivePath.empty() || drivePath.back() != '/') drivePath += '/';
    return drivePath;
}

TNewDrive::TNewDrive(const std::string& drivePath, NewDriveServices services, QWidget* parent)
    : QMainWindow(parent), drivePath_(NormalDrivePath(drivePath)), services_(std::move(services)) {
    if (!services_.lastRunText) services_.lastRunText = LocaleFileDateText;
    setWindowTitle(QStringLiteral("New Drive Detected. ") + QString::fromStdString(drivePath_));
    BuildWindow();
    BuildMenus();
    ShowSearching(false);
    UpdateActions();
    MakeLabelsPlain(this);
}

TNewDrive::~TNewDrive() {
    // The search posts to this window; stop and join it while the window is whole. What it posted
    // meanwhile is dropped with the window.
    if (search_) search_->Terminate();
    search_.reset();
}

void TNewDrive::BuildWindow() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    auto* newJobs = new QHBoxLayout;
    auto* syncButton = NewJobButton("Synchronize files between \r\ncomputers and USB drives.", central);
    auto* moveButton = NewJobButton("Move files between \r\ncomputers and USB drives.", central);
    auto* backupButton = NewJobButton("Backup files between \r\ncomputers and USB drives.", central);
    syncButton->setObjectName("newSyncButton");
    moveButton->setObjectName("newMoveButton");
    backupButton->setObjectName("newBackupButton");
    connect(syncButton, &QPushButton::clicked, this, [this] { ShowLater("folder sync wizard"); });
    connect(moveButton, &QPushButton::clicked, this, [this] { ShowLater("move wizard"); });
    connect(backupButton, &QPushButton::clicked, this, [this] { ShowLater("backup wizard"); });
    for (QPushButton* button : {syncButton, moveButton, backupButton})
        newJobs->addWidget(button);
    layout->addLayout(newJobs);

    pages_ = new QTabWidget(central);
    pages_->setObjectName("jobPages");
    pages_->addTab(BuildJobPage(), QStringLiteral("Jobs"));
    layout->addWidget(pages_, 1);

    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch(1);
    auto* closeButton = new QPushButton(QStringLiteral("Close"), central);
    closeButton->setObjectName("closeButton");
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    closeRow->addWidget(closeButton);
    layout->addLayout(closeRow);

    setCentralWidget(central);
    resize(900, 520);
}

QWidget* TNewDrive::BuildJobPage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);

    rows_ = new JobRowsModel(services_.computerId, this);
    list_ = new QTableView(page);
    list_->setObjectName("jobList");
    list_->setModel(rows_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setShowGrid(true);
    list_->setWordWrap(false);
    list_->verticalHeader()->hide();
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    QHeaderView* header = list_->horizontalHeader();
    header->setSectionResizeMode(JobRowsModel::NameColumn, QHeaderView::Stretch);
    header->resizeSection(JobRowsModel::TypeColumn, 150);
    header->resizeSection(JobRowsModel::FileColumn, 200);
    header->resizeSection(JobRowsModel::LastRunColumn, 150);
    header->resizeSection(JobRowsModel::PcColumn, 150);
    connect(list_, &QTableView::doubleClicked, this, [this] { EditSelected(); });
    connect(list_, &QWidget::customContextMenuRequested, this, &TNewDrive::ShowContextMenu);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { UpdateActions(); });
    connect(rows_, &QAbstractItemModel::modelReset, this, [this] { UpdateActions(); });
    connect(rows_, &QAbstractItemModel::rowsRemoved, this, [this] { UpdateActions(); });
    layout->addWidget(list_, 1);

    progressArea_ = new QWidget(page);
    auto* progress = new QHBoxLayout(progressArea_);
    progress->setContentsMargins(0, 0, 0, 0);
    statusLine_ = new QLabel(progressArea_);
    statusLine_->setObjectName("searchStatus");
    busyBar_ = new QProgressBar(progressArea_);
    busyBar_->setObjectName("searchBusy");
    busyBar_->setRange(0, 0); // endless: the search cannot know how much is left
    busyBar_->setTextVisible(false);
    stopButton_ = new QPushButton(QStringLiteral("Stop"), progressArea_);
    stopButton_->setObjectName("stopButton");
    connect(stopButton_, &QPushButton::clicked, this, &TNewDrive::StopSearch);
    progress->addWidget(statusLine_, 1);
    progress->addWidget(busyBar_, 1);
    progress->addWidget(stopButton_);
    layout->addWidget(progressArea_);

    auto* buttons = new QHBoxLayout;
    refreshButton_ = new QPushButton(QStringLiteral("Refresh"), page);
    refreshButton_->setObjectName("refreshButton");
    runButton_ = new QPushButton(QStringLiteral("Run"), page);
    runButton_->setObjectName("runButton");
    scheduleButton_ = new QPushButton(QStringLiteral("Shedule"), page);
    scheduleButton_->setObjectName("scheduleButton");
    deleteButton_ = new QPushButton(QStringLiteral("Delete"), page);
    deleteButton_->setObjectName("deleteButton");
    connect(refreshButton_, &QPushButton::clicked, this, &TNewDrive::Refresh);
    connect(runButton_, &QPushButton::clicked, this, &TNewDrive::RunSelected);
    connect(scheduleButton_, &QPushButton::clicked, this, &TNewDrive::ScheduleSelected);
    connect(deleteButton_, &QPushButton::clicked, this, &TNewDrive::DeleteSelected);
    buttons->addWidget(refreshButton_);
    buttons->addStretch(1);
    buttons->addWidget(runButton_);
    buttons->addWidget(scheduleButton_);
    buttons->addWidget(deleteButton_);
    layout->addLayout(buttons);
    return page;
}

void TNewDrive::BuildMenus() {
    auto command = [this](QMenu* menu, const QString& text, TrayCommand which, QKeySequence keys = {}) {
        QAction* action = menu->addAction(text);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, [this, which] { emit trayCommand(which); });
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    command(file, QStringLiteral("Open Drive"), TrayCommand::OpenDrive, QKeySequence(Qt::CTRL | Qt::Key_O));
    command(file, QStringLiteral("Exit Program"), TrayCommand::ExitProgram,
            QKeySequence(Qt::CTRL | Qt::Key_X));
    QMenu* settings = menuBar()->addMenu(QStringLiteral("Setings"));
    command(settings, QStringLiteral("Options"), TrayCommand::Options);
    command(settings, QStringLiteral("Schedules"), TrayCommand::Schedules);
    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    command(help, QStringLiteral("Upgrade"), TrayCommand::Upgrade);
    command(help, QStringLiteral("Help"), TrayCommand::Help, QKeySequence(Qt::Key_F1));
    command(help, QStringLiteral("About"), TrayCommand::About, QKeySequence(Qt::CTRL | Qt::Key_A));
}

void TNewDrive::Refresh() {
    if (search_) return;
    ShowSearching(true);
    rows_->Clear();
    // The handlers run on the search's thread: they only post to this window, which drops what
    // is still posted when it goes.
    TSearchDrive::Handlers handlers;
    handlers.onStatus = [this](const std::string& text) {
        QMetaObject::invokeMethod(
            this, [this, text = QString::fromStdString(text)] { OnSearchStatus(text); },
            Qt::QueuedConnection);
    };
    handlers.onRow = [this](const TAutoRunFileData& row) {
        QMetaObject::invokeMethod(
            this, [this, row] { OnSearchRow(row); }, Qt::QueuedConnection);
    };
    // A failed search is not shown: it ends, and the progress area goes away.
    handlers.onError = [](const std::string&) {};
    handlers.onEnd = [this] {
        QMetaObject::invokeMethod(
            this, [this] { OnSearchEnd(); }, Qt::QueuedConnection);
    };
    handlers.lastRunText = services_.lastRunText;
    search_ = std::make_unique<TSearchDrive>(services_.files, drivePath_, std::move(handlers));
    search_->Start();
}

void TNewDrive::StopSearch() {
    if (!search_) return;
    stopButton_->setEnabled(false);
    search_->Terminate();
}

void TNewDrive::OnSearchStatus(const QString& text) {
    statusLine_->setText(text);
}

void TNewDrive::OnSearchRow(const TAutoRunFileData& row) {
    const int state = services_.scheduleStateOf ? services_.scheduleStateOf(row.ArchivedName) : 0;
    rows_->Add(row, state);
}

bool TNewDrive::Searching() const {
    return search_ != nullptr;
}

void TNewDrive::OnSearchEnd() {
    // The end is the last thing the search posts; its thread is about to return.
    search_.reset();
    ShowSearching(false);
    emit searchEnded();
    if (refreshAgain_ && !closePending_) {
        refreshAgain_ = false;
        Refresh();
        return;
    }
    refreshAgain_ = false;
    BusyChanged();
}

void TNewDrive::ShowSearching(bool searching) {
    progressArea_->setVisible(searching);
    stopButton_->setEnabled(searching);
    refreshButton_->setVisible(!searching);
    if (!searching) statusLine_->clear();
}

void TNewDrive::RefreshStateIcons() {
    rows_->RefreshScheduleStates(services_.scheduleStateOf);
}

void TNewDrive::BusyChanged() {
    if (!closePending_ || search_ || (services_.jobsRunning && services_.jobsRunning())) return;
    closePending_ = false;
    deleteLater();
}

void TNewDrive::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (event->spontaneous()) return;
    closePending_ = false;
    // Shown again while a stopped search winds down: search again once it has.
    if (search_ && search_->Terminated())
        refreshAgain_ = true;
    else
        Refresh();
}

void TNewDrive::closeEvent(QCloseEvent* event) {
    // Hidden at once; gone once neither the search nor a job started here still runs, so that
    // no worker is left reporting to a window that is no more.
    event->accept();
    closePending_ = true;
    StopSearch();
    BusyChanged();
}

int TNewDrive::SelectedRow() const {
    const QModelIndexList selected = list_->selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void TNewDrive::UpdateActions() {
    const bool any = SelectedRow() >= 0;
    runButton_->setEnabled(any);
    scheduleButton_->setEnabled(any);
    deleteButton_->setEnabled(any);
}

void TNewDrive::RunSelected() {
    const int row = SelectedRow();
    if (row < 0 || !rows_->Row(row).CanRun()) return;
    emit runRequested(QString::fromStdString(rows_->Row(row).ArchivedName));
}

void TNewDrive::EditSelected() {
    const int row = SelectedRow();
    if (row < 0 || !rows_->Row(row).CanEdit()) return;
    switch (rows_->Row(row).Kind) {
    case JobFileKind::Sync:
        ShowLater("sync wizard");
        break;
    case JobFileKind::Move:
        ShowLater("move wizard");
        break;
    default:
        ShowLater("backup wizard");
        break;
    }
}

void TNewDrive::OpenRestoreSelected() {
    const int row = SelectedRow();
    if (row < 0 || !rows_->Row(row).CanOpenRestore()) return;
    ShowLater("restore wizard");
}

void TNewDrive::ScheduleSelected() {
    const int row = SelectedRow();
    if (row < 0) return;
    emit scheduleRequested(QString::fromStdString(rows_->Row(row).ArchivedName));
}

void TNewDrive::DeleteSelected() {
    const int row = SelectedRow();
    if (row < 0) return;
    const TAutoRunFileData& job = rows_->Row(row);
    const std::string jobFile = job.ArchivedName;
    QPointer<TNewDrive> self(this);
    OpenMessageBox(this, DeleteJobQuestion(job.JobName), std::string(kDeleteJobTitle),
                   MessageKind::Confirmation, BoxButtons::YesNo, [self, jobFile](int reply) {
                       if (!self || reply != dlg::Yes) return;
                       if (DeleteJobFiles(self->services_.files, jobFile) == JobDeletionResult::Running) {
                           OpenMessageBox(self, JobRunningNotice(jobFile), std::string(kDeleteJobTitle),
                                          MessageKind::Warning, BoxButtons::Ok, {});
                           return;
                       }
                       // Files that would not go are left; the row goes in any case.
                       self->rows_->RemoveJob(jobFile);
                   });
}

void TNewDrive::ShowLater(const QString& what) {
    OpenMessageBox(this, "The " + what.toStdString() + " comes in a later version of Drivlet.",
                   "Not available yet", MessageKind::Information, BoxButtons::Ok, {});
}

void TNewDrive::ShowContextMenu(const QPoint& at) {
    const int row = SelectedRow();
    if (row < 0) return;
    const TAutoRunFileData& job = rows_->Row(row);
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* edit = menu->addAction(QStringLiteral("Edit"), this, &TNewDrive::EditSelected);
    menu->setDefaultAction(edit);
    menu->addAction(QStringLiteral("Delete"), this, &TNewDrive::DeleteSelected);
    menu->addAction(QStringLiteral("Run"), this, &TNewDrive::RunSelected)->setEnabled(job.CanRun());
    menu->addAction(QStringLiteral("Open Restore"), this, &TNewDrive::OpenRestoreSelected)
        ->setEnabled(job.CanOpenRestore());
    menu->addAction(QStringLiteral("Schedule"), this, &TNewDrive::ScheduleSelected);
    edit->setEnabled(job.CanEdit());
    menu->popup(list_->viewport()->mapToGlobal(at));
}

} // namespace drivlet::gui
