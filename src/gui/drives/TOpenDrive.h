#pragma once
// The Open Drive dialog: the mounted drives of the filter's bus (USB from the tray) with the
// chosen one's space and pie; "Next" makes an unknown drive know this computer and hands the
// drive on. Shown without waiting; errors are boxes over it and it stays open.
#include "core/drives/DriveInterfaceType.h"
#include "core/drives/OpenDriveList.h"

#include <QDialog>
#include <QPointer>

#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QMessageBox;

namespace drivlet {
class IFileSystem;
class IVolumeSystem;
} // namespace drivlet

namespace drivlet::gui {

class SpacePie;

struct OpenDriveServices {
    const IVolumeSystem& volumes; // outlives the dialog
    const IFileSystem& files;
    std::string computerId;
};

class TOpenDrive final : public QDialog {
    Q_OBJECT
public:
    explicit TOpenDrive(OpenDriveServices services, QWidget* parent = nullptr);
    ~TOpenDrive() override;

    // Kept upper-cased; the list is built again.
    void SetFilter(const QString& filter);
    // The drives mounted now, read again ("Refresh Drive List").
    void RefreshDriveList();
    // "Next": false (with a box saying why) when the choice is refused.
    bool Next();

    QListWidget* List() const { return list_; }
    const std::vector<OpenDriveItem>& Items() const { return items_; }
    const DriveSpaceLabels& Shown() const { return shown_; }
    QMessageBox* OpenError() const;

signals:
    void driveChosen(const QString& drivePath);

private:
    void Rebuild();
    void ShowSelection();

    OpenDriveServices services_;
    TDriveInterfaceType types_;
    std::string filter_;
    std::vector<OpenDriveItem> items_;
    DriveSpaceLabels shown_;
    QListWidget* list_ = nullptr;
    QLabel* name_ = nullptr;
    QLabel* usedFree_ = nullptr;
    QLabel* total_ = nullptr;
    SpacePie* pie_ = nullptr;
    QPointer<QMessageBox> error_;
};

} // namespace drivlet::gui
