#include "platform/ApplicationInstance.h"

#include "platform/linux/FrontRequestListener.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace drivlet {

// The lock file holds one byte-range lock per running copy: byte 0 is the gate held while a copy
// decides, bytes 1, 2, ... are the places of the admitted copies. The kernel drops the locks of a
// process that dies, so a crashed copy never keeps its place. The first four bytes of the file
// record the place of the copy admitted last, the one a turned-away copy asks to the front.

namespace {

constexpr off_t kGateByte = 0;
constexpr off_t kFirstPlace = 1;
// Far beyond any sensible MaxInstances; keeps a foreign lock from making a probe run forever.
constexpr off_t kPlaceLimit = 4096;
// Below NAME_MAX and the abstract socket name limit.
constexpr size_t kNameLimit = 100;

std::atomic<bool> g_exists{false};

[[noreturn]] void ThrowLastError(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// A name longer than the limit keeps its beginning and gets a hash of the whole.
std::string Shortened(const std::string& name) {
    if (name.size() <= kNameLimit) return name;
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : name)
        hash = (hash ^ c) * 1099511628211ull;
    static const char digits[] = "0123456789abcdef";
    std::string result = name.substr(0, kNameLimit - 17) + "-";
    for (int shift = 60; shift >= 0; shift -= 4)
        result += digits[(hash >> shift) & 0xF];
    return result;
}

flock ByteRange(short type, off_t start, off_t length) {
    flock lock{};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = start;
    lock.l_len = length;
    lock.l_pid = 0; // required for open-file-description locks
    return lock;
}

// Another open file description holds a lock somewhere in [start, start + length) (0: to the end).
bool LockedElsewhere(int fd, off_t start, off_t length) {
    flock lock = ByteRange(F_WRLCK, start, length);
    if (fcntl(fd, F_OFD_GETLK, &lock) != 0) ThrowLastError("Cannot read the instance lock");
    return lock.l_type != F_UNLCK;
}

bool TryLock(int fd, off_t start) {
    flock lock = ByteRange(F_WRLCK, start, 1);
    if (fcntl(fd, F_OFD_SETLK, &lock) == 0) return true;
    if (errno == EAGAIN || errno == EACCES) return false;
    ThrowLastError("Cannot lock the instance lock");
}

void Unlock(int fd, off_t start) {
    flock lock = ByteRange(F_UNLCK, start, 1);
    fcntl(fd, F_OFD_SETLK, &lock);
}

// Held while one copy counts and takes its place, so that two copies never both see room.
class Gate {
public:
    explicit Gate(int fd) : fd_(fd) {
        flock lock = ByteRange(F_WRLCK, kGateByte, 1);
        while (fcntl(fd_, F_OFD_SETLKW, &lock) != 0)
            if (errno != EINTR) ThrowLastError("Cannot lock the instance lock");
    }
    ~Gate() { Unlock(fd_, kGateByte); }
    Gate(const Gate&) = delete;
    Gate& operator=(const Gate&) = delete;

private:
    int fd_;
};

// The places held by other open file descriptions. The kernel answers with some conflicting lock,
// not the lowest, so each byte is asked in turn while any lock lies beyond it.
int CountPlaces(int fd) {
    int count = 0;
    for (off_t place = kFirstPlace; place < kPlaceLimit && LockedElsewhere(fd, place, 0); ++place)
        if (LockedElsewhere(fd, place, 1)) ++count;
    return count;
}

int OpenLockFile(const std::filesystem::path& path) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) ThrowLastError("Cannot open the instance lock " + path.string());
    return fd;
}

int32_t ReadLastPlace(int fd) {
    unsigned char bytes[4] = {};
    if (pread(fd, bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) return 0;
    return static_cast<int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 |
                                static_cast<uint32_t>(bytes[3]) << 24);
}

void WriteLastPlace(int fd, int32_t place) {
    const auto value = static_cast<uint32_t>(place);
    const unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                    static_cast<unsigned char>(value >> 16),
                                    static_cast<unsigned char>(value >> 24)};
    // Only the front request reads it; a failed write costs no more than a lost request.
    [[maybe_unused]] ssize_t n = pwrite(fd, bytes, sizeof bytes, 0);
}

} // namespace

TApplicationInstance::TApplicationInstance(std::string programPath, std::filesystem::path runtimeFolder)
    : blockName_(BlockNameOf(programPath)) {
    if (g_exists.exchange(true))
        throw std::logic_error("Only one copy of this component can be dropped on a application!");
    lockFile_ = runtimeFolder / (Shortened(blockName_ + "." + std::to_string(getuid())) + ".lock");
}

TApplicationInstance::~TApplicationInstance() {
    listener_.reset();
    if (lockFd_ >= 0) close(lockFd_); // gives up the place
    g_exists = false;
}

void TApplicationInstance::SetMaxInstances(int value) {
    if (value >= 1) maxInstances_ = value;
}

int TApplicationInstance::InstanceCount() const {
    // A description of its own sees this copy's place too.
    const int fd = OpenLockFile(lockFile_);
    int count = 0;
    try {
        count = CountPlaces(fd);
    } catch (...) {
        close(fd);
        throw;
    }
    close(fd);
    return count;
}

bool TApplicationInstance::IsSecondInstance() {
    if (Admitted()) return false;
    const int fd = OpenLockFile(lockFile_);
    try {
        Gate gate(fd);
        if (CountPlaces(fd) < maxInstances_) {
            // Under the gate nobody else takes a place, so one below the limit is free.
            for (off_t place = kFirstPlace; place < kPlaceLimit; ++place) {
                if (!TryLock(fd, place)) continue;
                slot_ = static_cast<int>(place);
                WriteLastPlace(fd, slot_);
                lockFd_ = fd;
                return false;
            }
        }
    } catch (...) {
        close(fd);
        throw;
    }
    counted_ = false;
    AskToComeToFront(fd);
    close(fd);
    return true;
}

void TApplicationInstance::AskToComeToFront(int fd) {
    // The copy admitted last first; when it has gone, any copy still running.
    const int32_t last = ReadLastPlace(fd);
    if (last >= kFirstPlace && last < kPlaceLimit && SendFrontRequest(RequestName(last))) return;
    for (off_t place = kFirstPlace; place < kPlaceLimit && LockedElsewhere(fd, place, 0); ++place)
        if (place != last && LockedElsewhere(fd, place, 1) &&
            SendFrontRequest(RequestName(static_cast<int>(place))))
            return;
}

bool TApplicationInstance::ListenForFrontRequests(std::function<void()> onRequest) {
    if (!Admitted()) return false;
    listener_.reset();
    listener_ = std::make_unique<FrontRequestListener>(RequestName(slot_), std::move(onRequest));
    return listener_->Listening();
}

std::string TApplicationInstance::RequestName(int slot) const {
    // The user is part of the name: abstract names are shared by every user of the machine.
    return Shortened(blockName_ + "." + std::to_string(getuid())) + "." + std::to_string(slot);
}

std::string TApplicationInstance::BlockNameOf(std::string_view programPath) {
    std::string name;
    for (char c : programPath)
        if (c != '/') name += c;
    return name;
}

std::filesystem::path TApplicationInstance::DefaultRuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') return runtime;
    return "/tmp";
}

std::string TApplicationInstance::CurrentProgramPath() {
    std::error_code ec;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) throw std::system_error(ec, "Cannot find the program file");
    return path.string();
}

} // namespace drivlet
