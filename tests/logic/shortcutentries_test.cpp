// The text decisions of the shortcut step: entries, the desktop candidate, the page's first look, the list of
// entries to create, firewall names and link paths.
#include <gtest/gtest.h>

#include <string>

#include "setup/install/shortcutentries.h"

namespace {

std::string S(const STRING& text) {
    return text.NotNull() ? text.Text() : "<null>";
}

const STRING Absent; // a configuration key that is not there

} // namespace

TEST(ShortcutEntry, SplitsTheFourFieldsAndLeavesMissingOnesEmpty) {
    const SHORTCUTENTRY full =
        SHORTCUTENTRY::Parse("Tools\\Viewer;*bin\\viewer.exe;-open \"x\";viewer.ico:3");
    EXPECT_EQ("Tools\\Viewer", S(full.Name));
    EXPECT_EQ("*bin\\viewer.exe", S(full.Target));
    EXPECT_EQ("-open \"x\"", S(full.Arguments));
    EXPECT_EQ("viewer.ico", S(full.IconFile()));
    EXPECT_EQ(3, full.IconNumber());
    EXPECT_EQ("Viewer", S(full.Description()));

    const SHORTCUTENTRY shortone = SHORTCUTENTRY::Parse("Readme;readme.txt");
    EXPECT_EQ("", S(shortone.Arguments));
    EXPECT_EQ("", S(shortone.Icon));
    EXPECT_EQ(0, shortone.IconNumber());
    EXPECT_EQ("Readme", S(shortone.Description()));

    EXPECT_EQ(0, SHORTCUTENTRY::Parse("A;a.exe;;app.ico").IconNumber()) << "no number means icon 0";
}

TEST(ShortcutEntry, RecognisesInternetDesktopAndSearchPathTargets) {
    EXPECT_TRUE(SHORTCUTENTRY::Parse("Web;HTTP://www.orvik.example").IsInternet());
    EXPECT_TRUE(SHORTCUTENTRY::Parse("Web;https://www.orvik.example").IsInternet());
    EXPECT_FALSE(SHORTCUTENTRY::Parse("Web;ftp://www.orvik.example").IsInternet());
    EXPECT_FALSE(SHORTCUTENTRY::Parse("Web;*http://x").IsInternet());
    EXPECT_TRUE(SHORTCUTENTRY::Parse("Desk;#viewer.exe").IsDesktopEntry());
    EXPECT_FALSE(SHORTCUTENTRY::Parse("Desk;*viewer.exe").IsDesktopEntry());
    EXPECT_TRUE(SHORTCUTENTRY::Parse("Lib;%path%\\kernel32.dll").IsOnSearchPath());
    EXPECT_FALSE(SHORTCUTENTRY::Parse("Lib;%PATH%kernel32.dll").IsOnSearchPath());
}

TEST(ShortcutEntry, TrimmedEntriesDropBlanksAndEmptyFields) {
    const std::vector<STRING> entries = TrimmedEntries(" A;a.exe\t|| \t |B;b.exe ");
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ("A;a.exe", S(entries[0]));
    EXPECT_EQ("B;b.exe", S(entries[1]));
    EXPECT_TRUE(TrimmedEntries(Absent).empty());
}

TEST(DesktopCandidate, TheLaterStarEntryIsOfferedAsADesktopEntry) {
    const DESKTOPCANDIDATE candidate = FindDesktopCandidate(
        " First;*first.exe;-a;first.ico:1|Plain;plain.exe|Second;*second.exe;-b ", Absent);
    EXPECT_EQ("Second;#second.exe;-b", S(candidate.Entry));
    EXPECT_EQ(1, candidate.Option);
    EXPECT_TRUE(candidate.Offered());
}

TEST(DesktopCandidate, DesktopIconAbsentMeansOfferedAndEmptyMeansNotOffered) {
    const STRING opts("Viewer;*viewer.exe");
    EXPECT_EQ(1, FindDesktopCandidate(opts, Absent).Option);
    EXPECT_TRUE(FindDesktopCandidate(opts, Absent).Offered());
    EXPECT_EQ(0, FindDesktopCandidate(opts, STRING("")).Option);
    EXPECT_FALSE(FindDesktopCandidate(opts, STRING("")).Offered());
    EXPECT_EQ(0, FindDesktopCandidate(opts, STRING("0")).Option);
    EXPECT_EQ(3, FindDesktopCandidate(opts, STRING("3")).Option);
}

TEST(DesktopCandidate, WithoutAStarEntryNothingIsOfferedWhateverDesktopIconSays) {
    const DESKTOPCANDIDATE candidate = FindDesktopCandidate("Viewer;viewer.exe", STRING("2"));
    EXPECT_EQ("", S(candidate.Entry));
    EXPECT_FALSE(candidate.Offered());
}

TEST(ShortcutPageSetup, ANewInstallationProposesTheUsersMenuAndTicksTheBoxFromOption2) {
    DESKTOPCANDIDATE candidate{"V;#v.exe;", 2};
    SHORTCUTPAGESETUP setup = PrepareShortcutPage("0", candidate);
    EXPECT_EQ(401, setup.CheckedRadio);
    EXPECT_TRUE(setup.ShowDesktopBox);
    EXPECT_TRUE(setup.DesktopChecked);

    candidate.Option = 1;
    setup = PrepareShortcutPage("2", candidate);
    EXPECT_EQ(401, setup.CheckedRadio);
    EXPECT_TRUE(setup.ShowDesktopBox);
    EXPECT_FALSE(setup.DesktopChecked);
}

TEST(ShortcutPageSetup, ReinstallingTheSameVersionProposesNothingAndLeavesTheBoxUnticked) {
    const SHORTCUTPAGESETUP setup = PrepareShortcutPage("1", DESKTOPCANDIDATE{"V;#v.exe;", 2});
    EXPECT_EQ(403, setup.CheckedRadio);
    EXPECT_TRUE(setup.ShowDesktopBox);
    EXPECT_FALSE(setup.DesktopChecked);
}

TEST(ShortcutPageSetup, TheBoxIsHiddenWithoutCandidateOrWithOption0) {
    EXPECT_FALSE(PrepareShortcutPage("0", DESKTOPCANDIDATE{"", 2}).ShowDesktopBox);
    EXPECT_FALSE(PrepareShortcutPage("0", DESKTOPCANDIDATE{"V;#v.exe;", 0}).ShowDesktopBox);
    EXPECT_FALSE(PrepareShortcutPage("0", DESKTOPCANDIDATE{"V;#v.exe;", 0}).DesktopChecked);
}

TEST(ShortcutEntryList, StartMenuEntriesUninstallEntryAndDesktopEntryInThisOrder) {
    const STRING uninstall = UninstallShortcutEntry("Uninstall Viewer", "ORVIKVIEW");
    EXPECT_EQ("Uninstall Viewer;setup.exe;-remove ORVIKVIEW;setup.exe:1", S(uninstall));
    const SHORTCUTENTRY entry = SHORTCUTENTRY::Parse(uninstall);
    EXPECT_EQ("-remove ORVIKVIEW", S(entry.Arguments));
    EXPECT_EQ(1, entry.IconNumber());

    EXPECT_EQ("A;a.exe|" + S(uninstall) + "|V;#v.exe;",
              S(ShortcutEntryList(true, "A;a.exe", uninstall, true, "V;#v.exe;")));
    EXPECT_EQ("V;#v.exe;", S(ShortcutEntryList(false, "A;a.exe", uninstall, true, "V;#v.exe;")))
        << "without the start menu only the desktop entry is made";
    EXPECT_EQ(S(uninstall), S(ShortcutEntryList(true, Absent, uninstall, false, "V;#v.exe;")));
    EXPECT_EQ("A;a.exe", S(ShortcutEntryList(true, "A;a.exe", "", true, "")));
    EXPECT_EQ("", S(ShortcutEntryList(false, "A;a.exe", uninstall, false, "V;#v.exe;")));
}

TEST(FirewallExceptionName, TakesTheNameOfTheFirstShortcutToTheProgramElseAppName) {
    const STRING opts(" Tools\\Viewer;*BIN\\Viewer.exe;-x | Other;bin\\viewer.exe|Helper;helper.exe");
    EXPECT_EQ("Tools\\Viewer", S(FirewallExceptionName(opts, "bin\\viewer.exe", "Orvik")))
        << "one leading \"*\" is ignored, and letter case";
    EXPECT_EQ("Helper", S(FirewallExceptionName(opts, "helper.exe", "Orvik")));
    EXPECT_EQ("Orvik", S(FirewallExceptionName(opts, "service.exe", "Orvik")));
    EXPECT_EQ("Orvik", S(FirewallExceptionName(Absent, "service.exe", "Orvik")));
    EXPECT_EQ("Orvik", S(FirewallExceptionName("Two;**helper.exe", "helper.exe", "Orvik")))
        << "only one \"*\" is removed";
}

TEST(ShortcutPath, FitsIntoTheSystemLimitOrIsRefused) {
    STRING path("untouched");
    ASSERT_TRUE(MakeShortcutPath("C:\\Menu", "Sub\\Viewer", ".LNK", path));
    EXPECT_EQ("C:\\Menu\\Sub\\Viewer.LNK", S(path));

    const std::string folder = "C:\\" + std::string(200, 'f');
    // folder (203) + "\" + name + ".LNK" (4) + terminator: a name of 51 fills 260 exactly.
    const std::string fits(51, 'n');
    ASSERT_TRUE(MakeShortcutPath(folder.c_str(), fits.c_str(), ".LNK", path));
    EXPECT_EQ(259, path.Length());
    path = "untouched";
    EXPECT_FALSE(MakeShortcutPath(folder.c_str(), (fits + "n").c_str(), ".LNK", path));
    EXPECT_EQ("untouched", S(path));
    EXPECT_FALSE(MakeShortcutPath(folder.c_str(), std::string(5000, 'n').c_str(), ".URL", path));
}

TEST(CreatedList, NamesAreJoinedWithoutATrailingBar) {
    STRING list("");
    EXPECT_EQ("", S(FinishedList(list)));
    AppendCreated(list, "A");
    AppendCreated(list, "Sub\\B");
    EXPECT_EQ("A|Sub\\B", S(FinishedList(list)));
}
