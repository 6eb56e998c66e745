#pragma once
// The record of files moved into the deleted-files store (the program database's DeleteDataLog).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace drivlet {

class IDeletedFilesLog {
public:
    virtual ~IDeletedFilesLog() = default;
    // fileName: the stored file's path relative to the folder part of the store setting, beginning
    // with the blank and the run's stamp. Errors are thrown; the worker's body reports them.
    virtual void Add(const std::string& fileName, int64_t size) = 0;
};

// Opens the log on the worker that calls it (one database connection per thread).
using DeletedFilesLogFactory = std::function<std::unique_ptr<IDeletedFilesLog>()>;

} // namespace drivlet
