// Writes real records into the folder named on the command line, as seeds for fuzz_stream.
#include "core/records/TArchiveData.h"
#include "core/records/TDiskConfigFile.h"
#include "core/records/TProgramData.h"
#include "core/records/TSyncData.h"
#include "core/schedule/TSchedule.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace drivlet;

namespace {

void Write(const std::filesystem::path& dir, const std::string& name, TSaveLoadComponent& record) {
    const auto save = [&](const std::string& file, const std::vector<uint8_t>& bytes) {
        std::ofstream out(dir / file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    };
    save(name + ".plain", record.SaveToBytes());
    save(name + ".z", record.SaveCompressedToField());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    ManualClock clock(40406.5);

    TArchiveData job(clock);
    job.BackupName = "Photos é";
    job.FolderList = {"/home/alice/Photos/", "/home/alice/漢字/"};
    job.FileFilter.ExcludeMaskList = {"*.tmp"};
    job.FileFilter.Hidden = true;
    job.Password = std::string(300, 'p');
    Write(dir, "archive", job);

    TSyncData sync;
    sync.SyncName = "Docs";
    sync.FolderAList = {"<Root>"};
    sync.FolderBList = {"/home/alice/Docs/"};
    sync.LastUpdate = 40407.25;
    Write(dir, "sync", sync);

    TPCSyncData pc;
    pc.SyncDataItems.Add().ID = "A";
    pc.SyncDataItems.Add().PCID = "1A2B - 3C4D";
    Write(dir, "pcsync", pc);

    TDiskConfigFile disk;
    disk.PCList = {"1A2B - 3C4D"};
    Write(dir, "disk", disk);

    TProgramData settings("/root");
    settings.MaxDeletedSize = int64_t{5000} * 1048576;
    Write(dir, "settings", settings);

    TSchedule schedule;
    schedule.ScheduleMode = TScheduleMode::smWeekly;
    schedule.WeekDays = 0x15;
    Write(dir, "schedule", schedule);
    return 0;
}
