#pragma once
// A schedule runner over a real program database in a temporary folder, with a settable clock,
// job files on folders that stand for drives, and a question that the test answers when it likes.
#include "core/db/ProgramDatabase.h"
#include "core/schedule/run/ScheduleRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace drivlet::test {

inline TDateTime At(int y, int m, int d, int h = 0, int n = 0, int s = 0) {
    return EncodeDateTime({y, m, d, h, n, s, 0});
}

class RunnerFixture : public ::testing::Test {
protected:
    RunnerFixture() : database(ProgramDatabase::PathFor(dir.path() / "ProgramData")) {}

    // A drive folder ("F/") and a job file in its Config folder.
    std::string Drive(const std::string& name) {
        const std::filesystem::path drive = dir / name;
        std::filesystem::create_directories(drive / "Config");
        return drive.string() + "/";
    }
    std::string JobOn(const std::string& drive, const std::string& name) {
        const std::string file = drive + "Config/" + name;
        WriteFile(file, "job");
        return file;
    }

    // A row as the Schedules screen leaves it.
    int64_t AddRow(const std::string& fileName, int mode, std::optional<TDateTime> nextRun,
                   const std::optional<TSchedule>& schedule = std::nullopt, bool active = true,
                   const std::string& jobName = "Job") {
        ScheduleRunRow row = database.AddSchedule(fileName, jobName);
        row.Mode = mode;
        row.NextRunTime = nextRun;
        row.Active = active;
        if (schedule) {
            TSchedule copy;
            copy.Assign(*schedule);
            copy.TimeH = schedule->TimeH;
            copy.TimeM = schedule->TimeM;
            row.Data = copy.SaveCompressedToField();
        }
        database.SaveSchedule(row);
        return row.ID;
    }
    std::optional<TDateTime> NextRunOf(int64_t id) { return database.FindSchedule(id)->NextRunTime; }

    // The runner, created at the clock's current time.
    ScheduleRunner& MakeRunner(TScheduleRunMode mode = TScheduleRunMode::srmAsk) {
        ScheduleRunnerServices services{
            database,
            clock,
            [](const std::string& path) { return std::filesystem::exists(path); },
            [this] { return mounted; },
            [this](const std::string& file) {
                launched.push_back(file);
                if (onLaunch) onLaunch(file);
            },
            [this](const FileNotFoundQuestion& q, std::function<void(bool)> answer) {
                questions.push_back(q);
                if (autoAnswer) return answer(*autoAnswer);
                pendingAnswer = std::move(answer);
            },
            [this](const std::string& message) { errors.push_back(message); }};
        runner = std::make_unique<ScheduleRunner>(std::move(services), mode);
        return *runner;
    }

    // Gives the open question its answer.
    void Answer(bool ok) {
        ASSERT_TRUE(pendingAnswer) << "no question is open";
        auto answer = std::exchange(pendingAnswer, nullptr);
        answer(ok);
    }

    TempDir dir;
    ProgramDatabase database;
    ManualClock clock{At(2010, 8, 16, 9, 0)};
    std::vector<std::string> mounted;
    std::vector<std::string> launched;
    std::vector<FileNotFoundQuestion> questions;
    std::vector<std::string> errors;
    std::optional<bool> autoAnswer;
    std::function<void(bool)> pendingAnswer;
    std::function<void(const std::string&)> onLaunch;
    std::unique_ptr<ScheduleRunner> runner;
};

// Weekly on the given days at the given time.
inline TSchedule WeeklyAt(std::initializer_list<TWeekDay> days, int h, int m) {
    TSchedule s;
    s.ScheduleMode = TScheduleMode::smWeekly;
    for (TWeekDay d : days)
        s.SetWeekDay(d, true);
    s.TimeH = h;
    s.TimeM = m;
    return s;
}

} // namespace drivlet::test
