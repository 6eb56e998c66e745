#include "gui/dialogs/MessageBoxes.h"

#include "gui/text/PlainText.h"
#include <QAbstractButton>

#include <QMessageBox>

#include <memory>

namespace drivlet::gui {
namespace {

QMessageBox::Icon IconOf(MessageKind kind) {
    switch (kind) {
    case MessageKind::Warning:
        return QMessageBox::Warning;
    case MessageKind::Error:
        return QMessageBox::Critical;
    case MessageKind::Information:
        return QMessageBox::Information;
    case MessageKind::Confirmation:
        return QMessageBox::Question;
    case MessageKind::Plain:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ButtonsOf(BoxButtons buttons) {
    switch (buttons) {
    case BoxButtons::Ok:
        return QMessageBox::Ok;
    case BoxButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case BoxButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case BoxButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

int ReplyOf(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Ok:
        return dlg::Ok;
    case QMessageBox::Cancel:
        return dlg::Cancel;
    case QMessageBox::Yes:
        return dlg::Yes;
    case QMessageBox::No:
        return dlg::No;
    default:
        return dlg::NoAnswer;
    }
}

} // namespace

QPointer<QMessageBox> OpenMessageBox(QWidget* parent, const std::string& text, const std::string& title,
                                     MessageKind kind, BoxButtons buttons,
                                     std::function<void(int reply)> done, const std::string& caption) {
    auto* box = new QMessageBox(IconOf(kind), QString::fromStdString(caption), QString::fromStdString(title),
                                ButtonsOf(buttons), parent);
    box->setInformativeText(QString::fromStdString(text));
    MakeLabelsPlain(box);
    // Qt sizes the box by its short title line and would wrap "completed !" before its "!".
    box->setStyleSheet(QStringLiteral("QLabel#qt_msgbox_informativelabel { min-width: 260px; }"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Escape presses the box's escape button (No, Cancel or Ok). Closed from its title bar, a box
    // with Cancel or only Ok answers that, a Yes/No box nothing: Qt would report its escape
    // button, No, as clicked, so only a button the user pressed counts.
    if (buttons == BoxButtons::Ok) box->setEscapeButton(QMessageBox::Ok);
    int closed = dlg::NoAnswer;
    if (buttons == BoxButtons::Ok) closed = dlg::Ok;
    if (buttons == BoxButtons::OkCancel || buttons == BoxButtons::YesNoCancel) closed = dlg::Cancel;
    auto pressed = std::make_shared<QAbstractButton*>(nullptr);
    QObject::connect(box, &QMessageBox::buttonClicked, box, [pressed](QAbstractButton* b) { *pressed = b; });
    QObject::connect(box, &QMessageBox::finished, box, [box, pressed, closed, done = std::move(done)](int) {
        const int reply = *pressed ? ReplyOf(box->standardButton(*pressed)) : closed;
        if (done) done(reply);
    });
    box->open();
    return box;
}

int QtMessageDialogs::ShowNotice(const std::string& text, const std::string& title, MessageKind kind,
                                 const std::string& caption) {
    OpenMessageBox(nullptr, text, title, kind, BoxButtons::Ok, {}, caption);
    return dlg::Ok;
}

int QtMessageDialogs::AskOkCancel(const std::string& text, const std::string& title, MessageKind kind,
                                  const std::string& caption) {
    OpenMessageBox(nullptr, text, title, kind, BoxButtons::Ok, {}, caption);
    return dlg::Cancel;
}

int QtMessageDialogs::AskYesNo(const std::string& text, const std::string& title, bool withCancel,
                               MessageKind kind, const std::string& caption) {
    OpenMessageBox(nullptr, text, title, kind, BoxButtons::Ok, {}, caption);
    return withCancel ? dlg::Cancel : dlg::No;
}

} // namespace drivlet::gui
