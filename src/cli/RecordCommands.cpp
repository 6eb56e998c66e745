#include "cli/RecordCommands.h"

#include "cli/RecordJson.h"
#include "core/records/RecordRegistry.h"
#include "core/stream/ObjectReader.h"
#include "core/stream/RecordFile.h"
#include "core/stream/ZlibContainer.h"

#include <istream>
#include <ostream>

namespace drivlet::cli {

int ShowRecord(const std::filesystem::path& file, const std::filesystem::path& root, std::ostream& out,
               std::ostream& err) {
    try {
        const std::vector<uint8_t> bytes = ReadRecordFile(file);
        const std::optional<std::string> className = StreamClassName(bytes);
        if (!className) {
            err << file.string() << ": not a stored record\n";
            return exitcode::Unreadable;
        }
        std::unique_ptr<TSaveLoadComponent> record = CreateRecord(*className, root);
        if (!record) {
            err << file.string() << ": unknown record class " << *className << "\n";
            return exitcode::Unreadable;
        }
        const auto plain = ZlibDecompress(bytes);
        ReadObjectStream(plain ? std::span<const uint8_t>(*plain) : std::span<const uint8_t>(bytes), *record);
        out << RecordToJson(*record).dump(2) << "\n";
        return exitcode::Ok;
    } catch (const std::exception& e) {
        err << file.string() << ": " << e.what() << "\n";
        return exitcode::Unreadable;
    }
}

int WriteRecord(const std::filesystem::path& file, const std::filesystem::path& root, std::istream& in,
                std::ostream& err) {
    try {
        const Json json = Json::parse(in);
        if (!json.is_object() || !json.contains("class") || !json["class"].is_string()) {
            err << "expected {\"class\": name, \"properties\": {...}}\n";
            return exitcode::Unreadable;
        }
        const std::string className = json["class"].get<std::string>();
        std::unique_ptr<TSaveLoadComponent> record = CreateRecord(className, root);
        if (!record) {
            err << "unknown record class " << className << "\n";
            return exitcode::Unreadable;
        }
        if (json.contains("properties")) PropertiesFromJson(json["properties"], *record);
        record->SaveCompressed(file);
        return exitcode::Ok;
    } catch (const Json::exception& e) {
        err << "bad JSON: " << e.what() << "\n";
    } catch (const std::exception& e) {
        err << e.what() << "\n";
    }
    return exitcode::Unreadable;
}

} // namespace drivlet::cli
