#pragma once
// The notification slider: a small always-on-top panel at the bottom right of the screen listing
// the running jobs with what each is doing; it closes itself three seconds after the mouse left
// it, unless "Auto Close" is unchecked. Its list lives on while it is hidden.
#include "core/status/SliderCountdown.h"

#include <QTimer>
#include <QWidget>

class QCheckBox;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace drivlet::gui {

class TSliderForm final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 316;
    static constexpr int kHeight = 194;
    // The images of the entries, by the number the callers give.
    enum Image { MailImage, PcImage, SyncImage, BackupImage, RestoreImage, MoveImage };

    explicit TSliderForm(QWidget* parent = nullptr);

    // A new entry, its action "Loading..."; the number names it in the calls below.
    int AddJobItem(const QString& jobName, int image);
    // Nothing when the entry is gone.
    void SetJobAction(int entry, const QString& action);
    void RemoveJobItem(int entry);
    // Shown at the bottom right, above the task bar, with the countdown started.
    void ShowSlider();

    int EntryCount() const;
    QString ActionOf(int entry) const;
    QCheckBox& AutoClose() const { return *autoClose_; }
    bool EmptyTextShown() const;
    // One step of the countdown, as its timer takes it.
    void CountdownStep();

signals:
    // An entry was clicked: its job's window and tab are wanted.
    void entryActivated(int entry);

protected:
    void showEvent(QShowEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QTreeWidgetItem* ItemOf(int entry) const;
    void ShowEmptyText();

    QTreeWidget* list_ = nullptr;
    QLabel* empty_ = nullptr;
    QCheckBox* autoClose_ = nullptr;
    QTimer timer_;
    SliderCountdown countdown_;
    int nextEntry_ = 1;
};

} // namespace drivlet::gui
