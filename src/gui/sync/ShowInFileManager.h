#pragma once
// Opens the desktop's file manager on files, each selected in its folder.
#include <QStringList>

namespace drivlet::gui {

// Asks the file manager over the session bus (org.freedesktop.FileManager1 ShowItems); where
// none answers, opens the folder of each file with the desktop's default handler. A path that
// does not exist opens its folder.
void ShowInFileManager(const QStringList& paths);

} // namespace drivlet::gui
