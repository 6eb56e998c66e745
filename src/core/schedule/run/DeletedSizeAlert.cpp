#include "core/schedule/run/DeletedSizeAlert.h"

#include "core/db/ProgramDatabase.h"

namespace drivlet {

DeletedSizeAlert DeletedSizeAlertFor(int64_t deletedSize, int64_t maxDeletedSize) {
    DeletedSizeAlert alert;
    alert.deletedSize = deletedSize;
    alert.overLimit = deletedSize > maxDeletedSize;
    alert.balloonText = std::string(alert.overLimit ? kDeletedOverloadText : kDeletedIdleText);
    return alert;
}

DeletedSizeAlert MeasureDeletedSize(ProgramDatabase& database, int64_t maxDeletedSize) {
    return DeletedSizeAlertFor(database.DeletedFilesSize(), maxDeletedSize);
}

} // namespace drivlet
