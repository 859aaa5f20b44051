// setuppack on package folders made by each test: a good package is clean; every kind of fault is reported
// with its file and line; the archives it writes read back the same through the installer's engine and
// bsdtar.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "setup/filetypeguard.h"
#include "tools/setuppack/configfile.h"
#include "tools/setuppack/packagecheck.h"
#include "tools/setuppack/packbuild.h"
#include "tools/setuppack/zipwriter.h"
#include "unzip/engine.h"

namespace fs = std::filesystem;
using namespace setuppack;

namespace {

const char* const GOOD_CONFIG = "# a product\n"        // 1
                                "AppName=Demo\n"       // 2
                                "AppVersion=1.0\n"     // 3
                                "IniKey=Demo\n"        // 4
                                "StartmenuName=Demo\n" // 5
                                "DesktopIcon=2\n"      // 6
                                "StartmenuOpts=Demo;*app.exe;;app.exe:0|Read me;docs\\\\readme.txt|"
                                "Web;http://demo.example/\n"                                  // 7
                                "StartmenuOpts.ger=Demo;*app.exe\n"                           // 8
                                "FileTypes=.dmo;Demo.Doc=Document;app.exe \"%1\";app.exe,1\n" // 9
                                "AddToFirewall=app.exe\n"                                     // 10
                                "UninstallIcon=app.exe\n"                                     // 11
                                "CopyToDest=setup.exe\n"                                      // 12
                                "Advertise=advert.cfg\n"                                      // 13
                                "FinishMsg=Ready.\n"                                          // 14
                                "FinishMsg_0= Really.\n";                                     // 15

std::string Bytes(size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SetupPack : public testing::Test {
protected:
    void SetUp() override {
        Root = fs::temp_directory_path() / ("setuppack-" + std::to_string(::getpid()) + "-" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Root);
        Source = Root / "src";
        Package = Root / "package";
        Write("setup.cfg", GOOD_CONFIG);
        Write("advert.cfg", "Product=Demo Pro\nUrl=http://demo.example/pro\n");
        for (const char* text : {"LICENSE.TXT", "LICENSEFR.TXT", "LIZENZ.TXT"})
            Write(text, "licence");
        Write("setup.exe", "MZ");
        Write("setup.fil/app.exe", Bytes(70000, 1)); // incompressible: stored
        Write("setup.fil/docs/readme.txt", std::string(5000, 'r'));
        Write("setup.fil/logs/dummy.tmp", "");
        Write("custom.fil/site.ini", "[site]\nname=here\n");
    }
    void TearDown() override { fs::remove_all(Root); }

    void Write(const std::string& name, const std::string& bytes) const {
        const fs::path path = Source / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }

    REPORT Build() {
        REPORT report;
        std::ostringstream summary;
        EXPECT_TRUE(BuildPackage(Source.string(), Package.string(), report, summary));
        return report;
    }

    REPORT Check() const {
        REPORT report;
        std::ostringstream summary;
        CheckPackage(Package.string(), report, summary);
        Summary = summary.str();
        return report;
    }

    // A package whose setup.cfg is text, with everything else of the good one.
    REPORT CheckConfig(const std::string& text) {
        Write("setup.cfg", text);
        Build();
        return Check();
    }

    fs::path Root, Source, Package;
    mutable std::string Summary;
};

std::string Listed(const REPORT& report) {
    std::ostringstream out;
    report.Print(out);
    return out.str();
}

// True when the report has a problem of file at line whose text contains fragment.
testing::AssertionResult Reports(const REPORT& report, const std::string& file, int line,
                                 const std::string& fragment) {
    for (const PROBLEM& problem : report.All())
        if (problem.File == file && problem.Line == line && problem.Text.find(fragment) != std::string::npos)
            return testing::AssertionSuccess();
    return testing::AssertionFailure() << "no " << file << ":" << line << " \"" << fragment << "\" in\n"
                                       << Listed(report);
}

// Member name -> bytes, as the installer's engine decodes them.
std::map<std::string, std::string> EngineContents(const fs::path& archive) {
    using namespace orvik::unzip;
    class COLLECT : public OutputSink {
    public:
        bool Write(const uint8_t* data, size_t length) override {
            Bytes.append(reinterpret_cast<const char*>(data), length);
            return true;
        }
        std::string Bytes;
    };
    CollectedMessages messages;
    ZipArchive zip(messages);
    EXPECT_EQ(zip.Open(archive.string(), 2), kOk) << messages.Text();
    std::map<std::string, std::string> contents;
    for (size_t i = 0; i < zip.Entries().size(); ++i) {
        COLLECT sink;
        EXPECT_EQ(zip.Test(i, sink), kOk) << zip.Entries()[i].name << messages.Text();
        contents[zip.Entries()[i].name] = sink.Bytes;
    }
    return contents;
}

// The same through bsdtar: extracted into a folder and read back; folders end in "/".
std::map<std::string, std::string> BsdtarContents(const fs::path& archive, const fs::path& folder) {
    fs::create_directories(folder);
    const std::string command =
        std::string(ORVIK_BSDTAR) + " -xf '" + archive.string() + "' -C '" + folder.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = fs::relative(entry.path(), folder).generic_string();
        contents[entry.is_directory() ? name + "/" : name] =
            entry.is_directory() ? "" : ReadAll(entry.path());
    }
    return contents;
}

// Member name -> general-purpose flags, read from the central directory's own bytes.
std::map<std::string, unsigned> CentralFlags(const fs::path& archive) {
    const std::string bytes = ReadAll(archive);
    auto get16 = [&](size_t at) {
        return static_cast<unsigned>(static_cast<uint8_t>(bytes[at])) |
               static_cast<unsigned>(static_cast<uint8_t>(bytes[at + 1])) << 8;
    };
    std::map<std::string, unsigned> flags;
    for (size_t at = bytes.find("PK\001\002"); at != std::string::npos && at + 46 <= bytes.size();
         at = bytes.find("PK\001\002", at + 4))
        flags[bytes.substr(at + 46, get16(at + 28))] = get16(at + 8);
    return flags;
}

// bsdtar's listing, with names lacking the UTF-8 flag read as code page 437 (as the installer reads them).
std::string BsdtarListing(const fs::path& archive) {
    const std::string command = "LC_ALL=C.UTF-8 " + std::string(ORVIK_BSDTAR) +
                                " --options zip:hdrcharset=CP437 -tf '" + archive.string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    std::string listing;
    if (!pipe) {
        ADD_FAILURE() << command;
        return listing;
    }
    char chunk[4096];
    for (size_t got; (got = fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        listing.append(chunk, got);
    EXPECT_EQ(pclose(pipe), 0) << command;
    return listing;
}

} // namespace

TEST_F(SetupPack, AGoodPackageIsBuiltAndChecksClean) {
    const REPORT built = Build();
    EXPECT_TRUE(built.Clean()) << Listed(built);
    const REPORT checked = Check();
    EXPECT_TRUE(checked.Clean()) << Listed(checked);
    EXPECT_NE(Summary.find("setup.fil: 5 members"), std::string::npos) << Summary;
    EXPECT_NE(Summary.find("custom.fil: 1 members"), std::string::npos) << Summary;
    for (const char* copied : {"setup.cfg", "advert.cfg", "LICENSE.TXT", "setup.exe"})
        EXPECT_EQ(ReadAll(Package / copied), ReadAll(Source / copied)) << copied;
}

TEST_F(SetupPack, BuiltArchivesReadTheSameThroughTheEngineAndBsdtar) {
    Write("setup.fil/bin/tool.dat", std::string(200000, 'x') + Bytes(1000, 2));
    Write("setup.fil/Mixed Case.TXT", "keeps its case");
    Build();
    std::map<std::string, std::string> expected = {
        {"app.exe", ReadAll(Source / "setup.fil/app.exe")},
        {"bin/", ""},
        {"bin/tool.dat", ReadAll(Source / "setup.fil/bin/tool.dat")},
        {"docs/", ""},
        {"docs/readme.txt", std::string(5000, 'r')},
        {"logs/", ""},
        {"logs/dummy.tmp", ""},
        {"Mixed Case.TXT", "keeps its case"}};
    EXPECT_EQ(EngineContents(Package / "setup.fil"), expected);
    EXPECT_EQ(BsdtarContents(Package / "setup.fil", Root / "bsdtar"), expected);
    // The members come in byte order of their names, each folder before its contents.
    orvik::unzip::CollectedMessages messages;
    orvik::unzip::ZipArchive zip(messages);
    zip.Open((Package / "setup.fil").string(), 2);
    std::vector<std::string> order;
    for (const orvik::unzip::ZipEntry& entry : zip.Entries())
        order.push_back(entry.name);
    EXPECT_EQ(order, (std::vector<std::string>{"Mixed Case.TXT", "app.exe", "bin/", "bin/tool.dat", "docs/",
                                               "docs/readme.txt", "logs/", "logs/dummy.tmp"}));
    EXPECT_LT(fs::file_size(Package / "setup.fil"), 70000u + 5000u) << "deflated where that is smaller";
}

TEST_F(SetupPack, ManyMembersGetZip64RecordsThatBothReadersFollow) {
    ZIPWRITER zip;
    const fs::path archive = Root / "many.fil";
    fs::create_directories(Root);
    ASSERT_TRUE(zip.Open(archive.string()));
    for (int i = 0; i < 70000; ++i)
        ASSERT_TRUE(zip.AddDirectory("d" + std::to_string(i) + "/", DosTimeOf(0)));
    ASSERT_TRUE(zip.Finish()) << zip.Error();
    EXPECT_EQ(EngineContents(archive).size(), 70000u);
    const std::string command = std::string(ORVIK_BSDTAR) + " -tf '" + archive.string() + "' | wc -l";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    int count = 0;
    EXPECT_EQ(fscanf(pipe, "%d", &count), 1);
    pclose(pipe);
    EXPECT_EQ(count, 70000);
}

TEST_F(SetupPack, KeyAndValueFaultsAreReportedWithTheirLines) {
    const REPORT report =
        CheckConfig(std::string(GOOD_CONFIG) + "AppNmae=Demo\n"                            // 16
                                               "NoFinalPopup=yes\n"                        // 17
                                               "just a sentence\n"                         // 18
                                               "InstallPath=C:\\Program Files\n"           // 19
                                               "AppName=Other\n"                           // 20
                                               "FinishMsg_24=never\n"                      // 21
                                               "WelcomeWarning=ShowOnly=2024-01-01\\nHi\n" // 22
                                               "UninstallEmail=feedback@demo.example\n"    // 23
                                               "CheckDll=dao360|msjet\n"                   // 24
                                               "IniKey.ger=Demo\\\\Sub\n"                  // 25
                                               "StartmenuOptz.ger=x\n"                     // 26
                                               "WelcomeMsg_1=orphan\n");                   // 27
    EXPECT_TRUE(Reports(report, "setup.cfg", 16, "unknown key \"AppNmae\" (nearest known key: AppName)"));
    EXPECT_TRUE(Reports(report, "setup.cfg", 17, "is not a number: setup reads it as 0"));
    EXPECT_TRUE(Reports(report, "setup.cfg", 18, "no \"=\""));
    EXPECT_TRUE(Reports(report, "setup.cfg", 19, "unknown escape \\P"));
    EXPECT_TRUE(Reports(report, "setup.cfg", 20, "setup uses line 2"));
    EXPECT_TRUE(Reports(report, "setup.cfg", 21, "continuations 0 to 23 only"));
    EXPECT_TRUE(Reports(report, "setup.cfg", 22, "is not \"<\" or \">\" and a date"));
    EXPECT_TRUE(Reports(report, "setup.cfg", 23, "without \";\" it is not recorded"));
    EXPECT_TRUE(Reports(report, "setup.cfg", 24, "\"msjet\""));
    EXPECT_TRUE(Reports(report, "setup.cfg", 25, "names a key path")) << "the German variant is checked too";
    EXPECT_TRUE(Reports(report, "setup.cfg", 26, "nearest known key: StartmenuOpts"));
    EXPECT_TRUE(Reports(report, "setup.cfg", 27, "which the file does not set"));
    EXPECT_EQ(report.All().size(), 12u) << Listed(report);
}

TEST_F(SetupPack, TargetsThatNoMemberProvidesAreReportedAtTheirKeys) {
    const REPORT report =
        CheckConfig("AppName=Demo\n" // 1
                    "StartmenuOpts=Tool;*bin\\\\tool.exe;;icons\\\\tool.ico:1|"
                    "Web;https://demo.example/|Notes;%PATH%\\\\notepad.exe\n"            // 2
                    "FileTypes=.dmo;Demo.Doc=Document;\"viewer.exe\" \"%1\";doc.ico,0\n" // 3
                    "AddToFirewall=app.exe|server.exe\n"                                 // 4
                    "UninstallIcon=logs\\\\dummy.tmp\n"                                  // 5
                    "CopyToDest=setup.exe|setupgerman.dll|..\\\\outside.dll\n"           // 6
                    "DeleteAfterExtract=docs/readme.txt|setupinfo.tmp\n"                 // 7
                    "StartmenuOpts.ger=Werkzeug;app.exe;;app.exe:eins\n"                 // 8
                    "AskOverwrite=docs\\\\readme.txt;the read-me|app.ini;settings\n");   // 9
    EXPECT_TRUE(Reports(report, "setup.cfg", 2, "\"bin\\tool.exe\" is in no archive"));
    EXPECT_TRUE(Reports(report, "setup.cfg", 2, "\"icons\\tool.ico\" is in no archive"));
    EXPECT_TRUE(Reports(report, "setup.cfg", 3, "\"viewer.exe\" is in no archive"));
    EXPECT_TRUE(Reports(report, "setup.cfg", 3, "\"doc.ico\" is in no archive"));
    EXPECT_TRUE(Reports(report, "setup.cfg", 4, "\"server.exe\""));
    EXPECT_TRUE(Reports(report, "setup.cfg", 5, "dummy.tmp")) << "a placeholder is deleted after extraction";
    EXPECT_TRUE(Reports(report, "setup.cfg", 6, "\"setupgerman.dll\", which is not in the package"));
    EXPECT_TRUE(Reports(report, "setup.cfg", 6, "would leave the destination"));
    EXPECT_TRUE(Reports(report, "setup.cfg", 7, "\"setupinfo.tmp\""));
    EXPECT_TRUE(Reports(report, "setup.cfg", 8, "icon number of shortcut \"Werkzeug\" is not a number"));
    EXPECT_TRUE(Reports(report, "setup.cfg", 9, "\"app.ini\", which no archive member has"));
    EXPECT_EQ(report.All().size(), 11u) << "web addresses, the search path and setup.exe need nothing\n"
                                        << Listed(report);
}

// Registering a type of the system would take it from Windows, and its uninstall would delete the
// system's key: setup refuses such entries, and the check says so at their line.
TEST_F(SetupPack, FileTypesOfTheSystemAreReported) {
    const REPORT report = CheckConfig("AppName=Demo\n"                                                    // 1
                                      "FileTypes=.txt;Demo.Doc=Text;app.exe \"%1\";app.exe,1|"            //
                                      ".dmo;txtfile=Demo;app.exe \"%1\";app.exe,1|"                       //
                                      ".dmo; CLSID =Demo;app.exe \"%1\";app.exe,1|"                       //
                                      ".Exe;Demo.Doc=Demo;app.exe \"%1\";app.exe,1\n"                     // 2
                                      "FileTypes.ger=.dmo;Demo.Doc=Dokument;app.exe \"%1\";app.exe,1\n"); // 3
    for (const char* type : {"\".txt\"", "\"txtfile\"", "\"CLSID\"", "\".Exe\""})
        EXPECT_TRUE(Reports(report, "setup.cfg", 2, std::string(type) + ", a type of the system")) << type;
    EXPECT_EQ(report.All().size(), 4u) << "the product's own types pass\n" << Listed(report);
}

TEST_F(SetupPack, MissingFilesAndDamagedArchivesAreReported) {
    Build();
    fs::remove(Package / "LIZENZ.TXT");
    fs::remove(Package / "advert.cfg");
    // Flip a byte of the stored (incompressible) member: its CRC no longer matches.
    std::string archive = ReadAll(Package / "setup.fil");
    const size_t data = archive.find("app.exe") + 7 + 1000;
    archive[data] = static_cast<char>(archive[data] ^ 0x55);
    std::ofstream(Package / "setup.fil", std::ios::binary) << archive;
    std::ofstream(Package / "custom.fil", std::ios::binary) << "PK\003\004 not an archive";
    const REPORT report = Check();
    EXPECT_TRUE(Reports(report, "LIZENZ.TXT", 0, "is missing"));
    EXPECT_TRUE(Reports(report, "setup.cfg", 13, "\"advert.cfg\", which is not in the package"));
    EXPECT_TRUE(Reports(report, "setup.fil", 0, "member \"app.exe\" fails: ")) << "bad CRC";
    EXPECT_TRUE(Reports(report, "custom.fil", 0, "does not open as a ZIP archive"));
    EXPECT_EQ(report.All().size(), 4u) << Listed(report);

    fs::remove(Package / "setup.fil");
    EXPECT_TRUE(Reports(Check(), "setup.fil", 0, "is missing"));

    // An archive that the source no longer makes is not shipped unnoticed.
    fs::remove_all(Source / "custom.fil");
    REPORT rebuilt;
    std::ostringstream summary;
    EXPECT_TRUE(BuildPackage(Source.string(), Package.string(), rebuilt, summary));
    EXPECT_TRUE(Reports(rebuilt, "custom.fil", 0, "is not made from"));

    // A file of another program in place of setup.cfg.
    std::ofstream(Package / "setup.cfg") << "[Setup]\nTitle=Demo\n";
    const REPORT foreign = Check();
    EXPECT_TRUE(Reports(foreign, "setup.cfg", 0, "sets no key of a setup configuration"));
    EXPECT_TRUE(Reports(foreign, "setup.cfg", 1, "no \"=\""));
}

// A package made by another tool with bzip2: setup cannot read the member, and the check says which and why.
TEST_F(SetupPack, MembersPackedWithAMethodSetupCannotReadAreNamedWithTheMethod) {
    Build();
    std::string archive = ReadAll(Package / "setup.fil");
    const size_t local = archive.find("app.exe") - 30;
    const size_t central = archive.find("app.exe", local + 40) - 46;
    ASSERT_EQ(archive.compare(local, 4, "PK\003\004"), 0);
    ASSERT_EQ(archive.compare(central, 4, "PK\001\002"), 0);
    archive[local + 8] = archive[central + 10] = 12;
    archive[local + 9] = archive[central + 11] = 0;
    std::ofstream(Package / "setup.fil", std::ios::binary) << archive;
    const REPORT report = Check();
    EXPECT_TRUE(Reports(report, "setup.fil", 0,
                        "member \"app.exe\" is packed with bzip2 (method 12), which setup cannot read"))
        << Listed(report);
    EXPECT_EQ(report.All().size(), 1u) << Listed(report);
}

TEST_F(SetupPack, UnsafeMemberNamesAreReportedAndNeverPacked) {
    fs::create_directories(Package);
    ZIPWRITER zip;
    ASSERT_TRUE(zip.Open((Package / "setup.fil").string()));
    const fs::path file = Root / "bytes";
    std::ofstream(file) << "x";
    for (const char* name : {"app.exe", "../outside.exe", "C:/Windows/evil.dll", "docs/NUL.txt"})
        ASSERT_TRUE(zip.AddFile(name, file.string(), DosTimeOf(0)));
    ASSERT_TRUE(zip.Finish());
    REPORT report;
    std::ostringstream summary;
    CheckPackage(Package.string(), report, summary);
    EXPECT_TRUE(Reports(report, "setup.fil", 0, "\"../outside.exe\" has an unsafe name"));
    EXPECT_TRUE(Reports(report, "setup.fil", 0, "\"C:/Windows/evil.dll\" has an unsafe name"));
    EXPECT_TRUE(Reports(report, "setup.fil", 0, "\"docs/NUL.txt\" has an unsafe name"));
    EXPECT_FALSE(Reports(report, "setup.fil", 0, "\"app.exe\""));

    // The build refuses such names in the source folder.
    Write("setup.fil/con.txt", "device");
    REPORT built;
    PackFolder((Source / "setup.fil").string(), (Root / "out.fil").string(), built, summary);
    EXPECT_TRUE(Reports(built, "out.fil", 0, "\"con.txt\" is not packed"));
    EXPECT_EQ(EngineContents(Root / "out.fil").count("con.txt"), 0u);
}

TEST_F(SetupPack, NamesBeyondAsciiArePackedAsFlaggedUtf8) {
    const std::string name = "docs/Ölkännchen 山.txt";
    Write("setup.fil/" + name, "named in UTF-8");
    const REPORT built = Build();
    EXPECT_TRUE(built.Clean()) << Listed(built);
    EXPECT_EQ(EngineContents(Package / "setup.fil").count(name), 1u);
    const std::string listing = BsdtarListing(Package / "setup.fil");
    EXPECT_NE(listing.find(name + "\n"), std::string::npos) << listing;
    const std::map<std::string, unsigned> flags = CentralFlags(Package / "setup.fil");
    ASSERT_EQ(flags.count(name), 1u);
    EXPECT_EQ(flags.at(name) & 0x0800, 0x0800u);
    EXPECT_EQ(flags.at("docs/readme.txt") & 0x0800, 0u) << "ASCII names stay as other archivers write them";
    EXPECT_EQ(flags.at("docs/") & 0x0800, 0u);

    // A name that is not UTF-8 means nothing certain on Windows: not packed.
    Write("setup.fil/caf\xE9.txt", "latin-1");
    REPORT refused;
    std::ostringstream summary;
    PackFolder((Source / "setup.fil").string(), (Root / "out.fil").string(), refused, summary);
    EXPECT_TRUE(Reports(refused, "out.fil", 0, "is not packed"));
}

// Lengths count characters as Windows does, not bytes: "C:\Program Files\" and the member.
TEST_F(SetupPack, MembersTooLongForAWindowsPathAreReported) {
    const std::string deep = "deep/" + std::string(120, 'a') + "/" + std::string(120, 'b') + ".txt";
    std::string wide = "docs/";
    for (int i = 0; i < 80; ++i)
        wide += "山"; // 240 bytes, 80 characters
    wide += ".txt";
    Write("setup.fil/" + deep, "deep");
    Write("setup.fil/" + wide, "wide");
    const REPORT report = CheckConfig(GOOD_CONFIG);
    EXPECT_TRUE(Reports(report, "setup.fil", 0,
                        "member \"" + deep + "\" is 267 characters long under \"C:\\Program Files\""));
    EXPECT_EQ(report.All().size(), 1u) << Listed(report);

    const REPORT elsewhere = CheckConfig(std::string(GOOD_CONFIG) + "InstallPath=*D:\\\\Demo\n");
    EXPECT_TRUE(elsewhere.Clean()) << "258 characters under D:\\Demo fit\n" << Listed(elsewhere);
    const REPORT nested = CheckConfig(std::string(GOOD_CONFIG) + "InstallPath=Orvik\\\\Demo Pad\n");
    EXPECT_TRUE(Reports(nested, "setup.fil", 0, "is 282 characters long under \"C:\\Program Files\\Orvik"));
}

TEST_F(SetupPack, ProtectedFilesMatchMembersAsSetupDoes) {
    const REPORT report = CheckConfig(std::string(GOOD_CONFIG) +
                                      "ProtectedFiles=*.INI|docs\\\\read*.txt;kept|app.ex?|logs/*.log|"
                                      "missing.dll\n"); // 16
    EXPECT_TRUE(Reports(report, "setup.cfg", 16, "\"logs/*.log\", which no archive member has"));
    EXPECT_TRUE(Reports(report, "setup.cfg", 16, "\"missing.dll\", which no archive member has"));
    EXPECT_EQ(report.All().size(), 2u) << "patterns, case and \"\\\" as setup matches them\n"
                                       << Listed(report);
}

TEST(SetupPackKeys, TheNearestKeyIsFoundDespiteTyposAndLetterCase) {
    const std::vector<CONFIGKEY>& keys = SetupConfigKeys();
    EXPECT_EQ(NearestKey("AppNmae", keys), "AppName");
    EXPECT_EQ(NearestKey("startmenuopt", keys), "StartmenuOpts");
    EXPECT_EQ(NearestKey("DesktopIcons", keys), "DesktopIcon");
    EXPECT_EQ(NearestKey("CopyToDestination", keys), "CopyToDest");
    EXPECT_EQ(EditDistance("kitten", "SITTING"), 3u);
    EXPECT_EQ(EscapeFault("C:\\\\Prog\\n\\x41"), "");
    EXPECT_NE(EscapeFault("\\x4"), "");
    EXPECT_NE(EscapeFault("end\\"), "");
}

TEST(SetupPackFileTypes, SystemTypesAndTheRecordOfEarlierKeys) {
    for (const char* type : {".exe", " .LNK ", "exefile", "Applications", "SystemFileAssociations", "*", "",
                             "Microsoft.PowerShellScript.1", "Windows.Something", "ms-settings", "https"})
        EXPECT_TRUE(IsSystemFileType(STRING(type))) << type;
    for (const char* type : {".odemo", "DemoPad.Document", ".exe2", "txtfiles", ".demo.exe"})
        EXPECT_FALSE(IsSystemFileType(STRING(type))) << type;

    ROOTVALUES values;
    EXPECT_TRUE(values.Add(STRING(".odnote"), STRING("DemoPad.Note")));
    EXPECT_TRUE(values.Add(STRING("DemoPad.Note\\Shell\\open\\command"), STRING("Q:\\demo.exe \"%1\"")));
    EXPECT_FALSE(values.Add(STRING(".odlog"), STRING("a|b"))) << "a text the list cannot hold";
    EXPECT_FALSE(values.Add(STRING(".odlog"), STRING("a;b")));
    EXPECT_EQ(values.Text(), ".odnote;DemoPad.Note|DemoPad.Note\\Shell\\open\\command;Q:\\demo.exe \"%1\"");
    STRING key, text;
    ASSERT_TRUE(ParseRootValue(STRING(".odnote;"), &key, &text));
    EXPECT_EQ(key, ".odnote");
    EXPECT_EQ(text, "");
    EXPECT_FALSE(ParseRootValue(STRING(";x"), &key, &text));
    EXPECT_FALSE(ParseRootValue(STRING("nokey"), &key, &text));
}
