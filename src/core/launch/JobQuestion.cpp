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

} // namespace drivlet
