// The feedback mail dialog as a person uses it: the send-button handler runs under Wine with an uninstall
// entry naming a mail server on a loopback port; the robot reads the dialog, edits the text, sends, answers
// the boxes, and the test reads what the server received.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/common/mailbox.h"
#include "tests/net/scripted_server.h"
#include "tests/robot/uirobot.h"

using namespace uirobot;

namespace {
constexpr int ReceiverId = 1001, SenderId = 1002, SubjectId = 1003, BodyId = 1004, StatusId = 1005;
constexpr int SendId = 1009, CancelId = 2;

std::string CurrentTestName() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

struct LANGUAGE {
    const char* Name;
    const char* Caption; // field 0 of the language library's mail texts
    const char* ConnectTitle;
    const char* SentText;
    const char* Cancel;
    const char* Done;
    const char* ErrorPrefix;
    const char* ErrorStart;
};
const LANGUAGE English = {
    "english", "Send feedback", "Internet Connection", "Your mail has been sent. Thank you!", "Cancel",
    "Done",    "Error: ",       "An error occurred ("};
const LANGUAGE German = {"german",
                         "Feedback senden",
                         "Internet Verbindung",
                         "Die eMail wurde verschickt. Vielen Dank!",
                         "Abbruch",
                         "Fertig",
                         "Fehler: ",
                         "Es ist ein Fehler aufgetreten ("};

// The message box over the dialog: it has the dialog's caption, so it is told apart by its message text.
MessageBoxWindow BoxOver(const RobotProcess& process, const Window& dialog) {
    Window box;
    const bool found = waitUntil([&] {
        for (const Window& window : WindowFinder(process).topLevelWindows())
            if (window.handle() != dialog.handle() && window.text() == dialog.text() && window.child(0xFFFF))
                box = window;
        return static_cast<bool>(box);
    });
    if (!found)
        throw RobotError("no message box over " + dialog.describe());
    return MessageBoxWindow(box);
}

// One run of the handler with an uninstall entry of its own, removed afterwards.
class FeedbackMailDialogTest : public testing::Test {
protected:
    FeedbackMailDialogTest() : Key("OrvikFeedbackTest" + std::to_string(GetCurrentProcessId())) {
        Result = (std::filesystem::temp_directory_path() / (Key + ".txt")).string();
    }
    ~FeedbackMailDialogTest() override {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE,
                      ("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + Key).c_str());
        std::filesystem::remove(Result);
    }

    void WriteEntry(const std::string& version, const std::string& uninstallemail) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                                  ("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + Key).c_str(),
                                  0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
        RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                       static_cast<DWORD>(version.size() + 1));
        RegSetValueExA(key, "UninstallEmail", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(uninstallemail.c_str()),
                       static_cast<DWORD>(uninstallemail.size() + 1));
        RegCloseKey(key);
    }

    RobotProcess Start(const LANGUAGE& language, const std::string& comment) {
        return RobotProcess::start(ownDirectory() + "feedback_mail_dialog.exe",
                                   std::string(language.Name) + " " + Key + " DemoPad \"" + comment +
                                       "\" \"" + Result + "\"");
    }

    void Screenshot(const Window& window, const std::string& name) const {
        ScreenshotFolder folder(std::string(ROBOT_SCREENSHOT_ROOT) + "/" + CurrentTestName());
        EXPECT_TRUE(std::filesystem::exists(folder.save(captureWindow(window), name)));
    }

    std::string ResultText() const {
        std::ifstream file(Result);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    // Types the text into the body, sends, and answers the connection box.
    void TypeAndSend(const RobotProcess& process, const Window& dialog, const LANGUAGE& language,
                     const std::string& body, bool expectconnectbox) {
        Edit(dialog.child(BodyId)).type(body);
        Button(dialog.child(SendId)).click();
        if (expectconnectbox) {
            MessageBoxWindow box = MessageBoxWindow::waitFor(WindowFinder(process), language.ConnectTitle);
            Screenshot(box.window(), "connect");
            box.answer(IDOK);
        }
    }

    void SendsTheMail(const LANGUAGE& language) {
        const std::string token = MAILBOX::UniqueToken();
        WriteEntry("2.4", "feedback@loopback.test;" + MAILBOX::Server("plain"));
        RobotProcess process = Start(language, "The page's comment");
        Window dialog = WindowFinder(process).waitFor(WindowQuery::titled(language.Caption));
        process.waitForIdle();
        EXPECT_EQ("feedback@loopback.test", dialog.child(ReceiverId).text());
        EXPECT_EQ("anonymous@loopback.test", dialog.child(SenderId).text());
        EXPECT_EQ("DemoPad V2.4 uninstall", dialog.child(SubjectId).text());
        EXPECT_EQ("The page's comment", dialog.child(BodyId).text());
        EXPECT_EQ(language.Cancel, dialog.child(CancelId).text());
        Screenshot(dialog, "dialog");

        TypeAndSend(process, dialog, language, "Too many menus. " + token, true);
        MessageBoxWindow sent = BoxOver(process, dialog);
        EXPECT_NE(std::string::npos, sent.message().find(language.SentText)) << sent.message();
        Screenshot(sent.window(), "sent");
        sent.answer(IDOK);
        EXPECT_TRUE(waitUntil([&] { return dialog.child(CancelId).text() == language.Done; }));
        EXPECT_EQ(language.SentText, dialog.child(StatusId).text());
        EXPECT_FALSE(dialog.child(SendId).isEnabled()) << "a sent mail cannot be sent twice";
        Screenshot(dialog, "done");
        Button(dialog.child(CancelId)).click();
        EXPECT_EQ(1u, process.exitCode());
        EXPECT_EQ("sent=1\n", ResultText());

        const auto received = MAILBOX::Find(token);
        ASSERT_EQ(1u, received.size());
        EXPECT_EQ("DemoPad V2.4 uninstall", received[0].Header("Subject"));
        EXPECT_EQ("anonymous@loopback.test", received[0].From);
        EXPECT_EQ(std::vector<std::string>{"feedback@loopback.test"}, received[0].To);
        EXPECT_EQ("Too many menus. " + token + "\r\n\r\n\r\n", received[0].Body());
    }

    std::string Key;
    std::string Result;
    DisplayLock Display;
};
} // namespace

TEST_F(FeedbackMailDialogTest, SendsTheMailInEnglish) {
    SendsTheMail(English);
}

TEST_F(FeedbackMailDialogTest, SendsTheMailInGerman) {
    SendsTheMail(German);
}

TEST_F(FeedbackMailDialogTest, AServerRefusalShowsTheErrorBoxAndLetsTheUserTryAgain) {
    SCRIPTEDSERVER server([](SCRIPTEDSERVER& peer) {
        peer.AcceptEnvelope();
        peer.HearUntil(".");
        peer.Say("554 5.7.1 no feedback today\r\n");
        peer.Hear();
    });
    WriteEntry("2.4", "feedback@loopback.test;" + server.Address());
    RobotProcess process = Start(English, "comment");
    Window dialog = WindowFinder(process).waitFor(WindowQuery::titled(English.Caption));
    process.waitForIdle();
    TypeAndSend(process, dialog, English, "It did not work for me.", true);
    MessageBoxWindow error = BoxOver(process, dialog);
    EXPECT_NE(std::string::npos, error.message().find("An error occurred (554 5.7.1 no feedback today)!"))
        << error.message();
    Screenshot(error.window(), "error");
    error.answer(IDOK);
    EXPECT_TRUE(waitUntil([&] { return dialog.child(CancelId).text() == English.Done; }));
    EXPECT_EQ("Error: 554 5.7.1 no feedback today", dialog.child(StatusId).text());
    EXPECT_TRUE(dialog.child(SendId).isEnabled()) << "the user may try again";
    Screenshot(dialog, "after error");
    Button(dialog.child(CancelId)).click();
    EXPECT_EQ(0u, process.exitCode());
    EXPECT_EQ("sent=0\n", ResultText());
}

TEST_F(FeedbackMailDialogTest, ABodyOfThreeCharactersIsNotSent) {
    SCRIPTEDSERVER server([](SCRIPTEDSERVER& peer) { peer.Say("220 ready\r\n"); });
    WriteEntry("", "feedback@loopback.test;" + server.Address());
    RobotProcess process = Start(German, "x");
    Window dialog = WindowFinder(process).waitFor(WindowQuery::titled(German.Caption));
    process.waitForIdle();
    EXPECT_EQ("DemoPad V0.00 uninstall", dialog.child(SubjectId).text());
    TypeAndSend(process, dialog, German, "abc", false);
    EXPECT_TRUE(waitUntil([&] { return dialog.child(CancelId).text() == German.Done; }));
    EXPECT_FALSE(dialog.child(SendId).isEnabled());
    EXPECT_EQ("", dialog.child(StatusId).text());
    Screenshot(dialog, "three characters");
    Button(dialog.child(CancelId)).click();
    EXPECT_EQ(0u, process.exitCode());
    server.Finish();
    EXPECT_FALSE(server.Accepted()) << "a connection was made for three characters";
}
