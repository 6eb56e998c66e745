#pragma once
// The standard message dialogs through which every user-facing message goes. The GUI shows real
// dialogs; the CLI prints; tests record.
#include <string>

namespace drivlet {

enum class MessageKind { Warning = 0, Error = 1, Information = 2, Confirmation = 3, Plain = 4 };

namespace dlg {
constexpr int NoAnswer = 0;
constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int Yes = 6;
constexpr int No = 7;
} // namespace dlg

class IMessageDialogs {
public:
    virtual ~IMessageDialogs() = default;
    // Returns dlg::Ok.
    virtual int ShowNotice(const std::string& text, const std::string& title, MessageKind kind,
                           const std::string& caption) = 0;
    // Returns dlg::Ok or dlg::Cancel.
    virtual int AskOkCancel(const std::string& text, const std::string& title, MessageKind kind,
                            const std::string& caption) = 0;
    // Returns dlg::Yes, dlg::No, or dlg::Cancel when withCancel.
    virtual int AskYesNo(const std::string& text, const std::string& title, bool withCancel,
                         MessageKind kind, const std::string& caption) = 0;
};

// The dialogs installed by the front end (a process-wide choice made once at start-up); until one
// is installed, notices are written to standard error and questions answer "no".
IMessageDialogs& InstalledMessageDialogs();
void InstallMessageDialogs(IMessageDialogs* dialogs);

} // namespace drivlet
