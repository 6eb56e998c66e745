#include "support/AsNobody.h"

#include <cerrno>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace drivlet::test {
namespace {

constexpr uid_t kNobody = 65534;
constexpr int kCannotDrop = 77;

void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

std::optional<std::string> RunAsNobody(const std::function<std::string()>& body) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return std::nullopt;
    }
    if (child == 0) {
        ::close(pipeFds[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0 ||
            ::geteuid() != kNobody)
            ::_exit(kCannotDrop);
        WriteAll(pipeFds[1], body());
        ::close(pipeFds[1]);
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string out;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == kCannotDrop) return std::nullopt;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "child ended abnormally";
    return out;
}

void OpenToEveryone(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::permissions(folder, fs::perms::all, ec);
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const bool isFolder = it->is_directory(ec);
        const fs::perms readWrite = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                    fs::perms::group_write | fs::perms::others_read | fs::perms::others_write;
        fs::permissions(it->path(), isFolder ? fs::perms::all : readWrite, fs::perm_options::add, ec);
    }
}

} // namespace drivlet::test
