#pragma once
// The output of `drivlet-cli watch`: whole lines only, each written at once, so that the lines of
// jobs running side by side never mix. A job's lines carry its file's name in front.
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace drivlet::cli {

class WatchLog {
public:
    explicit WatchLog(std::ostream& out) : out_(out) {}
    // One line, flushed at once (a service manager's journal reads it as it comes).
    void Line(std::string_view text);

private:
    std::mutex mutex_;
    std::ostream& out_;
};

// A stream whose complete lines go to the log with a prefix; a last line without its newline is
// written when the stream ends.
class WatchLogStream final : public std::ostream {
public:
    WatchLogStream(WatchLog& log, std::string prefix);
    ~WatchLogStream() override;

private:
    class Buffer final : public std::streambuf {
    public:
        Buffer(WatchLog& log, std::string prefix) : log_(log), prefix_(std::move(prefix)) {}
        void FlushPartial();

    protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* s, std::streamsize n) override;

    private:
        void Put(char c);
        WatchLog& log_;
        std::string prefix_;
        std::string line_;
    };
    Buffer buffer_;
};

} // namespace drivlet::cli
