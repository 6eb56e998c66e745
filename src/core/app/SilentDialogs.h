#pragma once
// Dialogs that show nothing and answer no: for reading records where a failure is shown another
// way (an error row in a list) rather than as a message.
#include "core/app/MessageDialogs.h"

namespace drivlet {

class SilentDialogs final : public IMessageDialogs {
public:
    int ShowNotice(const std::string&, const std::string&, MessageKind, const std::string&) override {
        return dlg::Ok;
    }
    int AskOkCancel(const std::string&, const std::string&, MessageKind, const std::string&) override {
        return dlg::Cancel;
    }
    int AskYesNo(const std::string&, const std::string&, bool withCancel, MessageKind,
                 const std::string&) override {
        return withCancel ? dlg::Cancel : dlg::No;
    }
};

} // namespace drivlet
