#include "gui/about/AboutWindow.h"

#include "core/app/Constants.h"
#include "gui/text/QtText.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace drivlet::gui {
AboutWindow::AboutWindow(const QIcon& icon, QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("About ") + QtText(kProductTitle));
    setWindowIcon(icon);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* picture = new QLabel(this);
    picture->setPixmap(icon.pixmap(64, 64));
    top->addWidget(picture, 0, Qt::AlignTop);
    auto* name = new QLabel(this);
    name->setTextFormat(Qt::RichText);
    name->setText(QStringLiteral("<h2>%1</h2><p>%2, %3</p><p>Quorvane</p>")
                      .arg(QtText(kProductTitle), QtText(kVersionText), QtText(kBuildDateText)));
    top->addWidget(name, 1);
    layout->addLayout(top);
    auto* text =
        new QLabel(QStringLiteral("Keeps your files safe by carrying them between this computer and "
                                  "your USB drives: backups, moves, restores and sync, with the jobs "
                                  "kept on the drive itself."),
                   this);
    text->setWordWrap(true);
    layout->addWidget(text);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(close);
    layout->addLayout(bottom);
    setMinimumWidth(420);
}

} // namespace drivlet::gui
