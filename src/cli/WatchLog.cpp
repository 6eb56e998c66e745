#include "cli/WatchLog.h"

namespace drivlet::cli {

void WatchLog::Line(std::string_view text) {
    std::lock_guard lock(mutex_);
    out_ << text << '\n' << std::flush;
}

WatchLogStream::WatchLogStream(WatchLog& log, std::string prefix)
    : std::ostream(nullptr), buffer_(log, std::move(prefix)) {
    rdbuf(&buffer_);
}

WatchLogStream::~WatchLogStream() {
    buffer_.FlushPartial();
}

void WatchLogStream::Buffer::FlushPartial() {
    if (!line_.empty()) log_.Line(prefix_ + line_);
    line_.clear();
}

void WatchLogStream::Buffer::Put(char c) {
    if (c != '\n') {
        line_ += c;
        return;
    }
    log_.Line(prefix_ + line_);
    line_.clear();
}

WatchLogStream::Buffer::int_type WatchLogStream::Buffer::overflow(int_type c) {
    if (!traits_type::eq_int_type(c, traits_type::eof())) Put(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
}

std::streamsize WatchLogStream::Buffer::xsputn(const char* s, std::streamsize n) {
    for (std::streamsize i = 0; i < n; ++i)
        Put(s[i]);
    return n;
}

} // namespace drivlet::cli
