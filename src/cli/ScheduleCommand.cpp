#include "cli/ScheduleCommand.h"

#include "cli/RecordCommands.h"
#include "core/db/ProgramDatabase.h"
#include "core/records/TArchiveData.h"
#include "core/records/TSyncData.h"
#include "core/schedule/ScheduleSave.h"
#include "core/schedule/TSchedule.h"
#include "core/schedule/run/ScheduleJobs.h"
#include "core/text/CaseFold.h"
#include "core/time/DateFormat.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <optional>
#include <ostream>
#include <tuple>

namespace drivlet::cli {
namespace {

struct UsageError {
    std::string text;
};

void ScheduleUsage(std::ostream& out) {
    out << "usage: drivlet-cli schedule list\n"
           "       drivlet-cli schedule add FILE --mode=startup|shutdown|insertion [--name=NAME]\n"
           "       drivlet-cli schedule add FILE --mode=timed --at=HH:MM [--name=NAME]\n"
           "                        (--weekly=mon,wed,... | --monthly=DAY|last [--every=N]\n"
           "                         | --yearly=MM-DD [--every=N] | --once=MM-DD)\n"
           "       drivlet-cli schedule on|off|remove ID|FILE\n";
}

int Number(const std::string& text, int low, int high, const std::string& what) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < low || value > high)
        throw UsageError{what + " takes a number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not \"" + text + "\""};
    return value;
}

std::pair<std::string, std::string> Split(const std::string& text, char separator) {
    const size_t at = text.find(separator);
    if (at == std::string::npos) return {text, {}};
    return {text.substr(0, at), text.substr(at + 1)};
}

int ModeOf(const std::string& text) {
    if (text == "startup") return kRunAtStartup;
    if (text == "shutdown") return kRunAtShutdown;
    if (text == "timed") return kRunTimed;
    if (text == "insertion") return kRunAtDriveInsertion;
    throw UsageError{"--mode is startup, shutdown, timed or insertion, not \"" + text + "\""};
}

void SetWeekDays(TSchedule& schedule, const std::string& list) {
    static constexpr std::array<std::string_view, 7> kDays = {"mon", "tue", "wed", "thu",
                                                              "fri", "sat", "sun"};
    size_t pos = 0;
    while (pos <= list.size()) {
        size_t end = list.find(',', pos);
        if (end == std::string::npos) end = list.size();
        const std::string day = LowerCase(list.substr(pos, end - pos));
        const auto it = std::find_if(kDays.begin(), kDays.end(), [&](std::string_view d) {
            return day.size() >= 3 && day.rfind(d, 0) == 0;
        });
        if (it == kDays.end())
            throw UsageError{"--weekly takes days such as mon,wed,sun, not \"" + list + "\""};
        schedule.SetWeekDay(static_cast<TWeekDay>(it - kDays.begin()), true);
        pos = end + 1;
    }
}

void SetMonthAndDay(TSchedule& schedule, const std::string& text, const std::string& option) {
    const auto [month, day] = Split(text, '-');
    schedule.Month = static_cast<uint8_t>(Number(month, 1, 12, option + "'s month"));
    schedule.DayOfMonthYearMode = static_cast<uint8_t>(Number(day, 1, 31, option + "'s day"));
}

struct AddRequest {
    std::string file;
    std::optional<int> mode;
    std::optional<std::string> name;
    std::optional<TSchedule> schedule;
    std::optional<int> every;
    std::optional<std::pair<int, int>> at;
};

// The schedule options of `add`, into a schedule record.
AddRequest ParseAdd(const std::vector<std::string>& args) {
    AddRequest request;
    auto chooseKind = [&](TScheduleMode mode) -> TSchedule& {
        if (request.schedule) throw UsageError{"only one of --weekly, --monthly, --yearly, --once"};
        request.schedule.emplace();
        request.schedule->ScheduleMode = mode;
        return *request.schedule;
    };
    for (size_t i = 1; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        if (arg.rfind("--", 0) == 0) {
            // --name=value or --name value
            if (arg.find('=') != std::string::npos) {
                std::tie(arg, value) = Split(args[i], '=');
            } else {
                if (i + 1 >= args.size()) throw UsageError{arg + " needs a value"};
                value = args[++i];
            }
        } else if (request.file.empty()) {
            request.file = arg;
            continue;
        } else {
            throw UsageError{"one job file only"};
        }
        if (arg == "--mode") {
            request.mode = ModeOf(value);
        } else if (arg == "--name") {
            request.name = value;
        } else if (arg == "--at") {
            const auto [h, m] = Split(value, ':');
            request.at = std::pair{Number(h, 0, 23, "--at's hour"), Number(m, 0, 59, "--at's minute")};
        } else if (arg == "--every") {
            request.every = Number(value, 1, 30, "--every");
        } else if (arg == "--weekly") {
            SetWeekDays(chooseKind(TScheduleMode::smWeekly), value);
        } else if (arg == "--monthly") {
            TSchedule& s = chooseKind(TScheduleMode::smMonthly);
            if (LowerCase(value) == "last")
                s.LastDayOFMonth = true;
            else
                s.DayOfMonth = static_cast<uint8_t>(Number(value, 1, 31, "--monthly"));
        } else if (arg == "--yearly") {
            SetMonthAndDay(chooseKind(TScheduleMode::smYearly), value, "--yearly");
        } else if (arg == "--once") {
            SetMonthAndDay(chooseKind(TScheduleMode::smOnesOnly), value, "--once");
        } else {
            throw UsageError{"unknown option " + arg};
        }
    }
    if (request.file.empty()) throw UsageError{"add needs a job file"};
    if (!request.mode) throw UsageError{"add needs --mode"};
    const bool timed = *request.mode == kRunTimed;
    if (timed && (!request.schedule || !request.at))
        throw UsageError{"a timed schedule needs --at and one of --weekly, --monthly, --yearly, --once"};
    if (!timed && (request.schedule || request.at || request.every))
        throw UsageError{"--at, --every and the schedule options are for --mode=timed only"};
    if (request.schedule) {
        if (request.every) request.schedule->Every = static_cast<uint8_t>(*request.every);
        request.schedule->TimeH = request.at->first;
        request.schedule->TimeM = request.at->second;
    }
    return request;
}

// The job's name as the Schedules window takes it from the file; nothing (with why) when it
// cannot be read.
std::optional<std::string> JobNameOf(const std::string& file, const IClock& clock, std::ostream& err) {
    JobNameRead read = ReadJobName(file, clock);
    if (!read.name) err << file << ": " << read.error << "\n";
    return read.name;
}

std::string ScheduleText(const ScheduleRunRow& row) {
    if (row.Mode != kRunTimed || row.Data.empty()) return "-";
    TSchedule s;
    try {
        s.LoadCompressedFromField(row.Data);
    } catch (const std::exception&) {
        return "(damaged)";
    }
    char at[8];
    std::snprintf(at, sizeof at, "%02d:%02d", s.TimeH, s.TimeM);
    std::string text;
    switch (s.ScheduleMode) {
    case TScheduleMode::smWeekly:
        text = "weekly";
        for (int d = 0; d < 7; ++d)
            if (s.HasWeekDay(static_cast<TWeekDay>(d)))
                text += (text == "weekly" ? " " : ",") + std::string(kWeekDayNames[d].substr(1, 3));
        break;
    case TScheduleMode::smMonthly:
        text = s.LastDayOFMonth ? "monthly last" : "monthly " + std::to_string(s.DayOfMonth);
        if (s.Every != 1) text += " every " + std::to_string(s.Every);
        break;
    case TScheduleMode::smYearly:
    case TScheduleMode::smOnesOnly: {
        char date[8];
        std::snprintf(date, sizeof date, "%02d-%02d", s.Month, s.DayOfMonthYearMode);
        text = (s.ScheduleMode == TScheduleMode::smYearly ? "yearly " : "once ") + std::string(date);
        if (s.ScheduleMode == TScheduleMode::smYearly && s.Every != 1)
            text += " every " + std::to_string(s.Every);
        break;
    }
    }
    return text + " at " + at;
}

void PrintRow(const ScheduleRunRow& row, std::ostream& out) {
    out << row.ID << "\t" << ActiveText(row.Active) << "\t" << ScheduleModeCaption(row.Mode) << "\t"
        << (row.NextRunTime ? FormatDateTime(*row.NextRunTime, "yyyy-mm-dd hh:nn:ss") : "N/A") << "\t"
        << ScheduleText(row) << "\t" << ScheduleTypeText(row.FileName) << "\t" << row.JobName << "\t"
        << row.FileName << "\n";
}

// A row named by its ID or by its job file (whatever drive path it was scheduled with).
std::optional<ScheduleRunRow> FindRow(ProgramDatabase& db, const std::string& key) {
    const bool number =
        !key.empty() && std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (number) return db.FindSchedule(std::stoll(key));
    return db.FindScheduleForJob(key);
}

int Add(ProgramDatabase& db, const std::vector<std::string>& args, const IClock& clock, std::ostream& out,
        std::ostream& err) {
    const AddRequest request = ParseAdd(args);
    std::optional<ScheduleRunRow> row = db.FindScheduleForJob(request.file);
    const bool existed = row.has_value();
    if (!row) {
        std::optional<std::string> name = request.name;
        if (!name) name = JobNameOf(request.file, clock, err);
        if (!name) return exitcode::Unreadable;
        row = db.AddSchedule(request.file, *name);
    } else if (request.name) {
        row->JobName = *request.name;
    }
    row->Mode = *request.mode;
    if (request.schedule) {
        TSchedule copy;
        copy.Assign(*request.schedule);
        copy.TimeH = request.schedule->TimeH;
        copy.TimeM = request.schedule->TimeM;
        row->Data = copy.SaveCompressedToField();
        row->NextRunTime = NextRunTimeOnSave(row->Mode == kRunTimed, *request.schedule, clock.Now());
    } else {
        row->NextRunTime = std::nullopt;
    }
    db.SaveSchedule(*row);
    // A job is scheduled once, whatever drive path it had: a second add changes its row.
    out << (existed ? "updated" : "added") << "\t";
    PrintRow(*db.FindSchedule(row->ID), out);
    if (row->Mode == kRunTimed && !row->NextRunTime)
        err << "The schedule's time today has passed: the job is not run until it is saved again.\n";
    return exitcode::Ok;
}

} // namespace

int ScheduleVerb(const std::vector<std::string>& args, const std::filesystem::path& programDataRoot,
                 const IClock& clock, std::ostream& out, std::ostream& err) {
    if (args.empty()) return ScheduleUsage(err), exitcode::Cancelled;
    const std::string& action = args[0];
    try {
        ProgramDatabase db(ProgramDatabase::PathFor(programDataRoot));
        if (action == "list" && args.size() == 1) {
            out << "ID\tActive\tMode\tNext Run Time\tSchedule\tType\tJobName\tFileName\n";
            for (const ScheduleRunRow& row : db.AllSchedules())
                PrintRow(row, out);
            return exitcode::Ok;
        }
        if (action == "add") return Add(db, args, clock, out, err);
        if ((action == "on" || action == "off" || action == "remove") && args.size() == 2) {
            std::optional<ScheduleRunRow> row = FindRow(db, args[1]);
            if (!row) {
                err << args[1] << ": no schedule\n";
                return exitcode::Unreadable;
            }
            if (action == "remove") {
                db.DeleteSchedule(row->ID);
                out << "removed\t";
            } else {
                row->Active = action == "on";
                db.SaveSchedule(*row);
                out << "switched " << action << "\t";
            }
            PrintRow(*row, out);
            return exitcode::Ok;
        }
    } catch (const UsageError& e) {
        err << e.text << "\n";
        ScheduleUsage(err);
        return exitcode::Cancelled;
    } catch (const std::exception& e) {
        err << e.what() << "\n";
        return exitcode::Unreadable;
    }
    ScheduleUsage(err);
    return exitcode::Cancelled;
}

} // namespace drivlet::cli
