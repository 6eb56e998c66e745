#include "core/launch/DeletedDataLog.h"

#include "core/db/ProgramDatabase.h"

namespace drivlet {
namespace {

class DeletedDataLog final : public IDeletedFilesLog {
public:
    explicit DeletedDataLog(const std::filesystem::path& file) : database_(file) {}
    void Add(const std::string& fileName, int64_t size) override { database_.LogDeletedFile(fileName, size); }

private:
    ProgramDatabase database_;
};

} // namespace

DeletedFilesLogFactory DeletedDataLogFactory(std::filesystem::path programDatabase) {
    return [file = std::move(programDatabase)]() -> std::unique_ptr<IDeletedFilesLog> {
        return std::make_unique<DeletedDataLog>(file);
    };
}

} // namespace drivlet
