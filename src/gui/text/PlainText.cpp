#include "gui/text/PlainText.h"

#include <QLabel>
#include <QTextDocument>

namespace drivlet {

void MakeLabelsPlain(QWidget* root) {
    if (auto* label = qobject_cast<QLabel*>(root)) label->setTextFormat(Qt::PlainText);
    for (QLabel* label : root->findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
}

QString PlainToolTip(const QString& text) {
    // Only a text Qt would take for markup needs its characters escaped.
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpacePre) : text;
}

} // namespace drivlet
