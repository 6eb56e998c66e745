#include "core/drives/NewJobFile.h"

#include "core/time/DateFormat.h"

#include <cstdio>

namespace drivlet {

std::string NewJobTimeText(TDateTime now) {
    char milliseconds[8];
    std::snprintf(milliseconds, sizeof milliseconds, "%03d", DecodeDateTime(now).millisecond);
    return FormatDateTime(now, "yyyy-mm-dd hh-nn-ss ") + milliseconds;
}

std::string NewJobFileName(NewJobKind kind, std::string drivePath, TDateTime now) {
    if (drivePath.empty() || drivePath.back() != '/') drivePath += '/';
    const char* prefix = "Config/Backup";
    const char* extension = ".Ubk";
    if (kind == NewJobKind::Move) {
        prefix = "Config/Move ";
        extension = ".Umv";
    } else if (kind == NewJobKind::Sync) {
        prefix = "Config/sync ";
        extension = ".Usy";
    }
    return drivePath + prefix + NewJobTimeText(now) + extension;
}

} // namespace drivlet
