#include "gui/sync/GuiConflictPrompt.h"

#include "gui/dialogs/MessageBoxes.h"
#include "gui/sync/TFileSyncPromptDlg.h"

#include <QMessageBox>

namespace drivlet::gui {

GuiConflictPrompt::GuiConflictPrompt(QWidget* parent, DateTimeTextFormat dateText)
    : parent_(parent), dateText_(std::move(dateText)) {}

GuiConflictPrompt::~GuiConflictPrompt() {
    if (window_) window_->reject();
    if (box_) box_->reject();
}

void GuiConflictPrompt::Resolve(std::vector<TFilePair> pairs, Answer<ConflictAnswer> answer) {
    if (pairs.empty()) {
        // Nothing to ask: the run goes on unchanged.
        answer(std::vector<TConflictResolution>{});
        return;
    }
    auto* window = new TFileSyncPromptDlg(std::move(pairs), dateText_, parent_);
    window->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(window, &QDialog::finished, window, [window, answer](int result) {
        if (result == QDialog::Accepted)
            answer(window->Resolutions());
        else
            answer(std::nullopt); // any other way of closing cancels the whole run
    });
    window_ = window;
    window->show();
    window->raise();
    window->activateWindow();
}

void GuiConflictPrompt::ConfirmDeletions(std::vector<std::string> folders, size_t count,
                                         Answer<bool> answer) {
    box_ = OpenMessageBox(parent_, DeletionsQuestionText(folders, count), "Carry out the deletions?",
                          MessageKind::Confirmation, BoxButtons::YesNo,
                          [answer](int reply) { answer(reply == dlg::Yes); });
}

std::string DeletionsQuestionText(const std::vector<std::string>& folders, size_t count) {
    std::string text = "Every file recorded in";
    for (size_t i = 0; i < folders.size(); ++i)
        text += (i == 0 ? " " : ", ") + folders[i];
    text += " is missing: it was moved or deleted, or its volume is not mounted.\n\n";
    text += std::to_string(count) +
            " file(s) would be deleted on the other side. Delete them? No keeps them, and the question comes "
            "again at the next run.";
    return text;
}

} // namespace drivlet::gui
