#pragma once
// The conflict window of a two-way sync under "Ask me what to do": every asked pair in one list,
// sorted by name, with its dates and the resolution chosen for it; the details of the selected
// file on both sides; the four resolutions for the selected rows or for all. It decides nothing:
// OK hands back one resolution per pair, in the pairs' order, and core turns them into actions.
#include "core/engine/sync/IConflictPrompt.h"
#include "core/time/DateTimeText.h"
#include "gui/sync/FileTypeCache.h"

#include <QDialog>

#include <functional>
#include <vector>

class QButtonGroup;
class QLabel;
class QPushButton;
class QRadioButton;
class QSortFilterProxyModel;
class QTableView;

namespace drivlet::gui {

class ConflictListModel;

class TFileSyncPromptDlg final : public QDialog {
    Q_OBJECT
public:
    // The details panel, one label per cell.
    enum class Side { Computer = 0, Drive = 1 };
    enum class Detail { Size = 0, Modified = 1, Location = 2 };

    // `dateText` writes the dates (the user's form when empty).
    explicit TFileSyncPromptDlg(std::vector<TFilePair> pairs, DateTimeTextFormat dateText = {},
                                QWidget* parent = nullptr);
    ~TFileSyncPromptDlg() override;

    // One per pair given, in that order.
    std::vector<TConflictResolution> Resolutions() const;

    // What opens a file in the file manager (the desktop's by default); tests put their own.
    void SetOpener(std::function<void(const QStringList& paths)> opener) { opener_ = std::move(opener); }
    // Opens the drive-side and computer-side files of the selected row; nothing without one.
    void OpenSelectedInFileManager();

    QTableView* List() const { return list_; }
    const ConflictListModel& Model() const { return *model_; }
    const FileTypeCache& Types() const { return types_; }
    QRadioButton* ResolutionButton(TConflictResolution resolution) const;
    QPushButton* RepeatButton() const { return repeat_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    QLabel* NameLabel() const { return name_; }
    QLabel* TypeLabel() const { return type_; }
    QLabel* IconLabel() const { return icon_; }
    QLabel* DetailLabel(Side side, Detail detail) const;

private:
    void BuildWidgets();
    void SelectionChanged();
    void ShowDetails(int row);
    void ResolutionChosen(int id);
    void RepeatForAll();
    std::vector<int> SelectedRows() const; // model rows, in view order

    std::vector<TFilePair> pairs_;
    DateTimeTextFormat dateText_;
    FileTypeCache types_;
    ConflictListModel* model_ = nullptr;
    QSortFilterProxyModel* sorted_ = nullptr;
    QTableView* list_ = nullptr;
    QLabel* icon_ = nullptr;
    QLabel* name_ = nullptr;
    QLabel* type_ = nullptr;
    QLabel* details_[2][3] = {};
    QWidget* resolutionBox_ = nullptr;
    QButtonGroup* resolutions_ = nullptr;
    QPushButton* repeat_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    std::function<void(const QStringList&)> opener_;
    bool filling_ = false;
};

} // namespace drivlet::gui
