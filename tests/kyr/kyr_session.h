// A KYR package and the real setup.exe run on it under Wine, driven by the UI robot: the package folder
// (setup.exe, both language libraries, setup.cfg, setup.fil holding the test product "kyr.exe" and a
// "Script" folder), the wizard's pages walked like a person walks them, message boxes answered, screenshots
// kept. Everything the tests install or delete lies on drive Q:.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/common/wizard_helpers.h"
#include "tests/common/ziparchive.h"
#include "tests/kyr/kyr_machine.h"
#include "tests/robot/uirobot.h"
#include "tests/common/setup_folder.h"

namespace kyrtest {

inline constexpr uirobot::Milliseconds kTimeout{30000};

inline std::string CurrentTestName() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

inline std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// A setup.cfg value: a backslash is written twice.
inline std::string CfgPath(const std::string& path) {
    return Replaced(path, "\\", "\\\\");
}

class KYRSESSION {
public:
    // german: the wizard runs with /LANG:GER and its texts come from the German library.
    explicit KYRSESSION(bool german) : German(german) {}

    // setup.cfg of KYR version into destination, with inikey as the uninstall entry.
    void Package(const std::string& version, const std::string& inikey,
                 const std::string& destination) const {
        Folder.Write("setup.cfg", "AppName=KYR\r\nAppVersion=" + version + "\r\nIniKey=" + inikey +
                                      "\r\nInstallPath=*" + CfgPath(destination) +
                                      "\r\nStartmenuName=KYR Test\r\nNoFinalPopup=1\r\nNoCopyComplete=1\r\n");
        const std::string product = FileText(std::string(ORVIK_STUBS_DIR) + "/kyr.exe");
        ASSERT_GT(product.size(), 1000u) << "the test product kyr.exe was not built";
        ASSERT_TRUE(testzip::WriteZip(Folder.File("setup.fil"), {{"kyr.exe", product},
                                                                 {"Script/", ""},
                                                                 {"Script/logon.rex", "say 'new'"},
                                                                 {"readme.txt", "KYR"}}));
    }

    // The package made, setup started and walked to the destination page.
    void Open(const std::string& version, const std::string& inikey, const std::string& destination) {
        Package(version, inikey, destination);
        Start();
        WalkToDestination();
    }

    void Start() {
        const std::string language = German ? "/LANG:GER " : "";
        Process.emplace(uirobot::RobotProcess::start(
            Folder.Program(), language + "/LOGIT:" + Folder.File("run.log"), Folder.Path.string()));
        Wizard = uirobot::WindowFinder(*Process).waitFor(
            uirobot::WindowQuery::titled(Replaced(Msg(2900), "Orvik", "KYR")), kTimeout);
    }

    // setup.exe run with switches and nobody in front of it; its exit code, or nothing when it did not end.
    std::optional<DWORD> RunUnattended(const std::string& switches) {
        const std::string language = German ? "/LANG:GER " : "";
        Process.emplace(uirobot::RobotProcess::start(
            Folder.Program(), language + "/LOGIT:" + Folder.File("run.log") + " " + switches,
            Folder.Path.string()));
        const auto code = Process->waitForExit(kTimeout);
        if (!code)
            Process->kill();
        return code;
    }

    // A text of the language library as the robot reads window texts: the library's code page 1252 in UTF-8.
    std::string Msg(int id) const {
        const std::string text =
            LibraryString(Folder.File(German ? "setupgerman.dll" : "setupenglish.dll"), id);
        std::wstring wide(text.size(), L'\0');
        wide.resize(
            static_cast<size_t>(MultiByteToWideChar(1252, 0, text.data(), static_cast<int>(text.size()),
                                                    wide.data(), static_cast<int>(wide.size()))));
        return uirobot::toUtf8(wide);
    }

    void WaitForPage(int titlemessage) const { wizardui::WaitForPage(Wizard, Msg(titlemessage), kTimeout); }
    uirobot::Window Item(int id) const { return wizardui::PageItem(Wizard, id); }
    void Next() const { uirobot::Button(Wizard.child(149)).click(); }
    void Back() const { uirobot::Button(Wizard.child(148)).click(); }

    void Screenshot(const uirobot::Window& window, const std::string& name) const {
        uirobot::ScreenshotFolder folder(std::string(KYR_SCREENSHOT_ROOT) + "/" + CurrentTestName());
        EXPECT_TRUE(fs::exists(folder.save(uirobot::captureWindow(window), name)));
    }

    // A message box of setup titled title; the wizard, titled the same in the uninstaller, is no message box.
    uirobot::MessageBoxWindow WaitForMessageBox(const std::string& title) const {
        uirobot::Window found;
        const bool there = uirobot::waitUntil(
            [&] {
                for (const uirobot::Window& window : uirobot::WindowFinder(*Process).topLevelWindows())
                    if (window.className() == "#32770" && window.text() == title &&
                        GetDlgItem(window.handle(), 0xFFFF)) {
                        found = window;
                        return true;
                    }
                return false;
            },
            kTimeout);
        if (!there)
            throw uirobot::RobotError("no message box titled '" + title + "'");
        return uirobot::MessageBoxWindow(found);
    }

    // Welcome, licence and destination; returns on the destination page.
    void WalkToDestination() const {
        WaitForPage(2912);
        Next();
        WaitForPage(2904);
        uirobot::CheckBox(Item(301)).setChecked(true);
        ASSERT_TRUE(uirobot::waitUntil([&] { return Wizard.child(149).isEnabled(); }));
        Next();
        WaitForPage(2902);
    }

    // From the destination page over the copy to the shortcut page, where shortcut (401 the user's start
    // menu, 402 all users', 403 none) is chosen.
    void CopyAndChooseShortcuts(int shortcut) const {
        Next();
        WaitForPage(2916);
        uirobot::RadioButton(Item(shortcut)).select();
        Next();
    }

    // The finish page closed; setup ends.
    void Finish() const {
        WaitForPage(2918);
        uirobot::Button(Wizard.child(IDCANCEL)).click();
        EXPECT_EQ(Process->exitCode(kTimeout), 0u);
    }

    std::string Log() const { return Folder.Read("run.log"); }

    bool German;
    uirobot::DisplayLock Display;
    SETUPFOLDER Folder;
    std::optional<uirobot::RobotProcess> Process;
    uirobot::Window Wizard;
};

} // namespace kyrtest
