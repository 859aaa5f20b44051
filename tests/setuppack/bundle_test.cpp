// The parts of a bundle that do not need Windows: the resources setuppack writes into the program part, the
// checks the bundle program makes of its package and of its command line, the checksum and the catalogue
// manifest, validated against the catalogue's schema by python3-jsonschema.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tools/bundle/bundlerun.h"
#include "tools/setuppack/catalogue.h"
#include "tools/setuppack/peresources.h"
#include "lib/sha256.h"
#include "tools/setuppack/signing.h"
#include "tools/setuppack/zipwriter.h"
#include "tests/common/scratch_folder.h"
#include "unzip/engine.h"

namespace fs = std::filesystem;
using namespace setuppack;

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

// The smallest 64-bit program file the resource code accepts: headers of 0x400 bytes and one code section.
std::vector<uint8_t> MinimalImage() {
    std::vector<uint8_t> image(0x600, 0);
    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3C, 0x80);
    Put32(image, 0x80, 0x00004550);
    Put16(image, 0x84, 0x8664); // machine
    Put16(image, 0x86, 1);      // sections
    Put16(image, 0x94, 240);    // optional header size
    const size_t optional = 0x98;
    Put16(image, optional, 0x20B);
    Put32(image, optional + 32, 0x1000); // section alignment
    Put32(image, optional + 36, 0x200);  // file alignment
    Put32(image, optional + 56, 0x2000); // image size
    Put32(image, optional + 60, 0x400);  // header size
    Put32(image, optional + 108, 16);    // data directories
    const size_t section = optional + 240;
    std::copy_n(".text", 5, image.begin() + section);
    Put32(image, section + 8, 0x10);
    Put32(image, section + 12, 0x1000);
    Put32(image, section + 16, 0x200);
    Put32(image, section + 20, 0x400);
    return image;
}

std::string Text(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// A fresh folder below the scratch folder of this run of the suite, which goes when the suite ends.
fs::path Scratch(const std::string& name) {
    static const SCRATCHFOLDER root("bundle_test");
    const fs::path folder = root.Path() / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(Sha256, GivesThePublishedDigests) {
    const struct {
        std::string Input;
        const char* Digest;
    } cases[] = {
        {"", "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"},
        {"abc", "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
        // 56 bytes: the length no longer fits the first block.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1"},
        {std::string(1000000, 'a'), "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0"},
    };
    for (const auto& c : cases) {
        orvik::SHA256 sha;
        // In two uneven pieces, as a file is read.
        const size_t half = c.Input.size() / 3;
        sha.Update(reinterpret_cast<const uint8_t*>(c.Input.data()), half);
        sha.Update(reinterpret_cast<const uint8_t*>(c.Input.data()) + half, c.Input.size() - half);
        EXPECT_EQ(sha.HexDigest(), c.Digest) << c.Input.size() << " bytes";
    }
}

TEST(VersionResource, NamesTheProductAsTheBundleProgramReadsItBack) {
    VERSIONTEXTS texts{"DemoPad", "2.4", "DemoPad 2.4 Setup", "Orvik", "DemoPadSetup.exe"};
    const std::vector<uint8_t> resource = VersionResource(texts);
    const auto read = [&](const char16_t* key) {
        return bundle::VersionText(resource.data(), resource.size(), key);
    };
    EXPECT_EQ(read(u"ProductName"), u"DemoPad");
    EXPECT_EQ(read(u"ProductVersion"), u"2.4");
    EXPECT_EQ(read(u"FileVersion"), u"2.4");
    EXPECT_EQ(read(u"FileDescription"), u"DemoPad 2.4 Setup");
    EXPECT_EQ(read(u"CompanyName"), u"Orvik");
    EXPECT_EQ(read(u"LegalCopyright"), u"");
    // The fixed part: its signature, then file and product version as numbers (2.4.0.0).
    const std::string bytes = Text(resource);
    const size_t fixed = bytes.find("\xBD\x04\xEF\xFE");
    ASSERT_NE(fixed, std::string::npos);
    EXPECT_EQ(bytes.substr(fixed + 8, 8), std::string("\x04\x00\x02\x00\x00\x00\x00\x00", 8));
    EXPECT_EQ(resource[0] | resource[1] << 8, static_cast<int>(resource.size()));
    // A cut or empty resource yields nothing rather than reading past it.
    EXPECT_EQ(bundle::VersionText(resource.data(), 40, u"ProductName"), u"");
    EXPECT_EQ(bundle::VersionText(nullptr, 0, u"ProductName"), u"");

    const struct {
        const char* Text;
        uint16_t Numbers[4];
    } versions[] = {{"2.4", {2, 4, 0, 0}},
                    {"1.2.3.4.5", {1, 2, 3, 4}},
                    {"", {0, 0, 0, 0}},
                    {"5.6beta", {5, 6, 0, 0}},
                    {"10.0.19041", {10, 0, 19041, 0}}};
    for (const auto& v : versions) {
        uint16_t numbers[4];
        VersionNumbers(v.Text, numbers);
        EXPECT_EQ(std::vector<uint16_t>(numbers, numbers + 4),
                  std::vector<uint16_t>(v.Numbers, v.Numbers + 4))
            << v.Text;
    }
}

TEST(ProgramResources, AReplacedResourceSectionReadsBackAndTheOldOneLosesItsName) {
    std::vector<uint8_t> image = MinimalImage();
    std::vector<RESOURCE> before;
    std::string error;
    ASSERT_TRUE(ReadResources(image, before, error)) << error;
    EXPECT_TRUE(before.empty());

    const std::vector<RESOURCE> resources = {
        {RES_MANIFEST, u"", 1, LANGUAGE_ENGLISH_US, {'<', 'x', '/', '>'}},
        {RES_VERSION, u"", 1, LANGUAGE_ENGLISH_US, VersionResource({"P", "1.0", "", "", ""})},
        {RES_ICON, u"", 2, 0, {1, 2, 3}},
        {RES_ICON, u"", 1, 0, {4, 5}},
        {RES_GROUP_ICON, u"MAINICON", 0, 0x0407, {9}},
    };
    ASSERT_TRUE(ReplaceResources(image, resources, error)) << error;
    EXPECT_EQ(image.size() % 0x200, 0u);
    std::vector<RESOURCE> after;
    ASSERT_TRUE(ReadResources(image, after, error)) << error;
    // In the order of the tree: types by number, named entries before numbered ones.
    ASSERT_EQ(after.size(), resources.size());
    const size_t order[] = {3, 2, 4, 1, 0};
    for (size_t i = 0; i < after.size(); ++i) {
        const RESOURCE& expected = resources[order[i]];
        EXPECT_EQ(after[i].Type, expected.Type);
        EXPECT_EQ(after[i].Name, expected.Name);
        EXPECT_EQ(after[i].Id, expected.Id);
        EXPECT_EQ(after[i].Language, expected.Language);
        EXPECT_EQ(after[i].Data, expected.Data);
    }
    // A second time over: the section of the first replacement is the one renamed.
    ASSERT_TRUE(ReplaceResources(image, after, error)) << error;
    EXPECT_EQ(Text(image).find(".rsrc0"), Text(image).rfind(".rsrc0"));
    EXPECT_NE(Text(image).find(".rsrc0"), std::string::npos);

    // What must not change: an image with an archive behind it, a signed one, something else altogether.
    std::vector<uint8_t> appended = MinimalImage();
    appended.push_back('P');
    EXPECT_FALSE(ReplaceResources(appended, resources, error));
    std::vector<uint8_t> signedimage = MinimalImage();
    Put32(signedimage, 0x98 + 112 + 4 * 8, 0x600);
    EXPECT_FALSE(ReplaceResources(signedimage, resources, error));
    EXPECT_NE(error.find("signed"), std::string::npos);
    std::vector<uint8_t> text(100, 'x');
    EXPECT_FALSE(ReadResources(text, after, error));
}

TEST(ProgramResources, TheProductIconComesFromAnIconFileOrAProgramsFirstIconGroup) {
    // An icon file with two images: 6-byte header, two 16-byte entries, the images.
    std::string ico("\0\0\1\0\2\0", 6);
    auto entry = [](uint8_t size, uint32_t bytes, uint32_t offset) {
        std::string e(16, '\0');
        e[0] = static_cast<char>(size);
        e[1] = static_cast<char>(size);
        for (int i = 0; i < 4; ++i) {
            e[8 + i] = static_cast<char>(bytes >> (8 * i));
            e[12 + i] = static_cast<char>(offset >> (8 * i));
        }
        return e;
    };
    ico += entry(16, 3, 38) + entry(32, 2, 41) + "abcde";
    std::vector<RESOURCE> icons;
    std::string error;
    ASSERT_TRUE(IconResources(std::vector<uint8_t>(ico.begin(), ico.end()), icons, error)) << error;
    ASSERT_EQ(icons.size(), 3u);
    EXPECT_EQ(Text(icons[0].Data), "abc");
    EXPECT_EQ(Text(icons[1].Data), "de");
    EXPECT_EQ(icons[2].Type, RES_GROUP_ICON);
    EXPECT_EQ(icons[2].Data.size(), 6u + 2 * 14u);
    EXPECT_EQ(icons[2].Data[6 + 12], 1);
    EXPECT_EQ(icons[2].Data[6 + 14 + 12], 2);

    // The same icons in a program file, as a product's program carries them; then taken over from it.
    std::vector<uint8_t> program = MinimalImage();
    ASSERT_TRUE(ReplaceResources(program, icons, error)) << error;
    std::vector<RESOURCE> again;
    ASSERT_TRUE(IconResources(program, again, error)) << error;
    ASSERT_EQ(again.size(), 3u);
    EXPECT_EQ(again[0].Data, icons[0].Data);
    EXPECT_EQ(again[2].Data, icons[2].Data);

    // The bundle keeps its manifest; its own icon and version give way.
    const std::vector<RESOURCE> stub = {{RES_MANIFEST, u"", 1, 0, {'m'}},
                                        {RES_ICON, u"", 1, 0, {'s'}},
                                        {RES_GROUP_ICON, u"", 1, 0, {'g'}},
                                        {RES_VERSION, u"", 1, 0, {'v'}}};
    const std::vector<RESOURCE> bundled = WithProductIdentity(stub, icons, {'V'});
    ASSERT_EQ(bundled.size(), 5u);
    EXPECT_EQ(Text(bundled[0].Data), "m");
    EXPECT_EQ(Text(bundled.back().Data), "V");
    // Without a product icon the bundle keeps setup's.
    EXPECT_EQ(WithProductIdentity(stub, {}, {'V'}).size(), 4u);

    // Damaged icon files are refused, not read past their end.
    ico[38 - 16 + 12] = 100; // the second image's offset beyond the file
    EXPECT_FALSE(IconResources(std::vector<uint8_t>(ico.begin(), ico.end()), icons, error));
}

TEST(BundleProgram, HandsOnTheArgumentsAsTypedAndKnowsWhenNobodyIsThere) {
    const struct {
        std::u16string CommandLine;
        std::u16string Arguments;
    } lines[] = {
        {u"\"C:\\Users\\a b\\DemoPadSetup.exe\" /VERYSILENT /DIR=\"D:\\x y\"",
         u"/VERYSILENT /DIR=\"D:\\x y\""},
        {u"DemoPadSetup.exe   /SILENT", u"/SILENT"},
        {u"\"DemoPadSetup.exe\"", u""},
        {u"DemoPadSetup.exe", u""},
        {u"\"unterminated /x", u""},
        {u"b.exe\t-remove \"KEY\"", u"-remove \"KEY\""},
    };
    for (const auto& line : lines)
        EXPECT_EQ(bundle::ArgumentsOf(line.CommandLine), line.Arguments);

    EXPECT_TRUE(bundle::Unattended(u"/VERYSILENT"));
    EXPECT_TRUE(bundle::Unattended(u"/DIR:x -suppressmsgboxes"));
    EXPECT_FALSE(bundle::Unattended(u"/SILENT"));
    EXPECT_FALSE(bundle::Unattended(u"/DIR:VERYSILENT /VERYSILENTX"));
    EXPECT_FALSE(bundle::Unattended(u""));

    EXPECT_EQ(bundle::DamageMessage(u"the file\n$FILE\nand $FILE", u"setup.fil"),
              u"the file\nsetup.fil\nand setup.fil");
    EXPECT_EQ(bundle::DamageMessage(u"no member", u"x"), u"no member");
}

// A bundle in miniature: a program part, then the package with offsets from the start of the file.
class MiniatureBundle : public testing::Test {
protected:
    void SetUp() override {
        Folder = Scratch(testing::UnitTest::GetInstance()->current_test_info()->name());
        WriteBytes(Folder / "setup.exe", "MZ setup");
        WriteBytes(Folder / "setup.cfg",
                   "AppName=Demo Pad\nAppVersion=2.4\nIniKey=OrvikDemo\nStartmenuName=Orvik Demo\n"
                   "FileTypes=.odemo;Demo.Doc=Doc;demo.exe \"%1\";demo.exe,1|.odlog;L=L;{null};x,0\n");
        std::string data(5000, '\0'); // does not deflate: stored as it is
        std::mt19937 random(29);
        for (char& c : data)
            c = static_cast<char>(random());
        WriteBytes(Folder / "data.bin", data);
        Bundle = (Folder.parent_path() / (Folder.filename().string() + ".exe")).string();
        std::vector<uint8_t> prefix = MinimalImage();
        ZIPWRITER zip;
        ASSERT_TRUE(zip.Open(Bundle, prefix));
        for (const char* name : {"data.bin", "setup.cfg", "setup.exe"})
            ASSERT_TRUE(zip.AddFile(name, (Folder / name).string(), DosTimeOf(0)));
        ASSERT_TRUE(zip.Finish());
    }

    bool Whole(const std::string& path, std::string& failed) {
        orvik::unzip::CollectedMessages messages;
        orvik::unzip::ZipArchive archive(messages);
        archive.Open(path, 2);
        return bundle::PackageIsWhole(archive, failed);
    }

    std::string Changed(size_t cut, int flip) {
        std::ifstream in(Bundle, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        if (flip >= 0) // in the data of data.bin, behind its local header's 30 bytes and name
            bytes[bytes.find("data.bin", 0x600) + 8 + static_cast<size_t>(flip)] ^= 1;
        if (cut)
            bytes.resize(cut);
        const std::string path = Bundle + ".changed.exe";
        WriteBytes(path, bytes);
        return path;
    }

    fs::path Folder;
    std::string Bundle;
};

TEST_F(MiniatureBundle, IsWholeOnlyWhenEveryMemberChecksAndSetupIsAmongThem) {
    std::string failed = "x";
    EXPECT_TRUE(Whole(Bundle, failed));
    EXPECT_EQ(failed, "");

    // A byte changed inside a member: that member is named. (Stored or deflated, the CRC catches it.)
    EXPECT_FALSE(Whole(Changed(0, 0), failed));
    EXPECT_EQ(failed, "data.bin");
    // Cut short: the directory is gone, no member to name.
    EXPECT_FALSE(Whole(Changed(fs::file_size(Bundle) - 30, -1), failed));
    EXPECT_EQ(failed, "");
    EXPECT_FALSE(Whole(Changed(0x700, -1), failed));

    // Whole, but without setup.exe: nothing could run.
    ZIPWRITER zip;
    ASSERT_TRUE(zip.Open(Bundle, MinimalImage()));
    ASSERT_TRUE(zip.AddFile("setup.cfg", (Folder / "setup.cfg").string(), DosTimeOf(0)));
    ASSERT_TRUE(zip.Finish());
    EXPECT_FALSE(Whole(Bundle, failed));
}

TEST_F(MiniatureBundle, ItsCatalogueManifestValidatesAgainstTheSchema) {
    std::ostringstream yaml;
    REPORT report;
    ASSERT_TRUE(WriteCatalogueManifest({Bundle, "https://demo.example/DemoPadSetup.exe", ""}, yaml, report));
    EXPECT_TRUE(report.Clean());
    const std::string text = yaml.str();
    for (const std::string& expected : std::vector<std::string>{
             std::string("PackageIdentifier: \"Orvik.DemoPad\""),
             "InstallerSha256: \"" + orvik::FileSha256(Bundle) + "\"", "ProductCode: \"OrvikDemo\"",
             "DisplayName: \"Orvik Demo\"", "Architecture: x64",
             "InstallLocation: \"/DIR=\\\"<INSTALLPATH>\\\"\"", "  - \"odemo\"", "  - \"odlog\"",
             "InstallerReturnCode: 9\n    ReturnResponse: installInProgress",
             "InstallerReturnCode: 10\n    ReturnResponse: diskFull",
             "InstallerReturnCode: 11\n    ReturnResponse: fileInUse",
             "InstallerReturnCode: 12\n    ReturnResponse: invalidParameter"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    EXPECT_EQ(text.find("InstallerReturnCode: 0\n"), std::string::npos) << "success is no expected failure";

    const std::string schema =
        std::string(std::getenv("ORVIK_TEST_DATA")) + "/winget-manifest.installer.1.10.0.json";
    auto validates = [&](const std::string& manifest) {
        const fs::path file = Folder / "manifest.yaml";
        WriteBytes(file, manifest);
        const std::string command =
            std::string(ORVIK_PYTHON3) +
            " -c \"import json,sys,yaml,jsonschema; jsonschema.validate(yaml.safe_load(open(sys.argv[1])),"
            " json.load(open(sys.argv[2])))\" '" +
            file.string() + "' '" + schema + "' 2>/dev/null";
        return std::system(command.c_str()) == 0;
    };
    EXPECT_TRUE(validates(text)) << text;
    // The validator does reject: an identifier without its vendor part, and a response the catalogue lacks.
    std::ostringstream bad;
    ASSERT_TRUE(WriteCatalogueManifest({Bundle, "https://demo.example/x.exe", "NoVendor"}, bad, report));
    EXPECT_FALSE(validates(bad.str()));
    std::string unknown = text;
    unknown.replace(unknown.find("installInProgress"), 17, "busy");
    EXPECT_FALSE(validates(unknown));

    EXPECT_FALSE(
        WriteCatalogueManifest({(Folder / "setup.exe").string(), "https://x.example/", ""}, bad, report));
}

TEST(Signing, TheCommandAndTheTestForASignature) {
    SIGNOPTIONS options{"cert.pem", "key.pem", "http://ts.example", "osslsigncode"};
    EXPECT_EQ(
        SignCommand(options, "in.exe", "out.exe"),
        (std::vector<std::string>{"osslsigncode", "sign", "-certs", "cert.pem", "-key", "key.pem", "-h",
                                  "sha256", "-ts", "http://ts.example", "-in", "in.exe", "-out", "out.exe"}));
    const fs::path folder = Scratch("signing");
    std::vector<uint8_t> image = MinimalImage();
    WriteBytes(folder / "plain.exe", Text(image));
    EXPECT_FALSE(HasSignature((folder / "plain.exe").string()));
    Put32(image, 0x98 + 112 + 4 * 8, 0x600);
    Put32(image, 0x98 + 112 + 4 * 8 + 4, 0x20);
    WriteBytes(folder / "signed.exe", Text(image));
    EXPECT_TRUE(HasSignature((folder / "signed.exe").string()));
    WriteBytes(folder / "readme.txt", "MZ but not a program");
    EXPECT_FALSE(HasSignature((folder / "readme.txt").string()));

    // A tool that is not there is reported as such, and the file stays as it was.
    options.Tool = "no-such-signing-tool";
    REPORT report;
    std::ostringstream summary;
    EXPECT_FALSE(SignFile(options, (folder / "plain.exe").string(), report, summary));
    ASSERT_EQ(report.All().size(), 1u);
    EXPECT_NE(report.All()[0].Text.find("cannot be started"), std::string::npos);
    EXPECT_EQ(fs::file_size(folder / "plain.exe"), MinimalImage().size());
}

} // namespace
