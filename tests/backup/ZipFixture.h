#pragma once
// Zip backups on the usual temporary tree: a job maker for the zip worker and readers for the
// archives it writes.
#include "BackupFixture.h"
#include "core/engine/backup/TZipFolderThread.h"
#include "core/zip/ZipReader.h"

#include <map>

namespace drivlet::test {

class ZipFixture : public BackupFixture {
protected:
    const std::string archive = dest + "Root.Zip";

    std::unique_ptr<TZipFolderThread> MakeZipJob(TArchiveMode mode, const std::string& archiveFolder,
                                                 bool moveToDeleted = false) {
        auto t = std::make_unique<TZipFolderThread>(ThreadServices{files, clock});
        t->SetEvents(events.get());
        t->SetDeletedStore({moveToDeleted, store}, LogInto(storeRows));
        t->SetDatabaseFile(database);
        t->SetArchiveMode(mode);
        t->SetArchiveFolder(archiveFolder);
        t->SetFolderList({source});
        return t;
    }
    // Runs any worker to its end with a fresh sink (or the one given).
    void RunJob(TThreadBase& job, RecordingEvents* sink = nullptr) {
        if (!sink) {
            events = std::make_unique<RecordingEvents>();
            sink = events.get();
        }
        job.SetEvents(sink);
        job.Start();
        job.WaitFor();
        ASSERT_TRUE(sink->terminated);
    }
    void RunZip(TArchiveMode mode, const std::string& archiveFolder, const std::string& password = {}) {
        auto job = MakeZipJob(mode, archiveFolder);
        job->SetZipPassword(password);
        RunJob(*job);
    }

    // Entry name -> info.
    static std::map<std::string, ZipEntryInfo> Entries(const std::string& zipFile,
                                                       const std::string& password = {}) {
        ZipReader reader;
        std::map<std::string, ZipEntryInfo> out;
        if (!reader.Open(zipFile, password)) return out;
        for (ZipEntryInfo& e : reader.Entries())
            out.emplace(e.name, std::move(e));
        return out;
    }
    // The entry's contents, or the failure's code as "error N".
    std::string ReadEntry(const std::string& zipFile, const std::string& name,
                          const std::string& password = {}) {
        ZipReader reader;
        const ZipStatus opened = reader.Open(zipFile, password);
        if (!opened) return "error " + std::to_string(opened.code());
        for (const ZipEntryInfo& e : reader.Entries()) {
            if (e.name != name) continue;
            const std::string out = root + "entry.out";
            const ZipStatus st = reader.Extract(e, out);
            if (!st) return "error " + std::to_string(st.code());
            std::string data = ReadFile(out);
            std::filesystem::remove(out);
            return data;
        }
        return "missing";
    }
    // The entry name of a source path: the path relative to "/".
    static std::string EntryOf(const std::string& path) { return path.substr(1); }
};

} // namespace drivlet::test
