#pragma once
// The mapped form of a path: where a source path lies below a backup folder or the deleted-files
// store.
#include "core/time/DateTime.h"

#include <string>
#include <string_view>

namespace drivlet {

// /home/a/Docs/a.txt -> home/a/Docs/a.txt; E:\Docs\a.txt -> E\Docs\a.txt (every ":\" becomes "\");
// \\srv\share\a.txt -> __srv\share\a.txt (every "\\" becomes "__"). The last two are text rules
// for paths written in those forms.
std::string MappedPath(std::string_view path);

// "yyyy-mm-dd hh-nn" of a run's start: the name of its folder in the deleted-files store.
std::string StoreStamp(TDateTime startTime);

// deletedFolder + " " + stamp + "/" + the mapped path.
std::string DeletedPathFor(std::string_view deletedFolder, TDateTime startTime, std::string_view path);

// The part after the last "/" (the whole path when it has none).
std::string_view FileNamePart(std::string_view path);
// Up to and including the last "/" (empty when it has none).
std::string_view FolderPart(std::string_view path);

} // namespace drivlet
