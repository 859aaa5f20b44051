// The canonical form of a path and the guard's verdicts, on a disk of the test's own: the folders of a
// Windows system, short names, a junction and a mount point, and the computer's own name.
#include "lib/canonicalpath.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "lib/ownedpath.h"
#include "lib/textcodec.h"

namespace {

using TEXT = std::u16string;

TEXT U(const char* utf8) {
    return TEXTCODEC::Utf16FromUtf8(utf8);
}

// What exists, by every name the disk knows: a real folder is its own final path, a short name or a link
// leads to its target.
class FAKEDISK : public PATHSYSTEM {
public:
    FAKEDISK() {
        for (const char* folder :
             {"C:\\", "C:\\Windows", "C:\\Windows\\System32", "C:\\Windows\\System32\\drivers",
              "C:\\Program Files", "C:\\Program Files (x86)", "C:\\Program Files (x86)\\Other32",
              "C:\\Program Files\\Common Files", "C:\\Program Files\\WindowsApps", "C:\\ProgramData",
              "C:\\Users", "C:\\Users\\jo", "C:\\Users\\jo\\Documents", "C:\\Users\\jo\\AppData\\Roaming",
              "C:\\Users\\alice", "D:\\", "D:\\Apps"})
            Entries[Key(U(folder))] = {U(folder), U(folder)};
        Entries[Key(u"C:\\PROGRA~1")] = {u"C:\\Program Files", u"C:\\Program Files"};
        Entries[Key(u"C:\\PROGRA~2")] = {u"C:\\Program Files (x86)", u"C:\\Program Files (x86)"};
        Entries[Key(u"D:\\Apps\\Link")] = {u"D:\\Apps\\Link", u"C:\\Windows"};            // a junction
        Entries[Key(u"D:\\Apps\\Mounted")] = {u"D:\\Apps\\Mounted", u"C:\\Users\\alice"}; // a mount point
    }
    bool FullPath(const TEXT& path, TEXT* full) const override {
        *full = path;
        return true;
    }
    bool Exists(const TEXT& path) const override { return Entries.count(Key(path)) != 0; }
    bool LongPath(const TEXT& path, TEXT* longpath) const override {
        const auto entry = Entries.find(Key(path));
        if (entry == Entries.end())
            return false;
        *longpath = entry->second.Long;
        return true;
    }
    bool FinalPath(const TEXT& path, TEXT* finalpath) const override {
        const auto entry = Entries.find(Key(path));
        if (entry == Entries.end())
            return false;
        *finalpath = u"\\\\?\\" + entry->second.Final;
        return true;
    }
    bool IsThisComputer(const TEXT& server) const override {
        return TEXTCODEC::FoldCase(server) == TEXTCODEC::FoldCase(u"JOSBOX");
    }

private:
    struct ENTRY {
        TEXT Long;
        TEXT Final;
    };
    static TEXT Key(const TEXT& path) { return TEXTCODEC::FoldCase(path); }
    std::map<TEXT, ENTRY> Entries;
};

class CanonicalPathTest : public ::testing::Test {
protected:
    CanonicalPathTest() : Guard(Disk) {
        Guard.Protect(u"C:\\Windows", GUARDKIND::Tree);
        Guard.Protect(u"C:\\Program Files", GUARDKIND::Folder);
        Guard.Protect(u"C:\\Program Files (x86)", GUARDKIND::Folder);
        Guard.Protect(u"C:\\Program Files\\Common Files", GUARDKIND::Folder);
        Guard.Protect(u"C:\\Program Files\\WindowsApps", GUARDKIND::Tree);
        Guard.Protect(u"C:\\ProgramData", GUARDKIND::Folder);
        Guard.Protect(u"C:\\Users", GUARDKIND::Folder);
        Guard.Protect(u"C:\\Users\\alice", GUARDKIND::Tree);
        Guard.Protect(u"C:\\Users\\jo", GUARDKIND::Folder);
        Guard.Protect(u"C:\\Users\\jo\\Documents", GUARDKIND::Folder);
        Guard.Protect(u"C:\\Users\\jo\\AppData\\Roaming", GUARDKIND::Folder);
        Guard.AddProduct(u"C:\\PROGRA~2\\Other32");
    }
    TEXT Canonical(const char* text) const {
        TEXT canonical = u"refused";
        if (!CanonicalPath(U(text), Disk, &canonical))
            return u"refused";
        return canonical;
    }
    FAKEDISK Disk;
    FOLDERGUARD Guard;
};

TEST_F(CanonicalPathTest, SpellingsOfOneFolderHaveOneForm) {
    const struct {
        const char* Text;
        const char* Canonical;
    } cases[] = {
        {"C:\\Program Files", "C:\\Program Files"},
        {"c:/program files/", "C:\\Program Files"},
        {"C:\\Program Files.", "C:\\Program Files"},
        {"C:\\Program Files . .\\x", "C:\\Program Files\\x"},
        {"\\\\?\\C:\\Program Files", "C:\\Program Files"},
        {"\\\\.\\c:\\Program Files\\.", "C:\\Program Files"},
        {"\\\\?\\UNC\\localhost\\C$\\Program Files", "C:\\Program Files"},
        {"\\\\127.0.0.1\\c$\\Program Files\\Demo", "C:\\Program Files\\Demo"},
        {"\\\\josbox\\C$\\Windows", "C:\\Windows"},
        {"C:\\PROGRA~1\\Vendor", "C:\\Program Files\\Vendor"},
        {"C:\\Users\\jo\\..\\..\\..\\Windows", "C:\\Windows"},
        {"D:\\Apps\\Link\\System32", "C:\\Windows\\System32"},
        {"D:\\Apps\\Mounted\\.\\Desktop", "C:\\Users\\alice\\Desktop"},
        {"\\\\nas\\apps\\\\demo\\", "\\\\nas\\apps\\demo"},
        {"E:\\", "E:\\"},
        {"C:\\Program Files\\Ärger\\", "C:\\Program Files\\Ärger"},
        // Texts whose folder no text tells, or that name no folder at all.
        {"\\\\?\\Volume{12345678-0000-0000-0000-000000000000}\\Apps", "refused"},
        {"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\Apps", "refused"},
        {"\\\\localhost\\Users\\alice", "refused"},
        {"C:\\Program Files::$INDEX_ALLOCATION", "refused"},
        {"C:\\Apps\\...\\x", "refused"},
        {"C:\\Apps\\NUL.txt", "refused"},
        {"C:\\Apps\\a*b", "refused"},
        {"Apps\\Demo", "refused"},
        {"C:Apps", "refused"},
        {"\\Apps", "refused"},
        {"\\\\server", "refused"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TEXTCODEC::Utf8FromUtf16(Canonical(c.Text)), c.Canonical) << c.Text;
}

// Every spelling of a protected folder, against each kind of protected folder: none may be a destination
// and none may be deleted as a tree.
TEST_F(CanonicalPathTest, NoSpellingOfAProtectedFolderPasses) {
    for (const char* text : {"C:\\Program Files",
                             "C:\\Program Files\\.",
                             "C:/Program Files",
                             "C:\\Program Files.",
                             "C:\\Program Files ",
                             "C:\\\\Program Files\\\\",
                             "\\\\?\\C:\\Program Files",
                             "\\\\.\\C:\\Program Files",
                             "c:\\program files\\demo\\..",
                             "C:\\PROGRA~1",
                             "\\\\localhost\\C$\\Program Files",
                             "\\\\127.0.0.1\\c$\\Program Files",
                             "\\\\?\\UNC\\localhost\\C$\\Program Files",
                             "\\\\JOSBOX\\C$\\Program Files",
                             "C:\\PROGRA~2",
                             "C:\\Program Files (x86).",
                             "C:\\Program Files\\Common Files",
                             "C:\\Program Files\\WindowsApps\\Some.App_1.0",
                             "c:\\WINDOWS\\.\\system32",
                             "C:\\Windows\\System32\\drivers",
                             "C:\\Windows. \\Temp\\x",
                             "D:\\Apps\\Link",
                             "D:\\Apps\\Link\\Fonts",
                             "C:\\users\\jo\\.\\Documents",
                             "C:\\Users\\jo",
                             "C:\\Users",
                             "C:\\Users\\alice",
                             "C:\\Users\\ALICE\\Desktop\\Reports",
                             "D:\\Apps\\Mounted\\Demo",
                             "C:\\ProgramData",
                             "\\\\localhost\\c$\\ProgramData\\",
                             "C:\\Users\\jo\\AppData\\Roaming"}) {
        EXPECT_EQ(Guard.JudgeDestination(U(text)), TREEVERDICT::Protected) << text;
        EXPECT_EQ(Guard.JudgeTree(U(text)), TREEVERDICT::Protected) << text;
    }
}

TEST_F(CanonicalPathTest, TheProductsOwnFoldersStayAllowed) {
    for (const char* text :
         {"D:\\Apps", "D:\\Apps\\", "C:\\Program Files\\Vendor\\Product", "C:\\PROGRA~1\\Vendor\\Product\\",
          "C:\\Program Files\\Common Files\\Vendor", "C:\\Users\\jo\\AppData\\Roaming\\Orvik\\KYR6",
          "C:\\ProgramData\\Orvik\\KYR6", "\\\\?\\D:\\Apps\\Demo", "\\\\nas\\apps\\demo",
          "E:\\Pröducts\\Ärger Ölmann", "C:\\Program Files\\Ωmega Суб"}) {
        EXPECT_EQ(Guard.JudgeDestination(U(text)), TREEVERDICT::Allowed) << text;
        EXPECT_EQ(Guard.JudgeTree(U(text)), TREEVERDICT::Allowed) << text;
    }
}

TEST_F(CanonicalPathTest, RootsOtherProductsAndUnknownFolders) {
    EXPECT_EQ(Guard.JudgeDestination(u"D:\\"), TREEVERDICT::Allowed) << "a drive may be a destination";
    for (const char* root : {"D:\\", "\\\\?\\D:\\", "\\\\localhost\\D$", "\\\\nas\\apps\\"})
        EXPECT_EQ(Guard.JudgeTree(U(root)), TREEVERDICT::Root) << root;
    EXPECT_EQ(Guard.JudgeTree(u"d:"), TREEVERDICT::Relative) << "the current folder of drive D:";
    EXPECT_EQ(Guard.JudgeTree(u""), TREEVERDICT::Root);
    // A 32-bit product's folder below the folder, however either is spelt.
    EXPECT_EQ(Guard.JudgeTree(u"C:\\Program Files (x86)\\Other32"), TREEVERDICT::OtherProduct);
    EXPECT_EQ(Guard.JudgeTree(u"\\\\?\\c:\\program files (x86)\\other32\\"), TREEVERDICT::OtherProduct);
    EXPECT_EQ(Guard.JudgeDestination(u"C:\\Program Files (x86)\\Other32"), TREEVERDICT::Allowed);
    for (const char* text : {"\\\\localhost\\Apps\\Demo", "\\\\?\\Volume{1}\\Demo", "C:\\Demo\\x:y"}) {
        EXPECT_EQ(Guard.JudgeDestination(U(text)), TREEVERDICT::Unresolved) << text;
        EXPECT_EQ(Guard.JudgeTree(U(text)), TREEVERDICT::Unresolved) << text;
    }
    EXPECT_EQ(Guard.JudgeDestination(u"Demo"), TREEVERDICT::Relative);
}

// A disk that cannot name a folder that exists: the folder is refused, never judged by its text.
TEST(CanonicalPath, AFolderTheSystemCannotNameIsRefused) {
    class BLIND : public FAKEDISK {
    public:
        bool FinalPath(const TEXT&, TEXT*) const override { return false; }
    } blind;
    TEXT canonical;
    EXPECT_FALSE(CanonicalPath(u"D:\\Apps\\Demo", blind, &canonical));
    FOLDERGUARD guard(blind);
    EXPECT_EQ(guard.JudgeTree(u"D:\\Apps\\Demo"), TREEVERDICT::Unresolved);
    // Nor is one that the system's parser reads otherwise.
    class OTHERPARSER : public FAKEDISK {
    public:
        bool FullPath(const TEXT&, TEXT* full) const override {
            *full = u"C:\\Windows";
            return true;
        }
    } other;
    EXPECT_FALSE(CanonicalPath(u"D:\\Apps", other, &canonical));
}

} // namespace
