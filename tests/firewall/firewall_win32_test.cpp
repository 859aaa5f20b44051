// FIREWALL against an in-process firewall that keeps a real list: what ends up on the list, what each call
// answers and what it logs. The last group runs the system's own firewall objects, which under Wine only
// show that nothing breaks.
#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "lib/firewall/firewall.h"
#include "lib/orvik.h"
#include "tests/common/fakefirewall.h"

namespace {

// The log written while the object lives, read back by Text().
class LOGFILE {
public:
    LOGFILE() {
        char folder[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, folder);
        static int counter = 0;
        Name = std::string(folder) + "firewall-test-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(++counter) + ".log";
        LogitOption(("/LOGIT:" + Name).c_str());
    }
    ~LOGFILE() {
        Close();
        DeleteFileA(Name.c_str());
    }
    std::string Text() {
        Close();
        std::ifstream in(Name, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }

private:
    void Close() {
        if (Open)
            LogitOption("/LOGITCLOSE");
        Open = false;
    }
    std::string Name;
    bool Open = true;
};

// Fails unless every piece occurs in text, in this order.
testing::AssertionResult InOrder(const std::string& text, std::initializer_list<std::string> pieces) {
    size_t from = 0;
    for (const std::string& piece : pieces) {
        const size_t at = text.find(piece, from);
        if (at == std::string::npos)
            return testing::AssertionFailure() << "missing (in this order): \"" << piece << "\"\nlog:\n"
                                               << text;
        from = at + piece.size();
    }
    return testing::AssertionSuccess();
}

bool Contains(const std::string& text, const std::string& piece) {
    return text.find(piece) != std::string::npos;
}

unsigned long AssertCount() {
    return LastAssertFailure().Count;
}

const char* const Program = "C:\\Program Files\\Orvik\\viewer.exe";
const wchar_t* const ProgramW = L"C:\\Program Files\\Orvik\\viewer.exe";

class FirewallTest : public testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(0, Fake.LiveObjects) << "a firewall object was not released"; }
    FAKEFIREWALL Fake;
};

} // namespace

// ---- Construction -----------------------------------------------------------------------------------------

using FirewallConstruction = FirewallTest;

TEST_F(FirewallConstruction, GetsTheCurrentProfileAndReleasesItWithTheObject) {
    LOGFILE log;
    {
        FIREWALL firewall(Fake);
        EXPECT_EQ(1, firewall.boolUpAndRunning);
        EXPECT_EQ(1, Fake.LiveObjects) << "only the profile is kept";
    }
    EXPECT_TRUE(InOrder(log.Text(), {"FIREWALL::Constructor()\r\n", "FIREWALL::~Constructor()\r\n",
                                     "FIREWALL::Destructor()\r\n", "FIREWALL::~Destructor()\r\n"}));
}

TEST_F(FirewallConstruction, BeforeWindowsXpStaysInertAndTouchesNoComObject) {
    Fake.OSType = 2;
    LOGFILE log;
    const unsigned long asserts = AssertCount();
    {
        FIREWALL firewall(Fake);
        EXPECT_EQ(0, firewall.boolUpAndRunning);

        int result = 7;
        EXPECT_EQ(1, firewall.IsAppEnabled(Program, &result)) << "an inert object answers success";
        EXPECT_EQ(7, result) << "and leaves the result alone";
        EXPECT_EQ(0, firewall.AddApplication(Program, "Viewer"));
        EXPECT_EQ(0, firewall.RemoveApplication(Program));
    }
    EXPECT_EQ(0, Fake.AllCalls());
    EXPECT_EQ(3u, AssertCount() - asserts) << "each operation asserts that the object is usable";
    EXPECT_EQ("this->boolUpAndRunning", std::string(LastAssertFailure().Condition.Text()));
    const std::string text = log.Text();
    EXPECT_TRUE(InOrder(text, {"FIREWALL::Constructor()\r\n",
                               "FIREWALL::Constructor() WinOS < WinXP detected, constructor aborted\r\n",
                               "FIREWALL::Destructor()\r\n"}));
    EXPECT_FALSE(Contains(text, "FIREWALL::~Constructor()"));
}

TEST_F(FirewallConstruction, WindowsXpIsEnough) {
    Fake.OSType = 3;
    FIREWALL firewall(Fake);
    EXPECT_EQ(1, firewall.boolUpAndRunning);
}

struct CONSTRUCTIONFAILURE {
    FAKEOP Op;
    const char* Line;
};

// "FIREWALL::Constructor() get_LocalPolicy failed" -> "get_LocalPolicy": readable test names.
template <class P> std::string StepName(const testing::TestParamInfo<P>& info) {
    std::string line = info.param.Line;
    line = line.substr(line.find(')') + 2);
    std::string name;
    for (char c : line)
        if (isalnum(static_cast<unsigned char>(c)))
            name += c;
    return name;
}

class FirewallConstructionFailure : public FirewallTest,
                                    public testing::WithParamInterface<CONSTRUCTIONFAILURE> {};

TEST_P(FirewallConstructionFailure, IsLoggedWithItsCodeAndLeavesTheObjectInert) {
    Fake.Fail(GetParam().Op, E_ACCESSDENIED);
    LOGFILE log;
    {
        FIREWALL firewall(Fake);
        EXPECT_EQ(0, firewall.boolUpAndRunning);
        EXPECT_EQ(0, Fake.LiveObjects) << "manager and policy are released in every case";
        EXPECT_EQ(0, firewall.AddApplication(Program, "Viewer"));
    }
    EXPECT_TRUE(Fake.List.empty());
    EXPECT_TRUE(InOrder(log.Text(),
                        {std::string(GetParam().Line) + ": 0x80070005\r\n", "FIREWALL::~Constructor()\r\n"}));
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, FirewallConstructionFailure,
    testing::Values(
        CONSTRUCTIONFAILURE{FAKEOP::CreateManager, "FIREWALL::Constructor() CoCreateInstance failed"},
        CONSTRUCTIONFAILURE{FAKEOP::LocalPolicy, "FIREWALL::Constructor() get_LocalPolicy failed"},
        CONSTRUCTIONFAILURE{FAKEOP::CurrentProfile, "FIREWALL::Constructor() get_CurrentProfile failed"}),
    StepName<CONSTRUCTIONFAILURE>);

// ---- IsAppEnabled
// -------------------------------------------------------------------------------------------

using FirewallIsAppEnabled = FirewallTest;

TEST_F(FirewallIsAppEnabled, TellsEnabledDisabledAndAbsentApart) {
    Fake.Put({ProgramW, L"Viewer", true});
    Fake.Put({L"C:\\off.exe", L"Off", false});
    FIREWALL firewall(Fake);
    int result = -1;

    LOGFILE enabledlog;
    EXPECT_EQ(S_OK, firewall.IsAppEnabled(Program, &result));
    EXPECT_EQ(1, result);
    EXPECT_TRUE(
        InOrder(enabledlog.Text(), {std::string("FIREWALL::IsAppEnabled() appname=") + Program + "\r\n",
                                    "FIREWALL::IsAppEnabled() Application is in exception list\r\n",
                                    "FIREWALL::IsAppEnabled() Application is enabled\r\n",
                                    "FIREWALL::~IsAppEnabled(), isenabled=1\r\n"}));

    LOGFILE disabledlog;
    EXPECT_EQ(S_OK, firewall.IsAppEnabled("c:\\OFF.exe", &result)) << "the list ignores letter case";
    EXPECT_EQ(0, result);
    EXPECT_TRUE(InOrder(disabledlog.Text(), {"FIREWALL::IsAppEnabled() Application is in exception list\r\n",
                                             "FIREWALL::IsAppEnabled() Application is disabled\r\n",
                                             "FIREWALL::~IsAppEnabled(), isenabled=0\r\n"}));

    LOGFILE absentlog;
    result = 1;
    EXPECT_EQ(S_OK, firewall.IsAppEnabled("C:\\elsewhere.exe", &result));
    EXPECT_EQ(0, result);
    EXPECT_TRUE(
        Contains(absentlog.Text(), "FIREWALL::IsAppEnabled() Application is not in exception list\r\n"));
}

TEST_F(FirewallIsAppEnabled, FailuresOfTheListAndOfTheEntryAreReturnedWithResultZero) {
    Fake.Put({ProgramW, L"Viewer", true});
    FIREWALL firewall(Fake);
    int result = -1;

    Fake.Fail(FAKEOP::Enabled, E_UNEXPECTED);
    LOGFILE entrylog;
    EXPECT_EQ(E_UNEXPECTED, firewall.IsAppEnabled(Program, &result));
    EXPECT_EQ(0, result);
    EXPECT_TRUE(Contains(entrylog.Text(), "FIREWALL::IsAppEnabled() get_Enabled failed: 0x8000ffff\r\n"));

    Fake.Fail(FAKEOP::AuthorizedApplications, E_ACCESSDENIED);
    LOGFILE listlog;
    result = -1;
    EXPECT_EQ(E_ACCESSDENIED, firewall.IsAppEnabled(Program, &result));
    EXPECT_EQ(0, result);
    EXPECT_TRUE(Contains(listlog.Text(),
                         "FIREWALL::IsAppEnabled() get_AuthorizedApplications failed: 0x80070005\r\n"));
}

// ---- AddApplication
// -----------------------------------------------------------------------------------------

using FirewallAddApplication = FirewallTest;

TEST_F(FirewallAddApplication, PutsTheProgramOnTheListEnabledUnderItsName) {
    LOGFILE log;
    {
        FIREWALL firewall(Fake);
        EXPECT_EQ(1, firewall.AddApplication(Program, "Orvik Viewer"));
        int result = 0;
        firewall.IsAppEnabled(Program, &result);
        EXPECT_EQ(1, result);
    }
    ASSERT_EQ(1u, Fake.List.size());
    EXPECT_EQ(std::wstring(ProgramW), Fake.List[0].Path);
    EXPECT_EQ(L"Orvik Viewer", Fake.List[0].Name);
    EXPECT_TRUE(Fake.List[0].Enabled);
    EXPECT_TRUE(InOrder(log.Text(), {std::string("FIREWALL::AddApplication() appname=") + Program + "\r\n",
                                     "FIREWALL::IsAppEnabled() Application is not in exception list\r\n",
                                     std::string("FIREWALL::AddApplication() Application ") + Program +
                                         " is now added to the firewall\r\n",
                                     "FIREWALL::~AddApplication()\r\n"}));
}

TEST_F(FirewallAddApplication, TextsGoToTheListThroughCodePage1252) {
    FIREWALL firewall(Fake);
    EXPECT_EQ(1, firewall.AddApplication("C:\\\xDC"
                                         "bersicht\\\x80uro.exe",
                                         "Gr\xFC\xDF"
                                         "e"));
    ASSERT_EQ(1u, Fake.List.size());
    EXPECT_EQ(L"C:\\\u00DCbersicht\\\u20ACuro.exe", Fake.List[0].Path);
    EXPECT_EQ(L"Gr\u00FC\u00DFe", Fake.List[0].Name);
}

TEST_F(FirewallAddApplication, AnEnabledEntryIsLeftAsItIs) {
    Fake.Put({ProgramW, L"Chosen by the user", true});
    LOGFILE log;
    FIREWALL firewall(Fake);
    EXPECT_EQ(1, firewall.AddApplication(Program, "Orvik Viewer"));
    ASSERT_EQ(1u, Fake.List.size());
    EXPECT_EQ(L"Chosen by the user", Fake.List[0].Name);
    EXPECT_EQ(0, Fake.Calls(FAKEOP::CreateApplication));
    EXPECT_EQ(0, Fake.Calls(FAKEOP::Add));
    EXPECT_TRUE(InOrder(log.Text(), {"FIREWALL::AddApplication() Application is already added\r\n",
                                     "FIREWALL::~AddApplication()\r\n"}));
}

TEST_F(FirewallAddApplication, ADisabledEntryIsReplacedByAnEnabledOne) {
    Fake.Put({ProgramW, L"Old", false});
    FIREWALL firewall(Fake);
    EXPECT_EQ(1, firewall.AddApplication(Program, "Orvik Viewer"));
    ASSERT_EQ(1u, Fake.List.size());
    EXPECT_TRUE(Fake.List[0].Enabled);
    EXPECT_EQ(L"Orvik Viewer", Fake.List[0].Name);
}

TEST_F(FirewallAddApplication, AnEmptyNameIsRefusedAsAFailedAllocation) {
    LOGFILE log;
    FIREWALL firewall(Fake);
    EXPECT_EQ(0, firewall.AddApplication(Program, ""));
    EXPECT_TRUE(Fake.List.empty());
    EXPECT_EQ(0, Fake.Calls(FAKEOP::Add));
    EXPECT_TRUE(InOrder(log.Text(), {"FIREWALL::AddApplication() SysAllocString failed: 0x8007000e\r\n",
                                     "FIREWALL::~AddApplication()\r\n"}));
}

TEST_F(FirewallAddApplication, NullTextsAreAssertedAndAddNothing) {
    FIREWALL firewall(Fake);
    const unsigned long asserts = AssertCount();
    EXPECT_EQ(0, firewall.AddApplication(nullptr, "Viewer"));
    EXPECT_EQ("appname", std::string(LastAssertFailure().Condition.Text()));
    EXPECT_EQ(0, firewall.AddApplication(Program, nullptr));
    EXPECT_EQ("friendlyname", std::string(LastAssertFailure().Condition.Text()));
    EXPECT_GE(AssertCount() - asserts, 2u);
    EXPECT_TRUE(Fake.List.empty());
}

struct ADDFAILURE {
    FAKEOP Op;
    const char* Line;
};

class FirewallAddFailure : public FirewallTest, public testing::WithParamInterface<ADDFAILURE> {};

TEST_P(FirewallAddFailure, EndsTheAdditionWithItsCodeAndAFalseResult) {
    FIREWALL firewall(Fake);
    Fake.Fail(GetParam().Op, E_ACCESSDENIED);
    LOGFILE log;
    EXPECT_EQ(0, firewall.AddApplication(Program, "Viewer"));
    EXPECT_TRUE(Fake.List.empty());
    EXPECT_TRUE(InOrder(
        log.Text(), {std::string(GetParam().Line) + ": 0x80070005\r\n", "FIREWALL::~AddApplication()\r\n"}));
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, FirewallAddFailure,
    testing::Values(
        // The list cannot be read: IsAppEnabled fails first.
        ADDFAILURE{FAKEOP::AuthorizedApplications, "FIREWALL::AddApplication() failed"},
        ADDFAILURE{FAKEOP::CreateApplication, "FIREWALL::AddApplication() CoCreateInstance failed"},
        ADDFAILURE{FAKEOP::PutImageFileName, "FIREWALL::AddApplication() put_ProcessImageFileName failed"},
        ADDFAILURE{FAKEOP::PutName, "FIREWALL::AddApplication() put_Name failed"},
        ADDFAILURE{FAKEOP::Add, "FIREWALL::AddApplication() Add failed"}),
    StepName<ADDFAILURE>);

// ---- RemoveApplication
// --------------------------------------------------------------------------------------

using FirewallRemoveApplication = FirewallTest;

TEST_F(FirewallRemoveApplication, TakesAnEnabledProgramOffTheList) {
    Fake.Put({L"C:\\other.exe", L"Other", true});
    Fake.Put({ProgramW, L"Viewer", true});
    LOGFILE log;
    FIREWALL firewall(Fake);
    EXPECT_EQ(1, firewall.RemoveApplication(Program));
    ASSERT_EQ(1u, Fake.List.size());
    EXPECT_EQ(L"C:\\other.exe", Fake.List[0].Path);
    EXPECT_TRUE(InOrder(log.Text(), {std::string("FIREWALL::RemoveApplication() appname=") + Program + "\r\n",
                                     std::string("FIREWALL::RemoveApplication() Application ") + Program +
                                         " is now removed in the firewall\r\n",
                                     "FIREWALL::~RemoveApplication()\r\n"}));
}

TEST_F(FirewallRemoveApplication, AnAbsentProgramIsNotAnError) {
    LOGFILE log;
    FIREWALL firewall(Fake);
    EXPECT_EQ(1, firewall.RemoveApplication(Program));
    EXPECT_EQ(0, Fake.Calls(FAKEOP::Remove));
    EXPECT_TRUE(Contains(log.Text(),
                         "FIREWALL::RemoveApplication() Application not found and therefor not removed\r\n"));
}

TEST_F(FirewallRemoveApplication, ADisabledEntryStaysOnTheList) {
    Fake.Put({ProgramW, L"Viewer", false});
    FIREWALL firewall(Fake);
    EXPECT_EQ(1, firewall.RemoveApplication(Program));
    ASSERT_EQ(1u, Fake.List.size());
    EXPECT_FALSE(Fake.List[0].Enabled);
}

TEST_F(FirewallRemoveApplication, FailuresEndTheRemovalWithTheirCode) {
    Fake.Put({ProgramW, L"Viewer", true});
    FIREWALL firewall(Fake);

    Fake.Fail(FAKEOP::Remove, E_ACCESSDENIED);
    LOGFILE removelog;
    EXPECT_EQ(0, firewall.RemoveApplication(Program));
    EXPECT_EQ(1u, Fake.List.size());
    EXPECT_TRUE(InOrder(removelog.Text(), {"FIREWALL::RemoveApplication() Remove failed: 0x80070005\r\n",
                                           "FIREWALL::~RemoveApplication()\r\n"}));

    Fake.Fail(FAKEOP::Item, E_OUTOFMEMORY); // the list cannot be searched: taken as "not listed"
    Fake.Fail(FAKEOP::AuthorizedApplications, E_UNEXPECTED);
    LOGFILE listlog;
    EXPECT_EQ(0, firewall.RemoveApplication(Program));
    EXPECT_TRUE(Contains(listlog.Text(), "FIREWALL::RemoveApplication() failed: 0x8000ffff\r\n"));
}

TEST_F(FirewallRemoveApplication, AddedThenRemovedLeavesTheListAsItWas) {
    Fake.Put({L"C:\\other.exe", L"Other", true});
    FIREWALL firewall(Fake);
    ASSERT_EQ(1, firewall.AddApplication(Program, "Viewer"));
    ASSERT_EQ(2u, Fake.List.size());
    EXPECT_EQ(1, firewall.RemoveApplication(Program));
    ASSERT_EQ(1u, Fake.List.size());
    EXPECT_EQ(L"C:\\other.exe", Fake.List[0].Path);
}

// ---- The system's firewall
// -----------------------------------------------------------------------------------

TEST(FirewallOnThisSystem, RunsThroughAllOperationsWithoutHarm) {
    LOGFILE log;
    {
        FIREWALL firewall;
        if (firewall.boolUpAndRunning) {
            char self[MAX_PATH] = {};
            GetModuleFileNameA(nullptr, self, MAX_PATH);
            int result = -1;
            EXPECT_TRUE(SUCCEEDED(firewall.IsAppEnabled(self, &result)));
            EXPECT_TRUE(result == 0 || result == 1);
            firewall.AddApplication(self, "Orvik firewall test");
            firewall.RemoveApplication(self);
        }
    }
    const std::string text = log.Text();
    EXPECT_TRUE(InOrder(text, {"FIREWALL::Constructor()\r\n", "FIREWALL::~Constructor()\r\n",
                               "FIREWALL::~Destructor()\r\n"}));
}
