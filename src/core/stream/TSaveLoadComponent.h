#pragma once
// Base of every stored record: the six save and load operations over the object stream and its
// compressed container.
#include "core/app/MessageDialogs.h"
#include "core/stream/TPersistent.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace drivlet {

enum class LoadResult { Loaded, Missing, Failed };

class TSaveLoadComponent : public TPersistent {
public:
    int32_t Tag = 0;

    void DefineProperties(PropertyList& list) override;

    // Plain object stream; errors end in the "File Save Error." notice.
    bool SaveToFile(const std::filesystem::path& file, IMessageDialogs& dialogs = InstalledMessageDialogs());
    // Plain object stream; a missing file changes nothing; errors end in the "File Load Error." notice.
    LoadResult LoadFromFile(const std::filesystem::path& file,
                            IMessageDialogs& dialogs = InstalledMessageDialogs());
    // Compressed container, written beside the file and renamed over it so a failed save never
    // leaves a half-written record. Errors reach the caller (std::runtime_error).
    void SaveCompressed(const std::filesystem::path& file);
    // Compressed container, falling back to a plain stream; a damaged file ends in the notice.
    LoadResult LoadCompressed(const std::filesystem::path& file,
                              IMessageDialogs& dialogs = InstalledMessageDialogs());

    // The compressed container as the bytes of a database field.
    std::vector<uint8_t> SaveCompressedToField();
    // A null field changes nothing; bad content is retried as a plain stream and a second
    // failure reaches the caller (StreamError).
    void LoadCompressedFromField(const std::optional<std::vector<uint8_t>>& field);

    // The plain object stream.
    std::vector<uint8_t> SaveToBytes();
};

} // namespace drivlet
