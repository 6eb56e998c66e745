#pragma once
// Message dialogs that record what was shown and answer from a script.
#include "core/app/MessageDialogs.h"

#include <deque>
#include <string>
#include <vector>

namespace drivlet::test {

struct ShownMessage {
    std::string text, title, caption;
    MessageKind kind;
};

class RecordingDialogs final : public IMessageDialogs {
public:
    std::vector<ShownMessage> shown;
    std::deque<int> answers; // taken in order; when empty, questions answer Cancel/No

    int ShowNotice(const std::string& text, const std::string& title, MessageKind kind,
                   const std::string& caption) override {
        shown.push_back({text, title, caption, kind});
        return dlg::Ok;
    }
    int AskOkCancel(const std::string& text, const std::string& title, MessageKind kind,
                    const std::string& caption) override {
        shown.push_back({text, title, caption, kind});
        return Next(dlg::Cancel);
    }
    int AskYesNo(const std::string& text, const std::string& title, bool, MessageKind kind,
                 const std::string& caption) override {
        shown.push_back({text, title, caption, kind});
        return Next(dlg::No);
    }

private:
    int Next(int fallback) {
        if (answers.empty()) return fallback;
        int a = answers.front();
        answers.pop_front();
        return a;
    }
};

} // namespace drivlet::test
