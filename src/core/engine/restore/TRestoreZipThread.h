#pragma once
// Brings back files from a backup kept as zip archives. Each entry is extracted next to its
// place first and put there only when complete, so a failed extraction keeps the old file.
#include "core/engine/restore/TRestoreThreadBase.h"
#include "core/zip/ZipReader.h"

#include <string>
#include <unordered_set>
#include <vector>

namespace drivlet {

class TRestoreZipThread final : public TRestoreThreadBase {
public:
    explicit TRestoreZipThread(const ThreadServices& services);
    // The worker stops before the choice it works through is gone.
    ~TRestoreZipThread() override { StopAndWait(); }

    // The job's password, for encrypted entries.
    void SetZipPassword(std::string password) { ZipPassword = std::move(password); }

protected:
    void Execute() override;

private:
    // One chosen path inside an archive: a folder (a name ending with "/") takes what lies below
    // it; another name takes the entry of that name, or the folder of that name.
    struct Wanted {
        std::string name;  // entry name or prefix
        std::string shown; // the path as chosen, for the line saying it matched nothing
        bool found = false;
        bool Takes(const std::string& entry) const;
    };
    // What the choice takes from one archive of the backup.
    struct Choice {
        std::string archive; // file name, such as "Root.Zip"
        bool whole = false;
        std::vector<Wanted> wanted;
        std::vector<ZipEntryInfo> entries; // the entries found, sorted by name
    };

    // Splits the folder and file choices by archive.
    void ReadChoice();
    Choice& ChoiceFor(const std::string& archive);
    // Lists the chosen archives of the backup and keeps their chosen entries.
    void QueueEntries();
    void RestoreArchive(Choice& choice);
    ZipStatus OpenArchive(ZipReader& reader, const std::string& path) const;
    void RestoreEntry(const ZipReader& reader, const std::string& archive, const ZipEntryInfo& entry,
                      const std::string& base);
    void LogFailure(const std::string& name, std::string status);

    std::string ZipPassword;
    std::vector<Choice> choices_;
    std::vector<std::string> notFound_;       // chosen paths that matched no entry
    std::unordered_set<std::string> cleaned_; // folders rid of killed restores' temporary files
};

} // namespace drivlet
