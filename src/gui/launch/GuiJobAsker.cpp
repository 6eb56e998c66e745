#include "gui/launch/GuiJobAsker.h"

#include "gui/dialogs/MessageBoxes.h"

#include <exception>

namespace drivlet::gui {

void GuiJobAsker::Ask(const JobQuestion& question, std::function<void(int reply)> reply) {
    QPointer<QWidget> parent = parent_;
    // The reply starts the job from the box's own signal: nothing may escape into the event loop.
    OpenMessageBox(parent_, question.text, question.title, question.messageKind, BoxButtons::YesNo,
                   [parent, title = question.title, reply = std::move(reply)](int answer) {
                       try {
                           reply(answer);
                       } catch (const std::exception& e) {
                           OpenMessageBox(parent, std::string("The job could not be started: ") + e.what(),
                                          title, MessageKind::Error, BoxButtons::Ok, {});
                       }
                   });
}

void GuiJobAsker::Refused(const JobRefusal& refusal) {
    OpenMessageBox(parent_, refusal.text, refusal.title, MessageKind::Error, BoxButtons::Ok, {});
}

} // namespace drivlet::gui
