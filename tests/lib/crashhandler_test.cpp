// What the crash handler decides before it writes anything, and the compression of the written dump.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "lib/crashhandler.h"
#include "lib/orvik.h"
#include "lib/textcodec.h"
#include "tests/common/gunzip.h"
#include "tests/common/test_support.h"

TEST(CrashDump, LevelChoosesTheKindModuloFive) {
    const char* names[] = {"TINY", "MINI", "ORVIK", "MIDI", "MAXI"};
    const uint32_t types[] = {0x000, 0x150, 0x155, 0x325, 0x126};
    for (unsigned level = 0; level < 12; ++level) {
        EXPECT_STREQ(names[level % 5], CrashDumpKindFor(level).Name) << level;
        EXPECT_EQ(types[level % 5], CrashDumpKindFor(level).MiniDumpType) << level;
    }
}

TEST(CrashDump, LevelIsOnlyRaisedAndSwitchesReachIt) {
    CrashHandlerInstall(0);
    const unsigned start = CrashHandlerLevel();
    CrashHandlerInstall(start + 1000);
    EXPECT_EQ(start + 1000, CrashHandlerLevel());
    CrashHandlerInstall(start + 3);
    EXPECT_EQ(start + 1000, CrashHandlerLevel());
    // The log's switches are routed here once the handler has registered itself.
    STRING higher;
    higher.Printf("/CRASHDUMP:%u", start + 1001);
    EXPECT_TRUE(LogitOption(higher.c_str()));
    EXPECT_EQ(start + 1001, CrashHandlerLevel());
    EXPECT_TRUE(LogitOption("/CRASHDUMP"));
    EXPECT_EQ(start + 1001, CrashHandlerLevel());
    CrashHandlerRelease();
}

TEST(CrashDump, ProgramTagDropsDotsAndIsUpperCase) {
    EXPECT_EQ(CrashProgramTag("Setup", "1.00"), "SETUP100");
    EXPECT_EQ(CrashProgramTag("Kyr", "6.0.2"), "KYR602");
    EXPECT_EQ(CrashProgramTag("NoVersion", ""), "NOVERSION");
}

TEST(CrashDump, FileNameCountsPastDumpsAndTheirCompressedForms) {
    std::set<std::string> existing;
    auto taken = [&existing](const char* name) { return existing.count(name) > 0; };
    const char* folder = "C:\\Users\\alice\\Desktop";
    EXPECT_EQ(CrashDumpFileName(folder, "SETUP100", "alice", "ORVIK", taken),
              "C:\\Users\\alice\\Desktop\\Orvik.CrashInfo.SETUP100.alice.ORVIK.dmp");

    // Either form of an earlier dump takes the name.
    existing.insert("C:\\Users\\alice\\Desktop\\Orvik.CrashInfo.SETUP100.alice.ORVIK.dmp.gz");
    EXPECT_EQ(CrashDumpFileName(folder, "SETUP100", "alice", "ORVIK", taken),
              "C:\\Users\\alice\\Desktop\\Orvik.CrashInfo.SETUP100.alice1.ORVIK.dmp");
    existing.insert("C:\\Users\\alice\\Desktop\\Orvik.CrashInfo.SETUP100.alice1.ORVIK.dmp");
    EXPECT_EQ(CrashDumpFileName(folder, "SETUP100", "alice", "ORVIK", taken),
              "C:\\Users\\alice\\Desktop\\Orvik.CrashInfo.SETUP100.alice2.ORVIK.dmp");
    // Another kind is another name.
    EXPECT_EQ(CrashDumpFileName(folder, "SETUP100", "alice", "MAXI", taken),
              "C:\\Users\\alice\\Desktop\\Orvik.CrashInfo.SETUP100.alice.MAXI.dmp");

    // With every name taken the hundredth attempt is used.
    int asked = 0;
    auto alltaken = [&asked](const char*) { return ++asked > 0; };
    EXPECT_EQ(CrashDumpFileName("D:", "T", "u", "TINY", alltaken), "D:\\Orvik.CrashInfo.T.u99.TINY.dmp");
    EXPECT_EQ(asked, 100);
}

TEST(CrashDump, QuestionInBothLanguagesNamesFileAndFolder) {
    const STRING english = CrashQuestionText(false, "SETUP100", "Orvik.CrashInfo.x.dmp", "C:\\Desk");
    EXPECT_EQ(0, english.Pos("The program SETUP100 has encountered an error and will be terminated.\n\n"));
    EXPECT_TRUE(
        english.Find("\n\n Filename: Orvik.CrashInfo.x.dmp\n (in folder 'C:\\Desk')\n\nDo you now want"));
    EXPECT_TRUE(english.Find("(a web browser will open with an upload form to send the file)?"));

    const STRING german = CrashQuestionText(true, "SETUP100", "Orvik.CrashInfo.x.dmp", "C:\\Desk");
    EXPECT_EQ(0, german.Pos("Das Programm SETUP100 hat einen Fehler verursacht und muss beendet werden."));
    EXPECT_TRUE(german.Find(TEXTCODEC::FromUtf8("Sie können eine Datei").c_str()));
    EXPECT_TRUE(german.Find(" Filename: Orvik.CrashInfo.x.dmp\n (im Ordner 'C:\\Desk')"));
    EXPECT_TRUE(german.Find(TEXTCODEC::FromUtf8("senden(zum Upload öffnet sich ein Web-Formular)?").c_str()));
}

TEST(CrashDump, ReportAddressCarriesOnlyTheEncodedFileName) {
    EXPECT_EQ(CrashReportAddress("https://h.example",
                                 "C:\\Users\\alice\\Desktop\\Orvik.CrashInfo.S100.alice.ORVIK.dmp", false),
              "https://h.example/common/crashreport.php?filename=Orvik.CrashInfo.S100.alice.ORVIK.dmp");
    EXPECT_EQ(CrashReportAddress("https://h.example", "C:\\x\\Orvik.CrashInfo.S100.Jo Do&x1.MINI.dmp", true),
              "https://h.example/common/"
              "crashreport.php?filename=Orvik.CrashInfo.S100.Jo%20Do%26x1.MINI.dmp&html=htm");
    EXPECT_EQ(CrashReportAddress("http://h", "J\xFCrgen.dmp", false),
              "http://h/common/crashreport.php?filename=J%FCrgen.dmp");
}

TEST(CrashDump, CompressionRoundTripsInBlocks) {
    SCRATCHFOLDER dir{SCRATCHFOLDER::Working};
    std::string data;
    for (int i = 0; i < 10000; ++i)
        data += static_cast<char>((i * 7919) % 251);
    WriteWholeFile(dir.File("dump.dmp"), data);
    EXPECT_EQ(3, CrashCompressFile(dir.File("dump.dmp").c_str(), dir.File("dump.dmp.gz").c_str()));
    EXPECT_EQ(data, GunzipFile(dir.File("dump.dmp.gz")));

    WriteWholeFile(dir.File("empty.dmp"), "");
    EXPECT_EQ(0, CrashCompressFile(dir.File("empty.dmp").c_str(), dir.File("empty.dmp.gz").c_str()));
    EXPECT_EQ(-1, CrashCompressFile(dir.File("missing.dmp").c_str(), dir.File("missing.dmp.gz").c_str()));
    EXPECT_EQ(-1, CrashCompressFile(dir.File("dump.dmp").c_str(), dir.File("no/such/folder/x.gz").c_str()));
}
