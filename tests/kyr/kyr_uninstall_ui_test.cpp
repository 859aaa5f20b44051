// The uninstallation of "KYR6" by the real setup.exe under Wine with remove-all chosen: the version-6 hook
// asks whether the user's data folder goes too, and the answer is kept either way; a folder that holds
// another product is never deleted. The install folder has one language library, so the whole uninstall
// runs in the first process, from the install folder: the program and its library stay there, everything
// else of the folder goes.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "tests/kyr/kyr_session.h"

using namespace kyrtest;

namespace {

const fs::path kInstall = "Q:\\kyrtest\\u\\KYR";
const std::string kEntry = kUninstallBranch + "\\KYR6";

class KyrUninstall : public testing::Test {
protected:
    void SetUp() override {
        ForgetKyr();
        DeleteKey(HKEY_LOCAL_MACHINE, kUninstallBranch + "\\KYRTestOther");
        RemoveTree("Q:\\kyrtest");
        fs::create_directories(kInstall);
        for (const char* file : {"setup.exe", "setupenglish.dll"})
            fs::copy_file(fs::path(ORVIK_SETUP_BIN_DIR) / file, kInstall / file);
        PutFile(kInstall / "kyr.exe", "product");
        PutFile(kInstall / "Userfiles" / "notes.txt", "made by the product");
        SetText(HKEY_LOCAL_MACHINE, kEntry, "UninstallPath", kInstall.string());
        SetText(HKEY_LOCAL_MACHINE, kEntry, "AppName", "KYR");
        SetText(HKEY_LOCAL_MACHINE, kEntry, "UninstallFiles", "kyr.exe");
    }
    void TearDown() override {
        ForgetKyr();
        DeleteKey(HKEY_LOCAL_MACHINE, kUninstallBranch + "\\KYRTestOther");
        RemoveTree("Q:\\kyrtest");
    }

    // The folder the product records as its data folder when it runs.
    static void DataFolder(const fs::path& folder) {
        SetText(HKEY_CURRENT_USER, "Software\\Orvik\\KYR6", "%KYRFILES%", folder.string());
        PutFile(folder / "Options" / "standard.cfg", "Path=\"x\"");
        PutFile(folder / "Script" / "logon.rex", "say hi");
    }

    // Remove-all through the wizard up to the removal; answer answers the question about the data folder
    // (0: no question expected). Returns the question's text.
    std::string RemoveAll(KYRSESSION& setup, int answer) const {
        setup.Process.emplace(uirobot::RobotProcess::start((kInstall / "setup.exe").string(),
                                                           "/LOGIT:Q:\\kyrtest\\run.log -remove \"KYR6\"",
                                                           kInstall.string()));
        const std::string title = Replaced(setup.Msg(2901), "Orvik", "KYR");
        setup.WaitForMessageBox(title).answer(IDYES);
        setup.WaitForMessageBox("Uninst").answer(IDOK);
        setup.Wizard =
            uirobot::WindowFinder(*setup.Process).waitFor(uirobot::WindowQuery::titled(title), kTimeout);
        setup.WaitForPage(2932);
        setup.Next();
        setup.WaitForPage(2934);
        uirobot::RadioButton(setup.Item(402)).select();
        setup.Next();
        setup.WaitForMessageBox(title).answer(IDYES); // everything of the program goes
        std::string text;
        if (answer != 0) {
            const uirobot::MessageBoxWindow question = setup.WaitForMessageBox(title);
            text = question.message();
            setup.Screenshot(question.window(), answer == IDYES ? "user-data-yes" : "user-data-no");
            question.answer(answer);
        }
        EXPECT_TRUE(
            uirobot::waitUntil([&] { return wizardui::Title(setup.Wizard) == setup.Msg(2938); }, kTimeout))
            << wizardui::Title(setup.Wizard);
        EXPECT_TRUE(uirobot::waitUntil([&] { return setup.Wizard.child(IDCANCEL).isEnabled(); }, kTimeout));
        uirobot::Button(setup.Wizard.child(IDCANCEL)).click();
        EXPECT_EQ(setup.Process->exitCode(kTimeout), 0u);
        EXPECT_FALSE(fs::exists(kInstall / "Userfiles")) << "remove-all";
        return text;
    }
};

} // namespace

TEST_F(KyrUninstall, YesDeletesTheUsersDataFolderWithTheProgram) {
    const fs::path data = "Q:\\kyrtest\\u\\KYR6 Files";
    DataFolder(data);
    KYRSESSION setup(false);
    const std::string question = RemoveAll(setup, IDYES);
    EXPECT_NE(question.find(data.string()), std::string::npos) << question;
    EXPECT_NE(question.find("KYR"), std::string::npos) << question;
    EXPECT_EQ(question.find("$PROGRAM"), std::string::npos) << question;
    EXPECT_FALSE(fs::exists(data));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntry));
}

TEST_F(KyrUninstall, NoKeepsTheUsersDataFolderAndRemovesTheProgram) {
    const fs::path data = "Q:\\kyrtest\\u\\KYR6 Files";
    DataFolder(data);
    KYRSESSION setup(false);
    RemoveAll(setup, IDNO);
    EXPECT_EQ(FileText(data / "Options" / "standard.cfg"), "Path=\"x\"");
    EXPECT_EQ(FileText(data / "Script" / "logon.rex"), "say hi");
    // The uninstall wizard's pages pass the hook by without anything to ignore.
    const std::string log = FileText("Q:\\kyrtest\\run.log");
    EXPECT_NE(log.find("SETUP::NewSetupHookKYR"), std::string::npos) << log;
    EXPECT_EQ(log.find("without an installation"), std::string::npos) << log;
}

TEST_F(KyrUninstall, AFolderNotNamedForTheProductIsNotOffered) {
    const fs::path data = "Q:\\kyrtest\\u\\My files";
    DataFolder(data);
    KYRSESSION setup(false);
    RemoveAll(setup, 0);
    EXPECT_EQ(FileText(data / "Script" / "logon.rex"), "say hi");
}

// The recorded folder holds another product's installation: even on Yes it stays, with that product.
TEST_F(KyrUninstall, AFolderHoldingAnotherProductStaysEvenOnYes) {
    const fs::path data = "Q:\\kyrtest\\u\\KYR shared";
    DataFolder(data);
    PutFile(data / "Other" / "other.exe", "other product");
    SetText(HKEY_LOCAL_MACHINE, kUninstallBranch + "\\KYRTestOther", "UninstallPath",
            (data / "Other").string());
    KYRSESSION setup(false);
    RemoveAll(setup, IDYES);
    EXPECT_EQ(FileText(data / "Other" / "other.exe"), "other product");
    EXPECT_EQ(FileText(data / "Script" / "logon.rex"), "say hi");
    EXPECT_NE(FileText("Q:\\kyrtest\\run.log").find("refuses to delete the tree"), std::string::npos);
}

// Unattended, remove-all: no box at all (neither the question nor the local uninstall's notice) and the
// data folder goes, the default answer to the hook's question.
TEST_F(KyrUninstall, UnattendedRemoveAllTakesTheDataFolderWithoutAsking) {
    const fs::path data = "Q:\\kyrtest\\u\\KYR6 Files";
    DataFolder(data);
    uirobot::RobotProcess setup = uirobot::RobotProcess::start(
        (kInstall / "setup.exe").string(),
        "/LOGIT:Q:\\kyrtest\\run.log -remove \"KYR6\" /VERYSILENT /REMOVEALL", kInstall.string());
    const auto code = setup.waitForExit(kTimeout);
    if (!code)
        setup.kill();
    ASSERT_TRUE(code.has_value()) << "setup waits for an answer nobody gives";
    EXPECT_EQ(*code, 0u);
    EXPECT_FALSE(fs::exists(data));
    EXPECT_FALSE(fs::exists(kInstall / "Userfiles"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntry));
    const std::string log = FileText("Q:\\kyrtest\\run.log");
    EXPECT_NE(log.find("-> yes (default)"), std::string::npos) << log;
    EXPECT_NE(log.find("Cannot copy to temp directory. Local uninstall."), std::string::npos) << log;
}
