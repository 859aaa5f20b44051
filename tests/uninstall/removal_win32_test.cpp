// The removal's rules and steps on real folders and registry keys of the Wine prefix. Trees that a faulty
// guard could wipe lie on drive Q:, a scratch folder of the prefix (tools/wine-run), never on drive Z:.
#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "lib/textcodec.h"
#include "setup/deletionguard.h"
#include "setup/uninstall/removal.h"
#include "setup/uninstall/uninstall.h"
#include "tests/common/fakefirewall.h"
#include "tests/common/linux_link.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/uninstall_entry.h"

namespace fs = std::filesystem;

namespace {

void Put(const fs::path& file, const std::string& text = "x") {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

} // namespace

TEST(RemovalRules, OnlyTheFileNamePartIsComparedWithWholeProtectedNames) {
    EXPECT_FALSE(IsProtectedFile(STRING("a.exe"), STRING("B.DLL")));
    EXPECT_TRUE(IsProtectedFile(STRING("sub\\b.dll"), STRING("x.txt|B.DLL")));
    EXPECT_TRUE(IsProtectedFile(STRING("sub/b.dll"), STRING("b.dll")));
    EXPECT_FALSE(IsProtectedFile(STRING("sub\\b.dll"), STRING("sub\\b.dll")))
        << "a folder part protects nothing";
    EXPECT_FALSE(IsProtectedFile(STRING("b.dll"), STRING("*.dll"))) << "nor does a wildcard";
    EXPECT_FALSE(IsProtectedFile(STRING("b.dll"), STRING("")));
    // In the program's own code page, whichever that is.
    const STRING lower(TEXTCODEC::FromWide(u"daten\\\u00e4rger.ini").c_str());
    const STRING upper(TEXTCODEC::FromWide(u"\u00c4RGER.INI").c_str());
    EXPECT_TRUE(IsProtectedFile(lower, upper))
        << "letter case beyond ASCII, as the file system compares names";
}

TEST(RemovalRules, VendorAndSystemClassKeys) {
    EXPECT_STREQ(VendorFor(STRING("CorvantideOffice")), "Pelov");
    EXPECT_STREQ(VendorFor(STRING("corvantide")), "Pelov");
    EXPECT_STREQ(VendorFor(STRING("Corvantid")), "Orvik");
    EXPECT_STREQ(VendorFor(STRING("OrvikDemoPad")), "Orvik");
    for (const char* key :
         {"*", "CLSID", "clsid", "Directory", "Folder", "Drive", "AllFilesystemObjects", "Interface",
          "TypeLib", "AppID", "exefile", "lnkfile", "", " ", ".txt\\shell", "Demo/Sub"})
        EXPECT_TRUE(IsSystemClassKey(STRING(key))) << key;
    for (const char* key : {".odemo", "DemoPad.Document"})
        EXPECT_FALSE(IsSystemClassKey(STRING(key))) << key;
}

TEST(RemovalRules, TheProgramGroupIsUsedOnlyInsideAProgramMenu) {
    const STRING user("C:\\users\\jo\\Start Menu\\Programs"), common("C:\\ProgramData\\Start Menu\\Programs");
    PROGRAMGROUP group =
        ProgramGroupFor(STRING("C:\\users\\jo\\Start Menu\\Programs\\Orvik Demo"), user, common);
    EXPECT_STREQ(group.Folder.Text(), "C:\\users\\jo\\Start Menu\\Programs\\Orvik Demo");
    EXPECT_TRUE(group.MayRemoveFolder);
    group = ProgramGroupFor(STRING("c:\\programdata\\start menu\\programs\\Demo"), user, common);
    EXPECT_TRUE(group.MayRemoveFolder);
    // Links straight in the menu: they go, the menu stays.
    group = ProgramGroupFor(user, user, common);
    EXPECT_STREQ(group.Folder.Text(), user.Text());
    EXPECT_FALSE(group.MayRemoveFolder);
    for (const char* elsewhere :
         {"C:\\Windows", "C:\\users\\jo\\Start Menu", "C:\\users\\jo\\Start Menu\\Programs2",
          "C:\\users\\jo\\Start Menu\\Programs\\..\\..\\Desktop", ""})
        EXPECT_TRUE(ProgramGroupFor(STRING(elsewhere), user, common).Folder.IsEmpty()) << elsewhere;
}

TEST(RemovalSteps, RecordedFilesGoProtectedAndForeignOnesStay) {
    SCRATCHFOLDER root("removal_files");
    const fs::path install = root.Path() / "Demo";
    for (const char* file :
         {"a.exe", "sub\\b.dll", "sub\\keep.ini", "%APPDATA%\\x.txt", "~\\y.txt", "gone\\deep\\c.txt"})
        Put(install / file);
    Put(root.Path() / "outside.txt");
    Put(root.Path() / "elsewhere.txt");
    REMOVALRECORD record;
    record.Files =
        (std::string("a.exe|sub\\b.dll||sub\\keep.ini|..\\outside.txt|sub\\..\\..\\outside.txt|") +
         root.File("elsewhere.txt") + "|%APPDATA%\\x.txt|~\\y.txt|missing.txt|gone/deep/c.txt|gone/")
            .c_str();
    record.Protect = "KEEP.INI";

    EXPECT_EQ(RemoveRecordedFiles(STRING(install.string().c_str()), record), 5);
    EXPECT_FALSE(fs::exists(install / "gone")) << "folders emptied by the removal go, the deepest first";
    EXPECT_TRUE(fs::exists(install / "sub")) << "a folder with a protected file stays";
    EXPECT_FALSE(fs::exists(install / "a.exe"));
    EXPECT_FALSE(fs::exists(install / "sub\\b.dll"));
    EXPECT_FALSE(fs::exists(install / "%APPDATA%\\x.txt")) << "a literal name below the install folder";
    EXPECT_TRUE(fs::exists(install / "sub\\keep.ini"));
    EXPECT_TRUE(fs::exists(root.Path() / "outside.txt"));
    EXPECT_TRUE(fs::exists(root.Path() / "elsewhere.txt"));
}

TEST(RemovalSteps, ProgramGroupLinksThenTheEmptyFolderAndDesktopLinks) {
    SCRATCHFOLDER root("removal_links");
    const fs::path group = root.Path() / "Programs" / "Demo";
    for (const char* file : {"Demo.LNK", "Tools\\Sync.LNK", "Web.URL", "Other.LNK"})
        Put(group / file);
    Put(root.Path() / "Desktop" / "Demo.LNK");
    Put(root.Path() / "Desktop" / "Mine.LNK");
    Put(root.Path() / "secret.LNK");

    RemoveProgramGroup(PROGRAMGROUP{STRING(group.string().c_str()), true},
                       STRING("Demo|Tools\\Sync|Web|..\\..\\secret"));
    EXPECT_FALSE(fs::exists(group / "Demo.LNK"));
    EXPECT_FALSE(fs::exists(group / "Tools\\Sync.LNK"));
    EXPECT_FALSE(fs::exists(group / "Web.URL"));
    EXPECT_TRUE(fs::exists(group / "Other.LNK")) << "not recorded";
    EXPECT_TRUE(fs::exists(group)) << "a folder that still holds something stays";
    EXPECT_TRUE(fs::exists(root.Path() / "secret.LNK"));

    EXPECT_FALSE(fs::exists(group / "Tools")) << "the emptied sub-folder of a link";
    fs::remove(group / "Other.LNK");
    RemoveProgramGroup(PROGRAMGROUP{STRING(group.string().c_str()), true}, STRING(""));
    EXPECT_FALSE(fs::exists(group));

    RemoveDesktopLinks(STRING((root.Path() / "Desktop").string().c_str()), STRING("Demo|..\\secret"));
    EXPECT_FALSE(fs::exists(root.Path() / "Desktop" / "Demo.LNK"));
    EXPECT_TRUE(fs::exists(root.Path() / "Desktop" / "Mine.LNK"));
    EXPECT_TRUE(fs::exists(root.Path() / "secret.LNK"));
}

TEST(RemovalSteps, RemoveAllTakesTheProductsOwnFolderAndItsSettings) {
    const SCRATCHFOLDER scratch("removal", "Q:\\");
    const fs::path install = scratch.Path() / "Demo";
    Put(install / "demo.exe");
    Put(install / "mine" / "notes.txt");
    Put(scratch.Path() / "neighbour.txt");
    const std::string key = UniqueName("OrvikRemoveAll");
    HKEY settings = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, ("Software\\Orvik\\" + key).c_str(), &settings),
              ERROR_SUCCESS);
    RegCloseKey(settings);

    RemoveAllData(STRING(key.c_str()), STRING(install.string().c_str()));
    EXPECT_FALSE(fs::exists(install));
    EXPECT_TRUE(fs::exists(scratch.Path() / "neighbour.txt"));
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, ("Software\\Orvik\\" + key).c_str(), 0, KEY_READ, &settings),
              ERROR_SUCCESS);
}

// Installers that wiped their install folder recursively have wiped whole drives and Program Files.
TEST(RemovalSteps, RemoveAllNeverWipesADriveASystemOrUserFolderOrAnotherProduct) {
    const SCRATCHFOLDER scratch("removal", "Q:\\");
    Put(scratch.Path() / "someone else.txt");
    const fs::path other = scratch.Path() / "Other Product";
    Put(other / "other.exe");
    UNINSTALLENTRY otherentry(UniqueName("OrvikOtherProduct"));
    otherentry.Set("UninstallPath", other.string());
    const std::string key = UniqueName("OrvikWipe");

    const STRING drive("Q:\\");
    EXPECT_EQ(DeleteOwnedTree(drive, STRING(key.c_str()), "test"), TREEVERDICT::Root);
    RemoveAllData(STRING(key.c_str()), drive);
    EXPECT_TRUE(fs::exists(scratch.Path() / "someone else.txt"));

    RemoveAllData(STRING(key.c_str()), STRING(scratch.Text().c_str()));
    EXPECT_TRUE(fs::exists(other / "other.exe")) << "another product is installed below it";
    EXPECT_TRUE(fs::exists(scratch.Path() / "someone else.txt"));

    for (int csidl :
         {CSIDL_PROGRAM_FILES, CSIDL_PROFILE, CSIDL_DESKTOPDIRECTORY, CSIDL_APPDATA, CSIDL_WINDOWS}) {
        const std::string folder = ShellFolder(csidl);
        ASSERT_FALSE(folder.empty()) << csidl;
        const fs::path planted = fs::path(folder) / (UniqueName("planted") + ".txt");
        Put(planted);
        EXPECT_EQ(DeleteOwnedTree(STRING(folder.c_str()), STRING(key.c_str()), "test"),
                  TREEVERDICT::Protected)
            << folder;
        RemoveAllData(STRING(key.c_str()), STRING(folder.c_str()));
        EXPECT_TRUE(fs::exists(planted)) << folder;
        fs::remove(planted);
    }
    // The parent of the user's folders holds them.
    EXPECT_EQ(DeleteOwnedTree(STRING(fs::path(ShellFolder(CSIDL_PROFILE)).parent_path().string().c_str()),
                              STRING(key.c_str()), "test"),
              TREEVERDICT::Protected);
}

TEST(RemovalSteps, FileTypesAndFirewallEntriesOfTheProductOnly) {
    const std::string extension = "." + UniqueName("rmt");
    HKEY created = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, (extension + "\\shell\\open").c_str(), &created),
              ERROR_SUCCESS);
    RegCloseKey(created);
    RemoveFileTypes(STRING((extension + "|CLSID|*|" + extension + "\\shell").c_str()));
    EXPECT_NE(RegOpenKeyExA(HKEY_CLASSES_ROOT, extension.c_str(), 0, KEY_READ, &created), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &created), ERROR_SUCCESS);
    RegCloseKey(created);

    FAKEFIREWALL firewall;
    firewall.Put({L"C:\\Apps\\Demo\\demo.exe", L"Demo", true});
    firewall.Put({L"C:\\Apps\\other.exe", L"Other", true});
    firewall.Put({L"C:\\Windows\\explorer.exe", L"Explorer", true});
    RemoveFirewallExceptions(STRING("demo.exe|..\\other.exe|C:\\Windows\\explorer.exe"),
                             STRING("C:\\Apps\\Demo"), firewall);
    EXPECT_EQ(firewall.Find(L"C:\\Apps\\Demo\\demo.exe"), nullptr);
    EXPECT_NE(firewall.Find(L"C:\\Apps\\other.exe"), nullptr);
    EXPECT_NE(firewall.Find(L"C:\\Windows\\explorer.exe"), nullptr);
}

// Of a key that existed before the installation only the value it wrote goes, and only while it still
// holds what was written; the system's keys stay whatever the record says.
TEST(RemovalSteps, FileTypeKeysThatExistedBeforeLoseOnlyTheValuesWritten) {
    const std::string earlier = "." + UniqueName("rmv");
    const std::string changed = "." + UniqueName("rmc");
    for (const std::string& key : {earlier, changed}) {
        HKEY created = nullptr;
        ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, (key + "\\shell").c_str(), &created), ERROR_SUCCESS);
        RegCloseKey(created);
        RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, "Demo.Doc", 8);
    }
    RegSetValueA(HKEY_CLASSES_ROOT, changed.c_str(), REG_SZ, "Other.Doc", 9);
    // The system's key for text files, made for the test where the prefix has none.
    HKEY system = nullptr;
    const bool made = RegOpenKeyExA(HKEY_CLASSES_ROOT, ".txt", 0, KEY_READ, &system) != ERROR_SUCCESS;
    if (made)
        RegSetValueA(HKEY_CLASSES_ROOT, ".txt", REG_SZ, "txtfile", 7);
    else
        RegCloseKey(system);
    const std::string txt = [] {
        char text[256] = {};
        LONG size = sizeof text;
        RegQueryValueA(HKEY_CLASSES_ROOT, ".txt", text, &size);
        return std::string(text);
    }();

    RemoveFileTypes(
        STRING(".txt|txtfile"),
        STRING((earlier + ";Demo.Doc|" + changed + ";Demo.Doc|.txt;" + txt + "|nonsense").c_str()));
    char text[256] = {};
    LONG size = sizeof text;
    EXPECT_EQ(RegQueryValueA(HKEY_CLASSES_ROOT, (earlier + "\\shell").c_str(), text, &size), ERROR_SUCCESS)
        << "the key and what else it holds stay";
    HKEY opened = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, earlier.c_str(), 0, KEY_READ, &opened), ERROR_SUCCESS);
    EXPECT_NE(RegQueryValueExA(opened, nullptr, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    RegCloseKey(opened);
    size = sizeof text;
    ASSERT_EQ(RegQueryValueA(HKEY_CLASSES_ROOT, changed.c_str(), text, &size), ERROR_SUCCESS);
    EXPECT_STREQ(text, "Other.Doc") << "changed since: not the installation's any more";
    size = sizeof text;
    ASSERT_EQ(RegQueryValueA(HKEY_CLASSES_ROOT, ".txt", text, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::string(text), txt);
    for (const std::string& key : {earlier, changed}) {
        RegDeleteKeyA(HKEY_CLASSES_ROOT, (key + "\\shell").c_str());
        RegDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str());
    }
    if (made)
        RegDeleteKeyA(HKEY_CLASSES_ROOT, ".txt");
}

// A recorded name is joined literally, but a link on the way may lead anywhere: what lies behind it is
// never the product's. Wine makes no junction of its own; a link of the Linux side is one to it.
TEST(RemovalSteps, RecordedNamesBehindALinkStay) {
    const SCRATCHFOLDER scratch("removal", "Q:\\");
    const fs::path install = scratch.Path() / "Demo";
    Put(install / "demo.exe");
    Put(scratch.Path() / "Outside" / "readme.txt", "someone else's");
    fs::create_directories(scratch.Path() / "Outside" / "empty");
    const std::string unixscratch = std::string(WINE_DRIVE_Q) + "/" + scratch.Path().filename().string();
    ASSERT_TRUE(
        linuxlink::Make(unixscratch + "/Outside", unixscratch + "/Demo/docs", (install / "docs").string()));
    ASSERT_TRUE(fs::exists(install / "docs" / "readme.txt"));

    REMOVALRECORD record;
    record.Files = STRING("demo.exe|docs\\readme.txt|docs\\empty\\x.txt");
    EXPECT_EQ(RemoveRecordedFiles(STRING(install.string().c_str()), record), 1);
    EXPECT_FALSE(fs::exists(install / "demo.exe"));
    EXPECT_TRUE(fs::exists(scratch.Path() / "Outside" / "readme.txt"));
    EXPECT_TRUE(fs::exists(scratch.Path() / "Outside" / "empty"))
        << "an empty folder behind the link stays too";
    EXPECT_TRUE(linuxlink::Remove(unixscratch + "/Demo/docs", (install / "docs").string()));
}
