#include "platform/linux/TemporaryJournal.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <random>
#include <string_view>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace drivlet {
namespace {

constexpr std::string_view kJournalPrefix = "journal-";
// Past this size the journal is written anew with only the files still live.
constexpr std::size_t kRewriteBytes = 1u << 20;

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

// A leftover is removed only while it is what the journal says: a regular file of the temporary
// form that no live writer holds. False when its folder is not there (a drive not mounted now),
// so that the record is kept for a later look.
bool RemoveLeftover(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || !IsTemporaryName(std::string_view(path).substr(slash + 1))) return true;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        struct stat folder {};
        return errno != ENOENT || ::stat(path.substr(0, slash + 1).c_str(), &folder) == 0;
    }
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0)
        ::unlink(path.c_str());
    ::close(fd);
    return true;
}

} // namespace

TemporaryJournal::TemporaryJournal(std::filesystem::path folder) : folder_(std::move(folder)) {}

TemporaryJournal::~TemporaryJournal() {
    if (fd_ < 0) return;
    // Every file noted has gone its way: nothing is left for a later run to look for.
    if (live_.empty()) ::unlink(own_.c_str());
    ::close(fd_);
}

bool TemporaryJournal::OpenOwn() {
    if (fd_ >= 0) return true;
    if (folder_.empty()) return false;
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        std::snprintf(name, sizeof name, "%.*s%ld-%016llx", static_cast<int>(kJournalPrefix.size()),
                      kJournalPrefix.data(), static_cast<long>(getpid()),
                      static_cast<unsigned long long>(random()));
        const std::string file = (folder_ / name).string();
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return false;
        // Held while this process lives; the kernel lets go when it ends, however it ends.
        flock(fd, LOCK_EX);
        fd_ = fd;
        own_ = file;
        return true;
    }
    return false;
}

void TemporaryJournal::Append(const std::string& path) {
    std::string record = path;
    record += '\0';
    if (WriteAll(fd_, record.data(), record.size())) written_ += record.size();
}

void TemporaryJournal::Rewrite() {
    if (ftruncate(fd_, 0) != 0) return;
    written_ = 0;
    for (const std::string& path : live_)
        Append(path);
}

void TemporaryJournal::Made(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (!OpenOwn()) return;
    live_.insert(path);
    if (written_ > kRewriteBytes) Rewrite();
    Append(path);
}

void TemporaryJournal::Gone(const std::string& path) {
    std::lock_guard lock(mutex_);
    live_.erase(path);
}

bool TemporaryJournal::Live(const std::string& path) {
    std::lock_guard lock(mutex_);
    return live_.count(path) != 0;
}

void TemporaryJournal::RemoveLeftovers(std::chrono::seconds pace, bool now) {
    std::lock_guard lock(mutex_);
    if (folder_.empty()) return;
    const auto at = std::chrono::steady_clock::now();
    if (!now && scanned_ && at - lastScan_ < pace) return;
    scanned_ = true;
    lastScan_ = at;
    DIR* dir = ::opendir(folder_.c_str());
    if (!dir) return;
    std::vector<std::string> journals;
    while (const dirent* de = ::readdir(dir))
        if (std::string_view(de->d_name).starts_with(kJournalPrefix))
            journals.push_back((folder_ / de->d_name).string());
    ::closedir(dir);
    for (const std::string& journal : journals) {
        if (journal == own_) continue;
        const int fd = ::open(journal.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        // A journal still held belongs to a live process.
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            const std::string text = ReadAll(fd);
            std::string kept;
            for (std::size_t start = 0; start < text.size();) {
                const std::size_t end = text.find('\0', start);
                if (end == std::string::npos) break; // a record cut short by the kill
                const std::string path = text.substr(start, end - start);
                if (!RemoveLeftover(path)) kept += path + '\0';
                start = end + 1;
            }
            if (kept.empty()) {
                ::unlink(journal.c_str());
            } else if (ftruncate(fd, 0) == 0) {
                (void)::lseek(fd, 0, SEEK_SET);
                (void)WriteAll(fd, kept.data(), kept.size());
            }
        }
        ::close(fd);
    }
}

} // namespace drivlet
