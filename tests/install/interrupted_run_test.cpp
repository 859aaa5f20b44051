// setup.exe ended without warning in the middle of its work, as at a power cut or "End task": the test
// build's kill point ends it at a chosen place of a first installation, of an update over an earlier
// version or of an uninstall. The next run (the same installation again, or the uninstall) must first put
// the machine back and then do what it was asked: afterwards the destination, the uninstall entry and the
// file types are byte for byte what an uninterrupted run leaves, the service stand-in was started again
// after it had been stopped, and after an uninstall nothing of the product and no backup is left.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/common/ziparchive.h"
#include "tests/robot/uirobot.h"
#include "tests/common/setup_folder.h"
#include "tests/common/stubcalls.h"

namespace {

namespace fs = std::filesystem;
using namespace uirobot;
using CALLS = std::vector<std::vector<std::string>>;

constexpr const char* KEY = "OrvikKillPointTest";
const std::string ENTRY = std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + KEY;
// The file types' keys under HKEY_CLASSES_ROOT.
const std::vector<std::string> FILETYPE_KEYS = {".orvkill",
                                                "OrvikKill.Document",
                                                "OrvikKill.Document\\DefaultIcon",
                                                "OrvikKill.Document\\Shell\\open\\command",
                                                ".orvkilln",
                                                "OrvikKill.Note",
                                                "OrvikKill.Note\\DefaultIcon",
                                                "OrvikKill.Note\\Shell\\open\\command"};
const std::string DESTINATION = "Q:\\killpoints-" + std::to_string(GetCurrentProcessId()) + "\\Kill Test";
constexpr unsigned KILLED = 0xDEAD;
constexpr Milliseconds RUN_TIMEOUT{60000};
// The killed update stopped the service, the recovery started it, the next run stopped and started it.
const CALLS TWICE = {{"/STOP"}, {"/START"}, {"/STOP"}, {"/START"}};

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A large member, so that the process can end in the middle of writing it.
std::string Large(char seed) {
    std::string data(3 << 20, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(seed + i * 7 + (i >> 12));
    return data;
}

std::vector<testzip::MEMBER> Members(int version) {
    const std::string v = std::to_string(version);
    std::vector<testzip::MEMBER> members = {{"app.exe", "app " + v},
                                            {"docs/", ""},
                                            {"docs/readme.txt", "readme of version " + v},
                                            {"big.dat", Large(static_cast<char>('a' + version))}};
    for (const char* name : {"data/a.txt", "data/b.txt", "data/c.txt", "data/d.txt"})
        members.push_back({name, std::string(name) + " " + v});
    members.push_back({version == 1 ? "lib/old.dll" : "lib/sub/new.dll", "library " + v});
    // Last: the removal stops it and deletes it after the rest.
    members.push_back({"service.exe", ReadAll(fs::path(ORVIK_STUBS_DIR) / "service.exe")});
    return members;
}

std::string Config(int version) {
    const std::string v = std::to_string(version);
    return "AppName=KillTest\nAppVersion=" + v + ".0\nIniKey=" + KEY + "\nStartmenuName=Kill Test " + v +
           "\nUninstallIcon=app.exe\nFileTypes=.orvkill;OrvikKill.Document=Kill test document " + v +
           ";app.exe \"%1\";app.exe,1|.orvkilln;OrvikKill.Note=Kill test note " + v +
           ";app.exe /note \"%1\";app.exe,2;{textedit}\n";
}

// What the tests compare: the destination's files and folders with their bytes (the stand-in's record
// apart), the uninstall entry's values and the file types' default values.
struct MACHINE {
    std::vector<std::string> Tree;
    std::vector<std::string> Entry;
    std::vector<std::string> FileTypes;
    bool operator==(const MACHINE& other) const {
        return Tree == other.Tree && Entry == other.Entry && FileTypes == other.FileTypes;
    }
};

std::ostream& operator<<(std::ostream& out, const MACHINE& machine) {
    for (const auto* lines : {&machine.Tree, &machine.Entry, &machine.FileTypes})
        for (const std::string& line : *lines)
            out << "\n  " << line.substr(0, 120);
    return out;
}

std::vector<std::string> TreeOf(const fs::path& root) {
    std::vector<std::string> entries;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); it != fs::recursive_directory_iterator();
         it.increment(error)) {
        const std::string name = fs::relative(it->path(), root).generic_string();
        if (name == "service.calls")
            continue;
        const DWORD attributes = GetFileAttributesW(it->path().wstring().c_str());
        entries.push_back(it->is_directory() ? name + "/"
                                             : name + " attributes=" + std::to_string(attributes) +
                                                   " bytes=" + ReadAll(it->path()));
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::vector<std::string> ValuesOf(HKEY root, const std::string& path) {
    std::vector<std::string> values;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {path + " <no key>"};
    for (DWORD i = 0;; ++i) {
        char name[256] = {};
        BYTE data[8192] = {};
        DWORD namelength = sizeof name, datalength = sizeof data, type = 0;
        if (RegEnumValueA(key, i, name, &namelength, nullptr, &type, data, &datalength) != ERROR_SUCCESS)
            break;
        values.push_back(path + " " + name + " type=" + std::to_string(type) + " " +
                         std::string(reinterpret_cast<char*>(data), datalength));
    }
    RegCloseKey(key);
    std::sort(values.begin(), values.end());
    return values;
}

MACHINE Now() {
    MACHINE machine{TreeOf(DESTINATION), ValuesOf(HKEY_LOCAL_MACHINE, ENTRY), {}};
    for (const std::string& key : FILETYPE_KEYS)
        for (const std::string& value : ValuesOf(HKEY_CLASSES_ROOT, key))
            machine.FileTypes.push_back(value);
    return machine;
}

void CleanMachine() {
    std::error_code ignored;
    const fs::path root = fs::path(DESTINATION).parent_path();
    for (const auto& entry : fs::recursive_directory_iterator(root, ignored))
        SetFileAttributesW(entry.path().wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(root, ignored);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, ENTRY.c_str());
    for (const char* key : {".orvkill", "OrvikKill.Document", ".orvkilln", "OrvikKill.Note"})
        RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
}

// The backup folders in the destination, each with its journal's presence.
std::vector<std::string> BackupFolders() {
    std::vector<std::string> folders;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(DESTINATION, ignored))
        if (entry.path().filename().string().rfind(".setup-backup-", 0) == 0)
            folders.push_back(entry.path().filename().string() +
                              (fs::exists(entry.path() / "setup.journal") ? " with journal" : ""));
    return folders;
}

// At the instant the process ended, each name of the earlier version held its whole earlier file or the
// whole new one (a member that replaces a file is written beside its name); a name new to the destination
// held nothing or the beginning of its new file, which the journal knows as the run's.
testing::AssertionResult NamesHoldWholeFiles(bool update) {
    std::map<std::string, std::string> earlier, later;
    for (const testzip::MEMBER& member : Members(1))
        if (update)
            earlier[member.Name] = member.Data;
    for (const testzip::MEMBER& member : Members(2))
        later[member.Name] = member.Data;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(DESTINATION, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        const std::string name = fs::relative(it->path(), DESTINATION).generic_string();
        if (name.rfind(".setup-backup-", 0) == 0 || it->is_directory() || name == "service.calls" ||
            (name.size() > 11 && name.substr(name.size() - 11) == ".setup-part"))
            continue;
        const std::string bytes = ReadAll(it->path());
        const bool whole = (earlier.count(name) && bytes == earlier[name]) || bytes == later[name];
        const bool begun = !earlier.count(name) && later[name].compare(0, bytes.size(), bytes) == 0;
        if (!whole && !begun)
            return testing::AssertionFailure() << name << " holds a part or something else";
    }
    for (const auto& [name, data] : earlier)
        if (name.back() != '/' && !fs::exists(fs::path(DESTINATION) / name))
            return testing::AssertionFailure() << name << " of the earlier version has gone";
    return testing::AssertionSuccess();
}

enum class RUN { FirstInstall, Update, Uninstall };

struct KILLCASE {
    const char* Name;
    RUN Killed;        // the run that ends at the point
    const char* Point; // ORVIK_KILLPOINT
    RUN Next;          // the run after it: the same installation again, or the uninstall
    CALLS Service;     // the service stand-in's starts at the end, oldest first
};

void PrintTo(const KILLCASE& test, std::ostream* out) {
    *out << test.Name;
}

class InterruptedRun : public testing::TestWithParam<KILLCASE> {
protected:
    void SetUp() override { CleanMachine(); }
    void TearDown() override { CleanMachine(); }

    // A package folder of the given version: setup.exe, its languages, setup.cfg and setup.fil.
    static void MakePackage(const SETUPFOLDER& package, int version) {
        package.Write("setup.cfg", Config(version));
        ASSERT_TRUE(testzip::WriteZip(package.File("setup.fil"), Members(version)));
    }

    // Runs setup.exe of the package with the arguments and, when point is given, that kill point.
    static DWORD Run(const SETUPFOLDER& package, const std::string& arguments, const char* point = nullptr) {
        SetEnvironmentVariableA("ORVIK_KILLPOINT", point);
        RobotProcess setup = RobotProcess::start(package.Program(),
                                                 arguments + " \"/LOGIT:" + package.File("setup.log") + "\"",
                                                 package.Path.string());
        SetEnvironmentVariableA("ORVIK_KILLPOINT", nullptr);
        return setup.exitCode(RUN_TIMEOUT);
    }
    static DWORD Install(const SETUPFOLDER& package, const char* point = nullptr) {
        return Run(package, "/VERYSILENT /SHORTCUTS:NONE /NODESKTOPICON \"/DIR:" + DESTINATION + "\"", point);
    }
    static DWORD Uninstall(const SETUPFOLDER& package, const char* point = nullptr) {
        return Run(package, std::string("-remove \"") + KEY + "\" /VERYSILENT", point);
    }

    // The earlier version as an uninterrupted run installs it; its service's starts forgotten.
    void InstallEarlierVersion() {
        MakePackage(Earlier, 1);
        ASSERT_EQ(Install(Earlier), 0u) << Earlier.Read("setup.log");
        fs::remove(fs::path(DESTINATION) / "service.calls");
    }

    // The machine after an uninterrupted run of the version 2 installation, from a clean machine or over
    // the earlier version: measured once for each.
    MACHINE Expected(bool update) {
        static std::map<bool, MACHINE> measured;
        if (!measured.count(update)) {
            CleanMachine();
            if (update)
                InstallEarlierVersion();
            EXPECT_EQ(Install(Package), 0u) << Package.Read("setup.log");
            measured[update] = Now();
            CleanMachine();
        }
        return measured[update];
    }

    SETUPFOLDER Earlier{{"setupenglish.dll"}};
    SETUPFOLDER Package{{"setupenglish.dll"}};
};

} // namespace

TEST_P(InterruptedRun, TheNextRunPutsTheMachineBackThenDoesWhatItWasAsked) {
    const KILLCASE& test = GetParam();
    MakePackage(Package, 2);
    const bool update = test.Killed == RUN::Update;
    const MACHINE expected = Expected(update);
    ASSERT_FALSE(expected.Tree.empty());
    if (update)
        InstallEarlierVersion();
    if (test.Killed == RUN::Uninstall) {
        ASSERT_EQ(Install(Package), 0u);
        // A backup folder an older setup left behind without a record of its names.
        fs::create_directories(fs::path(DESTINATION) / ".setup-backup-1");
        std::ofstream(fs::path(DESTINATION) / ".setup-backup-1" / "1") << "an unknown file";
    }
    const std::string service = DESTINATION + "\\service.exe";

    if (test.Killed == RUN::Uninstall) {
        Uninstall(Package, test.Point); // the first pass reports its final pass's end
        EXPECT_NE(ValuesOf(HKEY_LOCAL_MACHINE, ENTRY).front(), ENTRY + " <no key>") << "ended before its end";
    } else {
        EXPECT_EQ(Install(Package, test.Point), KILLED) << Package.Read("setup.log");
        EXPECT_EQ(BackupFolders().size(), 1u) << "the interrupted run's journal";
        EXPECT_NE(BackupFolders().front().find("with journal"), std::string::npos);
        EXPECT_TRUE(NamesHoldWholeFiles(update));
    }

    if (test.Next == RUN::Uninstall) {
        EXPECT_EQ(Uninstall(Package), 0u) << Package.Read("setup.log");
        // Nothing of the product: no file or folder but the stand-in's record, no entry, no file type.
        std::vector<std::string> left = TreeOf(DESTINATION);
        EXPECT_EQ(left, std::vector<std::string>{}) << Package.Read("setup.log");
        EXPECT_EQ(Now().Entry, std::vector<std::string>{ENTRY + " <no key>"});
        for (const std::string& key : FILETYPE_KEYS)
            EXPECT_EQ(ValuesOf(HKEY_CLASSES_ROOT, key), std::vector<std::string>{key + " <no key>"});
    } else {
        EXPECT_EQ(Install(Package), 0u) << Package.Read("setup.log");
        EXPECT_EQ(Now(), expected) << Package.Read("setup.log");
        EXPECT_NE(Package.Read("setup.log").find("SETUP::Recovery an interrupted run of"), std::string::npos);
    }
    EXPECT_EQ(BackupFolders(), std::vector<std::string>{});
    EXPECT_EQ(stubcalls::Arguments(service), test.Service);
}

INSTANTIATE_TEST_SUITE_P(
    KillPoints, InterruptedRun,
    testing::Values(
        // A first installation: what it wrote goes again, and the next run installs from a clean start.
        KILLCASE{"FirstAfterOneMember", RUN::FirstInstall, "member:1", RUN::FirstInstall, {}},
        KILLCASE{"FirstAfterFiveMembers", RUN::FirstInstall, "member:5", RUN::FirstInstall, {}},
        KILLCASE{"FirstInTheLargeMember", RUN::FirstInstall, "write:1000000", RUN::FirstInstall, {}},
        KILLCASE{"FirstAfterAFileType", RUN::FirstInstall, "filetype:1", RUN::FirstInstall, {}},
        KILLCASE{"FirstAfterTheEntry", RUN::FirstInstall, "entry", RUN::FirstInstall, {}},
        // An update: the earlier version and its service come back first.
        KILLCASE{"UpdateAfterTheServiceStopped", RUN::Update, "service", RUN::Update, TWICE},
        KILLCASE{"UpdateBetweenBackupAndWrite", RUN::Update, "backup:1", RUN::Update, TWICE},
        KILLCASE{"UpdateInTheLargeMember", RUN::Update, "write:1000000", RUN::Update, TWICE},
        KILLCASE{"UpdateAfterSixMembers", RUN::Update, "member:6", RUN::Update, TWICE},
        KILLCASE{"UpdateAfterAFileType", RUN::Update, "filetype:1", RUN::Update, TWICE},
        KILLCASE{"UpdateAfterTheEntry", RUN::Update, "entry", RUN::Update, TWICE},
        // Completed, its backups being deleted: the next run finishes that and updates again.
        KILLCASE{"UpdateWhileItsBackupsGo", RUN::Update, "commit:2", RUN::Update, TWICE},
        // The uninstall's first pass puts the earlier version back, then removes it.
        KILLCASE{"UpdateThenUninstall",
                 RUN::Update,
                 "backup:3",
                 RUN::Uninstall,
                 {{"/STOP"}, {"/START"}, {"/STOP"}, {"/UNINSTALL"}}},
        // An uninstall ended in the middle of the removal: the next one removes the rest.
        KILLCASE{"UninstallDuringTheRemoval",
                 RUN::Uninstall,
                 "removal:3",
                 RUN::Uninstall,
                 {{"/STOP"}, {"/UNINSTALL"}, {"/STOP"}, {"/UNINSTALL"}}}),
    [](const testing::TestParamInfo<KILLCASE>& info) { return std::string(info.param.Name); });

namespace {

class InterruptedRunWizard : public InterruptedRun {};

} // namespace

// The wizard started after an interrupted first installation says in one sentence, before its first page,
// that the interrupted run was undone; by then the destination holds nothing of it.
TEST_F(InterruptedRunWizard, SaysInOneSentenceThatTheInterruptedRunWasUndone) {
    MakePackage(Package, 2);
    std::string destination; // a backslash is written twice in setup.cfg
    for (char c : DESTINATION)
        destination += c == '\\' ? std::string("\\\\") : std::string(1, c);
    Package.Write("setup.cfg", Config(2) + "InstallPath=*" + destination + "\n");
    ASSERT_EQ(Install(Package, "member:4"), KILLED);
    ASSERT_EQ(BackupFolders().size(), 1u);

    const DisplayLock display;
    RobotProcess wizard = RobotProcess::start(
        Package.Program(), "\"/LOGIT:" + Package.File("wizard.log") + "\"", Package.Path.string());
    const std::string library = Package.File("setupenglish.dll");
    std::string caption = LibraryString(library, 2900);
    caption.replace(caption.find("Orvik"), 5, "KillTest");
    const MessageBoxWindow box = MessageBoxWindow::waitFor(WindowFinder(wizard), caption, RUN_TIMEOUT);
    std::string sentence = LibraryString(library, 3044);
    sentence.replace(sentence.find("$PROGRAM"), 8, "KillTest");
    EXPECT_EQ(box.message(), sentence);
    ScreenshotFolder(std::string(INSTALL_SCREENSHOT_ROOT) + "/InterruptedRunWizard")
        .save(captureWindow(box.window()), "interrupted-run-undone");
    // Told after the work: nothing of the interrupted run is left.
    EXPECT_EQ(TreeOf(DESTINATION), std::vector<std::string>{});
    EXPECT_EQ(BackupFolders(), std::vector<std::string>{});
    box.answer("OK");
    wizard.kill(); // the wizard's own pages are not this test's
}
