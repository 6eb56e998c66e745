#include "core/drives/SHChangeNotify.h"

#include "core/text/CaseFold.h"

#include <array>

namespace drivlet {
namespace {

struct HandlerSlot {
    uint32_t code;
    TSHChangeNotify::TOneParmEvent TSHChangeNotify::*one;
    TSHChangeNotify::TTwoParmEvent TSHChangeNotify::*two;
};

using N = TSHChangeNotify;
constexpr std::array<HandlerSlot, 19> kSlots = {{
    {shcne::RenameItem, nullptr, &N::OnRenameItem},
    {shcne::Create, &N::OnCreate, nullptr},
    {shcne::Delete, &N::OnDelete, nullptr},
    {shcne::MkDir, &N::OnMkDir, nullptr},
    {shcne::RmDir, &N::OnRmDir, nullptr},
    {shcne::MediaInserted, &N::OnMediaInserted, nullptr},
    {shcne::MediaRemoved, &N::OnMediaRemoved, nullptr},
    {shcne::DriveRemoved, &N::OnDriveRemoved, nullptr},
    {shcne::DriveAdd, &N::OnDriveAdd, nullptr},
    {shcne::NetShare, &N::OnNetShare, nullptr},
    {shcne::NetUnshare, &N::OnNetUnshare, nullptr},
    {shcne::Attributes, &N::OnAttributes, nullptr},
    {shcne::UpdateDir, &N::OnUpdateDir, nullptr},
    {shcne::UpdateItem, &N::OnUpdateItem, nullptr},
    {shcne::ServerDisconnect, &N::OnServerDisconnect, nullptr},
    {shcne::UpdateImage, &N::OnUpdateImage, nullptr},
    {shcne::DriveAddGUI, &N::OnDriveAddGUI, nullptr},
    {shcne::RenameFolder, nullptr, &N::OnRenameFolder},
    {shcne::AssocChanged, nullptr, &N::OnAssocChanged},
}};

const HandlerSlot* SlotOf(uint32_t code) {
    for (const HandlerSlot& slot : kSlots)
        if (slot.code == code) return &slot;
    return nullptr;
}

bool Assigned(const TSHChangeNotify& n, const HandlerSlot& slot) {
    return slot.one ? static_cast<bool>(n.*slot.one) : static_cast<bool>(n.*slot.two);
}

constexpr uint32_t kArrivals = shcne::DriveAdd | shcne::DriveAddGUI | shcne::MediaInserted;
constexpr uint32_t kRemovals = shcne::DriveRemoved | shcne::MediaRemoved;

std::string Folded(const std::string& path, TTextCase textCase) {
    switch (textCase) {
    case TTextCase::tcUppercase:
        return UpperCase(path);
    case TTextCase::tcLowercase:
        return LowerCase(path);
    case TTextCase::tcAsIs:
        break;
    }
    return path;
}

} // namespace

// Called on the source's thread; hands each notification to the owner's thread.
class TSHChangeNotify::Receiver final : public IShellNotifySink {
public:
    Receiver(IMessageWindow& window, std::weak_ptr<TSHChangeNotify*> owner)
        : window_(window), owner_(std::move(owner)) {}

    void Deliver(const ShellNotification& notification) override {
        window_.Post([owner = owner_, notification] {
            if (auto self = owner.lock()) (*self)->HandleMessage(notification);
        });
    }

private:
    IMessageWindow& window_;
    std::weak_ptr<TSHChangeNotify*> owner_;
};

TSHChangeNotify::TSHChangeNotify(IShellNotifySource& source, IMessageWindow& window)
    : source_(source), self_(std::make_shared<TSHChangeNotify*>(this)),
      receiver_(std::make_shared<Receiver>(window, self_)) {}

TSHChangeNotify::~TSHChangeNotify() {
    Stop();
    self_.reset();
}

void TSHChangeNotify::SetMessageNo(uint32_t value) {
    if (value < kMinMessageNo)
        throw ESHChangeNotifyError("MessageNo must be greater than or equal to " +
                                   std::to_string(kMinMessageNo));
    messageNo_ = value;
}

uint32_t TSHChangeNotify::EventMask() const {
    uint32_t mask = 0;
    for (const HandlerSlot& slot : kSlots)
        if (Assigned(*this, slot)) mask |= slot.code;
    return mask;
}

uint32_t TSHChangeNotify::RegistrationMask() const {
    uint32_t mask = EventMask();
    if (!repeartOK_ && (mask & kArrivals)) mask |= kRemovals;
    return mask;
}

void TSHChangeNotify::Start() {
    Stop();
    if (EventMask() == 0) return;
    std::vector<ShellWatchEntry> entries;
    if (pathListOnly_) {
        for (const std::string& line : pathList_)
            entries.push_back({ItemFromPath(line), true});
    } else {
        entries.push_back({std::nullopt, true});
    }
    ShellRegistration registration{kShellNotifySources, RegistrationMask(), messageNo_, entries};
    uint64_t id = 0;
    try {
        id = source_.Register(registration, receiver_);
    } catch (const std::exception&) {
        id = 0;
    }
    if (id == 0) {
        Stop();
        throw ESHChangeNotifyError("Could not register SHChangeNotify");
    }
    registration_ = id;
    entries_ = std::move(entries);
    running_ = true;
}

void TSHChangeNotify::Stop() {
    // A registration without watch entries is still a registration: it is always ended.
    if (registration_ != 0) source_.Deregister(registration_);
    registration_ = 0;
    entries_.clear();
    running_ = false;
}

void TSHChangeNotify::Forget() {
    lastCode_ = 0;
    lastPathA_.clear();
    lastPathB_.clear();
}

void TSHChangeNotify::HandleMessage(const ShellNotification& notification) {
    if (notification.messageNo != messageNo_) return;
    const uint32_t code = notification.event & ~shcne::InterruptMarker;
    const HandlerSlot* slot = SlotOf(code);
    if (!slot) return;
    std::string pathA = PathFromItem(notification.itemA);
    std::string pathB = PathFromItem(notification.itemB);
    if (!Assigned(*this, *slot)) {
        // Once the remembered drive has gone, its next arrival is news, not a repeat.
        if ((code & kRemovals) && !pathA.empty() && pathA == lastPathA_) Forget();
        return;
    }
    // Paths on this system are case-sensitive: /media/u/stick/ and /media/u/STICK/ are two drives.
    const bool repeat = !repeartOK_ && code == lastCode_ && pathA == lastPathA_ && pathB == lastPathB_;
    lastCode_ = code;
    lastPathA_ = pathA;
    lastPathB_ = pathB;
    if (repeat) return;
    pathA = Folded(pathA, textCase_);
    pathB = Folded(pathB, textCase_);
    if (slot->two)
        (this->*(slot->two))(*this, code, pathA, pathB);
    else
        (this->*(slot->one))(*this, code, pathA);
}

bool TSHChangeNotify::EndSessionQuery() {
    bool canEndSession = true;
    if (OnEndSessionQuery) OnEndSessionQuery(*this, canEndSession);
    if (canEndSession) Stop();
    return canEndSession;
}

std::string TSHChangeNotify::PathFromItem(const std::optional<std::string>& item) {
    if (!item) return {};
    std::string path = item->substr(0, item->find('\0'));
    if (path.empty() || path[0] != '/' || path.size() >= kMaxPath) return {};
    return path;
}

std::optional<std::string> TSHChangeNotify::ItemFromPath(const std::string& path) {
    if (path.empty()) return std::nullopt;
    if (path == "\\") return std::string("/");
    return path;
}

} // namespace drivlet
