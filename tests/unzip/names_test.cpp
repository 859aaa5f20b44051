#include "unzip/names.h"

#include <gtest/gtest.h>

using namespace orvik::unzip;

TEST(Wildcards, StarQuestionAndSets) {
    struct Case {
        const char* pattern;
        const char* name;
        bool ignoreCase;
        bool matches;
    } cases[] = {
        {"*", "anything/at/all.txt", false, true},
        {"*.txt", "docs/readme.txt", false, true},
        {"*.txt", "readme.txt.bak", false, false},
        {"read?e.txt", "readme.txt", false, true},
        {"read?e.txt", "reade.txt", false, false},
        {"[a-c]*", "beta", false, true},
        {"[a-c]*", "delta", false, false},
        {"[!a-c]*", "delta", false, true},
        {"[^a-c]*", "alpha", false, false},
        {"file[0-9][0-9].dat", "file42.dat", false, true},
        {"file[0-9][0-9].dat", "file4x.dat", false, false},
        {"README.TXT", "readme.txt", true, true},
        {"README.TXT", "readme.txt", false, false},
        {"*.INI", "setup.ini", true, true},
        {"[A-C]*", "beta", true, true},
        {"a*b*c", "aXXbYYc", false, true},
        {"a*b*c", "aXXbYY", false, false},
        {"**x", "yyx", false, true},
        {"a[1", "a[1", false, true},
        {"", "", false, true},
        {"", "x", false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WildcardMatch(c.pattern, c.name, c.ignoreCase), c.matches)
            << c.pattern << " vs " << c.name << (c.ignoreCase ? " (ignoring case)" : "");
    EXPECT_TRUE(HasWildcards("a*"));
    EXPECT_TRUE(HasWildcards("a[1]"));
    EXPECT_FALSE(HasWildcards("plain/name.txt"));
}

TEST(MemberNames, CaseIgnoringHostsAreLowerCasedAndBackslashesBecomeSlashes) {
    EXPECT_EQ(NormalizeMemberName("SUB\\README.TXT", 0), "sub/readme.txt"); // MS-DOS
    EXPECT_EQ(NormalizeMemberName("Mixed\\Case.Txt", 3), "Mixed/Case.Txt"); // Unix keeps case
    EXPECT_EQ(NormalizeMemberName("NTFS.TXT", 11), "NTFS.TXT");             // NTFS keeps case
    for (unsigned host : {0u, 4u, 5u, 9u, 10u})
        EXPECT_TRUE(HostIgnoresCase(host)) << host;
    for (unsigned host : {1u, 2u, 3u, 6u, 7u, 8u, 11u, 12u})
        EXPECT_FALSE(HostIgnoresCase(host)) << host;
}

TEST(MemberPaths, SafeNamesMapToComponents) {
    struct Case {
        const char* name;
        std::vector<std::string> components;
    } cases[] = {
        {"readme.txt", {"readme.txt"}},
        {"docs/guide/intro.txt", {"docs", "guide", "intro.txt"}},
        {"win\\sub\\file.txt", {"win", "sub", "file.txt"}},
        {"a//b/./c", {"a", "b", "c"}},
        {"data/", {"data"}},
        {"name:stream.txt", {"name_stream.txt"}},
        {"ctl\x01\x1f\x7f"
         "char.txt",
         {"ctlchar.txt"}},
        {"quoted\x16\x01"
         "x",
         {"quotedx"}},
        {"vms.txt;12", {"vms.txt"}},
        {"keep;v1.txt", {"keep;v1.txt"}},
        {"high \xC3\xA4 \xE5\xB1\xB1.txt", {"high \xC3\xA4 \xE5\xB1\xB1.txt"}},
        {"console.txt", {"console.txt"}},
        {"com10.txt", {"com10.txt"}},
        {"..hidden", {"..hidden"}},
        {"with space.txt", {"with space.txt"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> components;
        ASSERT_EQ(MapMemberPath(c.name, false, components), PathVerdict::Safe) << c.name;
        EXPECT_EQ(components, c.components) << c.name;
    }
    std::vector<std::string> fat;
    ASSERT_EQ(MapMemberPath("my docs/a b.txt", true, fat), PathVerdict::Safe);
    EXPECT_EQ(fat, (std::vector<std::string>{"my_docs", "a_b.txt"}));
}

TEST(MemberPaths, NamesThatWouldLeaveTheDirectoryAreRefused) {
    const char* unsafe[] = {
        "../escape.txt",
        "a/../../climb.txt",
        "a/..",
        "/absolute.txt",
        "\\rooted.txt",
        "//server/share/x",
        "\\\\server\\share\\x",
        "C:/drive.txt",
        "c:relative.txt",
        "Z:\\x",
        "dir\\..\\..\\x.txt",
        "sub/.../x",
        "sub/. ./x",
        "x/\x01..\x02/y",
        // Names are UTF-8 by now: other bytes mean nothing certain.
        "high\x80\xfe.txt",
        "char\xff.txt",
        "\xC0\xAE\xC0\xAE/x",
        // Windows devices, in any case, with or without extension, anywhere in the path.
        "CON",
        "con",
        "prn.txt",
        "sub/aux",
        "NUL.tar.gz",
        "COM1",
        "com9.log",
        "LPT1",
        "lpt9.txt",
        "nul ",
    };
    for (const char* name : unsafe) {
        std::vector<std::string> components;
        EXPECT_EQ(MapMemberPath(name, false, components), PathVerdict::Unsafe) << name;
    }
    std::vector<std::string> components;
    EXPECT_EQ(MapMemberPath("", false, components), PathVerdict::Empty);
    EXPECT_EQ(MapMemberPath("\x01\x02/\x03", false, components), PathVerdict::Empty);
}

TEST(MemberPaths, DeviceNamesNeedAnExactBaseName) {
    EXPECT_TRUE(IsDeviceName("AUX"));
    EXPECT_TRUE(IsDeviceName("Com3.dat"));
    EXPECT_FALSE(IsDeviceName("COM0"));
    EXPECT_FALSE(IsDeviceName("COM"));
    EXPECT_FALSE(IsDeviceName("auxiliary"));
    EXPECT_FALSE(IsDeviceName("lpt10"));
    EXPECT_FALSE(IsDeviceName("nulls.txt"));
}
