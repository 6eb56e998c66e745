#pragma once
// A source of drive and file-system change notifications. Items are path texts (absent for an
// item the source cannot name); drive events carry the drive path with its trailing "/".
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace drivlet {

// Event codes of the notifications.
namespace shcne {
constexpr uint32_t RenameItem = 0x00000001;
constexpr uint32_t Create = 0x00000002;
constexpr uint32_t Delete = 0x00000004;
constexpr uint32_t MkDir = 0x00000008;
constexpr uint32_t RmDir = 0x00000010;
constexpr uint32_t MediaInserted = 0x00000020;
constexpr uint32_t MediaRemoved = 0x00000040;
constexpr uint32_t DriveRemoved = 0x00000080;
constexpr uint32_t DriveAdd = 0x00000100;
constexpr uint32_t NetShare = 0x00000200;
constexpr uint32_t NetUnshare = 0x00000400;
constexpr uint32_t Attributes = 0x00000800;
constexpr uint32_t UpdateDir = 0x00001000;
constexpr uint32_t UpdateItem = 0x00002000;
constexpr uint32_t ServerDisconnect = 0x00004000;
constexpr uint32_t UpdateImage = 0x00008000;
constexpr uint32_t DriveAddGUI = 0x00010000;
constexpr uint32_t RenameFolder = 0x00020000;
constexpr uint32_t AssocChanged = 0x08000000;
// Set on events raised at interrupt level.
constexpr uint32_t InterruptMarker = 0x80000000;
} // namespace shcne

// Source flags: interrupt-level and shell-level notifications.
constexpr uint32_t kShellNotifySources = 3;

struct ShellWatchEntry {
    std::optional<std::string> item; // absent: the whole namespace
    bool recursive = true;
};

struct ShellRegistration {
    uint32_t sourceFlags = kShellNotifySources;
    uint32_t eventMask = 0;
    uint32_t messageNo = 0;
    std::vector<ShellWatchEntry> entries;
};

struct ShellNotification {
    uint32_t messageNo = 0;
    uint32_t event = 0;
    std::optional<std::string> itemA;
    std::optional<std::string> itemB;
};

// Receives notifications on the source's own thread.
class IShellNotifySink {
public:
    virtual ~IShellNotifySink() = default;
    virtual void Deliver(const ShellNotification& notification) = 0;
};

class IShellNotifySource {
public:
    virtual ~IShellNotifySource() = default;
    // Starts delivering the masked events to the sink; returns the registration's identifier,
    // 0 when refused. Drive and media events reach the sink whatever the watch entries hold.
    virtual uint64_t Register(const ShellRegistration& registration,
                              std::shared_ptr<IShellNotifySink> sink) = 0;
    // When it returns, the sink is called no more for that registration. Unknown identifiers are
    // ignored.
    virtual void Deregister(uint64_t id) = 0;
};

// The operating system's drive notifications.
std::unique_ptr<IShellNotifySource> MakeShellNotifySource();

} // namespace drivlet
