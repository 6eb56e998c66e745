#include "platform/linux/FrontRequestListener.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace drivlet {

namespace {

constexpr char kRequest[] = "RESTORE";
constexpr int kReadTimeoutMs = 1000;

// An abstract address: a leading NUL, then the name (longer names are cut by the caller).
socklen_t AbstractAddress(const std::string& name, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    const size_t length = std::min(name.size(), sizeof addr.sun_path - 1);
    std::memcpy(addr.sun_path + 1, name.data(), length);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

} // namespace

FrontRequestListener::FrontRequestListener(const std::string& name, std::function<void()> onRequest)
    : onRequest_(std::move(onRequest)) {
    sockaddr_un addr;
    const socklen_t length = AbstractAddress(name, addr);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), length) != 0 || listen(fd, 8) != 0) {
        close(fd);
        return;
    }
    stop_ = eventfd(0, EFD_CLOEXEC);
    if (stop_ < 0) {
        close(fd);
        return;
    }
    socket_ = fd;
    thread_ = std::thread([this] { Run(); });
}

FrontRequestListener::~FrontRequestListener() {
    if (thread_.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(stop_, &one, sizeof one);
        thread_.join();
    }
    if (socket_ >= 0) close(socket_);
    if (stop_ >= 0) close(stop_);
}

void FrontRequestListener::Run() {
    for (;;) {
        pollfd fds[2] = {{socket_, POLLIN, 0}, {stop_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        if (fds[0].revents & POLLIN) {
            const int client = accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                Serve(client);
                close(client);
            }
        }
    }
}

void FrontRequestListener::Serve(int client) {
    // Abstract names are shared by every user of the machine; only our own copies may ask.
    ucred peer{};
    socklen_t peerLength = sizeof peer;
    if (getsockopt(client, SOL_SOCKET, SO_PEERCRED, &peer, &peerLength) != 0 || peer.uid != getuid()) return;
    char buffer[sizeof kRequest] = {};
    size_t got = 0;
    while (got < sizeof buffer - 1) {
        pollfd fd = {client, POLLIN, 0};
        if (poll(&fd, 1, kReadTimeoutMs) <= 0) return;
        const ssize_t n = read(client, buffer + got, sizeof buffer - 1 - got);
        if (n <= 0) return;
        got += static_cast<size_t>(n);
    }
    if (std::memcmp(buffer, kRequest, sizeof kRequest - 1) != 0) return;
    try {
        onRequest_();
    } catch (...) {
        // Coming to the front is a courtesy; a failing handler must not end the program.
    }
}

bool SendFrontRequest(const std::string& name) {
    sockaddr_un addr;
    const socklen_t length = AbstractAddress(name, addr);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const timeval timeout{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    bool sent =
        connect(fd, reinterpret_cast<sockaddr*>(&addr), length) == 0 &&
        send(fd, kRequest, sizeof kRequest - 1, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof kRequest - 1);
    close(fd);
    return sent;
}

} // namespace drivlet
