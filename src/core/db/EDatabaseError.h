#pragma once
// The one exception of the database layer: every message names the database file, so a log line
// or a notice tells the user which job's history is concerned.
#include <filesystem>
#include <stdexcept>
#include <string>

namespace drivlet {

class EDatabaseError : public std::runtime_error {
public:
    // code is the SQLite result code, or 0 when the fault was found by the program itself.
    EDatabaseError(const std::filesystem::path& file, const std::string& what, int code = 0);

    const std::filesystem::path& File() const { return file_; }
    int Code() const { return code_; }
    // The file could not be opened or written as one that may be changed (a read-only drive).
    bool CannotWrite() const;

private:
    std::filesystem::path file_;
    int code_;
};

} // namespace drivlet
