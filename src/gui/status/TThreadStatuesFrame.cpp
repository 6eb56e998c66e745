#include "gui/status/TThreadStatuesFrame.h"

#include "core/engine/TThreadBase.h"
#include "core/launch/JobRun.h"
#include "core/time/DateTime.h"
#include "gui/dialogs/MessageBoxes.h"
#include "gui/dialogs/TSkipAbortRetryDialog.h"
#include "gui/status/JobLogModel.h"
#include "gui/text/LocaleDateTime.h"

#include "gui/text/PlainText.h"
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QUuid>
#include <QVBoxLayout>

#include <algorithm>
#include <mutex>

namespace drivlet::gui {

namespace {

constexpr int kDrainIntervalMs = 16; // about one frame: repaints are coalesced, no line is lost
constexpr const char* kNoFileAction = "--------------------";

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

// A one-line label that shortens its text in the middle (a long path keeps its start and its
// file name) and shows the whole text as its tooltip.
class ElidedLabel final : public QLabel {
public:
    using QLabel::QLabel;
    void SetFullText(const QString& text) {
        full_ = text;
        setToolTip(PlainToolTip(text));
        update();
    }
    const QString& FullText() const { return full_; }
    QSize minimumSizeHint() const override { return {0, fontMetrics().height()}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect area = contentsRect();
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(full_, Qt::ElideMiddle, area.width()));
    }

private:
    QString full_;
};

// The wake may be called from the worker at any time, also while the panel is being destroyed:
// it posts only while the panel is there.
struct TThreadStatuesFrame::WakeTarget {
    std::mutex mutex;
    TThreadStatuesFrame* panel = nullptr;
};

TThreadStatuesFrame::TThreadStatuesFrame(const IClock& clock, bool autoClose, QWidget* parent)
    : QFrame(parent), clock_(clock), dateTimeText_(LocaleDateTimeText),
      wakeTarget_(std::make_shared<WakeTarget>()) {
    wakeTarget_->panel = this;
    model_ = new JobLogModel(this);
    BuildWidgets(autoClose);
    MakeLabelsPlain(this);

    tickTimer_.setInterval(1000);
    connect(&tickTimer_, &QTimer::timeout, this, &TThreadStatuesFrame::Tick);
    drainTimer_.setSingleShot(true);
    drainTimer_.setInterval(kDrainIntervalMs);
    connect(&drainTimer_, &QTimer::timeout, this, &TThreadStatuesFrame::DrainNow);

    // Busy until the first status arrives.
    SetNormalBar(false);
}

TThreadStatuesFrame::~TThreadStatuesFrame() {
    {
        std::lock_guard lock(wakeTarget_->mutex);
        wakeTarget_->panel = nullptr;
    }
    tickTimer_.stop();
    drainTimer_.stop();
    if (lowDiskDialog_) lowDiskDialog_->deleteLater();
    if (run_ && !ended_) {
        // Taken down with its job running (the window closes): the run is stopped (cancelled,
        // joined, no longer counted) and the owner hears of its end, its outcome still there.
        run_->Stop();
        if (!finishedSignalled_) {
            finishedSignalled_ = true;
            emit jobFinished(this);
        }
    }
    run_.reset();
}

void TThreadStatuesFrame::BuildWidgets(bool autoClose) {
    auto* layout = new QVBoxLayout(this);

    auto* current = new QGroupBox(QStringLiteral("Current Operation"), this);
    auto* currentLayout = new QVBoxLayout(current);
    statusLabel_ = new ElidedLabel(current);
    currentLayout->addWidget(statusLabel_);
    auto* fileRow = new QHBoxLayout;
    fileActionLabel_ = new QLabel(QString::fromLatin1(kNoFileAction), current);
    fileActionLabel_->setAlignment(Qt::AlignCenter);
    fileBar_ = new QProgressBar(current);
    fileBar_->setRange(0, 100);
    fileBar_->setValue(0);
    fileRow->addWidget(fileActionLabel_, 1);
    fileRow->addWidget(fileBar_, 1);
    currentLayout->addLayout(fileRow);
    layout->addWidget(current);

    auto* speedRow = new QHBoxLayout;
    remainingLabel_ = new QLabel(Text(std::string(StatusClock::kRemainingAtStart)), this);
    speedLabel_ = new QLabel(Text(std::string(StatusClock::kSpeedAtStart)), this);
    speedLabel_->setAlignment(Qt::AlignCenter);
    elapsedLabel_ = new QLabel(Text(std::string(StatusClock::kElapsedAtStart)), this);
    elapsedLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    speedRow->addWidget(remainingLabel_);
    speedRow->addWidget(speedLabel_, 1);
    speedRow->addWidget(elapsedLabel_);
    layout->addLayout(speedRow);
    totalBar_ = new QProgressBar(this);
    totalBar_->setRange(0, 100);
    layout->addWidget(totalBar_);

    auto* logGroup = new QGroupBox(QStringLiteral("Operation Log"), this);
    auto* logLayout = new QVBoxLayout(logGroup);
    logView_ = new QTableView(logGroup);
    logView_->setModel(model_);
    logView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    logView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    logView_->setShowGrid(false);
    logView_->setWordWrap(false);
    logView_->verticalHeader()->hide();
    // Fixed row heights: the view never measures a hundred thousand rows.
    logView_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    logView_->verticalHeader()->setDefaultSectionSize(logView_->fontMetrics().height() + 6);
    QHeaderView* header = logView_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionResizeMode(JobLogModel::FileName, QHeaderView::Stretch);
    // Wide enough for a time stamp in the user's form (a long month name, two-digit day and hour)
    // beside its state icon.
    const QString widest =
        QString::fromStdString(LocaleDateTimeText(EncodeDateTime({2026, 9, 28, 23, 59, 59, 0})));
    header->resizeSection(JobLogModel::TimeStamp, logView_->fontMetrics().horizontalAdvance(widest) +
                                                      logView_->iconSize().width() + 48);
    header->resizeSection(JobLogModel::Action, 75);
    header->resizeSection(JobLogModel::Info, 75);
    logLayout->addWidget(logView_);
    // The newest line stays in sight unless the user has scrolled up to read.
    auto followsEnd = std::make_shared<bool>(true);
    connect(model_, &QAbstractItemModel::rowsAboutToBeInserted, logView_, [this, followsEnd] {
        const QScrollBar* bar = logView_->verticalScrollBar();
        *followsEnd = bar->value() >= bar->maximum();
    });
    connect(model_, &QAbstractItemModel::rowsInserted, logView_, [this, followsEnd] {
        if (*followsEnd) logView_->scrollToBottom();
    });
    layout->addWidget(logGroup, 1);

    auto* bottom = new QHBoxLayout;
    clearButton_ = new QPushButton(QStringLiteral("Clear"), this);
    saveButton_ = new QPushButton(QStringLiteral("Save"), this);
    autoCloseBox_ = new QCheckBox(QStringLiteral("Auto Close"), this);
    autoCloseBox_->setChecked(autoClose);
    cancelButton_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton_->setEnabled(false);
    closeButton_ = new QPushButton(QStringLiteral("Close"), this);
    closeButton_->hide();
    bottom->addWidget(clearButton_);
    bottom->addWidget(saveButton_);
    bottom->addWidget(autoCloseBox_);
    bottom->addStretch(1);
    bottom->addWidget(cancelButton_);
    bottom->addWidget(closeButton_);
    layout->addLayout(bottom);

    connect(clearButton_, &QPushButton::clicked, model_, &JobLogModel::Clear);
    connect(saveButton_, &QPushButton::clicked, this, &TThreadStatuesFrame::SaveClicked);
    connect(cancelButton_, &QPushButton::clicked, this, &TThreadStatuesFrame::Cancel);
    connect(closeButton_, &QPushButton::clicked, this, &TThreadStatuesFrame::CloseClicked);
    // A click, not a programmatic change, is the user's new default.
    connect(autoCloseBox_, &QCheckBox::clicked, this, &TThreadStatuesFrame::autoCloseToggled);
}

RunSink TThreadStatuesFrame::Sink() {
    std::weak_ptr<WakeTarget> target = wakeTarget_;
    return RunSink{this, [target] {
                       const std::shared_ptr<WakeTarget> alive = target.lock();
                       if (!alive) return;
                       std::lock_guard lock(alive->mutex);
                       if (alive->panel)
                           QMetaObject::invokeMethod(alive->panel, &TThreadStatuesFrame::ScheduleDrain,
                                                     Qt::QueuedConnection);
                   }};
}

void TThreadStatuesFrame::AttachRun(std::unique_ptr<JobRun> run) {
    if (!run || run_) return;
    run_ = std::move(run);
    worker_ = &run_->Worker();
    model_->ResetErrorCount();
    ended_ = false;
    finishedSignalled_ = false;
    cancelButton_->setEnabled(true);
    cancelButton_->setText(QStringLiteral("Cancel"));
    tickTimer_.start();
    emit jobStarted(this);
    // Events may have been posted before the run was handed over.
    ScheduleDrain();
}

JobRun* TThreadStatuesFrame::Run() const {
    return run_.get();
}

int64_t TThreadStatuesFrame::ErrorCount() const {
    return model_->Log().ErrorCount();
}

bool TThreadStatuesFrame::JobEnded() const {
    return ended_;
}

void TThreadStatuesFrame::Cancel() {
    if (!run_ || ended_) return;
    run_->Cancel();
    cancelButton_->setEnabled(false);
    cancelButton_->setText(QStringLiteral("Canceling..."));
}

void TThreadStatuesFrame::SetDateTimeFormat(DateTimeTextFormat format) {
    dateTimeText_ = format ? std::move(format) : DateTimeTextFormat(LocaleDateTimeText);
}

void TThreadStatuesFrame::ScheduleDrain() {
    if (!drainTimer_.isActive()) drainTimer_.start();
}

void TThreadStatuesFrame::DrainNow() {
    if (!run_) return;
    run_->Drain();
    model_->Flush();
    if (!ended_ || finishedSignalled_) return;
    // Told only once Drain has returned: the run is no longer inside the panel, and a receiver
    // may take the panel down.
    finishedSignalled_ = true;
    const QPointer<TThreadStatuesFrame> self(this);
    emit jobFinished(this);
    if (self && autoCloseBox_->isChecked()) CloseClicked();
}

TSkipAbortRetryDialog* TThreadStatuesFrame::LowDiskDialog() const {
    return lowDiskDialog_.data();
}

QString TThreadStatuesFrame::StatusText() const {
    return statusLabel_->FullText();
}
QString TThreadStatuesFrame::FileActionText() const {
    return fileActionLabel_->text();
}
QString TThreadStatuesFrame::ElapsedText() const {
    return elapsedLabel_->text();
}
QString TThreadStatuesFrame::SpeedText() const {
    return speedLabel_->text();
}
QString TThreadStatuesFrame::RemainingText() const {
    return remainingLabel_->text();
}

void TThreadStatuesFrame::SetNormalBar(bool normal) {
    normalBar_ = normal;
    if (normal) {
        if (totalBar_->maximum() == 0) totalBar_->setRange(0, 100);
    } else {
        // A range of nothing is Qt's running busy bar.
        totalBar_->setRange(0, 0);
    }
}

std::string TThreadStatuesFrame::Now() const {
    return dateTimeText_(clock_.Now());
}

void TThreadStatuesFrame::OnStatus(const TThreadBase&, const StatusEvent& event) {
    statusLabel_->SetFullText(Text(event.text));
    emit statusShown(statusLabel_->FullText());
    SetNormalBar(event.percent >= 0);
    if (event.phase == StatusPhase::ThreadError) {
        SetNormalBar(true);
        if (barState_ != 2) {
            barState_ = 2;
            QPalette red = totalBar_->palette();
            red.setColor(QPalette::Highlight, QColor(0xD0, 0x20, 0x20));
            totalBar_->setPalette(red);
        }
    }
    if (normalBar_) totalBar_->setValue(std::clamp(event.percent, 0, 100));
    statusClock_.OnStatus(event.speed, event.remaining);
}

void TThreadStatuesFrame::OnFileProgress(const TThreadBase&, const FileProgressEvent& event) {
    const QString text = Text(event.action);
    fileActionLabel_->setText(text);
    fileBar_->setValue(std::clamp(static_cast<int>(event.percent), 0, 100));
    emit fileProgress(text);
}

void TThreadStatuesFrame::OnLogEntry(const TThreadBase&, const LogEntryEvent& event) {
    model_->AddEntry(Now(), event.fileName, event.action, event.status, event.isError);
}

void TThreadStatuesFrame::OnThreadError(const TThreadBase&, const ThreadErrorEvent& event) {
    model_->AddThreadError(Now(), event.text);
    emit threadError(Text(event.text));
}

void TThreadStatuesFrame::AskLowDiskSpace(const TThreadBase&, const LowDiskQuestion& question,
                                          Answer<LowDiskAnswer> answer) {
    auto* dialog = new TSkipAbortRetryDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (!question.caption.empty()) dialog->setWindowTitle(Text(question.caption));
    dialog->SetTitle(Text(question.title));
    dialog->SetMessage(Text(question.message));
    connect(dialog, &QDialog::finished, this,
            [answer](int result) { answer(static_cast<LowDiskAnswer>(result)); });
    lowDiskDialog_ = dialog;
    dialog->open();
}

void TThreadStatuesFrame::OnTerminated(TThreadBase&, const TerminatedEvent&) {
    ended_ = true;
    cancelButton_->hide();
    closeButton_->show();
    SetNormalBar(true);
    totalBar_->setValue(100);
    tickTimer_.stop();
    fileActionLabel_->setText(QString::fromLatin1(kNoFileAction));
    fileBar_->setValue(0);
    // A question still on show has been answered for the worker by its end.
    if (lowDiskDialog_) lowDiskDialog_->close();
}

void TThreadStatuesFrame::Tick() {
    const ClockTexts texts = statusClock_.Tick(clock_.Now(), worker_ ? worker_->StartTime() : 0);
    elapsedLabel_->setText(Text(texts.elapsed));
    speedLabel_->setText(Text(texts.speed));
    remainingLabel_->setText(Text(texts.remaining));
}

void TThreadStatuesFrame::CloseClicked() {
    emit closeRequested(this);
}

void TThreadStatuesFrame::SaveClicked() {
    auto* dialog = new QFileDialog(this, QStringLiteral("Save Log"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(QStringLiteral("Log File (*.log)"));
    dialog->setDefaultSuffix(QStringLiteral("log"));
    // Replacing a file is asked here, without a nested event loop.
    dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog->selectFile(Text(std::string(kJobLogDefaultName)));
    dialog->setObjectName(QStringLiteral("SaveLogDialog"));
    connect(dialog, &QFileDialog::fileSelected, this, &TThreadStatuesFrame::ConfirmAndWriteLog);
    dialog->open();
}

void TThreadStatuesFrame::ConfirmAndWriteLog(const QString& file) {
    if (file.isEmpty()) return;
    const QFileInfo info(file);
    if (!info.absoluteDir().exists()) {
        OpenMessageBox(this, "The folder does not exist.", info.absolutePath().toStdString(),
                       MessageKind::Error, BoxButtons::Ok, {});
        return;
    }
    if (!info.exists()) {
        WriteLog(file);
        return;
    }
    const QPointer<TThreadStatuesFrame> self(this);
    OpenMessageBox(this, file.toStdString() + " already exists.\nDo you want to replace it?", "Save Log",
                   MessageKind::Confirmation, BoxButtons::YesNo, [self, file](int reply) {
                       if (self && reply == dlg::Yes) self->WriteLog(file);
                   });
}

void TThreadStatuesFrame::WriteLog(const QString& file) {
    const std::string error = SaveJobLog(file.toStdString(), model_->Log().Lines());
    if (error.empty()) return;
    OpenMessageBox(this, error, "The log could not be saved", MessageKind::Error, BoxButtons::Ok, {});
    emit logSaveFailed(Text(error));
}

TThreadStatuesFrame* CreateJobTab(const std::string& jobName, QTabWidget& pages, const IClock& clock,
                                  bool autoClose) {
    const QString id = QUuid::createUuid().toString(QUuid::Id128).toUpper();
    auto* tab = new QWidget;
    tab->setObjectName(QStringLiteral("Tab") + id);
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* panel = new TThreadStatuesFrame(clock, autoClose, tab);
    panel->setObjectName(QStringLiteral("Frame") + id);
    layout->addWidget(panel);
    const int index = pages.addTab(tab, Text(JobTabCaption(jobName)));
    pages.setCurrentIndex(index);
    const QPointer<QTabWidget> owner(&pages);
    QObject::connect(panel, &TThreadStatuesFrame::closeRequested, tab, [owner, tab] {
        if (owner) owner->setCurrentIndex(0);
        // Deferred: the Close button's own handler is still running inside the panel.
        tab->deleteLater();
    });
    return panel;
}

} // namespace drivlet::gui
