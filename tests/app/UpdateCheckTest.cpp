// The update check's request and what it makes of the reply: the own version exactly is up to date,
// anything else (letter case included) is a new version, no reply is an error; the start-up check
// shows only the new-version question.
#include "core/app/UpdateCheck.h"
#include "support/RecordingDialogs.h"

#include <gtest/gtest.h>

namespace drivlet {
namespace {

using test::RecordingDialogs;

TEST(UpdateCheck, TheRequestIsAOneFieldFormPostedToTheCheckPage) {
    const UpdateRequest r = BuildUpdateRequest("http://127.0.0.1:8080/", "XyZ");
    EXPECT_EQ(r.url, "http://127.0.0.1:8080/appPHP/checkupgrade.php");
    EXPECT_EQ(r.contentType, "multipart/form-data; boundary=XyZ");
    EXPECT_EQ(r.body, "--XyZ\r\n"
                      "Content-Disposition: form-data; name=\"FROMAPP\"\r\n"
                      "\r\n"
                      "CheckUpdate\r\n"
                      "--XyZ--\r\n");
    EXPECT_EQ(r.userName, "RavIvezAziriv");
    EXPECT_EQ(r.password, "5C3E9A01D7B24F68");
    EXPECT_EQ(UpgradePageAddress("http://127.0.0.1:8080"), "http://127.0.0.1:8080/upgrade.html");
    EXPECT_EQ(BuildUpdateRequest().url.rfind(std::string(kUpdateServerAddress), 0), 0u);
}

TEST(UpdateCheck, OnlyTheExactOwnVersionIsUpToDate) {
    EXPECT_EQ(ClassifyUpdateReply(std::string("V 4.0.1")), UpdateReply::UpToDate);
    EXPECT_EQ(ClassifyUpdateReply(std::string("V 4.0.2")), UpdateReply::NewVersion);
    EXPECT_EQ(ClassifyUpdateReply(std::string("v 4.0.1")), UpdateReply::NewVersion);
    EXPECT_EQ(ClassifyUpdateReply(std::string("V 4.0.1\n")), UpdateReply::NewVersion);
    EXPECT_EQ(ClassifyUpdateReply(std::string("<html>Not Found</html>")), UpdateReply::NewVersion);
    EXPECT_EQ(ClassifyUpdateReply(std::nullopt), UpdateReply::Failed);
}

TEST(UpdateCheck, ANewVersionIsOfferedEvenAtStartUpAndYesAsksForTheUpgradePage) {
    RecordingDialogs dialogs;
    dialogs.answers = {dlg::Yes, dlg::No};
    EXPECT_TRUE(AnswerUpdateReply(std::string("V 4.0.2"), false, dialogs));
    EXPECT_FALSE(AnswerUpdateReply(std::string("v 4.0.1"), true, dialogs));
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].title, "Check For Updates");
    EXPECT_EQ(dialogs.shown[0].caption, "Drivlet");
    EXPECT_EQ(dialogs.shown[0].kind, MessageKind::Information);
    EXPECT_EQ(dialogs.shown[0].text, "New version of Drivlet is available. Would you like to upgrade to new "
                                     "version?\r\nCurrent Version: V 4.0.1\r\nLatest Version: V 4.0.2");
}

TEST(UpdateCheck, UpToDateAndFailuresAreShownFromTheMenuOnly) {
    RecordingDialogs quiet;
    EXPECT_FALSE(AnswerUpdateReply(std::string("V 4.0.1"), false, quiet));
    EXPECT_FALSE(AnswerUpdateReply(std::nullopt, false, quiet));
    EXPECT_TRUE(quiet.shown.empty());

    RecordingDialogs menu;
    EXPECT_FALSE(AnswerUpdateReply(std::string("V 4.0.1"), true, menu));
    EXPECT_FALSE(AnswerUpdateReply(std::nullopt, true, menu));
    ASSERT_EQ(menu.shown.size(), 2u);
    EXPECT_EQ(menu.shown[0].kind, MessageKind::Information);
    EXPECT_NE(menu.shown[0].text.find("V 4.0.1"), std::string::npos);
    EXPECT_EQ(menu.shown[1].text, "Error downloading update data. Please try again later.");
    EXPECT_EQ(menu.shown[1].kind, MessageKind::Error);
}

} // namespace
} // namespace drivlet
