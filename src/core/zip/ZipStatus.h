#pragma once
// The outcome of one archive operation: the library's error code (0 is success) and its text.
#include <functional>
#include <string>
#include <utility>

namespace drivlet {

class ZipStatus {
public:
    ZipStatus() = default;
    ZipStatus(int code, std::string message, int systemError = 0)
        : code_(code), message_(std::move(message)), systemError_(systemError) {}

    bool ok() const { return code_ == 0; }
    explicit operator bool() const { return ok(); }
    int code() const { return code_; }
    const std::string& message() const { return message_; }
    bool canceled() const;
    // An archive the program would not hand to the library (a link leading off the drive), in the
    // library's own terms: its code for a file it cannot open.
    static ZipStatus CannotOpen(std::string message, int systemError) {
        constexpr int kOpenError = 11;
        return ZipStatus(kOpenError, std::move(message), systemError);
    }
    // The library's report of a failure about `subject`: "(code) text : subject".
    std::string Describe(const std::string& subject) const {
        return "(" + std::to_string(code_) + ") " + message_ + " : " + subject;
    }
    // The volume written to ran out of room (the write may be tried again once there is room).
    bool diskFull() const;

private:
    int code_ = 0;
    std::string message_;
    int systemError_ = 0; // errno behind the failure, 0 when none
};

// Called while an archive is written or an entry is read; returning true stops the operation.
using ZipCancelCheck = std::function<bool()>;

} // namespace drivlet
