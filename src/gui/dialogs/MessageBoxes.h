#pragma once
// The standard message dialogs on QMessageBox, shown without waiting: the title line is the main
// text, the message below it, the caption "Drivlet". The reply comes through a callback with a
// dlg:: value. Escape presses No, Cancel or Ok; a box closed from its title bar answers Cancel or
// Ok where it has only those, and a Yes/No box dlg::NoAnswer.
#include "core/app/MessageDialogs.h"

#include <QPointer>

#include <functional>
#include <string>

class QMessageBox;
class QWidget;

namespace drivlet::gui {

enum class BoxButtons { Ok, OkCancel, YesNo, YesNoCancel };

// Opens the box (window-modal to `parent` when given) and returns it; it deletes itself once
// answered. `done` may be empty.
QPointer<QMessageBox> OpenMessageBox(QWidget* parent, const std::string& text, const std::string& title,
                                     MessageKind kind, BoxButtons buttons, std::function<void(int reply)> done,
                                     const std::string& caption = "Drivlet");

// For code of core that only tells (a record that cannot be read): notices open a box and return
// at once. Core's questions are never asked through this in the tray program (they go through
// callbacks); should one come, it gets the answer of a box closed without a choice.
class QtMessageDialogs final : public IMessageDialogs {
public:
    int ShowNotice(const std::string& text, const std::string& title, MessageKind kind,
                   const std::string& caption) override;
    int AskOkCancel(const std::string& text, const std::string& title, MessageKind kind,
                    const std::string& caption) override;
    int AskYesNo(const std::string& text, const std::string& title, bool withCancel, MessageKind kind,
                 const std::string& caption) override;
};

} // namespace drivlet::gui
