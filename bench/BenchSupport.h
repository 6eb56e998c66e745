#pragma once
// What the benchmark drivers share: generated file contents and running another program quietly.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace drivlet::bench {

inline uint32_t NextRandom(uint32_t& x) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
}

// A file of `size` bytes drawn from `seed`. Compressible data is half random, half repeated text,
// so that a compressor has about as much to do as with ordinary documents.
inline void WriteData(const std::filesystem::path& path, int64_t size, uint32_t seed, bool compressible = false) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<uint32_t> block(1 << 16);
    uint32_t x = seed * 2654435761u + 1;
    for (int64_t left = size; left > 0;) {
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = !compressible || (i / 1024) % 2 == 0 ? NextRandom(x)
                                                            : 0x20656e6fu + static_cast<uint32_t>(i % 7);
        const auto n = static_cast<std::streamsize>(std::min<int64_t>(left, block.size() * 4));
        out.write(reinterpret_cast<const char*>(block.data()), n);
        left -= n;
    }
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

// Runs a program with its output thrown away (what the tools print is not part of the contest);
// whether it exited with success. Throws when it cannot be started.
inline bool RunQuiet(char* const argv[]) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) throw std::runtime_error(std::string("cannot start ") + argv[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace drivlet::bench
