#pragma once
// A question a job needs answered before it may start. The runner hands them out as values so
// that a front end can show them in its own way and time, and answer them later.
#include "core/app/MessageDialogs.h"
#include "core/launch/JobReach.h"

#include <string>
#include <vector>

namespace drivlet {

enum class QuestionKind {
    OtherComputer,  // the job was saved on another computer
    FoldersMissing, // folders or files of a backup or move job are not there
    FirstRun,       // the job has not run on this computer yet: what it will do here is shown
};

struct JobQuestion {
    QuestionKind kind = QuestionKind::OtherComputer;
    std::string title;
    std::string text;
    std::vector<std::string> missingPaths; // FoldersMissing: every path that is not there
    MessageKind messageKind = MessageKind::Warning;

    // Whether a Yes/No reply (a dlg:: value) lets the job go on: missing folders unless No, so a
    // question closed without an answer runs the job; the others only on Yes.
    bool GoesAhead(int reply) const {
        return kind == QuestionKind::FoldersMissing ? reply != dlg::No : reply == dlg::Yes;
    }
};

JobQuestion OtherComputerQuestion();
JobQuestion FoldersMissingQuestion(std::vector<std::string> missingPaths);
// Names the job, its file and every place on the computer the job will act on, and how.
JobQuestion FirstRunQuestion(const std::string& jobName, const std::string& jobFile, const JobReach& reach);

} // namespace drivlet
