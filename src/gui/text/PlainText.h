#pragma once
// Names, paths and a job's fields are shown as they are. Qt takes a text whose first line looks
// like markup for rich text (a file named "<h1>Yes</h1>.txt" would be rendered as a heading), so
// every label is told its text is plain, and tooltips carry the text escaped.
#include <QString>

class QLabel;
class QWidget;

namespace drivlet {

// Every label below the widget (the widget itself included) shows its text as plain text.
void MakeLabelsPlain(QWidget* root);
// The tooltip that shows the text as it is, line breaks kept.
QString PlainToolTip(const QString& text);

} // namespace drivlet
