#include "gui/sync/TFileSyncPromptDlg.h"

#include "core/text/SizeTexts.h"
#include "gui/sync/ConflictListModel.h"
#include "gui/sync/ShowInFileManager.h"
#include "gui/text/LocaleDateTime.h"

#include "gui/text/PlainText.h"
#include <QButtonGroup>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

namespace drivlet::gui {

namespace {

const QString kNotAvailable = QStringLiteral("N/A");
constexpr TConflictResolution kOrder[] = {TConflictResolution::DoNothing, TConflictResolution::UseComputer,
                                          TConflictResolution::UseDrive, TConflictResolution::UseNewest};

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString FolderOf(const std::string& path) {
    if (path.empty()) return {};
    QString folder = QFileInfo(QString::fromStdString(path)).path();
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

void SetWithTip(QLabel* label, const QString& text) {
    label->setText(text);
    label->setToolTip(PlainToolTip(text));
}

} // namespace

TFileSyncPromptDlg::TFileSyncPromptDlg(std::vector<TFilePair> pairs, DateTimeTextFormat dateText,
                                       QWidget* parent)
    : QDialog(parent), pairs_(std::move(pairs)),
      dateText_(dateText ? std::move(dateText) : LocaleFileDateText), opener_(ShowInFileManager) {
    setWindowTitle(QStringLiteral("File Conflicts"));
    model_ = new ConflictListModel(pairs_, types_, dateText_, this);
    sorted_ = new QSortFilterProxyModel(this);
    sorted_->setSourceModel(model_);
    sorted_->setSortCaseSensitivity(Qt::CaseInsensitive);
    sorted_->sort(ConflictListModel::Name, Qt::AscendingOrder);
    BuildWidgets();
    MakeLabelsPlain(this);
    SelectionChanged();
}

TFileSyncPromptDlg::~TFileSyncPromptDlg() = default;

void TFileSyncPromptDlg::BuildWidgets() {
    auto* strip = new QFrame(this);
    strip->setFixedWidth(12);
    strip->setAutoFillBackground(true);
    QPalette stripColours = strip->palette();
    stripColours.setColor(QPalette::Window, QColor(0x00, 0x80, 0xFF));
    strip->setPalette(stripColours);

    auto* heading = new QLabel(QStringLiteral("Resolving Conflicts"), this);
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    heading->setFont(bold);
    auto* intro = new QLabel(
        QStringLiteral(
            "A conflict occurs when there are two files with the same name and location (on computer and "
            "USB drive),but with different contents or attributes. How should it be handled? Please select "
            "the resolving conflict action."),
        this);
    intro->setWordWrap(true);

    list_ = new QTableView(this);
    list_->setModel(sorted_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setShowGrid(true);
    list_->setWordWrap(false);
    list_->verticalHeader()->hide();
    list_->horizontalHeader()->setSectionResizeMode(ConflictListModel::Name, QHeaderView::Stretch);
    for (int column : {ConflictListModel::Drive, ConflictListModel::Computer, ConflictListModel::Action})
        list_->horizontalHeader()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    list_->setIconSize(QSize(16, 16));
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->setMinimumWidth(600);

    auto* fileBox = new QGroupBox(QStringLiteral("This file exists and is different on two side"), this);
    auto* fileLayout = new QGridLayout(fileBox);
    icon_ = new QLabel(fileBox);
    icon_->setFixedSize(48, 48);
    name_ = new QLabel(fileBox);
    type_ = new QLabel(fileBox);
    fileLayout->addWidget(icon_, 0, 0, 2, 1);
    fileLayout->addWidget(name_, 0, 1, 1, 2);
    fileLayout->addWidget(type_, 1, 1, 1, 2);
    fileLayout->addWidget(new QLabel(QStringLiteral("Computer"), fileBox), 2, 1);
    fileLayout->addWidget(new QLabel(QStringLiteral("USB Drive"), fileBox), 2, 2);
    const QString rowHeads[] = {QStringLiteral("Size"), QStringLiteral("Modfied"),
                                QStringLiteral("Location")};
    for (int detail = 0; detail < 3; ++detail) {
        fileLayout->addWidget(new QLabel(rowHeads[detail], fileBox), 3 + detail, 0);
        for (int side = 0; side < 2; ++side) {
            auto* cell = new QLabel(kNotAvailable, fileBox);
            cell->setMinimumWidth(90);
            details_[side][detail] = cell;
            fileLayout->addWidget(cell, 3 + detail, 1 + side);
        }
    }

    auto* resolutionBox = new QGroupBox(QStringLiteral("Resolving conflict action"), this);
    resolutionBox_ = resolutionBox;
    auto* resolutionLayout = new QGridLayout(resolutionBox);
    resolutions_ = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        auto* button = new QRadioButton(Text(ConflictResolutionText(kOrder[i])), resolutionBox);
        resolutions_->addButton(button, static_cast<int>(kOrder[i]));
        resolutionLayout->addWidget(button, i / 2, i % 2);
    }
    repeat_ = new QPushButton(QStringLiteral("Repeat selected action for all other conflicts"), this);

    auto* side = new QVBoxLayout;
    side->addWidget(fileBox);
    side->addWidget(resolutionBox);
    side->addWidget(repeat_);
    side->addStretch(1);

    auto* main = new QHBoxLayout;
    main->addWidget(list_, 1);
    main->addLayout(side);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    ok_->setDefault(true);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(ok_);
    bottom->addStretch(1);
    bottom->addWidget(cancel_);

    auto* content = new QVBoxLayout;
    content->addWidget(heading);
    content->addWidget(intro);
    content->addLayout(main, 1);
    content->addLayout(bottom);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(strip);
    layout->addLayout(content, 1);

    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TFileSyncPromptDlg::SelectionChanged);
    connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TFileSyncPromptDlg::SelectionChanged);
    connect(resolutions_, &QButtonGroup::idClicked, this, &TFileSyncPromptDlg::ResolutionChosen);
    connect(repeat_, &QPushButton::clicked, this, &TFileSyncPromptDlg::RepeatForAll);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QTableView::doubleClicked, this, &TFileSyncPromptDlg::OpenSelectedInFileManager);
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        auto* menu = new QMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        QAction* open = menu->addAction(QStringLiteral("Open in File Manager"), this,
                                        &TFileSyncPromptDlg::OpenSelectedInFileManager);
        menu->setDefaultAction(open);
        open->setEnabled(list_->selectionModel()->hasSelection());
        menu->popup(list_->viewport()->mapToGlobal(at));
    });
}

std::vector<int> TFileSyncPromptDlg::SelectedRows() const {
    std::vector<int> rows;
    QModelIndexList selected = list_->selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& index : selected)
        rows.push_back(sorted_->mapToSource(index).row());
    return rows;
}

void TFileSyncPromptDlg::SelectionChanged() {
    filling_ = true;
    const std::vector<int> rows = SelectedRows();
    const bool any = !rows.empty();
    resolutionBox_->setEnabled(any);
    repeat_->setEnabled(any);
    if (any) {
        resolutions_->button(static_cast<int>(model_->Resolution(rows.front())))->setChecked(true);
        const QModelIndex current = list_->currentIndex();
        const bool currentSelected =
            current.isValid() && list_->selectionModel()->isRowSelected(current.row(), {});
        ShowDetails(currentSelected ? sorted_->mapToSource(current).row() : rows.front());
    } else {
        ShowDetails(-1);
    }
    filling_ = false;
}

void TFileSyncPromptDlg::ShowDetails(int row) {
    if (row < 0) {
        SetWithTip(name_, kNotAvailable);
        type_->clear();
        icon_->clear();
        for (auto& side : details_)
            for (QLabel* cell : side)
                SetWithTip(cell, kNotAvailable);
        return;
    }
    const TFilePair& pair = model_->Pair(row);
    const int icon = model_->IconIndex(row);
    name_->setText(QFileInfo(QString::fromStdString(pair.FileA.FileName)).fileName());
    name_->setToolTip(PlainToolTip(QString::fromStdString(pair.FileA.FileName)));
    type_->setText(types_.TypeName(icon));
    icon_->setPixmap(types_.LargeIcon(icon).pixmap(32, 32));
    const TFileData* sides[2] = {&pair.FileB, &pair.FileA};
    for (int side = 0; side < 2; ++side) {
        const TFileData& file = *sides[side];
        SetWithTip(details_[side][0], QString::fromStdString(FileSizeText(file.FileSize)));
        SetWithTip(details_[side][1], QString::fromStdString(dateText_(file.FileDateTime)));
        SetWithTip(details_[side][2], FolderOf(file.FileName));
    }
}

void TFileSyncPromptDlg::ResolutionChosen(int id) {
    if (filling_) return;
    model_->SetResolution(SelectedRows(), static_cast<TConflictResolution>(id));
}

void TFileSyncPromptDlg::RepeatForAll() {
    const int id = resolutions_->checkedId();
    if (id < 0) return;
    model_->SetAll(static_cast<TConflictResolution>(id));
}

std::vector<TConflictResolution> TFileSyncPromptDlg::Resolutions() const {
    return model_->Resolutions();
}

void TFileSyncPromptDlg::OpenSelectedInFileManager() {
    const std::vector<int> rows = SelectedRows();
    if (rows.empty() || !opener_) return;
    const TFilePair& pair = model_->Pair(rows.front());
    opener_({QString::fromStdString(pair.FileA.FileName), QString::fromStdString(pair.FileB.FileName)});
}

QRadioButton* TFileSyncPromptDlg::ResolutionButton(TConflictResolution resolution) const {
    return qobject_cast<QRadioButton*>(resolutions_->button(static_cast<int>(resolution)));
}

QLabel* TFileSyncPromptDlg::DetailLabel(Side side, Detail detail) const {
    return details_[static_cast<int>(side)][static_cast<int>(detail)];
}

} // namespace drivlet::gui
