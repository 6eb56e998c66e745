#include "support/OpenBoxes.h"

#include "support/GuiTestSupport.h"

#include <QAbstractButton>
#include <QApplication>

namespace drivlet::test {

std::vector<QMessageBox*> OpenBoxes(const QString& title) {
    std::vector<QMessageBox*> boxes;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box && box->isVisible() && (title.isEmpty() || box->text() == title)) boxes.push_back(box);
    }
    return boxes;
}

QMessageBox* WaitForBox(const QString& title, int deadlineMs) {
    QMessageBox* found = nullptr;
    WaitUntil(
        [&] {
            const auto boxes = OpenBoxes(title);
            found = boxes.empty() ? nullptr : boxes.front();
            return found != nullptr;
        },
        deadlineMs);
    return found;
}

void Press(QMessageBox* box, QMessageBox::StandardButton button) {
    QAbstractButton* pressed = box->button(button);
    if (pressed) pressed->click();
}

} // namespace drivlet::test
