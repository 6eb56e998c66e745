#include "core/launch/JobQuestion.h"

#include "core/launch/FinishMessages.h"

namespace drivlet {

JobQuestion OtherComputerQuestion() {
    JobQuestion question;
    question.kind = QuestionKind::OtherComputer;
    question.title = std::string(kLoadJobTitle);
    question.text = std::string(kOtherComputerQuestion);
    return question;
}

JobQuestion FoldersMissingQuestion(std::vector<std::string> missingPaths) {
    JobQuestion question;
    question.kind = QuestionKind::FoldersMissing;
    question.title = std::string(kFolderMissingTitle);
    question.text = std::string(kFolderMissingQuestion);
    question.missingPaths = std::move(missingPaths);
    return question;
}

JobQuestion FirstRunQuestion(const std::string& jobName, const std::string& jobFile, const JobReach& reach) {
    JobQuestion question;
    question.kind = QuestionKind::FirstRun;
    question.title = "First run on this computer";
    question.text = "The job \"" + jobName + "\" has not run on this computer yet. Its job file\n" + jobFile +
                    "\nwill act on these places of this computer:\n";
    for (const ReachLine& line : reach.lines)
        question.text += "\n" + line.path + "\n    " + std::string(ReachKindText(line.kind));
    question.text += "\n\nRun it?";
    return question;
}

} // namespace drivlet
