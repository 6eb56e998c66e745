#include "core/stream/RecordFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace drivlet {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadRecordFile(const fs::path& file) {
    std::error_code ec;
    const uintmax_t size = fs::file_size(file, ec);
    if (ec) throw std::runtime_error(file.string() + ": " + ec.message());
    if (size > kMaxRecordFileSize) throw std::runtime_error(file.string() + ": file too large for a record");
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error(file.string() + ": " + std::strerror(errno));
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (static_cast<uintmax_t>(in.gcount()) != size)
        throw std::runtime_error(file.string() + ": read failed");
    return bytes;
}

void WriteRecordFile(const fs::path& file, std::span<const uint8_t> bytes) {
    const fs::path temp = file.parent_path() / ("." + file.filename().string() + ".saving");
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) throw std::runtime_error(file.string() + ": " + std::strerror(errno));
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            const std::string why = std::strerror(errno);
            out.close();
            std::error_code ignored;
            fs::remove(temp, ignored);
            throw std::runtime_error(file.string() + ": " + why);
        }
    }
    std::error_code ec;
    fs::rename(temp, file, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw std::runtime_error(file.string() + ": " + ec.message());
    }
}

} // namespace drivlet
