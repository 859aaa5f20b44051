// The setup wizard under Wine with the real English language library: its frame and page templates, driven
// through its buttons and keys from a second thread while the test thread runs the steps.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "lib/appglobals.h"
#include "lib/orvik.h"
#include "setup/res/messages.h"
#include "setup/wizard/setupdialog.h"
#include "tests/robot/uirobot.h"
#include "tests/win/ui_driver.h"

using namespace uidriver;

namespace {

constexpr const char* Caption = "Test Setup";
constexpr const char* Confirmation = "Really quit the test setup?";

// Templates of the pages in the order they ran.
std::vector<int> gPagesRun;
// Set by a test to make the licence-like page skip itself in the direction of travel.
bool gSkipLicence = true;

int ShowPage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    gPagesRun.push_back(page->GetTemplate());
    return wizard->RunPage();
}

int SkippablePage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    gPagesRun.push_back(page->GetTemplate());
    if (gSkipLicence)
        return PAGE_REPEAT_DIRECTION;
    return wizard->RunPage();
}

// The licence page's way of holding the user: Next disabled and without the default look.
int LockedNextPage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    gPagesRun.push_back(page->GetTemplate());
    CONTROL next(wizard->Hwnd(), IDC_WIZARD_NEXT);
    next.SetDefaultButton(false);
    next.Disable();
    return wizard->RunPage();
}

// Pages that do not show themselves: forward at once, and the finishing one closes.
int PassPage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    gPagesRun.push_back(page->GetTemplate());
    return PAGE_NEXT;
}

int ClosePage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    gPagesRun.push_back(page->GetTemplate());
    return PAGE_CLOSE;
}

int gBackFirst = 0;
int BackOncePage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    gPagesRun.push_back(page->GetTemplate());
    return gBackFirst++ == 0 ? PAGE_BACK : PAGE_NEXT;
}

SETUPSTEP Step(intptr_t id, intptr_t title, intptr_t templ, SETUPPAGEFUNCTION page, intptr_t extra = 0) {
    return SETUPSTEP{id, title, title + 1, templ, nullptr, page, extra};
}

struct HOOKCALL {
    int Code, Value;
    intptr_t P1, P2, P3, P4;
};
std::vector<HOOKCALL> gHookCalls;
int RecordingHook(int code, int value, intptr_t p1, intptr_t p2, intptr_t p3, intptr_t p4) {
    gHookCalls.push_back({code, value, p1, p2, p3, p4});
    return 1;
}

class WizardTest : public testing::Test {
protected:
    void SetUp() override {
        DrainQuit();
        Library = LoadLibraryA(ORVIK_SETUP_BIN_DIR "\\setupenglish.dll");
        ASSERT_NE(nullptr, Library);
        gResourceModule = Library;
        gPagesRun.clear();
        gHookCalls.clear();
        gSkipLicence = true;
        gBackFirst = 0;
    }
    void TearDown() override {
        gResourceModule = nullptr;
        if (Library)
            FreeLibrary(Library);
    }

    // Waits until the wizard shows the page whose header title is message title.
    static HWND WaitForPage(HWND wizard, int title) {
        const std::string expected = LoadText(title);
        HWND header = WaitForItem(wizard, IDC_WIZARD_TITLE);
        if (!WaitUntil([&] { return Text(header) == expected; }))
            throw FAILURE{"page \"" + expected + "\" did not appear; the title reads \"" + Text(header) +
                          "\""};
        return header;
    }
    static std::string LoadText(int id) {
        char text[256] = "";
        LoadStringA(static_cast<HMODULE>(gResourceModule), id, text, sizeof text);
        return text;
    }
    static bool Shows(HWND wizard, int id) { return IsWindowVisible(GetDlgItem(wizard, id)) != 0; }

    HMODULE Library = nullptr;
};

TEST_F(WizardTest, EnterActsAsNextAndASkippingPageRepeatsTheDirection) {
    SETUPSTEP steps[] = {Step(1, IDS_WELCOME_TITLE, IDD_PAGE_WELCOME, ShowPage),
                         Step(2, IDS_LICENCE_TITLE, IDD_PAGE_LICENCE, SkippablePage),
                         Step(3, IDS_DEST_TITLE, IDD_PAGE_DESTINATION, ShowPage),
                         Step(7, IDS_FINISH_TITLE, IDD_PAGE_FINISH, ShowPage), Step(9, 0, 0, nullptr)};
    bool backonfirst = true, backonsecond = false, nextonfinish = true, backonfinish = true;
    std::string finishlabel;
    SETUPDIALOGBOX wizard(Caption, Confirmation, -1);
    SCRIPT script([&] {
        HWND frame = WaitForWindow(Caption);
        WaitForPage(frame, IDS_WELCOME_TITLE);
        backonfirst = Shows(frame, IDC_WIZARD_BACK);
        PressKey(frame, VK_RETURN);
        WaitForPage(frame, IDS_DEST_TITLE);
        backonsecond = Shows(frame, IDC_WIZARD_BACK);
        Click(GetDlgItem(frame, IDC_WIZARD_BACK));
        WaitForPage(frame, IDS_WELCOME_TITLE);
        Click(GetDlgItem(frame, IDC_WIZARD_NEXT));
        WaitForPage(frame, IDS_DEST_TITLE);
        PressKey(frame, VK_RETURN);
        WaitForPage(frame, IDS_FINISH_TITLE);
        nextonfinish = Shows(frame, IDC_WIZARD_NEXT);
        backonfinish = Shows(frame, IDC_WIZARD_BACK);
        finishlabel = Text(GetDlgItem(frame, IDCANCEL));
        Click(GetDlgItem(frame, IDCANCEL));
    });
    EXPECT_EQ(1, wizard.RunSteps(steps, STEPFINISH));
    ASSERT_FALSE(script.Failed()) << script.Reason();
    EXPECT_EQ((std::vector<int>{2001, 2003, 2002, 2003, 2001, 2003, 2002, 2009}), gPagesRun);
    EXPECT_FALSE(backonfirst);
    EXPECT_TRUE(backonsecond);
    EXPECT_FALSE(nextonfinish);
    EXPECT_FALSE(backonfinish);
    EXPECT_EQ(LoadText(IDS_FINISH_BUTTON), finishlabel);
    EXPECT_EQ(nullptr, wizard.GetPage());
}

TEST_F(WizardTest, CancelAsksTheConfirmationYesStaysNoEndsWithZero) {
    SETUPSTEP steps[] = {Step(1, IDS_WELCOME_TITLE, IDD_PAGE_WELCOME, ShowPage),
                         Step(7, IDS_FINISH_TITLE, IDD_PAGE_FINISH, ShowPage)};
    std::string question;
    SETUPDIALOGBOX wizard(Caption, Confirmation, -1);
    SCRIPT script([&] {
        HWND frame = WaitForWindow(Caption);
        WaitForPage(frame, IDS_WELCOME_TITLE);
        Click(GetDlgItem(frame, IDCANCEL));
        HWND box = WaitForOtherWindow(Caption, frame);
        question = Text(GetDlgItem(box, 0xFFFF));
        Click(GetDlgItem(box, IDYES));
        WaitUntil([&] { return gPagesRun.size() == 2; });
        WaitForPage(frame, IDS_WELCOME_TITLE);
        PressKey(frame, VK_ESCAPE);
        box = WaitForOtherWindow(Caption, frame);
        Click(GetDlgItem(box, IDNO));
    });
    EXPECT_EQ(0, wizard.RunSteps(steps, STEPFINISH));
    ASSERT_FALSE(script.Failed()) << script.Reason();
    EXPECT_EQ((std::vector<int>{2001, 2001}), gPagesRun);
    EXPECT_NE(std::string::npos, question.find("Really quit")) << question;
}

TEST_F(WizardTest, EnterDoesNotPassADisabledNext) {
    SETUPSTEP steps[] = {Step(1, IDS_WELCOME_TITLE, IDD_PAGE_WELCOME, ShowPage),
                         Step(2, IDS_LICENCE_TITLE, IDD_PAGE_LICENCE, LockedNextPage),
                         Step(7, IDS_FINISH_TITLE, IDD_PAGE_FINISH, ShowPage)};
    bool stayed = false;
    SETUPDIALOGBOX wizard(Caption, Confirmation, -1);
    SCRIPT script([&] {
        HWND frame = WaitForWindow(Caption);
        WaitForPage(frame, IDS_WELCOME_TITLE);
        Click(GetDlgItem(frame, IDC_WIZARD_NEXT));
        HWND title = WaitForPage(frame, IDS_LICENCE_TITLE);
        PressKey(frame, VK_RETURN);
        Sleep(300);
        stayed = Text(title) == LoadText(IDS_LICENCE_TITLE) && gPagesRun.size() == 2;
        Click(GetDlgItem(frame, IDCANCEL));
        Click(GetDlgItem(WaitForOtherWindow(Caption, frame), IDNO));
    });
    EXPECT_EQ(0, wizard.RunSteps(steps, STEPFINISH));
    ASSERT_FALSE(script.Failed()) << script.Reason();
    EXPECT_TRUE(stayed);
}

TEST_F(WizardTest, HookIsCalledBeforeAndAfterEachPage) {
    SETUPSTEP steps[] = {Step(1, IDS_WELCOME_TITLE, IDD_PAGE_WELCOME, ShowPage, 77),
                         Step(7, IDS_FINISH_TITLE, IDD_PAGE_FINISH, ShowPage)};
    std::vector<HWND> pages;
    SETUPDIALOGBOX wizard(Caption, Confirmation, -1);
    wizard.SetHook(RecordingHook);
    SCRIPT script([&] {
        HWND frame = WaitForWindow(Caption);
        WaitForPage(frame, IDS_WELCOME_TITLE);
        Click(GetDlgItem(frame, IDC_WIZARD_NEXT));
        WaitForPage(frame, IDS_FINISH_TITLE);
        Click(GetDlgItem(frame, IDCANCEL));
    });
    EXPECT_EQ(1, wizard.RunSteps(steps, STEPFINISH));
    ASSERT_FALSE(script.Failed()) << script.Reason();
    ASSERT_EQ(4u, gHookCalls.size());
    const intptr_t frame = reinterpret_cast<intptr_t>(wizard.Hwnd());
    const intptr_t page = reinterpret_cast<intptr_t>(ShowPage);
    const int expected[4][3] = {{5, 1, 77}, {6, 1, 149}, {5, 7, 0}, {6, 7, 0}};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(expected[i][0], gHookCalls[i].Code) << i;
        EXPECT_EQ(expected[i][1], gHookCalls[i].Value) << i;
        EXPECT_EQ(frame, gHookCalls[i].P1) << i;
        EXPECT_NE(0, gHookCalls[i].P2) << i;
        EXPECT_EQ(page, gHookCalls[i].P3) << i;
        EXPECT_EQ(expected[i][2], gHookCalls[i].P4) << i;
    }
    // Before and after one page the hook sees the same page window.
    EXPECT_EQ(gHookCalls[0].P2, gHookCalls[1].P2);
}

// What a product hook does with code 0: two steps of its own before the advertisement step, moving it and
// the finish step into the spare records.
void InsertTwoSteps(SETUPSTEP* steps, const SETUPSTEP& first, const SETUPSTEP& second) {
    int idadv = 0;
    while (steps[idadv].idstep != STEPADV)
        idadv++;
    int idend = idadv;
    while (steps[idend].idstep != 0)
        idend++;
    for (int i = idend - 1; i >= idadv; i--)
        steps[i + 2] = steps[i];
    steps[idadv] = first;
    steps[idadv + 1] = second;
    ORVIK_ASSERT(steps[idend + 1].idstep == STEPFINISH);
    ORVIK_ASSERT(steps[idadv + 2].idstep == STEPADV);
}

TEST_F(WizardTest, InsertedHookStepsRunAfterShortcutsAndBeforeAdvertisementAndFinish) {
    SETUPSTEP steps[15] = {Step(1, IDS_WELCOME_TITLE, IDD_PAGE_WELCOME, PassPage),
                           Step(2, IDS_LICENCE_TITLE, IDD_PAGE_LICENCE, PassPage),
                           Step(3, IDS_DEST_TITLE, IDD_PAGE_DESTINATION, PassPage),
                           Step(4, IDS_COPY_TITLE, IDD_PAGE_COPY, PassPage),
                           Step(5, IDS_SHORTCUT_TITLE, IDD_PAGE_SHORTCUTS, PassPage),
                           Step(6, IDS_ADVERTISE_TITLE, IDD_PAGE_ADVERTISE, PassPage),
                           Step(7, IDS_FINISH_TITLE, IDD_PAGE_FINISH, ClosePage)};
    steps[14] = SETUPSTEP{STEPEND, 0, 0, 0, nullptr, nullptr, 0};
    const unsigned long asserts = LastAssertFailure().Count;
    InsertTwoSteps(steps, Step(15, IDS_USERDATA_TITLE, IDD_PAGE_FINISH, PassPage),
                   Step(16, IDS_PROFILE_TITLE, IDD_PAGE_WELCOME, PassPage));
    EXPECT_EQ(asserts, LastAssertFailure().Count);

    SETUPDIALOGBOX wizard(Caption, Confirmation, -1);
    EXPECT_EQ(1, wizard.RunSteps(steps, STEPFINISH));
    EXPECT_EQ((std::vector<int>{2001, 2003, 2002, 2004, 2005, 2009, 2001, 2006, 2009}), gPagesRun);
    EXPECT_EQ(STEPEND, steps[14].idstep);
}

TEST_F(WizardTest, BackOnTheFirstStepAssertsAndStays) {
    SETUPSTEP steps[] = {Step(1, IDS_WELCOME_TITLE, IDD_PAGE_WELCOME, BackOncePage),
                         Step(7, IDS_FINISH_TITLE, IDD_PAGE_FINISH, ClosePage)};
    const unsigned long asserts = LastAssertFailure().Count;
    SETUPDIALOGBOX wizard(Caption, Confirmation, -1);
    EXPECT_EQ(1, wizard.RunSteps(steps, STEPFINISH));
    EXPECT_EQ((std::vector<int>{2001, 2001, 2009}), gPagesRun);
    EXPECT_EQ(asserts + 1, LastAssertFailure().Count);
    EXPECT_STREQ("FALSE", LastAssertFailure().Condition.Text());
}

TEST_F(WizardTest, TableEndingBeforeItsFinishingStepAssertsAndEndsInsteadOfCrashing) {
    SETUPSTEP steps[] = {Step(1, IDS_WELCOME_TITLE, IDD_PAGE_WELCOME, PassPage), SETUPSTEP{}};
    const unsigned long asserts = LastAssertFailure().Count;
    SETUPDIALOGBOX wizard(Caption, Confirmation, -1);
    EXPECT_EQ(0, wizard.RunSteps(steps, STEPFINISH));
    EXPECT_EQ(asserts + 1, LastAssertFailure().Count);
    EXPECT_STREQ("steps[step].idstep!=0", LastAssertFailure().Condition.Text());
    EXPECT_TRUE(gPagesRun.empty()) << "no page of a table the wizard could not end runs";
}

// The message box titled like frame over it; null when there is none.
HWND OtherBox(HWND frame) {
    HWND box = FindWindowExA(nullptr, nullptr, "#32770", Caption);
    return box == frame ? FindWindowExA(nullptr, frame, "#32770", Caption) : box;
}

// Bursts of presses queued at once, as a hurried hand gives them: Back, Next, Cancel, Enter, Escape and the
// close box in random order. Each burst ends at most one page, Cancel's question comes at most once per
// burst, and the walk stays within the table without an assertion.
TEST_F(WizardTest, QueuedBurstsOfPressesEndOnePageAtMostAndStayInTheTable) {
    SETUPSTEP steps[] = {Step(1, IDS_WELCOME_TITLE, IDD_PAGE_WELCOME, ShowPage),
                         Step(2, IDS_LICENCE_TITLE, IDD_PAGE_LICENCE, ShowPage),
                         Step(3, IDS_DEST_TITLE, IDD_PAGE_DESTINATION, ShowPage),
                         Step(5, IDS_SHORTCUT_TITLE, IDD_PAGE_SHORTCUTS, ShowPage),
                         Step(7, IDS_FINISH_TITLE, IDD_PAGE_FINISH, ShowPage),
                         Step(9, 0, 0, nullptr)};
    const unsigned long asserts = LastAssertFailure().Count;
    std::vector<std::string> faults;
    int result = -1;
    std::atomic<bool> finished{false};
    {
        SETUPDIALOGBOX wizard(Caption, Confirmation, -1);
        SCRIPT script([&] {
            HWND frame = WaitForWindow(Caption);
            WaitForPage(frame, IDS_WELCOME_TITLE);
            std::mt19937 random(28);
            const std::tuple<int, UINT, WPARAM> kinds[] = {
                {IDC_WIZARD_BACK, BM_CLICK, 0}, {IDC_WIZARD_NEXT, BM_CLICK, 0}, {IDCANCEL, BM_CLICK, 0},
                {0, WM_COMMAND, IDOK},          {0, WM_COMMAND, IDCANCEL},      {0, WM_SYSCOMMAND, SC_CLOSE}};
            for (int burst = 0; burst < 40 && !finished; burst++) {
                const size_t before = gPagesRun.size();
                const int presses = 1 + static_cast<int>(random() % 4);
                for (int i = 0; i < presses; i++) {
                    const auto& [item, message, wparam] = kinds[random() % 6];
                    PostMessageA(item ? GetDlgItem(frame, item) : frame, message, wparam, 0);
                }
                Sleep(250);
                int questions = 0;
                for (HWND box = OtherBox(frame); box; box = OtherBox(frame)) {
                    questions++;
                    Click(GetDlgItem(box, IDYES));
                    Sleep(250);
                }
                if (questions > 1 || gPagesRun.size() > before + 1)
                    faults.push_back("burst " + std::to_string(burst) + ": " + std::to_string(questions) +
                                     " questions, " + std::to_string(gPagesRun.size() - before) + " pages");
            }
            if (finished)
                return;
            const bool finishing = Text(GetDlgItem(frame, IDC_WIZARD_TITLE)) == LoadText(IDS_FINISH_TITLE);
            PostMessageA(GetDlgItem(frame, IDCANCEL), BM_CLICK, 0, 0);
            if (!finishing)
                Click(GetDlgItem(WaitForOtherWindow(Caption, frame), IDNO));
        });
        result = wizard.RunSteps(steps, STEPFINISH);
        finished = true;
    }
    EXPECT_TRUE(faults.empty()) << (faults.empty() ? std::string() : faults.front());
    EXPECT_EQ(asserts, LastAssertFailure().Count) << LastAssertFailure().Condition.Text();
    EXPECT_TRUE(result == 0 || result == 1) << result;
    EXPECT_GT(gPagesRun.size(), 8u) << "the bursts moved the wizard about";
}

TEST_F(WizardTest, FrameLaysOutItsHeaderLinesAndPageArea) {
    SETUPDIALOGBOX wizard(Caption, Confirmation, 8);
    HWND frame = wizard.Hwnd();
    ASSERT_NE(nullptr, frame);
    EXPECT_STREQ(Caption, wizard.GetText().Text());
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(frame, IDC_WIZARD_SPARE)));
    const RECT header = CONTROL(frame, IDC_WIZARD_HEADER).GetRect();
    const RECT line = CONTROL(frame, IDC_WIZARD_LINE_HEADER).GetRect();
    EXPECT_EQ(header.bottom - 1, line.top);
    EXPECT_EQ(header.right, line.right);
    EXPECT_EQ(2, line.bottom - line.top);
    const RECT area = CONTROL(frame, IDC_WIZARD_PAGEAREA).GetRect();
    const RECT back = CONTROL(frame, IDC_WIZARD_BACK).GetRect();
    const RECT lower = CONTROL(frame, IDC_WIZARD_LINE_BUTTONS).GetRect();
    EXPECT_EQ(area.bottom + (back.top - area.bottom) / 4, lower.top);

    DATADIALOG* page = wizard.CreatePage(IDD_PAGE_WELCOME, nullptr, "Title", "Subtitle");
    ASSERT_NE(nullptr, page);
    const RECT placed = page->GetRect();
    EXPECT_EQ(area.left, placed.left);
    EXPECT_EQ(area.top, placed.top);
    EXPECT_EQ(area.right, placed.right);
    EXPECT_TRUE(GetWindowLongPtrA(page->Hwnd(), GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
    EXPECT_STREQ("Subtitle", CONTROL(frame, IDC_WIZARD_SUBTITLE).GetText().Text());
    // The header texts are painted on white.
    HDC dc = GetDC(frame);
    const auto brush =
        reinterpret_cast<HBRUSH>(SendMessageA(frame, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                              reinterpret_cast<LPARAM>(GetDlgItem(frame, IDC_WIZARD_TITLE))));
    ReleaseDC(frame, dc);
    LOGBRUSH look{};
    ASSERT_NE(0, GetObjectA(brush, sizeof look, &look));
    EXPECT_EQ(RGB(255, 255, 255), look.lbColor);
    wizard.DestroyPage();
}

// Every install page in the frame, in both languages, kept as pictures under the build tree.
class WizardScreenshots : public WizardTest, public testing::WithParamInterface<const char*> {};

TEST_P(WizardScreenshots, EveryPageIsShownInTheFrameAndPictured) {
    // Pictures are taken from the screen: no other UI test may show its windows meanwhile.
    const uirobot::DisplayLock display;
    const std::string language = GetParam();
    HMODULE library =
        LoadLibraryA((std::string(ORVIK_SETUP_BIN_DIR) + "\\setup" + language + ".dll").c_str());
    ASSERT_NE(nullptr, library);
    gResourceModule = library;
    gPagesRun.clear();
    SETUPSTEP steps[] = {Step(1, IDS_WELCOME_TITLE, IDD_PAGE_WELCOME, ShowPage),
                         Step(2, IDS_LICENCE_TITLE, IDD_PAGE_LICENCE, ShowPage),
                         Step(3, IDS_DEST_TITLE, IDD_PAGE_DESTINATION, ShowPage),
                         Step(4, IDS_COPY_TITLE, IDD_PAGE_COPY, ShowPage),
                         Step(5, IDS_SHORTCUT_TITLE, IDD_PAGE_SHORTCUTS, ShowPage),
                         Step(6, IDS_ADVERTISE_TITLE, IDD_PAGE_ADVERTISE, ShowPage),
                         Step(7, IDS_FINISH_TITLE, IDD_PAGE_FINISH, ShowPage)};
    const char* names[] = {"1-welcome",   "2-licence",   "3-destination", "4-copy",
                           "5-shortcuts", "6-advertise", "7-finish"};
    std::vector<std::string> saved;
    {
        SETUPDIALOGBOX wizard(Caption, Confirmation, -1);
        SendDlgItemMessageA(wizard.Hwnd(), IDC_WIZARD_ICON, STM_SETICON,
                            reinterpret_cast<WPARAM>(LoadIcon(nullptr, IDI_APPLICATION)), 0);
        SCRIPT script([&] {
            HWND frame = WaitForWindow(Caption);
            uirobot::ScreenshotFolder folder(std::string(WIN_SCREENSHOT_ROOT) + "\\wizard-" + language);
            for (int i = 0; i < 7; i++) {
                const int title = static_cast<int>(steps[i].title);
                WaitForPage(frame, title);
                uirobot::waitUntil([&] { return gPagesRun.size() == static_cast<size_t>(i + 1); });
                Sleep(150);
                saved.push_back(folder.save(uirobot::captureWindow(uirobot::Window(frame)), names[i]));
                Click(GetDlgItem(frame, i < 6 ? IDC_WIZARD_NEXT : IDCANCEL));
            }
        });
        EXPECT_EQ(1, wizard.RunSteps(steps, STEPFINISH));
        EXPECT_FALSE(script.Failed()) << script.Reason();
    }
    gResourceModule = Library;
    FreeLibrary(library);
    ASSERT_EQ(7u, saved.size());
    for (const std::string& file : saved)
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file.c_str())) << file;
}

INSTANTIATE_TEST_SUITE_P(Languages, WizardScreenshots, testing::Values("english", "german"));

} // namespace
