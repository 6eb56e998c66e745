#include "FakeMachine.h"

#include <cstdio>

namespace drivlet::test {
namespace fs = std::filesystem;

FakeMachine::FakeMachine()
    : sys_(dir_ / "sys"), byUuid_(dir_ / "disk/by-uuid"), byLabel_(dir_ / "disk/by-label"),
      table_(dir_ / "mountinfo"), machineId_(dir_ / "machine-id") {
    fs::create_directories(sys_ / "dev/block");
    fs::create_directories(byUuid_);
    fs::create_directories(byLabel_);
    WriteTable();
}

void FakeMachine::AddDisk(const std::string& majMin, const std::string& devicePath, bool removable) {
    fs::create_directories(sys_ / devicePath);
    WriteFile(sys_ / devicePath / "removable", removable ? "1\n" : "0\n");
    fs::create_symlink("../../" + devicePath, sys_ / "dev/block" / majMin);
}

void FakeMachine::AddPartition(const std::string& majMin, const std::string& diskPath,
                               const std::string& name) {
    std::string path = diskPath + "/" + name;
    fs::create_directories(sys_ / path);
    WriteFile(sys_ / path / "partition", "1\n");
    fs::create_symlink("../../" + path, sys_ / "dev/block" / majMin);
}

void FakeMachine::AddSlave(const std::string& holderPath, const std::string& slavePath) {
    fs::path slaves = sys_ / holderPath / "slaves";
    fs::create_directories(slaves);
    fs::create_symlink(fs::relative(sys_ / slavePath, slaves), slaves / fs::path(slavePath).filename());
}

void FakeMachine::AddUuid(const std::string& uuid, const std::string& kernelName) {
    fs::create_symlink("../../" + kernelName, byUuid_ / uuid);
}

void FakeMachine::AddLabel(const std::string& encodedLabel, const std::string& kernelName) {
    fs::create_symlink("../../" + kernelName, byLabel_ / encodedLabel);
}

void FakeMachine::SetMachineId(const std::string& content) {
    WriteFile(machineId_, content);
}

std::string FakeMachine::MountPoint(const std::string& name) {
    fs::path p = dir_ / "mnt" / name;
    fs::create_directories(p);
    return p.string();
}

void FakeMachine::AddMount(int id, const std::string& majMin, const std::string& mountPoint,
                           const std::string& fsType, const std::string& source) {
    lines_.push_back(std::to_string(id) + " 1 " + majMin + " / " + EscapeMountPath(mountPoint) +
                     " rw,relatime shared:" + std::to_string(id) + " - " + fsType + " " + source + " rw");
}

void FakeMachine::WriteTable() {
    std::string text;
    for (const std::string& line : lines_)
        text += line + "\n";
    // Replaced in one step so that a reader never sees half a table.
    fs::path next = table_.string() + ".new";
    WriteFile(next, text);
    fs::rename(next, table_);
}

VolumePaths FakeMachine::Paths() const {
    VolumePaths p;
    p.sysRoot = sys_;
    p.byUuidDir = byUuid_;
    p.byLabelDir = byLabel_;
    p.mountTable = table_;
    p.machineIdFile = machineId_;
    return p;
}

std::string EscapeMountPath(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\\') {
            char octal[5];
            std::snprintf(octal, sizeof octal, "\\%03o", static_cast<unsigned char>(c));
            out += octal;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace drivlet::test
