#include "cli/RunCommand.h"

#include "cli/CliJob.h"

namespace drivlet::cli {

int RunJob(const std::string& file, const RunOptions& options, const CliEnvironment& environment,
           CliConsole& console) {
    CliJob job(file, options, environment, console);
    if (!job.Launch(nullptr, {})) return job.Code();
    WaitForRun(*job.Run(), options.cancel);
    return job.Finish();
}

} // namespace drivlet::cli
