#pragma once
// The attributes a folder manager gives a folder: six flags and the attribute mask made of them.
#include <cstdint>

namespace drivlet {

class TFileAttributes {
public:
    bool Archive() const { return archive_; }
    bool Hidden() const { return hidden_; }
    bool Indexed() const { return indexed_; }
    bool ReadOnlyFolder() const { return readOnlyFolder_; }
    bool System() const { return system_; }
    bool Temporary() const { return temporary_; }

    void SetArchive(bool value) { Set(archive_, value); }
    void SetHidden(bool value) { Set(hidden_, value); }
    void SetIndexed(bool value) { Set(indexed_, value); }
    void SetReadOnlyFolder(bool value) { Set(readOnlyFolder_, value); }
    void SetSystem(bool value) { Set(system_, value); }
    void SetTemporary(bool value) { Set(temporary_, value); }

    // The attribute bits (fa::*) of the six flags; 0x2020 for the defaults.
    uint32_t Mask() const { return mask_; }

private:
    void Set(bool& flag, bool value);
    uint32_t Compute() const;

    bool archive_ = true;
    bool hidden_ = false;
    bool indexed_ = false;
    bool readOnlyFolder_ = false;
    bool system_ = false;
    bool temporary_ = false;
    uint32_t mask_ = Compute();
};

} // namespace drivlet
