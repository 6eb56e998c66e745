#include "core/app/MessageDialogs.h"

#include <atomic>
#include <cstdio>

namespace drivlet {
namespace {

class StderrDialogs final : public IMessageDialogs {
public:
    int ShowNotice(const std::string& text, const std::string& title, MessageKind,
                   const std::string& caption) override {
        std::fprintf(stderr, "%s: %s\n%s\n", caption.c_str(), title.c_str(), text.c_str());
        return dlg::Ok;
    }
    int AskOkCancel(const std::string& text, const std::string& title, MessageKind kind,
                    const std::string& caption) override {
        ShowNotice(text, title, kind, caption);
        return dlg::Cancel;
    }
    int AskYesNo(const std::string& text, const std::string& title, bool withCancel, MessageKind kind,
                 const std::string& caption) override {
        ShowNotice(text, title, kind, caption);
        return withCancel ? dlg::Cancel : dlg::No;
    }
};

StderrDialogs g_fallback;
std::atomic<IMessageDialogs*> g_installed{nullptr};

} // namespace

IMessageDialogs& InstalledMessageDialogs() {
    IMessageDialogs* d = g_installed.load();
    return d ? *d : g_fallback;
}

void InstallMessageDialogs(IMessageDialogs* dialogs) { g_installed.store(dialogs); }

} // namespace drivlet
