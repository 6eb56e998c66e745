#include "core/status/JobLog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace drivlet {
namespace {

constexpr std::string_view kCrLf = "\r\n";
const std::string kBanner(82, '=');

void AddLine(std::string& out, std::string_view line) {
    out += line;
    out += kCrLf;
}

} // namespace

std::string_view LogLineStateText(LogLineState state) {
    switch (state) {
    case LogLineState::Success:
        return "Success";
    case LogLineState::Failed:
        return "Failed";
    case LogLineState::ThreadError:
        return "Thread Error";
    }
    return {};
}

void JobLog::AddEntry(std::string timeStamp, std::string fileName, std::string action, std::string status,
                      bool isError) {
    lines_.push_back({std::move(timeStamp), std::move(action), std::move(fileName), std::move(status),
                      isError ? LogLineState::Failed : LogLineState::Success});
}

void JobLog::AddThreadError(std::string timeStamp, std::string text) {
    lines_.push_back({std::move(timeStamp), "Thread Error", std::move(text), {}, LogLineState::ThreadError});
    ++errorCount_;
}

std::string JobLogFileText(const std::vector<JobLogLine>& lines) {
    std::string out;
    AddLine(out, kBanner);
    AddLine(out, "\t\t\t\tDrivlet File Log");
    AddLine(out, kBanner);
    AddLine(out, "Time Stamp\t\tAction\t\tStatus\tFile Name");
    AddLine(out, kBanner);
    for (const JobLogLine& line : lines) {
        out += line.timeStamp;
        out += '\t';
        out += line.action;
        out += '\t';
        out += LogLineStateText(line.state);
        out += '\t';
        AddLine(out, line.fileName);
    }
    AddLine(out, kBanner);
    AddLine(out, "End Log.");
    return out;
}

std::string SaveJobLog(const std::filesystem::path& file, const std::vector<JobLogLine>& lines) {
    const std::string text = JobLogFileText(lines);
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> out(std::fopen(file.c_str(), "wb"));
    if (!out) return std::strerror(errno);
    if (std::fwrite(text.data(), 1, text.size(), out.get()) != text.size()) return std::strerror(errno);
    if (std::fclose(out.release()) != 0) return std::strerror(errno);
    return {};
}

} // namespace drivlet
