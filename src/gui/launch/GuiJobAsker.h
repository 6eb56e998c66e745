#pragma once
// The launcher's questions as message boxes that do not wait: Yes/No, answered through the
// callback when the user chooses (a box closed without a choice answers as such).
#include "core/launch/LaunchJob.h"

#include <QPointer>
#include <QWidget>

namespace drivlet::gui {

class GuiJobAsker final : public IJobAsker {
public:
    // The boxes are window-modal to the parent, when there is one.
    explicit GuiJobAsker(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    void Ask(const JobQuestion& question, std::function<void(int reply)> reply) override;
    void Refused(const JobRefusal& refusal) override;

private:
    QPointer<QWidget> parent_;
};

} // namespace drivlet::gui
