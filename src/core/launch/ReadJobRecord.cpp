#include "core/launch/ReadJobRecord.h"

#include "core/launch/FinishMessages.h"

namespace drivlet {
namespace {

// Keeps the load's notice for the refusal instead of showing it.
class NoticeKeeper final : public IMessageDialogs {
public:
    std::string title, text;

    int ShowNotice(const std::string& noticeText, const std::string& noticeTitle, MessageKind,
                   const std::string&) override {
        title = noticeTitle;
        text = noticeText;
        return dlg::Ok;
    }
    int AskOkCancel(const std::string&, const std::string&, MessageKind, const std::string&) override {
        return dlg::Cancel;
    }
    int AskYesNo(const std::string&, const std::string&, bool, MessageKind, const std::string&) override {
        return dlg::No;
    }
};

} // namespace

std::optional<JobRefusal> ReadJobRecord(TSaveLoadComponent& record, const std::string& jobFile) {
    NoticeKeeper notice;
    switch (record.LoadCompressed(jobFile, notice)) {
    case LoadResult::Loaded:
        return std::nullopt;
    case LoadResult::Missing:
        return JobRefusal{RefusalReason::Missing, std::string(kLoadJobTitle), "no such job file"};
    case LoadResult::Failed:
        break;
    }
    if (notice.title.empty())
        return JobRefusal{RefusalReason::Damaged, "File Load Error.", "Error loading File : " + jobFile};
    return JobRefusal{RefusalReason::Damaged, notice.title, notice.text};
}

} // namespace drivlet
