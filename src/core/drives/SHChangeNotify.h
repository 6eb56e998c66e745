#pragma once
// Turns the change notifications of a source (drive added, drive removed, media inserted, ...)
// into typed events carrying the affected paths. Notifications arrive on the source's thread and
// are posted through the message window; handlers run where the window runs its messages (the GUI
// thread), so a handler may open windows.
#include "core/drives/MessageWindow.h"
#include "platform/ShellNotifySource.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace drivlet {

enum class TTextCase { tcAsIs, tcUppercase, tcLowercase };

class ESHChangeNotifyError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TSHChangeNotify {
public:
    using TOneParmEvent =
        std::function<void(TSHChangeNotify& sender, uint32_t flags, const std::string& path)>;
    using TTwoParmEvent = std::function<void(TSHChangeNotify& sender, uint32_t flags,
                                             const std::string& pathA, const std::string& pathB)>;
    using TEndSessionQueryEvent = std::function<void(TSHChangeNotify& sender, bool& canEndSession)>;

    static constexpr uint32_t kMinMessageNo = 1024;
    // Longest path a notification can carry, with its terminating NUL.
    static constexpr size_t kMaxPath = 4096;

    TSHChangeNotify(IShellNotifySource& source, IMessageWindow& window);
    ~TSHChangeNotify();
    TSHChangeNotify(const TSHChangeNotify&) = delete;
    TSHChangeNotify& operator=(const TSHChangeNotify&) = delete;

    uint32_t MessageNo() const { return messageNo_; }
    // Below kMinMessageNo: ESHChangeNotifyError, the old value stays.
    void SetMessageNo(uint32_t value);
    TTextCase TextCase() const { return textCase_; }
    void SetTextCase(TTextCase value) { textCase_ = value; }
    bool PathListOnly() const { return pathListOnly_; }
    void SetPathListOnly(bool value) { pathListOnly_ = value; }
    const std::vector<std::string>& PathList() const { return pathList_; }
    void SetPathList(std::vector<std::string> value) { pathList_ = std::move(value); }
    bool RepeartOK() const { return repeartOK_; }
    void SetRepeartOK(bool value) { repeartOK_ = value; }
    bool Running() const { return running_; }

    // Changing handlers takes effect at the next Start.
    TTwoParmEvent OnRenameItem;
    TOneParmEvent OnCreate;
    TOneParmEvent OnDelete;
    TOneParmEvent OnMkDir;
    TOneParmEvent OnRmDir;
    TOneParmEvent OnMediaInserted;
    TOneParmEvent OnMediaRemoved;
    TOneParmEvent OnDriveRemoved;
    TOneParmEvent OnDriveAdd;
    TOneParmEvent OnNetShare;
    TOneParmEvent OnNetUnshare;
    TOneParmEvent OnAttributes;
    TOneParmEvent OnUpdateDir;
    TOneParmEvent OnUpdateItem;
    TOneParmEvent OnServerDisconnect;
    TOneParmEvent OnUpdateImage;
    TOneParmEvent OnDriveAddGUI;
    TTwoParmEvent OnRenameFolder;
    TTwoParmEvent OnAssocChanged;
    TEndSessionQueryEvent OnEndSessionQuery;

    // (Re)registers for the events of the assigned handlers; with none assigned nothing is
    // registered. ESHChangeNotifyError "Could not register SHChangeNotify" when the source refuses.
    void Start();
    // Ends the registration; safe when nothing is registered.
    void Stop();

    // The codes of the assigned handlers.
    uint32_t EventMask() const;
    // What Start asks of the source: the handlers' codes, plus the removals that end a
    // remembered arrival when repeats are dropped.
    uint32_t RegistrationMask() const;
    // The watch entries of the current registration.
    const std::vector<ShellWatchEntry>& WatchEntries() const { return entries_; }

    // One notification, on the owner's thread. Errors raised by handlers propagate.
    void HandleMessage(const ShellNotification& notification);
    // The end-of-session query: true when the session may end (the registration is then ended).
    bool EndSessionQuery();

    // The notification source's path text, or empty when it names no file-system path.
    static std::string PathFromItem(const std::optional<std::string>& item);
    // A watched path as the source's item; "\" is the whole tree.
    static std::optional<std::string> ItemFromPath(const std::string& path);

private:
    class Receiver;

    void Forget();

    IShellNotifySource& source_;
    uint32_t messageNo_ = kMinMessageNo;
    TTextCase textCase_ = TTextCase::tcAsIs;
    bool pathListOnly_ = true;
    std::vector<std::string> pathList_;
    bool repeartOK_ = true;
    bool running_ = false;

    uint64_t registration_ = 0;
    std::vector<ShellWatchEntry> entries_;
    // Posted messages reach the component through this; it dies with the component, so a message
    // still queued after destruction is dropped.
    std::shared_ptr<TSHChangeNotify*> self_;
    std::shared_ptr<Receiver> receiver_;

    uint32_t lastCode_ = 0;
    std::string lastPathA_;
    std::string lastPathB_;
};

} // namespace drivlet
