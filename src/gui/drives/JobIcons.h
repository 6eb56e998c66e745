#pragma once
// The small pictures of the job list, drawn rather than shipped: one per job kind, and one per
// schedule state of a job.
#include <QIcon>

namespace drivlet::gui {

// 0 PC-PC sync, 1 sync, 2 move, 3 backup; anything else (an error row) a warning sign.
QIcon JobTypeIcon(int typeIcon);
// 0 not scheduled (empty), 1 scheduled and active, 2 scheduled but switched off.
QIcon ScheduleStateIcon(int state);
// The type picture with the schedule picture before it, as one row's decoration.
QIcon JobRowIcon(int typeIcon, int scheduleState);

} // namespace drivlet::gui
