#pragma once
// The Options window: the program's settings shown and saved to the settings file, the launch at
// log-in switched, and the deleted-files store chosen, measured and emptied. It edits the one
// settings record of the resident session; what it shows is only saved by "Save". Closing it
// hides it; questions are boxes answered by callback.
#include "core/app/AutostartEntry.h"
#include "core/options/OptionsForm.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <filesystem>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QMessageBox;
class QPushButton;
class QSpinBox;

namespace drivlet {
class IFileSystem;
class ProgramDatabase;
class TProgramData;
} // namespace drivlet

namespace drivlet::gui {

struct OptionsServices {
    TProgramData& settings;
    std::filesystem::path programDataRoot;
    ProgramDatabase& database;
    const IFileSystem& files;
    AutostartEntry autostart;
    // The store's last measured size in bytes, and a new measurement now.
    std::function<int64_t()> deletedSize;
    std::function<void()> measureDeletedSize;
};

class OptionsWindow final : public QWidget {
    Q_OBJECT
public:
    explicit OptionsWindow(OptionsServices services, QWidget* parent = nullptr);
    ~OptionsWindow() override;

    // The folder picker's choice (a folder path, with or without its trailing "/").
    void ChooseFolder(const QString& folder);
    // Copies the controls into the settings and writes the settings file; false (with a box saying
    // why) when the file could not be written.
    bool Save();
    // The values the controls hold now.
    [[nodiscard]] OptionsForm Form() const;
    QString UsedSizeText() const;
    QPushButton* AutostartButton() const { return autostartButton_; }
    QPushButton* EmptyButton() const { return emptyButton_; }
    QMessageBox* OpenQuestion() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Build();
    void Fill(const OptionsForm& form);
    void ShowUsedSize();
    void ShowAutostart();
    void ToggleAutostart();
    void PickFolder();
    void AskEmpty();

    OptionsServices services_;
    QCheckBox* miniWindows_ = nullptr;
    QCheckBox* showHidden_ = nullptr;
    QCheckBox* driveAutoRun_ = nullptr;
    QCheckBox* checkForUpdates_ = nullptr;
    QButtonGroup* missedSchedules_ = nullptr;
    QPushButton* autostartButton_ = nullptr;
    QCheckBox* moveToDeleted_ = nullptr;
    QSpinBox* limit_ = nullptr;
    QLabel* folder_ = nullptr;
    QPushButton* emptyButton_ = nullptr;
    QLabel* usedSize_ = nullptr;
    QTimer usedSizeTimer_;
    QPointer<QMessageBox> question_;
    QPointer<QMessageBox> error_;
};

} // namespace drivlet::gui
