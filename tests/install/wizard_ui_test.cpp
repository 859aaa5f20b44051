// The install wizard under Wine as a person uses it: a package folder with setup.cfg, the product archive and
// the language libraries, the setup program started in it, its pages read and its buttons clicked by the UI
// robot, with screenshots of the pages.
#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/common/small_drive.h"
#include "tests/common/wizard_helpers.h"
#include "tests/common/ziparchive.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/uninstall_entry.h"
#include "tests/robot/uirobot.h"

using namespace uirobot;
using wizardui::PageItem;
using wizardui::Subtitle;
using wizardui::Title;

namespace {

constexpr Milliseconds kPageTimeout{20000};
const char* const kCaption = "Testapp Setup"; // message 2900 with "Orvik" replaced by the AppName
const char* const kProgram = "install_harness.exe";

std::string CurrentTestName() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

// A text of the English language library.
std::string Msg(int id) {
    const std::string library = std::string(ORVIK_SETUP_BIN_DIR) + "/setupenglish.dll";
    HMODULE module = LoadLibraryExA(library.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    char text[512] = {};
    const int length = module ? LoadStringA(module, static_cast<UINT>(id), text, sizeof text) : 0;
    if (module)
        FreeLibrary(module);
    return std::string(text, static_cast<size_t>(length > 0 ? length : 0));
}

std::string Replaced(std::string text, const std::string& placeholder, const std::string& by) {
    for (size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + by.size()))
        text.replace(at, placeholder.size(), by);
    return text;
}

// The words of a text: message boxes reflow their text, so it is compared word by word.
std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    return std::vector<std::string>(std::istream_iterator<std::string>(in), {});
}

// A backslash in a setup.cfg value is written twice.
std::string CfgPath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return Replaced(path, "\\", "\\\\");
}

class InstallWizard : public testing::Test {
protected:
    void SetUp() override {
        for (const char* file : {"setupenglish.dll", "setupgerman.dll"})
            std::filesystem::copy_file(std::filesystem::path(ORVIK_SETUP_BIN_DIR) / file,
                                       Package.Path() / file);
        std::filesystem::copy_file(INSTALL_HARNESS, Package.Path() / kProgram);
        std::filesystem::copy_file(std::filesystem::path(ORVIK_TEST_DATA_DIR) / "zip/edge/basic.zip",
                                   Package.Path() / "setup.fil");
    }

    // setup.cfg of a small product installed into Destination; extra lines follow the common ones.
    void WriteConfig(const std::string& extra = "") const {
        Package.Write("setup.cfg", "AppName=Testapp\r\n"
                                   "AppVersion=5.9\r\n"
                                   "IniKey=" +
                                       Entry.Name +
                                       "\r\n"
                                       "InstallPath=*" +
                                       CfgPath(Destination.Text()) +
                                       "\r\n"
                                       "StartmenuName=" +
                                       Entry.Name +
                                       "\r\n"
                                       "NoCopyComplete=1\r\n" +
                                       extra);
    }

    RobotProcess Start(const std::string& switches = "") const {
        return RobotProcess::start(Package.File(kProgram),
                                   "/LOGIT:" + Package.File("run.log") + " " + switches, Package.Text());
    }

    Window WaitForWizard(const RobotProcess& process) const {
        return WindowFinder(process).waitFor(WindowQuery::titled(kCaption), kPageTimeout);
    }

    // Waits until the header shows the title message of a page (up to a placeholder in it).
    static void WaitForPage(const Window& wizard, int titlemessage) {
        wizardui::WaitForPage(wizard, Msg(titlemessage), kPageTimeout);
    }

    static void Next(const Window& wizard) { Button(wizard.child(149)).click(); }
    static void Back(const Window& wizard) { Button(wizard.child(148)).click(); }

    void Screenshot(const Window& window, const std::string& name) const {
        ScreenshotFolder folder(std::string(INSTALL_SCREENSHOT_ROOT) + "/" + CurrentTestName());
        const std::string file = folder.save(captureWindow(window), name);
        EXPECT_TRUE(std::filesystem::exists(file)) << file;
    }

    // Licence page: accept and go on.
    void AcceptLicence(const Window& wizard) const {
        WaitForPage(wizard, 2904);
        CheckBox(PageItem(wizard, 301)).setChecked(true);
        ASSERT_TRUE(waitUntil([&] { return wizard.child(149).isEnabled(); }));
        Next(wizard);
    }

    // Waits for the wizard and walks it to the destination page.
    Window OpenAtDestination(const RobotProcess& process) const {
        const Window wizard = WaitForWizard(process);
        WaitForPage(wizard, 2912);
        Next(wizard);
        AcceptLicence(wizard);
        WaitForPage(wizard, 2902);
        return wizard;
    }

    // The question asked on Cancel: a box titled like the wizard, but not the wizard.
    static MessageBoxWindow Confirmation(const Window& wizard, const RobotProcess& process) {
        Window box;
        waitUntil([&] {
            for (const Window& window : WindowFinder(process).topLevelWindows())
                if (window != wizard && window.className() == "#32770" && window.text() == kCaption)
                    box = window;
            return static_cast<bool>(box);
        });
        if (!box)
            throw RobotError("no confirmation box over the wizard");
        return MessageBoxWindow(box);
    }

    // Cancel, then No to "continue setup?": the wizard ends.
    static void Quit(const Window& wizard, const RobotProcess& process) {
        Button(wizard.child(IDCANCEL)).click();
        const MessageBoxWindow question = Confirmation(wizard, process);
        EXPECT_EQ(Replaced(question.message(), "\r", "\n"), Msg(2987));
        question.answer("No");
    }

    std::string Log() const {
        std::ifstream in(Package.Path() / "run.log", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    DisplayLock Display; // one robot session on the screen at a time
    SCRATCHFOLDER Package{"install_package"};
    SCRATCHFOLDER Destination{"install_destination"};
    UNINSTALLENTRY Entry{UniqueName("OrvikInstallUi")};
};

} // namespace

TEST_F(InstallWizard, WithoutSetupCfgTheUserIsToldAndNothingIsInstalled) {
    RobotProcess process = Start();
    const MessageBoxWindow box = MessageBoxWindow::waitFor(WindowFinder(process), Msg(2900), kPageTimeout);
    EXPECT_EQ(Replaced(box.message(), "\r", "\n"), Replaced(Msg(2985), "\r", "\n"));
    Screenshot(box.window(), "error-2985");
    box.answer("OK");
    EXPECT_EQ(process.exitCode(kPageTimeout), 1u); // could not start
    EXPECT_FALSE(Entry.KeyExists());
}

TEST_F(InstallWizard, AConfigurationOfRandomBytesIsUnreadableLikeAMissingOne) {
    // A damaged download: bytes without a single key of the configuration (some lines do look like keys).
    std::string noise = "Zq3=\x01\r\n\xff\xfe=x\r\n";
    uint32_t state = 12345;
    for (int i = 0; i < 4096; ++i) {
        state = state * 1103515245u + 12345u;
        noise += static_cast<char>(state >> 24);
    }
    Package.Write("setup.cfg", noise);
    RobotProcess process = Start();
    const MessageBoxWindow box = MessageBoxWindow::waitFor(WindowFinder(process), Msg(2900), kPageTimeout);
    EXPECT_EQ(Replaced(box.message(), "\r", "\n"), Replaced(Msg(2985), "\r", "\n"));
    box.answer("OK");
    EXPECT_EQ(process.exitCode(kPageTimeout), 1u); // could not start
    EXPECT_EQ(Log().find("SETUPDIALOGBOX"), std::string::npos) << "no wizard at all";
    EXPECT_FALSE(Destination.Exists("docs/guide.txt"));
}

TEST_F(InstallWizard, FoldersOfWindowsAndOfTheUserAreRefusedAsDestination) {
    WriteConfig();
    RobotProcess process = Start();
    const Window wizard = OpenAtDestination(process);

    char profile[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, profile)));
    char desktop[MAX_PATH] = {};
    ASSERT_TRUE(
        SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop)));
    for (const std::string& refused : {std::string("C:\\Program Files\\"), std::string("c:\\WINDOWS"),
                                       std::string(profile), std::string(desktop)}) {
        Edit(PageItem(wizard, 201)).type(refused);
        Next(wizard);
        const MessageBoxWindow box =
            MessageBoxWindow::waitFor(WindowFinder(process), Msg(2900), kPageTimeout);
        std::string folder = refused;
        if (folder.back() == '\\')
            folder.pop_back();
        EXPECT_EQ(Words(box.message()), Words(Replaced(Msg(3016), "$DIR", folder)))
            << "the box reflows the text";
        if (refused == "C:\\Program Files\\")
            Screenshot(box.window(), "refused-destination");
        box.answer("OK");
        WaitForPage(wizard, 2902);
    }
    // A folder of its own below any of them is fine.
    Edit(PageItem(wizard, 201)).type(Destination.Text());
    Next(wizard);
    WaitForPage(wizard, 2916);
    EXPECT_TRUE(Destination.Exists("docs/guide.txt"));
    Quit(wizard, process);
    EXPECT_EQ(process.exitCode(kPageTimeout), 5u); // left after copying: incomplete
    EXPECT_NE(Log().find("SETUP::DestinationPage c:\\WINDOWS refused"), std::string::npos);
}

TEST_F(InstallWizard, ANewInstallationWalksEveryPageAndEndsWithTheCompletionMessage) {
    Package.Write("advert.cfg", "Url=https://example.invalid/more\r\n"
                                "Product=Bigapp\r\n"
                                "Teaser1=\r\n"
                                "Teaser2=Second teaser\r\n"
                                "Description=Plain description\r\n"
                                "Description.eng=English description\r\n"
                                "Description.ger=Deutsche Beschreibung\r\n");
    WriteConfig("WelcomeMsg=Plain welcome\r\n"
                "WelcomeMsg.eng=English welcome\\nsecond line\r\n"
                "WelcomeMsg.ger=Deutscher Gruss\r\n"
                "Advertise=advert.cfg\r\n"
                "FinishMsg=All \r\nFinishMsg_1=done.\r\nFinishMsg_0=is \r\n"
                "DeleteAfterExtract=readme.txt\r\n");
    RobotProcess process = Start();
    const Window wizard = WaitForWizard(process);

    // Welcome: the product in the title, the first line of this language's message, only "new" offered.
    WaitForPage(wizard, 2912);
    EXPECT_EQ(Title(wizard), Msg(2912) + "Testapp 5.9");
    EXPECT_EQ(Subtitle(wizard), "English welcome");
    EXPECT_TRUE(RadioButton(PageItem(wizard, 401)).isSelected());
    EXPECT_FALSE(PageItem(wizard, 402).isEnabled());
    EXPECT_FALSE(PageItem(wizard, 403).isEnabled());
    EXPECT_FALSE(wizard.child(148).isVisible()) << "no Back on the first page";
    Screenshot(wizard, "1-welcome");
    Next(wizard);

    // Licence: the built-in text naming the product; Next only while the licence is accepted.
    WaitForPage(wizard, 2904);
    const std::string licence = PageItem(wizard, 201).text();
    EXPECT_NE(licence.find("Testapp 5.9"), std::string::npos);
    EXPECT_EQ(licence.find("$PROGRAM"), std::string::npos);
    EXPECT_FALSE(wizard.child(149).isEnabled());
    CheckBox accept(PageItem(wizard, 301));
    accept.setChecked(true);
    EXPECT_TRUE(waitUntil([&] { return wizard.child(149).isEnabled(); }));
    accept.setChecked(false);
    EXPECT_TRUE(waitUntil([&] { return !wizard.child(149).isEnabled(); }));
    accept.setChecked(true);
    Screenshot(wizard, "2-licence");
    Next(wizard);

    // Destination: a bare drive typed and left with Back comes back as a folder on that drive.
    WaitForPage(wizard, 2902);
    Edit folder(PageItem(wizard, 201));
    EXPECT_EQ(folder.text(), Destination.Text());
    EXPECT_TRUE(PageItem(wizard, 101).isEnabled());
    folder.type("Q:\\");
    Back(wizard);
    AcceptLicence(wizard);
    WaitForPage(wizard, 2902);
    EXPECT_EQ(Edit(PageItem(wizard, 201)).text(), "Q:\\Testapp");
    Edit(PageItem(wizard, 201)).type(Destination.Text() + "\\");
    Screenshot(wizard, "3-destination");
    Next(wizard);

    // Copy runs by itself; shortcuts: none in the start menu.
    WaitForPage(wizard, 2916);
    RadioButton(PageItem(wizard, 403)).select();
    Next(wizard);

    // Advertisement: texts of the advertisement file in this language, fallbacks from the page template.
    WaitForPage(wizard, 2914);
    EXPECT_EQ(Title(wizard), Replaced(Msg(2914), "$PROG", "Testapp"));
    EXPECT_EQ(Subtitle(wizard), Replaced(Msg(2915), "$PROG", "Bigapp"));
    EXPECT_EQ(PageItem(wizard, 650).text(), "Get more out of Testapp");
    EXPECT_EQ(PageItem(wizard, 651).text(), "Second teaser");
    EXPECT_EQ(PageItem(wizard, 201).text(), "English description");
    EXPECT_EQ(PageItem(wizard, 101).text(), "https://example.invalid/more");
    Screenshot(wizard, "4-advertisement");
    Next(wizard);

    // Finish: only the relabelled Cancel button; the continued finish message.
    WaitForPage(wizard, 2918);
    EXPECT_EQ(Subtitle(wizard), Replaced(Msg(2919), "$PROG", "Testapp"));
    EXPECT_EQ(PageItem(wizard, 651).text(), "All is done.");
    EXPECT_FALSE(wizard.child(149).isVisible());
    EXPECT_FALSE(wizard.child(148).isVisible());
    EXPECT_EQ(wizard.child(IDCANCEL).text(), Msg(3000));
    Screenshot(wizard, "5-finish");
    Button(wizard.child(IDCANCEL)).click();

    const MessageBoxWindow done = MessageBoxWindow::waitFor(WindowFinder(process), Msg(2900) + " Testapp");
    EXPECT_EQ(done.message(), Replaced(Msg(2994), "$PROGRAM", "Testapp"));
    Screenshot(done.window(), "6-complete");
    done.answer("OK");
    EXPECT_EQ(process.exitCode(kPageTimeout), 0u);

    EXPECT_TRUE(Destination.Exists("docs/guide.txt")) << "the product was copied into the chosen folder";
    EXPECT_FALSE(Destination.Exists("readme.txt")) << "DeleteAfterExtract";
}

TEST_F(InstallWizard, AnOlderInstalledVersionIsUpdatedInItsFolder) {
    SCRATCHFOLDER earlier("install_earlier");
    Entry.Set("UninstallPath", earlier.Text());
    Entry.Set("DisplayVersion", "5.10"); // sorts before "5.9" as text
    WriteConfig();
    RobotProcess process = Start("/DIR:\"" + Destination.Text() + "\\elsewhere\""); // an update ignores it
    const Window wizard = WaitForWizard(process);

    WaitForPage(wizard, 2912);
    EXPECT_TRUE(RadioButton(PageItem(wizard, 403)).isSelected());
    EXPECT_FALSE(PageItem(wizard, 402).isEnabled());
    EXPECT_TRUE(PageItem(wizard, 403).isEnabled());
    EXPECT_TRUE(PageItem(wizard, 401).isEnabled());
    Screenshot(wizard, "1-welcome-update");
    Next(wizard);

    AcceptLicence(wizard); // an update shows the licence
    WaitForPage(wizard, 2902);
    EXPECT_EQ(PageItem(wizard, 201).text(), earlier.Text());
    EXPECT_FALSE(PageItem(wizard, 201).isEnabled());
    EXPECT_FALSE(PageItem(wizard, 101).isEnabled());
    Screenshot(wizard, "2-destination-locked");
    Quit(wizard, process);
    EXPECT_EQ(process.exitCode(kPageTimeout), 2u); // cancelled before copying
}

TEST_F(InstallWizard, TheDirSwitchProposesTheDestination) {
    WriteConfig();
    const std::string chosen = Destination.Text() + "\\Chosen Folder";
    RobotProcess process = Start("-DIR \"" + chosen + "\""); // a value with blanks follows the switch
    const Window wizard = OpenAtDestination(process);
    EXPECT_EQ(PageItem(wizard, 201).text(), chosen);
    EXPECT_TRUE(PageItem(wizard, 201).isEnabled()) << "the user may still change it";
    Quit(wizard, process);
    EXPECT_EQ(process.exitCode(kPageTimeout), 2u);
}

TEST_F(InstallWizard, TheSameVersionAgainSkipsTheLicenceBothWays) {
    Entry.Set("UninstallPath", Destination.Text());
    Entry.Set("DisplayVersion", "5.9");
    WriteConfig();
    RobotProcess process = Start();
    const Window wizard = WaitForWizard(process);

    WaitForPage(wizard, 2912);
    EXPECT_TRUE(RadioButton(PageItem(wizard, 402)).isSelected());
    EXPECT_TRUE(PageItem(wizard, 402).isEnabled());
    EXPECT_FALSE(PageItem(wizard, 403).isEnabled());
    Screenshot(wizard, "1-welcome-reinstall");
    Next(wizard);

    WaitForPage(wizard, 2902); // straight to the destination
    EXPECT_FALSE(PageItem(wizard, 201).isEnabled());
    Back(wizard);
    WaitForPage(wizard, 2912); // and straight back
    EXPECT_TRUE(RadioButton(PageItem(wizard, 402)).isSelected());

    // Cancel asks; Yes stays on the page.
    Button(wizard.child(IDCANCEL)).click();
    Confirmation(wizard, process).answer("Yes");
    WaitForPage(wizard, 2912);
    Quit(wizard, process);
    EXPECT_EQ(process.exitCode(kPageTimeout), 2u); // cancelled before copying

    const std::string log = Log();
    EXPECT_NE(log.find("SETUPDIALOGBOX::RunSteps step 1 id 2 result -1"), std::string::npos) << log;
}

TEST_F(InstallWizard, ACancelledWizardStillDeletesTheFilesNamedForDeletion) {
    Destination.Write("unpack.tmp", "left by an earlier run");
    Destination.Write("keep.txt", "kept");
    WriteConfig("DeleteAfterExtract=unpack.tmp|\r\n");
    RobotProcess process = Start();
    const Window wizard = WaitForWizard(process);
    WaitForPage(wizard, 2912);
    Quit(wizard, process);
    // No completion message: the program ends by itself.
    EXPECT_EQ(process.exitCode(kPageTimeout), 2u); // cancelled before copying
    EXPECT_FALSE(Destination.Exists("unpack.tmp"));
    EXPECT_TRUE(Destination.Exists("keep.txt"));
}

TEST_F(InstallWizard, ADatedWelcomeWarningIsShownUntilItsDay) {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    char today[16];
    snprintf(today, sizeof today, "%04d-%02d-%02d", now.wYear, now.wMonth, now.wDay);
    WriteConfig(std::string("WelcomeWarning=ShowOnly=<") + today + "\\nThe offer ends today.\r\n");
    RobotProcess process = Start();

    const MessageBoxWindow warning =
        MessageBoxWindow::waitFor(WindowFinder(process), "Testapp", kPageTimeout);
    EXPECT_EQ(warning.message(), "The offer ends today.");
    Screenshot(warning.window(), "warning");
    warning.answer("OK");
    const Window wizard = WaitForWizard(process);
    WaitForPage(wizard, 2912);
    Quit(wizard, process);
    EXPECT_EQ(process.exitCode(kPageTimeout), 2u); // cancelled before copying
}

TEST_F(InstallWizard, NoFinalPopupEndsWithoutTheCompletionMessage) {
    WriteConfig("NoFinalPopup=1\r\n");
    Package.Write("LICENSE.TXT", "Own licence of $PROGRAM\nfrom the package\n");
    RobotProcess process = Start();
    const Window wizard = WaitForWizard(process);
    WaitForPage(wizard, 2912);
    Next(wizard);
    WaitForPage(wizard, 2904);
    EXPECT_EQ(PageItem(wizard, 201).text(), "Own licence of Testapp 5.9\r\nfrom the package\r\n");
    AcceptLicence(wizard);
    WaitForPage(wizard, 2902);
    Next(wizard);
    WaitForPage(wizard, 2916);
    RadioButton(PageItem(wizard, 403)).select();
    Next(wizard);
    WaitForPage(wizard, 2918); // no advertisement file: that page skips itself
    Button(wizard.child(IDCANCEL)).click();
    EXPECT_EQ(process.exitCode(kPageTimeout), 0u);
    EXPECT_TRUE(Destination.Exists("readme.txt"));
}

TEST_F(InstallWizard, ADriveWithoutEnoughSpaceIsRefusedWithBothFiguresAndOneJustLargeEnoughIsTaken) {
    REQUIRE_SMALL_DRIVE();
    constexpr uint64_t MB = 1024 * 1024;
    constexpr uint64_t CLUSTER = 4096;
    ASSERT_TRUE(testzip::WriteZip(Package.File("setup.fil"),
                                  {{"data/", ""},
                                   {"data/big.bin", std::string(3 * MB - 2 * CLUSTER - 100, 'b')},
                                   {"small.txt", "one cluster"}}));
    WriteConfig();
    // Needed: 3 MB in whole clusters, the copy's journal one of them (the folder takes none). Free: one
    // cluster less.
    smalldrive::FILLER filler(3 * MB - CLUSTER);
    RobotProcess process = Start();
    const Window wizard = OpenAtDestination(process);
    Edit(PageItem(wizard, 201)).type("R:\\");
    Next(wizard);

    const MessageBoxWindow box = MessageBoxWindow::waitFor(WindowFinder(process), Msg(2900), kPageTimeout);
    std::string expected = Replaced(Msg(3017), "$PROGRAM", "Testapp");
    expected = Replaced(expected, "$DIR", "R:\\Testapp"); // a bare drive gets a folder of the product
    expected = Replaced(Replaced(expected, "$NEED", "3"), "$FREE", "2");
    EXPECT_EQ(Words(box.message()), Words(expected)) << "the box reflows the text";
    Screenshot(box.window(), "not-enough-space");
    box.answer("OK");
    WaitForPage(wizard, 2902);
    EXPECT_FALSE(std::filesystem::exists("R:\\Testapp")) << "nothing is copied before the space suffices";

    // The user frees one cluster: exactly enough.
    filler.Shorten(CLUSTER);
    Next(wizard);
    WaitForPage(wizard, 2916);
    EXPECT_EQ(std::filesystem::file_size("R:\\Testapp\\data\\big.bin"), 3 * MB - 2 * CLUSTER - 100);
    EXPECT_TRUE(std::filesystem::exists("R:\\Testapp\\small.txt"));
    Quit(wizard, process);
    EXPECT_EQ(process.exitCode(kPageTimeout), 5u); // left after copying: incomplete

    const std::string log = Log();
    EXPECT_NE(
        log.find("SETUP::DestinationPage space on R:\\: 3145728 bytes needed (3141632 written, 0 replaced, 4096 "
                 "journal), 3141632 free, cluster 4096"),
        std::string::npos)
        << log;
    smalldrive::Clear();
}

TEST_F(InstallWizard, AnUpdateCountsTheFilesItReplacesAsSpaceItGetsBack) {
    REQUIRE_SMALL_DRIVE();
    constexpr uint64_t MB = 1024 * 1024;
    ASSERT_TRUE(testzip::WriteZip(Package.File("setup.fil"), {{"big.bin", std::string(4 * MB, 'n')}}));
    // The earlier version on R: holds a big.bin of 3 MB: the update needs 1 MB more, not 4.
    std::filesystem::create_directories("R:\\Earlier");
    std::ofstream("R:\\Earlier\\big.bin", std::ios::binary) << std::string(3 * MB, 'o');
    Entry.Set("UninstallPath", "R:\\Earlier");
    Entry.Set("DisplayVersion", "5.1");
    WriteConfig();
    smalldrive::FILLER filler(2 * MB); // less than the new file, more than what it adds
    RobotProcess process = Start();
    const Window wizard = WaitForWizard(process);
    WaitForPage(wizard, 2912);
    EXPECT_TRUE(RadioButton(PageItem(wizard, 403)).isSelected());
    Next(wizard);
    AcceptLicence(wizard);
    WaitForPage(wizard, 2902);
    Next(wizard);
    WaitForPage(wizard, 2916);
    std::ifstream updated("R:\\Earlier\\big.bin", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(updated), {}), std::string(4 * MB, 'n'));
    Quit(wizard, process);
    EXPECT_EQ(process.exitCode(kPageTimeout), 5u); // left after copying: incomplete
    EXPECT_NE(Log().find("4194304 written, 3145728 replaced"), std::string::npos) << Log();
    smalldrive::Clear();
}

// What a deployment tool reads from the exit code: a missing prerequisite, and a package that turns out to be
// damaged while copying, each with the message the user saw.
TEST_F(InstallWizard, ExitCodesTellAMissingPrerequisiteAndADamagedPackageApart) {
    WriteConfig("ActiveSyncInstall=1\r\n"); // the device manager is not installed here
    {
        RobotProcess process = Start();
        const MessageBoxWindow box =
            MessageBoxWindow::waitFor(WindowFinder(process), Msg(2900), kPageTimeout);
        EXPECT_EQ(Words(box.message()), Words(Msg(2983)));
        box.answer("OK");
        EXPECT_EQ(process.exitCode(kPageTimeout), 3u) << "prerequisite missing";
    }

    WriteConfig();
    ASSERT_TRUE(
        testzip::WriteZip(Package.File("setup.fil"),
                          {{"first.txt", "1"}, {"broken.txt", "the bytes of this member get damaged"}}));
    std::ifstream in(Package.Path() / "setup.fil", std::ios::binary);
    std::string archive((std::istreambuf_iterator<char>(in)), {});
    in.close();
    archive[archive.find("the bytes of this member") + 4] ^= 0x20; // stored data: the CRC no longer matches
    Package.Write("setup.fil", archive);

    RobotProcess process = Start();
    const Window wizard = OpenAtDestination(process);
    Next(wizard);
    const MessageBoxWindow damaged =
        MessageBoxWindow::waitFor(WindowFinder(process), Msg(2900), kPageTimeout);
    EXPECT_EQ(Words(damaged.message()), Words(Replaced(Msg(3015), "$FILE", "broken.txt")));
    damaged.answer("OK");
    // The page says the package is damaged and offers only to close Setup: going back cannot mend it.
    ASSERT_TRUE(waitUntil([&] { return wizard.child(IDCANCEL).text() == Msg(3041); }, kPageTimeout))
        << "Cancel becomes Close";
    EXPECT_EQ(PageItem(wizard, 201).text(), Msg(3040));
    EXPECT_FALSE(wizard.child(148).isEnabled());
    EXPECT_FALSE(wizard.child(149).isEnabled());
    Screenshot(wizard, "damaged-package");
    Button(wizard.child(IDCANCEL)).click();
    EXPECT_EQ(process.exitCode(kPageTimeout), 4u) << "copying failed, and no question before closing";
    EXPECT_FALSE(Destination.Exists("first.txt")) << "the copy is undone";
}

// A person in a hurry: on every page Cancel, Escape, Alt+F4 and the close box, each twice, ask once (Yes
// stays; before the copy nothing is installed), and every Next and Finish is double-clicked: each page is
// reached once and none is skipped, also past the destination page's space check.
TEST_F(InstallWizard, AHurriedHandReachesEachPageOnceAndEveryWayOfCancellingAsksOnce) {
    Package.Write("advert.cfg", "Url=https://example.invalid/more\r\nProduct=Bigapp\r\n");
    WriteConfig("Advertise=advert.cfg\r\n");
    RobotProcess process = Start("/NOASSERT");
    const Window wizard = WaitForWizard(process);
    std::vector<std::string> expected;
    const std::pair<int, int> pages[] = {{2912, 1}, {2904, 2}, {2902, 3}, {2916, 5}, {2914, 6}};
    for (const auto& [page, id] : pages) {
        WaitForPage(wizard, page);
        const std::string step = std::to_string(id - 1) + " id " + std::to_string(id);
        wizardui::CancelEveryWay(
            WindowFinder(process), wizard,
            [&](const MessageBoxWindow& question) {
                EXPECT_EQ(Replaced(question.message(), "\r", "\n"), Msg(2987));
                question.answer("Yes");
                expected.push_back(step + " result 0");
            },
            kPageTimeout);
        WaitForPage(wizard, page);
        EXPECT_EQ(Destination.Exists("docs/guide.txt"), id > 3) << "copied only by the copy step";
        Screenshot(wizard, std::to_string(page));
        if (page == 2904)
            CheckBox(PageItem(wizard, 301)).setChecked(true);
        wizardui::PressTwice(wizard.child(149));
        expected.push_back(step + " result 149");
        if (id == 3)
            expected.push_back("3 id 4 result 149"); // the copy moves on by itself
    }
    WaitForPage(wizard, 2918);
    wizardui::PressTwice(wizard.child(IDCANCEL));
    expected.push_back("6 id 7 result 0");
    MessageBoxWindow::waitFor(WindowFinder(process), Msg(2900) + " Testapp").answer("OK");
    EXPECT_EQ(process.exitCode(kPageTimeout), 0u);

    const std::string log = Log();
    EXPECT_EQ(wizardui::StepsRun(log), expected) << log;
    EXPECT_EQ(log.find("ASSERTION FAILED"), std::string::npos) << log;
    EXPECT_NE(log.find("press of 149 dropped"), std::string::npos) << "the second clicks came " << log;
}
