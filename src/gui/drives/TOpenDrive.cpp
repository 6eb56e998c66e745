#include "gui/drives/TOpenDrive.h"

#include "core/app/Constants.h"
#include "gui/dialogs/MessageBoxes.h"
#include "gui/drives/SpacePie.h"
#include "gui/text/QtText.h"
#include "platform/FileSystem.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace drivlet::gui {
namespace {

// The texts' "\r" line breaks, as the screen shows them.
QString ScreenText(std::string_view text) {
    return QtText(text).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

} // namespace

TOpenDrive::TOpenDrive(OpenDriveServices services, QWidget* parent)
    : QDialog(parent), services_(std::move(services)), types_(services_.volumes) {
    setWindowTitle(QtText(kProductTitle));
    auto* layout = new QVBoxLayout(this);
    auto* slogan = new QLabel(ScreenText(kOpenDriveSlogan), this);
    QFont bold = slogan->font();
    bold.setBold(true);
    slogan->setFont(bold);
    layout->addWidget(slogan);
    layout->addWidget(new QLabel(ScreenText(kOpenDriveHint), this));

    auto* middle = new QHBoxLayout;
    list_ = new QListWidget(this);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setMinimumWidth(220);
    connect(list_, &QListWidget::currentRowChanged, this, [this] { ShowSelection(); });
    middle->addWidget(list_, 1);
    auto* right = new QVBoxLayout;
    auto* labels = new QFormLayout;
    name_ = new QLabel(this);
    usedFree_ = new QLabel(this);
    total_ = new QLabel(this);
    name_->setObjectName(QStringLiteral("driveName"));
    usedFree_->setObjectName(QStringLiteral("usedFreeSpace"));
    total_->setObjectName(QStringLiteral("totalSpace"));
    labels->addRow(QStringLiteral("Drive Name : "), name_);
    labels->addRow(QStringLiteral("Used  / Free Space : "), usedFree_);
    labels->addRow(QStringLiteral("Total Space : "), total_);
    right->addLayout(labels);
    pie_ = new SpacePie(this);
    right->addWidget(pie_, 1);
    middle->addLayout(right, 1);
    layout->addLayout(middle, 1);

    auto* buttons = new QHBoxLayout;
    auto* refresh = new QPushButton(QStringLiteral("Refresh Drive List"), this);
    connect(refresh, &QPushButton::clicked, this, &TOpenDrive::RefreshDriveList);
    buttons->addWidget(refresh);
    buttons->addStretch(1);
    auto* next = new QPushButton(QStringLiteral("Next"), this);
    next->setDefault(true);
    connect(next, &QPushButton::clicked, this, [this] { (void)Next(); });
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(next);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    RefreshDriveList();
}

TOpenDrive::~TOpenDrive() {
    delete error_.data();
}

QMessageBox* TOpenDrive::OpenError() const {
    return error_.data();
}

void TOpenDrive::SetFilter(const QString& filter) {
    filter_ = filter.toUpper().toStdString();
    Rebuild();
}

void TOpenDrive::RefreshDriveList() {
    types_.Refresh();
    Rebuild();
}

void TOpenDrive::Rebuild() {
    items_ = OpenDriveItems(types_, filter_);
    list_->clear();
    for (const OpenDriveItem& item : items_) {
        auto* row = new QListWidgetItem(QString::fromStdString(item.name), list_);
        row->setToolTip(QString::fromStdString(item.path));
    }
    ShowSelection();
}

void TOpenDrive::ShowSelection() {
    const int row = list_->currentRow();
    shown_ = row >= 0 && row < static_cast<int>(items_.size())
                 ? DriveSpaceLabelsOf(items_[row], services_.files.GetDiskSpace(items_[row].path))
                 : DriveSpaceLabels{};
    name_->setText(QString::fromStdString(shown_.name));
    usedFree_->setText(QString::fromStdString(shown_.usedFree));
    total_->setText(QString::fromStdString(shown_.total));
    pie_->SetValues(shown_.used, shown_.free);
}

bool TOpenDrive::Next() {
    const int row = list_->currentRow();
    std::optional<OpenDriveItem> selected;
    if (row >= 0 && row < static_cast<int>(items_.size())) selected = items_[row];
    const std::optional<OpenDriveRefusal> refusal =
        ChooseOpenDrive(selected, services_.computerId, services_.files, InstalledMessageDialogs());
    if (refusal) {
        delete error_.data();
        error_ = OpenMessageBox(this, refusal->text, refusal->title, MessageKind::Error, BoxButtons::Ok, {});
        return false;
    }
    const QString path = QString::fromStdString(selected->path);
    accept();
    emit driveChosen(path);
    return true;
}

} // namespace drivlet::gui
