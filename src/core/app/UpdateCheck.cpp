#include "core/app/UpdateCheck.h"

namespace drivlet {
namespace {

std::string WithoutTrailingSlash(std::string_view address) {
    while (!address.empty() && address.back() == '/')
        address.remove_suffix(1);
    return std::string(address);
}

} // namespace

UpdateRequest BuildUpdateRequest(std::string_view serverAddress, std::string_view boundary) {
    UpdateRequest request;
    request.url = WithoutTrailingSlash(serverAddress) + std::string(kUpdateCheckPath);
    request.contentType = "multipart/form-data; boundary=" + std::string(boundary);
    const std::string dashes = "--" + std::string(boundary);
    request.body = dashes + "\r\n" + "Content-Disposition: form-data; name=\"FROMAPP\"\r\n" + "\r\n" +
                   "CheckUpdate\r\n" + dashes + "--\r\n";
    request.userName = kUpdateUserName;
    request.password = kUpdatePassword;
    return request;
}

std::string UpgradePageAddress(std::string_view serverAddress) {
    return WithoutTrailingSlash(serverAddress) + std::string(kUpgradePagePath);
}

UpdateReply ClassifyUpdateReply(const std::optional<std::string>& body, std::string_view ownVersion) {
    if (!body) return UpdateReply::Failed;
    // Exact: "v 4.0.1", or the version with a line break after it, is another version.
    return *body == ownVersion ? UpdateReply::UpToDate : UpdateReply::NewVersion;
}

std::string NewVersionQuestion(std::string_view latest, std::string_view ownVersion) {
    return "New version of " + std::string(kProductTitle) + " is available. Would you like " +
           "to upgrade to new version?\r\n" + "Current Version: " + std::string(ownVersion) + "\r\n" +
           "Latest Version: " + std::string(latest);
}

std::string UpToDateNotice(std::string_view ownVersion) {
    return "You are using the latest version of " + std::string(kProductTitle) + " (" +
           std::string(ownVersion) + ").";
}

UpdateMessage UpdateMessageFor(const std::optional<std::string>& body, bool withMessages) {
    switch (ClassifyUpdateReply(body)) {
    case UpdateReply::NewVersion:
        return {UpdateMessage::Form::Question, NewVersionQuestion(*body), MessageKind::Information};
    case UpdateReply::UpToDate:
        if (withMessages) return {UpdateMessage::Form::Notice, UpToDateNotice(), MessageKind::Information};
        break;
    case UpdateReply::Failed:
        if (withMessages)
            return {UpdateMessage::Form::Notice, std::string(kUpdateDownloadError), MessageKind::Error};
        break;
    }
    return {};
}

bool AnswerUpdateReply(const std::optional<std::string>& body, bool withMessages, IMessageDialogs& dialogs) {
    const std::string title(kCheckForUpdatesTitle);
    const std::string caption(kProductTitle);
    const UpdateMessage message = UpdateMessageFor(body, withMessages);
    switch (message.form) {
    case UpdateMessage::Form::Question:
        return dialogs.AskYesNo(message.text, title, false, message.kind, caption) == dlg::Yes;
    case UpdateMessage::Form::Notice:
        dialogs.ShowNotice(message.text, title, message.kind, caption);
        return false;
    case UpdateMessage::Form::None:
        break;
    }
    return false;
}

} // namespace drivlet
