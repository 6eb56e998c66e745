#pragma once
// The status panel of one running job, on a tab of its own: the current operation, the file in
// progress, overall progress, elapsed time, speed and remaining time, and the log of per-file
// results, which can be cleared and saved. It is the run's sink and its owner: the worker's events
// are drained here on the GUI thread when the run wakes it, at most about once a frame.
#include "core/engine/ThreadEvents.h"
#include "core/launch/LaunchJob.h"
#include "core/status/StatusClock.h"
#include "core/time/DateTime.h"
#include "core/time/DateTimeText.h"

#include <QFrame>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableView;

namespace drivlet {
class JobRun;
}

namespace drivlet::gui {

class ElidedLabel;
class JobLogModel;
class TSkipAbortRetryDialog;

class TThreadStatuesFrame : public QFrame, public IThreadEvents {
    Q_OBJECT
public:
    TThreadStatuesFrame(const IClock& clock, bool autoClose, QWidget* parent = nullptr);
    ~TThreadStatuesFrame() override; // destroys the run: cancels and joins it
    TThreadStatuesFrame(const TThreadStatuesFrame&) = delete;
    TThreadStatuesFrame& operator=(const TThreadStatuesFrame&) = delete;

    // {this, a wake that posts a queued drain}; the wake may outlive the panel and then does nothing.
    RunSink Sink();
    // Takes the started run: the clock starts, Cancel is enabled, jobStarted is emitted.
    void AttachRun(std::unique_ptr<JobRun> run);
    JobRun* Run() const;
    // Thread errors logged since the run was attached.
    int64_t ErrorCount() const;
    // The terminated event has been handled (Close shown).
    bool JobEnded() const;
    void Cancel(); // as the Cancel button

    // How the log's time stamps are written (the user's short date and long time by default).
    void SetDateTimeFormat(DateTimeTextFormat format);

    // --- IThreadEvents, on the GUI thread while the run drains.
    void OnStatus(const TThreadBase& sender, const StatusEvent& event) override;
    void OnThreadError(const TThreadBase& sender, const ThreadErrorEvent& event) override;
    void OnFileProgress(const TThreadBase& sender, const FileProgressEvent& event) override;
    void OnLogEntry(const TThreadBase& sender, const LogEntryEvent& event) override;
    void AskLowDiskSpace(const TThreadBase& sender, const LowDiskQuestion& question,
                         Answer<LowDiskAnswer> answer) override;
    void OnTerminated(TThreadBase& sender, const TerminatedEvent& event) override;

    // What the widgets show, for the owner and for tests.
    JobLogModel& LogModel() const { return *model_; }
    QString StatusText() const;
    QString FileActionText() const;
    QString ElapsedText() const;
    QString SpeedText() const;
    QString RemainingText() const;
    QProgressBar* TotalBar() const { return totalBar_; }
    QProgressBar* FileBar() const { return fileBar_; }
    bool BusyBarRunning() const { return !normalBar_; }
    bool ErrorState() const { return barState_ == 2; }
    QPushButton* CancelButton() const { return cancelButton_; }
    QPushButton* CloseButton() const { return closeButton_; }
    QPushButton* ClearButton() const { return clearButton_; }
    QPushButton* SaveButton() const { return saveButton_; }
    QCheckBox* AutoCloseBox() const { return autoCloseBox_; }
    QTableView* LogView() const { return logView_; }
    // The low-disk question on show, if any.
    TSkipAbortRetryDialog* LowDiskDialog() const;

public slots:
    // One tick of the one-second clock.
    void Tick();

signals:
    // The status line's new text (the slider shows it beside the job).
    void statusShown(const QString& text);
    // On attach: one more running job.
    void jobStarted(drivlet::gui::TThreadStatuesFrame* panel);
    // After the terminated event, once the run's Outcome() is final. A panel taken down while its
    // job runs cancels and joins the job and emits this from its destructor, so counts of running
    // jobs stay right: receivers connect with a context that outlives the panel, or take their
    // panels down before their own members go.
    void jobFinished(drivlet::gui::TThreadStatuesFrame* panel);
    // Close or Auto Close: the owner removes the tab later (deleteLater).
    void closeRequested(drivlet::gui::TThreadStatuesFrame* panel);
    // A click on Auto Close: the owner stores it as the next panels' start (AutoCloseJobTab).
    void autoCloseToggled(bool on);
    // For the job's entry in the notification window.
    void fileProgress(const QString& text);
    void threadError(const QString& text);
    // The log could not be written (also shown in a box).
    void logSaveFailed(const QString& reason);

private:
    struct WakeTarget;

    void BuildWidgets(bool autoClose);
    void ScheduleDrain();
    void DrainNow();
    void SetNormalBar(bool normal);
    void CloseClicked();
    void SaveClicked();
    void WriteLog(const QString& file);
    void ConfirmAndWriteLog(const QString& file);
    std::string Now() const;

    const IClock& clock_;
    DateTimeTextFormat dateTimeText_;
    StatusClock statusClock_;
    std::unique_ptr<JobRun> run_;
    std::shared_ptr<WakeTarget> wakeTarget_;
    const TThreadBase* worker_ = nullptr;
    bool ended_ = false;
    bool finishedSignalled_ = false;
    bool normalBar_ = true;
    int barState_ = 0;

    QTimer tickTimer_;
    QTimer drainTimer_;
    JobLogModel* model_ = nullptr;
    ElidedLabel* statusLabel_ = nullptr;
    QLabel* fileActionLabel_ = nullptr;
    QProgressBar* fileBar_ = nullptr;
    QLabel* remainingLabel_ = nullptr;
    QLabel* speedLabel_ = nullptr;
    QLabel* elapsedLabel_ = nullptr;
    QProgressBar* totalBar_ = nullptr;
    QTableView* logView_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QCheckBox* autoCloseBox_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QPointer<TSkipAbortRetryDialog> lowDiskDialog_;
};

// A new tab on `pages` captioned with the job name ("New Job" for a blank one), object names
// "Tab"/"Frame" + 32 hex digits, shown and selected, the busy bar running. Close removes the tab
// (deleted later, the panel with it) after selecting the first one.
TThreadStatuesFrame* CreateJobTab(const std::string& jobName, QTabWidget& pages, const IClock& clock,
                                  bool autoClose);

} // namespace drivlet::gui
