#include "gui/tray/TSliderForm.h"

#include "gui/text/QtText.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace drivlet::gui {
namespace {

constexpr int kEntryRole = Qt::UserRole + 1;

QIcon ImageIcon(const QStyle& style, int image) {
    switch (image) {
    case TSliderForm::PcImage:
        return style.standardIcon(QStyle::SP_ComputerIcon);
    case TSliderForm::SyncImage:
        return style.standardIcon(QStyle::SP_BrowserReload);
    case TSliderForm::BackupImage:
        return style.standardIcon(QStyle::SP_DriveHDIcon);
    case TSliderForm::RestoreImage:
        return style.standardIcon(QStyle::SP_ArrowBack);
    case TSliderForm::MoveImage:
        return style.standardIcon(QStyle::SP_FileDialogToParent);
    default:
        return style.standardIcon(QStyle::SP_FileIcon);
    }
}

} // namespace

TSliderForm::TSliderForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("Drivlet jobs"));
    setFixedSize(kWidth, kHeight);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    list_ = new QTreeWidget(this);
    list_->setColumnCount(2);
    list_->setHeaderLabels({QStringLiteral("Job Name"), QStringLiteral("Action")});
    list_->setColumnWidth(0, 100);
    list_->header()->setStretchLastSection(true);
    list_->setRootIsDecorated(false);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSortingEnabled(true);
    list_->sortByColumn(0, Qt::AscendingOrder);
    connect(list_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { emit entryActivated(item->data(0, kEntryRole).toInt()); });
    layout->addWidget(list_, 1);
    empty_ = new QLabel(QtText(kNoJobRunningText), list_->viewport());
    empty_->setAlignment(Qt::AlignCenter);
    empty_->setGeometry(0, 0, kWidth - 16, 60);
    auto* bottom = new QHBoxLayout;
    autoClose_ = new QCheckBox(QtText(kAutoCloseCaption), this);
    autoClose_->setChecked(true);
    connect(autoClose_, &QCheckBox::toggled, this, [this](bool on) {
        if (on) return;
        timer_.stop();
        autoClose_->setText(QtText(kAutoCloseCaption));
    });
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    bottom->addWidget(autoClose_, 1);
    bottom->addWidget(close);
    layout->addLayout(bottom);
    timer_.setInterval(SliderCountdown::kStepMs);
    connect(&timer_, &QTimer::timeout, this, &TSliderForm::CountdownStep);
    ShowEmptyText();
}

int TSliderForm::AddJobItem(const QString& jobName, int image) {
    const int entry = nextEntry_++;
    auto* item = new QTreeWidgetItem({jobName, QStringLiteral("Loading...")});
    item->setData(0, kEntryRole, entry);
    item->setIcon(0, ImageIcon(*style(), image));
    list_->addTopLevelItem(item); // the list owns it
    ShowEmptyText();
    return entry;
}

QTreeWidgetItem* TSliderForm::ItemOf(int entry) const {
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        if (list_->topLevelItem(i)->data(0, kEntryRole).toInt() == entry) return list_->topLevelItem(i);
    return nullptr;
}

void TSliderForm::SetJobAction(int entry, const QString& action) {
    if (QTreeWidgetItem* item = ItemOf(entry)) item->setText(1, action);
}

void TSliderForm::RemoveJobItem(int entry) {
    if (QTreeWidgetItem* item = ItemOf(entry))
        delete list_->takeTopLevelItem(list_->indexOfTopLevelItem(item));
    ShowEmptyText();
}

int TSliderForm::EntryCount() const {
    return list_->topLevelItemCount();
}

QString TSliderForm::ActionOf(int entry) const {
    const QTreeWidgetItem* item = ItemOf(entry);
    return item ? item->text(1) : QString();
}

bool TSliderForm::EmptyTextShown() const {
    return !empty_->isHidden();
}

void TSliderForm::ShowEmptyText() {
    empty_->setVisible(list_->topLevelItemCount() == 0);
}

void TSliderForm::ShowSlider() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        // The available area leaves the task bar out: the slider sits on top of it.
        const QRect area = screen->availableGeometry();
        move(area.right() + 1 - width(), area.bottom() + 1 - height());
    }
    show();
    raise();
}

void TSliderForm::showEvent(QShowEvent* event) {
    countdown_.Restart();
    autoClose_->setText(QtText(kAutoCloseCaption));
    if (autoClose_->isChecked()) timer_.start();
    QWidget::showEvent(event);
}

void TSliderForm::CountdownStep() {
    const bool done = countdown_.Step();
    autoClose_->setText(QString::fromStdString(countdown_.StepCaption()));
    if (!done) return;
    timer_.stop();
    hide();
}

void TSliderForm::enterEvent(QEnterEvent* event) {
    timer_.stop();
    QWidget::enterEvent(event);
}

void TSliderForm::leaveEvent(QEvent* event) {
    countdown_.Restart();
    if (autoClose_->isChecked() && isVisible()) timer_.start();
    QWidget::leaveEvent(event);
}

} // namespace drivlet::gui
