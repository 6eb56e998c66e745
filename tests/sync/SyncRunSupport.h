#pragma once
// Whole sync runs on real folders and a real database: a worker with a scripted conflict prompt,
// events that can change files in the middle of a run, and a few file helpers.
#include "SyncTestSupport.h"
#include "core/engine/sync/IConflictPrompt.h"
#include "core/engine/sync/TSyncFolderThread.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace drivlet::test {

// Answers every asked pair with one resolution, or cancels, and every question about held
// deletions with one answer; remembers what it was shown.
class ScriptedPrompt : public IConflictPrompt {
public:
    std::optional<TConflictResolution> answer = TConflictResolution::UseNewest; // none: cancel
    std::function<void()> whileAsked;
    std::vector<std::vector<std::string>> shown; // per call: the asked pairs' file names
    std::map<std::string, TFileAction> offered;  // of the last call, by bare file name
    bool allowDeletions = false;
    struct DeletionQuestion {
        std::vector<std::string> folders;
        size_t count = 0;
    };
    std::vector<DeletionQuestion> deletionQuestions;

    void ConfirmDeletions(std::vector<std::string> folders, size_t count, Answer<bool> given) override {
        deletionQuestions.push_back({std::move(folders), count});
        given(allowDeletions);
    }

    void Resolve(std::vector<TFilePair> pairs, Answer<ConflictAnswer> given) override {
        std::vector<std::string> names;
        offered.clear();
        for (const TFilePair& pair : pairs) {
            names.push_back(pair.FileA.Present() ? pair.FileA.FileName : pair.FileB.FileName);
            offered[std::filesystem::path(names.back()).filename().string()] = pair.FileAction;
        }
        shown.push_back(std::move(names));
        if (whileAsked) whileAsked();
        if (!answer)
            given(std::nullopt);
        else
            given(std::vector<TConflictResolution>(pairs.size(), *answer));
    }
};

// Recording events that run a hook once, at the first status text beginning with a given text.
class HookedEvents : public RecordingEvents {
public:
    std::string onStatusText;
    std::function<void()> hook;

    void OnStatus(const TThreadBase& sender, const StatusEvent& e) override {
        RecordingEvents::OnStatus(sender, e);
        if (hook && e.text.starts_with(onStatusText)) {
            auto run = std::move(hook);
            hook = nullptr;
            run();
        }
    }
};

class SyncRunFixture : public SyncScanFixture {
protected:
    ScriptedPrompt prompt;
    HookedEvents hooked;
    std::string store = (dir / "deleted").string() + "/Deleted Files/";
    std::vector<DeletedRow> storeRows;

    // Both roots of the usual pair exist: a missing root skips its pair.
    SyncRunFixture() {
        std::filesystem::create_directories(drive + "Docs");
        std::filesystem::create_directories(pc + "Docs");
    }

    // One whole run of the folder pair /Docs/ <-> pc/Docs/ (or whatever `set` adds); the thread
    // is returned after its end.
    std::unique_ptr<TSyncFolderThread> Run(TSyncDirection direction, TSyncDefaultAction rule,
                                           const std::function<void(TSyncFolderThread&)>& set = {},
                                           const IFileSystem* fileSystem = nullptr) {
        hooked.lines.clear();
        hooked.statuses.clear();
        hooked.logs.clear();
        hooked.errors.clear();
        hooked.progress.clear();
        auto thread =
            std::make_unique<TSyncFolderThread>(ThreadServices{fileSystem ? *fileSystem : files, clock});
        thread->SetEvents(&hooked);
        thread->SetDatabaseFile(database);
        thread->SetConflictPrompt(&prompt);
        thread->SyncDirection = direction;
        thread->SyncDefaultAction = rule;
        if (set)
            set(*thread);
        else
            thread->FolderItems.AddItem("/Docs/", pc + "Docs/", true);
        thread->Start();
        thread->WaitFor();
        return thread;
    }

    std::unique_ptr<TSyncFolderThread> Bidi(TSyncDefaultAction rule = TSyncDefaultAction::sdaNewVersion) {
        return Run(TSyncDirection::sdBidi, rule);
    }

    // Turns the deleted-files store on (and adds the Docs pair unless `more` adds pairs).
    std::function<void(TSyncFolderThread&)> WithStore(std::function<void(TSyncFolderThread&)> more = {}) {
        return [this, more](TSyncFolderThread& t) {
            t.SetDeletedStore({true, store}, LogInto(storeRows));
            if (more)
                more(t);
            else
                t.FolderItems.AddItem("/Docs/", pc + "Docs/", true);
        };
    }

    std::string LastStatus() const { return hooked.statuses.empty() ? "" : hooked.statuses.back().text; }
    bool Exists(const std::string& path) const { return std::filesystem::exists(path); }

    // The pair of a file name after the run, with its decided action.
    static const TFilePair* Pair(const TSyncFolderThread& thread, const std::string& name) {
        for (const TFilePair& pair : thread.GetFilePairs()) {
            const std::string& path = pair.FileA.Present() ? pair.FileA.FileName : pair.FileB.FileName;
            if (std::filesystem::path(path).filename() == name) return &pair;
        }
        return nullptr;
    }

    std::optional<SyncFileRecord> RecordOf(const std::string& relative,
                                           const std::string& folderA = "/Docs/") {
        SyncDatabase db(database);
        return db.FindDriveSide(relative, folderA);
    }
};

} // namespace drivlet::test
