// Copies one large file and a tree of small files with the file service and with cp, in the same
// run and on the same folders, and prints how long each took and the ratio to cp.
//   bench_file_copy <work folder> [rounds] [large file MiB] [small files]
#include "BenchSupport.h"
#include "platform/linux/LinuxFileSystem.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using drivlet::CopyMode;
using drivlet::FileStatus;
using drivlet::FolderEntry;
using drivlet::LinuxFileSystem;
using drivlet::ListDetail;
using drivlet::bench::NextRandom;
using drivlet::bench::RunQuiet;
using drivlet::bench::WriteData;

constexpr int kFilesPerFolder = 100;

// Small files of 100 bytes to 16 KiB, a hundred to a folder.
void MakeTree(const fs::path& root, int files) {
    uint32_t x = 12345;
    for (int i = 0; i < files; ++i) {
        const fs::path folder = root / ("folder" + std::to_string(i / kFilesPerFolder));
        if (i % kFilesPerFolder == 0) fs::create_directories(folder);
        WriteData(folder / ("file" + std::to_string(i) + ".dat"), 100 + NextRandom(x) % (16 << 10), x);
    }
}

void Run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (!RunQuiet(argv.data())) throw std::runtime_error(args[0] + " failed");
}

void CopyTree(const LinuxFileSystem& files, const fs::path& from, const fs::path& to, CopyMode mode) {
    if (FileStatus s = files.CreateFolders(to); !s) throw std::runtime_error(s.message());
    std::vector<FolderEntry> entries;
    if (FileStatus s = files.ReadFolder(from, entries, ListDetail::NamesAndTypes); !s)
        throw std::runtime_error(s.message());
    for (const auto& e : entries) {
        if (e.isDirectory && !e.isSymlink)
            CopyTree(files, from / e.name, to / e.name, mode);
        else if (FileStatus s = files.CopyFile(from / e.name, to / e.name, mode); !s)
            throw std::runtime_error(e.name + ": " + s.message());
    }
}

// Every entry of the tree with its size, time and attributes; returns how many there are.
int64_t ListTree(const LinuxFileSystem& files, const fs::path& folder) {
    int64_t count = 0;
    std::vector<fs::path> subfolders;
    const FileStatus s = files.ListFolder(folder, [&](const FolderEntry& e) {
        ++count;
        if (e.isDirectory && !e.isSymlink) subfolders.push_back(folder / e.name);
        return true;
    });
    if (!s) throw std::runtime_error(s.message());
    for (const auto& sub : subfolders)
        count += ListTree(files, sub);
    return count;
}

// Seconds of one timed step; the output is removed and flushed afterwards, untimed, so that no
// step pays for another's write-back.
double Time(const fs::path& output, const std::function<void()>& step) {
    const auto start = std::chrono::steady_clock::now();
    step();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    fs::remove_all(output);
    sync();
    return seconds;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Contest {
    std::string name;
    std::vector<std::function<void()>> steps; // steps[0] is cp, the reference
    std::vector<std::string> labels;
    std::vector<std::vector<double>> times;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <work folder> [rounds] [large file MiB] [small files]\n", argv[0]);
        return 2;
    }
    const fs::path work = argv[1];
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const int64_t bigMiB = argc > 3 ? std::atoll(argv[3]) : 1024;
    const int smallFiles = argc > 4 ? std::atoi(argv[4]) : 20000;
    try {
        const fs::path big = work / "src" / "big.bin", tree = work / "src" / "tree", out = work / "out";
        fs::create_directories(work / "src");
        std::printf("preparing %lld MiB file and %d small files in %s\n", static_cast<long long>(bigMiB),
                    smallFiles, work.c_str());
        WriteData(big, bigMiB << 20, 1);
        MakeTree(tree, smallFiles);
        sync();

        const LinuxFileSystem files;
        const fs::path bigOut = out / "big.bin", treeOut = out / "tree";
        Contest large{"large file", {}, {}, {}};
        large.labels = {"cp", "cp --preserve=mode,timestamps", "CopyFile Overwrite", "CopyFile FailIfExists"};
        large.steps = {
            [&] {
                Run({"cp", big.string(), bigOut.string()});
            },
            [&] {
                Run({"cp", "--preserve=mode,timestamps", big.string(), bigOut.string()});
            },
            [&] {
                if (FileStatus s = files.CopyFile(big, bigOut, CopyMode::Overwrite); !s)
                    throw std::runtime_error(s.message());
            },
            [&] {
                if (FileStatus s = files.CopyFile(big, bigOut, CopyMode::FailIfExists); !s)
                    throw std::runtime_error(s.message());
            },
        };
        Contest small{"small-file tree", {}, {}, {}};
        small.labels = {"cp -r", "cp -r --preserve=mode,timestamps", "CopyFile Overwrite",
                        "CopyFile FailIfExists"};
        small.steps = {
            [&] {
                Run({"cp", "-r", tree.string(), treeOut.string()});
            },
            [&] {
                Run({"cp", "-r", "--preserve=mode,timestamps", tree.string(), treeOut.string()});
            },
            [&] { CopyTree(files, tree, treeOut, CopyMode::Overwrite); },
            [&] { CopyTree(files, tree, treeOut, CopyMode::FailIfExists); },
        };
        Contest listing{"listing the tree with sizes and times", {}, {}, {}};
        listing.labels = {"find -printf '%s %T@ %m'", "ListFolder Full, recursive"};
        listing.steps = {
            [&] {
                Run({"find", tree.string(), "-printf", "%s %T@ %m\n"});
            },
            [&] {
                if (ListTree(files, tree) !=
                    smallFiles + (smallFiles + kFilesPerFolder - 1) / kFilesPerFolder)
                    throw std::runtime_error("listing missed entries");
            },
        };
        for (Contest* c : {&large, &small, &listing}) {
            c->times.assign(c->steps.size(), {});
            const fs::path output = c == &large ? bigOut : treeOut;
            for (int r = 0; r < rounds; ++r) {
                fs::create_directories(out);
                // Alternate the order so that neither side always runs on a warmer cache.
                for (std::size_t k = 0; k < c->steps.size(); ++k) {
                    const std::size_t i = r % 2 == 0 ? k : c->steps.size() - 1 - k;
                    c->times[i].push_back(Time(output, c->steps[i]));
                }
            }
            // The fastest round is what each way can do; the median shows how much the machine
            // got in the way (a shared disk makes single rounds wander widely).
            const double reference = *std::min_element(c->times[0].begin(), c->times[0].end());
            std::printf("\n%s, %d rounds:%28s best      ratio   median\n", c->name.c_str(), rounds, "");
            for (std::size_t i = 0; i < c->steps.size(); ++i) {
                const double best = *std::min_element(c->times[i].begin(), c->times[i].end());
                std::printf("  %-34s %8.3f s   %.3fx  %8.3f s\n", c->labels[i].c_str(), best,
                            best / reference, Median(c->times[i]));
            }
            std::fflush(stdout);
        }
        fs::remove_all(work / "src");
        fs::remove_all(out);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
