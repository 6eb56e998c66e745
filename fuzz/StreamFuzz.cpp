// Feeds arbitrary bytes to the record readers the way a damaged drive would: as a compressed
// container and as a plain stream, into every record class.
#include "core/records/TArchiveData.h"
#include "core/records/TDiskConfigFile.h"
#include "core/records/TProgramData.h"
#include "core/records/TSyncData.h"
#include "core/schedule/TSchedule.h"
#include "core/stream/ObjectReader.h"
#include "core/stream/ObjectWriter.h"
#include "core/stream/ZlibContainer.h"

#include <cstddef>
#include <cstdint>

using namespace drivlet;

namespace {

template <class R, class... Args> void Feed(std::span<const uint8_t> bytes, Args&&... args) {
    R record(std::forward<Args>(args)...);
    try {
        ReadObjectStream(bytes, record);
    } catch (const StreamError&) {
        return;
    }
    // Whatever was accepted must write out again.
    (void)WriteObjectStream(record);
}

void FeedAll(std::span<const uint8_t> bytes) {
    static const ManualClock clock(40406.5);
    Feed<TArchiveData>(bytes, clock);
    Feed<TSyncData>(bytes);
    Feed<TPCSyncData>(bytes);
    Feed<TDiskConfigFile>(bytes);
    Feed<TProgramData>(bytes, "/fuzz");
    Feed<TSchedule>(bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> input(data, size);
    if (auto plain = ZlibDecompress(input)) FeedAll(*plain);
    FeedAll(input);
    return 0;
}
