// The folders of the system, of the users and of other products under every spelling an administrator may
// type or an uninstall entry may record: the real setup.exe under Wine installs into none of them and its
// remove-all deletes none of them, while the product's own folder goes with everything in it. Trees that a
// faulty guard could wipe lie on the scratch drive Q:; files planted in protected folders of the prefix must
// survive.
#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/e2e/demo_session.h"
#include "tests/common/linux_link.h"
#include "tests/e2e/installed_system.h"
#include "tests/robot/uirobot.h"
#include "tests/common/setup_folder.h"

using namespace uirobot;
using namespace e2e;

namespace {

constexpr Milliseconds kRunTimeout{60000};

void Put(const std::string& file, const std::string& text = "planted") {
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

// A name no other test run uses at the same time.
std::string UniqueName(const std::string& prefix) {
    static int counter = 0;
    return prefix + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
}

// A file planted in a protected folder for one test, removed afterwards if it survived.
struct PLANTED {
    explicit PLANTED(const std::string& folder) : File(folder + "\\" + UniqueName("planted") + ".txt") {
        Put(File);
    }
    ~PLANTED() { std::filesystem::remove(File); }
    std::string File;
};

// An uninstall entry of the machine in its 64-bit view or its 32-bit one (WOW6432Node), removed
// afterwards.
struct ENTRY {
    explicit ENTRY(std::string name, REGSAM view = KEY_WOW64_64KEY)
        : Name(std::move(name)), Path("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + Name),
          View(view) {}
    ~ENTRY() { RegDeleteKeyExA(HKEY_LOCAL_MACHINE, Path.c_str(), View, 0); }
    void Set(const char* value, const std::string& text) const {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, Path.c_str(), 0, nullptr, 0, KEY_WRITE | View, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return;
        RegSetValueExA(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
        RegCloseKey(key);
    }
    bool KeyExists() const {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Path.c_str(), 0, KEY_READ | View, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
    std::string Name;
    std::string Path;
    REGSAM View;
};

class GuardedFolders : public testing::Test {
protected:
    void SetUp() override {
        for (const auto& file : std::filesystem::directory_iterator(DEMO_PACKAGE_DIR))
            std::filesystem::copy_file(file.path(), Package.Path / file.path().filename(),
                                       std::filesystem::copy_options::overwrite_existing);
        Scratch = "Q:\\guarded_" + std::to_string(GetCurrentProcessId());
        RemoveTree(Scratch);
        RemoveDemoPad();
    }
    void TearDown() override {
        RemoveDemoPad();
        RemoveTree(Scratch);
    }

    DWORD Run(const std::string& arguments) const {
        RobotProcess setup = RobotProcess::start(
            Package.Program(), arguments + " /LOGIT:" + Package.File("setup.log"), Package.Path.string());
        const DWORD code = setup.exitCode(kRunTimeout);
        Log += Package.Read("setup.log");
        return code;
    }
    // Remove-all without a person of the entry recording folder as the product's.
    DWORD RemoveAll(const ENTRY& entry, const std::string& folder) const {
        entry.Set("UninstallPath", folder);
        entry.Set("AppName", "Guarded");
        entry.Set("UninstallFiles", "");
        return Run("-remove \"" + entry.Name + "\" /VERYSILENT /REMOVEALL");
    }

    SETUPFOLDER Package;
    std::string Scratch;
    mutable std::string Log;
};

// A sample of the spellings: the unit tests judge every form, this run shows that the program uses the
// judgement for "/DIR:" and stops before it copies anything.
TEST_F(GuardedFolders, AnUnattendedInstallIntoAProtectedFolderIsRefusedAndCopiesNothing) {
    const std::string programfiles = ShellFolder(CSIDL_PROGRAM_FILES);
    const std::string windows = ShellFolder(CSIDL_WINDOWS);
    const std::string system = ShellFolder(CSIDL_SYSTEM);
    ASSERT_EQ(programfiles.substr(0, 3), "C:\\");
    std::string forward = programfiles;
    for (char& c : forward)
        c = c == '\\' ? '/' : c;
    const struct {
        std::string Typed;
        std::string Folder; // where the files would land
    } spellings[] = {
        {programfiles, programfiles},
        {programfiles + "\\.", programfiles},
        {forward, programfiles},
        {programfiles + ".", programfiles},
        {programfiles + " ", programfiles},
        {"\\\\?\\" + programfiles, programfiles},
        {"\\\\localhost\\C$" + programfiles.substr(2), programfiles},
        {Upper(windows.substr(0, 3)) + windows.substr(3) + "\\.\\" + Upper(system.substr(windows.size() + 1)),
         system},
        {system + "\\drivers", system + "\\drivers"},
        {"C:\\users\\Public", "C:\\users\\Public"},
        {ShellFolder(CSIDL_COMMON_APPDATA), ShellFolder(CSIDL_COMMON_APPDATA)},
    };
    for (const auto& spelling : spellings) {
        EXPECT_EQ(Run("/VERYSILENT \"/DIR:" + spelling.Typed + "\""), 12u) << spelling.Typed; // refused
        EXPECT_FALSE(Exists(spelling.Folder + "\\demoapp.exe")) << spelling.Typed;
        EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey)) << spelling.Typed;
    }
    EXPECT_NE(Log.find("refused"), std::string::npos) << Log;
    // The product's own folder below the same folders is a destination like any other.
    ASSERT_EQ(Run("/VERYSILENT \"/DIR:" + Scratch + "\\Apps\\.\\DemoPad.\""), 0u) << Log;
    EXPECT_TRUE(Exists(Scratch + "\\Apps\\DemoPad\\demoapp.exe"));
}

TEST_F(GuardedFolders, RemoveAllOfAnEntryRecordingAProtectedFolderDeletesNothing) {
    const std::string programfiles = ShellFolder(CSIDL_PROGRAM_FILES);
    const std::string system = ShellFolder(CSIDL_SYSTEM);
    const std::string commondata = ShellFolder(CSIDL_COMMON_APPDATA);
    std::filesystem::create_directories(system + "\\drivers");
    const struct {
        std::string Recorded;
        std::string Planted;
    } entries[] = {
        {programfiles, programfiles},
        {programfiles + ".", programfiles},
        {"\\\\?\\" + programfiles + "\\", programfiles},
        {"\\\\127.0.0.1\\c$" + programfiles.substr(2), programfiles},
        {system + "\\drivers", system + "\\drivers"},
        {"C:\\users\\.\\Public", "C:\\users\\Public"},
        {commondata + " ", commondata},
    };
    for (const auto& entry : entries) {
        const PLANTED planted(entry.Planted);
        ENTRY record(UniqueName("OrvikGuarded"));
        EXPECT_EQ(RemoveAll(record, entry.Recorded), 8u) << entry.Recorded << ": the folder stays";
        EXPECT_TRUE(Exists(planted.File)) << entry.Recorded;
        EXPECT_FALSE(record.KeyExists()) << "the entry itself goes";
    }
}

TEST_F(GuardedFolders, RemoveAllTakesTheProductsDotFoldersButNeverWhatALinkInItPointsTo) {
    const std::string product = Scratch + "\\Product";
    const std::string outside = Scratch + "\\Outside";
    Put(product + "\\app.exe", "product");
    Put(product + "\\.config\\settings.ini", "the product's own");
    Put(product + "\\.cache\\deep\\x.bin", "the product's own");
    Put(outside + "\\planted.txt");
    // Wine makes no junction (FSCTL_SET_REPARSE_POINT) nor symbolic link of its own; a link of the Linux
    // side is what it reports as a reparse point.
    const std::string unixscratch =
        std::string(WINE_DRIVE_Q) + "/guarded_" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(linuxlink::Make(unixscratch + "/Outside", unixscratch + "/Product/link", product + "\\link"));

    ENTRY record(UniqueName("OrvikGuarded"));
    const DWORD code = RemoveAll(record, product);
    EXPECT_TRUE(Exists(outside + "\\planted.txt")) << "a link is never entered";
    EXPECT_FALSE(Exists(product + "\\.config")) << Log;
    EXPECT_FALSE(Exists(product + "\\.cache"));
    EXPECT_FALSE(Exists(product + "\\app.exe"));
    // Windows removes a junction as a link; Wine cannot remove a link of the Linux side without reaching
    // its target, so there the link stays, and so does its folder: the removal is incomplete.
    if (Exists(product + "\\link")) {
        EXPECT_EQ(code, 8u);
        EXPECT_TRUE(linuxlink::Remove(unixscratch + "/Product/link", product + "\\link"));
    } else {
        EXPECT_EQ(code, 0u);
    }
}

TEST_F(GuardedFolders, RemoveAllKeepsAFolderHoldingAProductOfThe32BitView) {
    const std::string product = Scratch + "\\Product";
    Put(product + "\\app.exe", "product");
    Put(product + "\\Plugin32\\plugin.dll", "another product's");
    ENTRY other(UniqueName("OrvikGuarded32"), KEY_WOW64_32KEY);
    other.Set("DisplayName", "Plugin32");
    other.Set("UninstallString", "\"" + product + "\\Plugin32\\uninstall.exe\" /S");

    ENTRY record(UniqueName("OrvikGuarded"));
    EXPECT_EQ(RemoveAll(record, "\\\\?\\" + product), 8u);
    EXPECT_TRUE(Exists(product + "\\Plugin32\\plugin.dll")) << Log;
    EXPECT_NE(Log.find("another product is installed there"), std::string::npos) << Log;
}

} // namespace

namespace {

std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string DefaultValue(const std::string& key) {
    return RegistryText(HKEY_CLASSES_ROOT, key);
}

void SetClassValue(const std::string& key, const char* name, const std::string& text) {
    HKEY opened = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, key.c_str(), &opened), ERROR_SUCCESS);
    RegSetValueExA(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(opened);
}

} // namespace

// A package that names a type of the system gets it refused; a key of the product's that another program
// made first keeps what is not the installation's when the product goes.
TEST_F(GuardedFolders, FileTypesOfTheSystemAreRefusedAndKeysThatExistedBeforeStay) {
    std::string config = ReadAll(Package.Path / "setup.cfg");
    const size_t line = config.find("FileTypes=");
    ASSERT_NE(line, std::string::npos);
    config.insert(config.find('\n', line), "|.txt;txtfile=Hijacked;demoapp.exe \"%1\";demoapp.exe,1");
    std::ofstream(Package.Path / "setup.cfg", std::ios::binary) << config;
    const std::string txt = DefaultValue(".txt");
    const std::string txtfile = DefaultValue("txtfile");
    SetClassValue(".odnote", "", "Other.Note");
    SetClassValue(".odnote", "Owner", "another program");

    ASSERT_EQ(Run("/VERYSILENT \"/DIR:" + Scratch + "\\DemoPad\""), 0u) << Log;
    EXPECT_EQ(DefaultValue(".txt"), txt);
    EXPECT_EQ(DefaultValue("txtfile"), txtfile);
    EXPECT_NE(Log.find("refused: a file type of the system"), std::string::npos);
    EXPECT_EQ(DefaultValue(".odnote"), "DemoPad.Note");
    const std::string recorded = RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallRootClasses");
    EXPECT_EQ(recorded.find(".odnote"), std::string::npos) << recorded;
    EXPECT_EQ(recorded.find(".txt"), std::string::npos) << recorded;

    const std::string quiet = RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString");
    ASSERT_EQ(quiet.front(), '"');
    const size_t end = quiet.find('"', 1);
    RobotProcess uninstall =
        RobotProcess::start(quiet.substr(1, end - 1), quiet.substr(end + 2), Package.Path.string());
    EXPECT_EQ(uninstall.exitCode(kRunTimeout), 0u);
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, ".odemo")) << "created by the installation";
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, "DemoPad.Note"));
    ASSERT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, ".odnote")) << "it was there before";
    EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, ".odnote", "Owner"), "another program");
    EXPECT_EQ(DefaultValue(".odnote"), "<absent>") << "the value the installation wrote goes";
    EXPECT_EQ(DefaultValue(".txt"), txt);
}
