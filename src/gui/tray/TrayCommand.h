#pragma once
// The tray's commands that other windows' menus also offer.

namespace drivlet::gui {

enum class TrayCommand { OpenDrive, ExitProgram, Options, Schedules, Upgrade, Help, About };

} // namespace drivlet::gui
