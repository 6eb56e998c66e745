#pragma once
// The update check without its transport: the request the program sends to the vendor's server,
// and what it makes of the reply (the latest version text, compared exactly with its own).
#include "core/app/Constants.h"
#include "core/app/MessageDialogs.h"

#include <optional>
#include <string>
#include <string_view>

namespace drivlet {

// The vendor's server has no address yet; a reserved name that never resolves stands in for it,
// so that no request can reach somebody else's server.
inline constexpr std::string_view kUpdateServerAddress = "http://updates.drivlet.invalid";
inline constexpr std::string_view kUpdateCheckPath = "/appPHP/checkupgrade.php";
inline constexpr std::string_view kUpgradePagePath = "/upgrade.html";
// Offered when the server asks for authentication.
inline constexpr std::string_view kUpdateUserName = "RavIvezAziriv";
inline constexpr std::string_view kUpdatePassword = "5C3E9A01D7B24F68";
inline constexpr std::string_view kUpdateFormBoundary = "----DrivletUpdateCheckBoundary7d1a3f";
inline constexpr std::string_view kCheckForUpdatesTitle = "Check For Updates";
inline constexpr std::string_view kUpdateDownloadError =
    "Error downloading update data. Please try again later.";

// An HTTP POST with a multipart form of one field, FROMAPP = CheckUpdate.
struct UpdateRequest {
    std::string url;         // server address + the check path
    std::string contentType; // "multipart/form-data; boundary=..."
    std::string body;
    std::string userName;
    std::string password;
};

// The server address is the program's constant; tests give a local one.
UpdateRequest BuildUpdateRequest(std::string_view serverAddress = kUpdateServerAddress,
                                 std::string_view boundary = kUpdateFormBoundary);
std::string UpgradePageAddress(std::string_view serverAddress = kUpdateServerAddress);

enum class UpdateReply {
    UpToDate,   // the reply is exactly the own version text
    NewVersion, // anything else that arrived, an error page included
    Failed,     // no reply: no network, an error status, refused authentication
};

// `body` is the whole response body, or nothing when the request failed in any way.
UpdateReply ClassifyUpdateReply(const std::optional<std::string>& body,
                                std::string_view ownVersion = kVersionText);

// "New version of Drivlet is available. ...\r\nCurrent Version: V 4.0.1\r\nLatest Version: " + latest
std::string NewVersionQuestion(std::string_view latest, std::string_view ownVersion = kVersionText);
std::string UpToDateNotice(std::string_view ownVersion = kVersionText);

// What the reply calls for, for a front end that asks without waiting.
struct UpdateMessage {
    enum class Form { None, Notice, Question };
    Form form = Form::None;
    std::string text;
    MessageKind kind = MessageKind::Information;
};
// The new-version question always (a Yes asks for the upgrade page), the up-to-date notice and
// the error only `withMessages`.
UpdateMessage UpdateMessageFor(const std::optional<std::string>& body, bool withMessages);

// Says what the reply calls for: the new-version question always, the up-to-date notice and the
// error only `withMessages` (the menu's check; the start-up check is silent). True when the user
// asked for the upgrade page.
[[nodiscard]] bool AnswerUpdateReply(const std::optional<std::string>& body, bool withMessages,
                                     IMessageDialogs& dialogs);

} // namespace drivlet
