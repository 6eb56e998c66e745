#pragma once
// The message boxes on show, found among the top-level widgets as a user would see them.
#include <QMessageBox>
#include <QString>

#include <vector>

namespace drivlet::test {

// Visible boxes whose main text is `title` (all visible boxes when empty), in no particular order.
std::vector<QMessageBox*> OpenBoxes(const QString& title = {});
// Waits for the first visible box with that main text; null when none came.
QMessageBox* WaitForBox(const QString& title, int deadlineMs = 60000);
// Presses the box's standard button as a user would.
void Press(QMessageBox* box, QMessageBox::StandardButton button);

} // namespace drivlet::test
