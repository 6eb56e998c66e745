#include "gui/options/OptionsWindow.h"

#include "core/launch/DeletedStoreCleaner.h"
#include "core/records/TProgramData.h"
#include "core/text/PathText.h"
#include "gui/dialogs/MessageBoxes.h"
#include "gui/text/QtText.h"
#include "platform/FileSystem.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <exception>
#include <utility>

namespace drivlet::gui {
namespace {

constexpr int kUsedSizeIntervalMs = 1000;

} // namespace

OptionsWindow::OptionsWindow(OptionsServices services, QWidget* parent)
    : QWidget(parent, Qt::Window), services_(std::move(services)) {
    setWindowTitle(QtText(kOptionsCaption));
    Build();
    const OptionsForm form = OptionsForm::Of(services_.settings);
    Fill(form);
    // The store exists from the start, so that the picker and the measurement find it.
    if (!form.deletedFolder.empty() && services_.files.FileSize(form.deletedFolder) < 0)
        (void)services_.files.CreateFolders(form.deletedFolder);
    if (services_.measureDeletedSize) services_.measureDeletedSize();
    ShowUsedSize();
    usedSizeTimer_.setInterval(kUsedSizeIntervalMs);
    connect(&usedSizeTimer_, &QTimer::timeout, this, &OptionsWindow::ShowUsedSize);
    usedSizeTimer_.start();
}

OptionsWindow::~OptionsWindow() {
    delete question_.data();
    delete error_.data();
}

void OptionsWindow::Build() {
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(QtText(kOptionsHeading), this);
    QFont big = heading->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    heading->setFont(big);
    layout->addWidget(heading);

    auto* general = new QGroupBox(QStringLiteral("General"), this);
    auto* generalLayout = new QVBoxLayout(general);
    miniWindows_ = new QCheckBox(QStringLiteral("Enable mini window"), general);
    showHidden_ = new QCheckBox(QStringLiteral("Display hidden files"), general);
    driveAutoRun_ = new QCheckBox(QStringLiteral("Auto start when USB drive is inserted "), general);
    checkForUpdates_ = new QCheckBox(QStringLiteral("Check for update on startup"), general);
    for (QCheckBox* box : {miniWindows_, showHidden_, driveAutoRun_, checkForUpdates_})
        generalLayout->addWidget(box);
    auto* missed = new QGroupBox(QStringLiteral("Miss scheduled jobs"), general);
    auto* missedLayout = new QVBoxLayout(missed);
    missedSchedules_ = new QButtonGroup(this);
    const char* modes[] = {"Show notification", "Run as USB disk insertion", "Skip"};
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(QString::fromLatin1(modes[i]), missed);
        missedSchedules_->addButton(radio, i);
        missedLayout->addWidget(radio);
    }
    generalLayout->addWidget(missed);
    autostartButton_ = new QPushButton(QtText(kEnableAutostartCaption), general);
    connect(autostartButton_, &QPushButton::clicked, this, &OptionsWindow::ToggleAutostart);
    generalLayout->addWidget(autostartButton_);
    layout->addWidget(general);

    auto* store = new QGroupBox(this);
    auto* storeLayout = new QVBoxLayout(store);
    moveToDeleted_ =
        new QCheckBox(QStringLiteral("Save previous versions of deleted / replaced files"), store);
    storeLayout->addWidget(moveToDeleted_);
    auto* limitLabel = new QLabel(
        QStringLiteral("Display the warning when the Deleted File Protection folder size exceeds (MB) "),
        store);
    limitLabel->setWordWrap(true);
    limit_ = new QSpinBox(store);
    limit_->setRange(static_cast<int>(kDeletedLimitMinMiB), static_cast<int>(kDeletedLimitMaxMiB));
    limit_->setSingleStep(static_cast<int>(kDeletedLimitStepMiB));
    auto* limitRow = new QHBoxLayout;
    limitRow->addWidget(limitLabel, 1);
    limitRow->addWidget(limit_);
    storeLayout->addLayout(limitRow);
    auto* folderRow = new QHBoxLayout;
    folder_ = new QLabel(QStringLiteral("Deleted File Protection Folder"), store);
    folder_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* pick = new QPushButton(QStringLiteral("..."), store);
    pick->setToolTip(QStringLiteral("Choose the Deleted File Protection folder"));
    connect(pick, &QPushButton::clicked, this, &OptionsWindow::PickFolder);
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(pick);
    storeLayout->addLayout(folderRow);
    emptyButton_ = new QPushButton(QStringLiteral("Empty Deleted File Protection folder"), store);
    connect(emptyButton_, &QPushButton::clicked, this, &OptionsWindow::AskEmpty);
    auto* usedRow = new QHBoxLayout;
    usedRow->addWidget(emptyButton_);
    usedRow->addStretch(1);
    usedRow->addWidget(new QLabel(QStringLiteral("Used Size (MB) :"), store));
    usedSize_ = new QLabel(store);
    usedRow->addWidget(usedSize_);
    storeLayout->addLayout(usedRow);
    layout->addWidget(store);

    auto* save = new QPushButton(QStringLiteral("Save"), this);
    connect(save, &QPushButton::clicked, this, [this] { (void)Save(); });
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(save);
    layout->addLayout(bottom);
}

void OptionsWindow::Fill(const OptionsForm& form) {
    miniWindows_->setChecked(form.miniWindows);
    showHidden_->setChecked(form.showHidden);
    driveAutoRun_->setChecked(form.driveAutoRun);
    checkForUpdates_->setChecked(form.checkForUpdates);
    if (QAbstractButton* mode = missedSchedules_->button(static_cast<int>(form.scheduleRunMode)))
        mode->setChecked(true);
    moveToDeleted_->setChecked(form.moveToDeleted);
    limit_->setValue(static_cast<int>(form.deletedLimitMiB));
    if (!form.deletedFolder.empty()) folder_->setText(QString::fromStdString(form.deletedFolder));
}

OptionsForm OptionsWindow::Form() const {
    OptionsForm form;
    form.miniWindows = miniWindows_->isChecked();
    form.showHidden = showHidden_->isChecked();
    form.driveAutoRun = driveAutoRun_->isChecked();
    form.checkForUpdates = checkForUpdates_->isChecked();
    const int mode = missedSchedules_->checkedId();
    form.scheduleRunMode = mode < 0 ? TScheduleRunMode::srmAsk : static_cast<TScheduleRunMode>(mode);
    form.moveToDeleted = moveToDeleted_->isChecked();
    form.deletedLimitMiB = limit_->value();
    // The label reads its caption until a folder is known: the setting stays then.
    form.deletedFolder = folder_->text().startsWith(QLatin1Char('/')) ? folder_->text().toStdString()
                                                                      : services_.settings.DeletedFolder;
    return form;
}

bool OptionsWindow::Save() {
    Form().ApplyTo(services_.settings);
    try {
        services_.settings.SaveCompressed(TProgramData::SettingsFile(services_.programDataRoot));
        return true;
    } catch (const std::exception& e) {
        // The settings in memory are changed already; the file keeps the old ones.
        delete error_.data();
        error_ = OpenMessageBox(this, std::string("The settings could not be saved: ") + e.what(), "Options",
                                MessageKind::Error, BoxButtons::Ok, {});
        return false;
    }
}

void OptionsWindow::ChooseFolder(const QString& folder) {
    if (folder.isEmpty()) return;
    std::error_code ec;
    if (!std::filesystem::is_directory(folder.toStdString(), ec)) return;
    folder_->setText(QString::fromStdString(WithSlash(folder.toStdString())));
}

void OptionsWindow::PickFolder() {
    auto* dialog = new QFileDialog(this, QStringLiteral("Deleted File Protection Folder"), folder_->text());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setFilter(QDir::AllDirs | QDir::Hidden | QDir::NoDotAndDotDot);
    connect(dialog, &QFileDialog::fileSelected, this, &OptionsWindow::ChooseFolder);
    dialog->open();
}

QMessageBox* OptionsWindow::OpenQuestion() const {
    return question_.data();
}

QString OptionsWindow::UsedSizeText() const {
    return usedSize_->text();
}

void OptionsWindow::ShowUsedSize() {
    const int64_t bytes = services_.deletedSize ? services_.deletedSize() : 0;
    usedSize_->setText(QString::fromStdString(drivlet::UsedSizeText(bytes)));
    QColor colour;
    switch (StoreFillOf(bytes, limit_->value())) {
    case StoreFill::Low:
        colour = QColor(0, 128, 255);
        break;
    case StoreFill::High:
        colour = QColor(255, 128, 0);
        break;
    case StoreFill::Over:
        colour = QColor(255, 0, 128);
        break;
    }
    QPalette palette = usedSize_->palette();
    palette.setColor(QPalette::WindowText, colour);
    usedSize_->setPalette(palette);
}

void OptionsWindow::showEvent(QShowEvent* event) {
    ShowAutostart();
    QWidget::showEvent(event);
}

void OptionsWindow::ShowAutostart() {
    services_.autostart.Check();
    autostartButton_->setText(QtText(services_.autostart.ButtonCaption()));
}

void OptionsWindow::ToggleAutostart() {
    const std::string failure = services_.autostart.Toggle();
    ShowAutostart();
    if (!failure.empty()) {
        delete error_.data();
        error_ = OpenMessageBox(this, failure, "Options", MessageKind::Error, BoxButtons::Ok, {});
    }
}

void OptionsWindow::AskEmpty() {
    if (question_) return;
    const std::string folder = services_.settings.DeletedFolder;
    question_ = OpenMessageBox(this, EmptyStoreQuestion(folder), std::string(kEmptyStoreTitle),
                               MessageKind::Confirmation, BoxButtons::YesNo, [this, folder](int reply) {
                                   if (reply != dlg::Yes) return;
                                   (void)EmptyDeletedStoreNow(services_.files, folder, services_.database);
                                   if (services_.measureDeletedSize) services_.measureDeletedSize();
                                   ShowUsedSize();
                               });
}

} // namespace drivlet::gui
