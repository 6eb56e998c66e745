#include "core/stream/ZlibContainer.h"

#include <stdexcept>
#include <zlib.h>

namespace drivlet {

std::vector<uint8_t> ZlibCompress(std::span<const uint8_t> data) {
    z_stream zs{};
    if (deflateInit2(&zs, 9, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("zlib initialisation failed");
    std::vector<uint8_t> out(deflateBound(&zs, static_cast<uLong>(data.size())));
    zs.next_in = const_cast<Bytef*>(data.data());
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&zs, Z_FINISH);
    const size_t written = zs.total_out;
    deflateEnd(&zs);
    if (rc != Z_STREAM_END) throw std::runtime_error("zlib compression failed");
    out.resize(written);
    return out;
}

std::optional<std::vector<uint8_t>> ZlibDecompress(std::span<const uint8_t> data, size_t maxSize) {
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) return std::nullopt;
    std::vector<uint8_t> out;
    uint8_t chunk[16384];
    zs.next_in = const_cast<Bytef*>(data.data());
    zs.avail_in = static_cast<uInt>(data.size());
    int rc = Z_OK;
    while (rc == Z_OK) {
        zs.next_out = chunk;
        zs.avail_out = sizeof chunk;
        rc = inflate(&zs, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END) break;
        out.insert(out.end(), chunk, chunk + (sizeof chunk - zs.avail_out));
        if (out.size() > maxSize) {
            rc = Z_MEM_ERROR;
            break;
        }
        if (rc == Z_OK && zs.avail_in == 0 && zs.avail_out != 0) {
            rc = Z_BUF_ERROR; // input ended before the stream did
            break;
        }
    }
    inflateEnd(&zs);
    if (rc != Z_STREAM_END) return std::nullopt;
    return out;
}

} // namespace drivlet
