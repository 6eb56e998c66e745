#pragma once
// The sync run's questions in the tray program: the conflicts in the conflict window, and the
// deletions carried over from an emptied folder in a Yes/No box. Both are shown without waiting;
// the worker gets its answer from their callbacks (or from a cancel of the job).
#include "core/engine/sync/IConflictPrompt.h"
#include "core/time/DateTimeText.h"

#include <QPointer>

class QMessageBox;
class QWidget;

namespace drivlet::gui {

class TFileSyncPromptDlg;

class GuiConflictPrompt final : public IConflictPrompt {
public:
    // Windows open over `parent` (may be null); `dateText` as the conflict window takes it.
    explicit GuiConflictPrompt(QWidget* parent = nullptr, DateTimeTextFormat dateText = {});
    // Closes a window still open; its answer, if still owed, is a cancel.
    ~GuiConflictPrompt() override;
    GuiConflictPrompt(const GuiConflictPrompt&) = delete;
    GuiConflictPrompt& operator=(const GuiConflictPrompt&) = delete;

    void Resolve(std::vector<TFilePair> pairs, Answer<ConflictAnswer> answer) override;
    void ConfirmDeletions(std::vector<std::string> folders, size_t count, Answer<bool> answer) override;

    // What is on show, if anything (the tray program brings it forward; tests press its buttons).
    TFileSyncPromptDlg* ConflictWindow() const { return window_.data(); }
    QMessageBox* DeletionsBox() const { return box_.data(); }

private:
    QPointer<QWidget> parent_;
    DateTimeTextFormat dateText_;
    QPointer<TFileSyncPromptDlg> window_;
    QPointer<QMessageBox> box_;
};

// The question about deletions carried over from folders that lost every recorded file.
std::string DeletionsQuestionText(const std::vector<std::string>& folders, size_t count);

} // namespace drivlet::gui
