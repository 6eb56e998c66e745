#include "core/stream/TSaveLoadComponent.h"

#include "core/app/Constants.h"
#include "core/stream/ObjectReader.h"
#include "core/stream/ObjectWriter.h"
#include "core/stream/RecordFile.h"
#include "core/stream/ZlibContainer.h"

namespace drivlet {

namespace fs = std::filesystem;

namespace {

void ShowLoadError(IMessageDialogs& dialogs, const fs::path& file) {
    dialogs.ShowNotice("Error loading File : " + file.string() + "\r\n" +
                           "File appears to be corrupted and loading of this file is aborted.",
                       "File Load Error.", MessageKind::Error, std::string(kProductTitle));
}

bool Exists(const fs::path& file) {
    std::error_code ec;
    return fs::exists(file, ec);
}

} // namespace

void TSaveLoadComponent::DefineProperties(PropertyList& list) {
    list.Integer("Tag", Tag, 0);
}

std::vector<uint8_t> TSaveLoadComponent::SaveToBytes() {
    return WriteObjectStream(*this);
}

bool TSaveLoadComponent::SaveToFile(const fs::path& file, IMessageDialogs& dialogs) {
    try {
        WriteRecordFile(file, SaveToBytes());
        return true;
    } catch (const std::exception& e) {
        dialogs.ShowNotice("Error Saving File : " + file.string() + "\r\n" + "Error : " + e.what(),
                           "File Save Error.", MessageKind::Error, std::string(kProductTitle));
        return false;
    }
}

LoadResult TSaveLoadComponent::LoadFromFile(const fs::path& file, IMessageDialogs& dialogs) {
    if (!Exists(file)) return LoadResult::Missing;
    try {
        ReadObjectStream(ReadRecordFile(file), *this);
        return LoadResult::Loaded;
    } catch (const std::exception&) {
        ShowLoadError(dialogs, file);
        return LoadResult::Failed;
    }
}

void TSaveLoadComponent::SaveCompressed(const fs::path& file) {
    WriteRecordFile(file, SaveCompressedToField());
}

LoadResult TSaveLoadComponent::LoadCompressed(const fs::path& file, IMessageDialogs& dialogs) {
    if (!Exists(file)) return LoadResult::Missing;
    try {
        const std::vector<uint8_t> bytes = ReadRecordFile(file);
        if (auto plain = ZlibDecompress(bytes)) {
            ReadObjectStream(*plain, *this);
            return LoadResult::Loaded;
        }
    } catch (const std::exception&) {
        // fall through to the plain reading, which reports the failure
    }
    return LoadFromFile(file, dialogs);
}

std::vector<uint8_t> TSaveLoadComponent::SaveCompressedToField() {
    return ZlibCompress(SaveToBytes());
}

void TSaveLoadComponent::LoadCompressedFromField(const std::optional<std::vector<uint8_t>>& field) {
    if (!field) return;
    try {
        if (auto plain = ZlibDecompress(*field)) {
            ReadObjectStream(*plain, *this);
            return;
        }
    } catch (const StreamError&) {
        // retried as a plain stream below
    }
    if (!field->empty()) ReadObjectStream(*field, *this);
}

} // namespace drivlet
