// The robot's own tests: sessions with robot_target, a small program with a message box and a form. Each test
// does what a person would (start, wait for the window, read, act) and then checks what the program reports.
#include "tests/robot/uirobot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace uirobot;

namespace {

const char* const kFormTitle = "Robot Target Form";
const char* const kQuestionTitle = "Robot Target Question";
const char* const kLeaveTitle = "Robot Target";

constexpr int kNameLabelId = 100;
constexpr int kNameId = 101;
constexpr int kReportsId = 102;
constexpr int kTypicalId = 103;
constexpr int kCustomId = 104;
constexpr int kItemsId = 105;
constexpr int kColoursId = 106;
constexpr int kSummaryId = 107;

// What the form's exit code says.
constexpr DWORD kFormAccepted = 1;
constexpr DWORD kFormLeft = 2;

std::string currentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

// A started robot_target with the things a session needs around it.
class TargetSession : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        resultPath_ = toUtf8(temp) + "robot-" + std::to_string(GetCurrentProcessId()) + "-" +
                      currentTestName() + ".txt";
        DeleteFileW(toWide(resultPath_).c_str());
    }
    void TearDown() override { DeleteFileW(toWide(resultPath_).c_str()); }

    static std::string targetPath() { return ownDirectory() + "robot_target.exe"; }

    RobotProcess startForm() const {
        return RobotProcess::start(targetPath(), "form \"" + resultPath_ + "\"");
    }

    std::string result() const {
        std::ifstream file(toWide(resultPath_).c_str(), std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    // Saves a screenshot of window in this test's folder and checks that it was written.
    void screenshot(const Window& window, const std::string& name) const {
        ScreenshotFolder folder(std::string(ROBOT_SCREENSHOT_ROOT) + "/" + currentTestName());
        std::string file = folder.save(captureWindow(window), name);
        EXPECT_NE(GetFileAttributesW(toWide(file).c_str()), INVALID_FILE_ATTRIBUTES) << file;
    }

    DisplayLock display_; // held from construction to the end of the test
    std::string resultPath_;
};

using RobotProcessTest = TargetSession;
using RobotWindowTest = TargetSession;
using RobotMessageBoxTest = TargetSession;
using RobotFormTest = TargetSession;
using RobotScreenshotTest = TargetSession;
using RobotDesktop = TargetSession;

size_t countPixels(const Image& image, Rgb color, RECT area) {
    size_t count = 0;
    for (int y = std::max<LONG>(area.top, 0); y < std::min<LONG>(area.bottom, image.height()); ++y)
        for (int x = std::max<LONG>(area.left, 0); x < std::min<LONG>(area.right, image.width()); ++x)
            count += image.pixel(x, y) == color;
    return count;
}

Rgb systemColor(int index) {
    COLORREF color = GetSysColor(index);
    return {GetRValue(color), GetGValue(color), GetBValue(color)};
}

// rect of control in the coordinates of a screenshot of window.
RECT rectInside(const Window& window, const Window& control) {
    RECT outer = window.screenRect(), inner = control.screenRect();
    OffsetRect(&inner, -outer.left, -outer.top);
    return inner;
}

} // namespace

TEST_F(RobotProcessTest, ReportsTheExitCodeOfAProgramThatEnds) {
    RobotProcess target = RobotProcess::start(targetPath(), "exit 42");
    EXPECT_EQ(target.exitCode(), 42u);
    EXPECT_FALSE(target.isRunning());
}

TEST_F(RobotProcessTest, WaitingForARunningProgramTimesOutAndDestroyingItKillsIt) {
    HANDLE watcher = nullptr;
    {
        RobotProcess target = startForm();
        WindowFinder(target).waitFor(WindowQuery::titled(kFormTitle));
        EXPECT_FALSE(target.waitForExit(Milliseconds{200}).has_value());
        EXPECT_TRUE(target.isRunning());
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), target.handle(), GetCurrentProcess(), &watcher,
                                    SYNCHRONIZE, FALSE, 0));
    }
    UniqueHandle process(watcher);
    EXPECT_EQ(WaitForSingleObject(process.get(), 0), WAIT_OBJECT_0) << "the form is still running";
}

TEST_F(RobotProcessTest, StartingAProgramThatIsNotThereFails) {
    EXPECT_THROW(RobotProcess::start(ownDirectory() + "no_such_program.exe"), RobotError);
}

TEST_F(RobotWindowTest, FindsTheFormByTitleByPartOfItAndByClass) {
    RobotProcess target = startForm();
    WindowFinder finder(target);
    Window form = finder.waitFor(WindowQuery::titled(kFormTitle));
    EXPECT_EQ(form.text(), kFormTitle);
    EXPECT_EQ(finder.waitFor(WindowQuery::titleContaining("Target Form")), form);
    EXPECT_EQ(finder.waitFor(WindowQuery::ofClass("#32770")), form);
    EXPECT_EQ(form.processId(), target.id());
}

TEST_F(RobotWindowTest, WindowsOfAnyProcessAreFoundByTitleExceptTheOneToPassOver) {
    RobotProcess target = startForm();
    const Window form = WindowFinder(target).waitFor(WindowQuery::titled(kFormTitle));
    EXPECT_EQ(WindowFinder::anyProcess().waitFor(WindowQuery::titled(kFormTitle)), form);
    const std::vector<Window> titled = windowsTitled("Target Form");
    EXPECT_NE(std::find(titled.begin(), titled.end(), form), titled.end());
    EXPECT_EQ(waitForWindowTitled(kFormTitle), form);
    EXPECT_THROW(waitForWindowTitled(kFormTitle, form, Milliseconds{300}), RobotError);
}

TEST_F(RobotWindowTest, AWindowThatNeverComesIsReportedWithTheWindowsThatAreThere) {
    RobotProcess target = startForm();
    WindowFinder finder(target);
    finder.waitFor(WindowQuery::titled(kFormTitle));
    try {
        finder.waitFor(WindowQuery::titled("Welcome"), Milliseconds{300});
        FAIL() << "found a window that does not exist";
    } catch (const RobotError& error) {
        std::string message = error.what();
        EXPECT_NE(message.find("'Welcome'"), std::string::npos) << message;
        EXPECT_NE(message.find(kFormTitle), std::string::npos) << message;
    }
}

TEST_F(RobotWindowTest, ListsTheControlsAndFindsThemByIdAndByText) {
    RobotProcess target = startForm();
    Window form = WindowFinder(target).waitFor(WindowQuery::titled(kFormTitle));
    std::vector<std::string> classes;
    for (const Window& control : form.children())
        if (control.topLevel() == form && GetParent(control.handle()) == form.handle())
            classes.push_back(control.className());
    EXPECT_EQ(classes, (std::vector<std::string>{"Static", "Edit", "Button", "Button", "Button", "ListBox",
                                                 "ComboBox", "Static", "Button", "Button"}));
    EXPECT_EQ(form.childByText("Custom installation"), form.child(kCustomId));
    EXPECT_EQ(form.childByText("Button", "Cancel").id(), IDCANCEL);
    EXPECT_THROW(form.child(999), RobotError);
    EXPECT_THROW(form.childByText("Next >"), RobotError);
}

TEST_F(RobotMessageBoxTest, ReadsTheQuestionAndAnswersNo) {
    RobotProcess target = RobotProcess::start(targetPath(), "messagebox");
    MessageBoxWindow question = MessageBoxWindow::waitFor(WindowFinder(target), kQuestionTitle);
    EXPECT_EQ(question.title(), kQuestionTitle);
    EXPECT_EQ(question.message(), "Shall the robot go on?");
    EXPECT_EQ(question.buttons(), (std::vector<std::string>{"Yes", "No"}));
    screenshot(question.window(), "question");
    question.answer("No");
    EXPECT_EQ(target.exitCode(), static_cast<DWORD>(IDNO));
}

TEST_F(RobotMessageBoxTest, AnswersYesByButtonId) {
    RobotProcess target = RobotProcess::start(targetPath(), "messagebox");
    MessageBoxWindow question = MessageBoxWindow::waitFor(WindowFinder(target), kQuestionTitle);
    question.answer(IDYES);
    EXPECT_EQ(target.exitCode(), static_cast<DWORD>(IDYES));
}

TEST_F(RobotFormTest, ShowsItsInitialState) {
    RobotProcess target = startForm();
    Window form = WindowFinder(target).waitFor(WindowQuery::titled(kFormTitle));
    screenshot(form, "initial");

    EXPECT_EQ(form.child(kNameLabelId).text(), "&Your name:");
    EXPECT_EQ(Edit(form.child(kNameId)).text(), "");
    EXPECT_FALSE(form.child(IDOK).isEnabled()) << "OK must wait for a name";
    EXPECT_TRUE(form.child(IDCANCEL).isEnabled());
    EXPECT_TRUE(form.child(IDOK).isVisible());
    EXPECT_FALSE(CheckBox(form.child(kReportsId)).isChecked());
    EXPECT_TRUE(RadioButton(form.child(kTypicalId)).isSelected());
    EXPECT_FALSE(RadioButton(form.child(kCustomId)).isSelected());

    ListBox items(form.child(kItemsId));
    EXPECT_EQ(items.items(), (std::vector<std::string>{"Alpha", "Bravo", "Charlie"}));
    EXPECT_EQ(items.selectedIndex(), -1);
    ComboBox colours(form.child(kColoursId));
    EXPECT_EQ(colours.items(), (std::vector<std::string>{"Red", "Green", "Blue"}));
    EXPECT_EQ(colours.selectedText(), "Red");
    EXPECT_EQ(form.child(kSummaryId).text(), "Selected: (none), Red");
}

TEST_F(RobotFormTest, FillsInEveryFieldAndPressesOk) {
    RobotProcess target = startForm();
    Window form = WindowFinder(target).waitFor(WindowQuery::titled(kFormTitle));

    Edit(form.child(kNameId)).type(u8"Zoë Ångström");
    EXPECT_EQ(form.child(kNameId).text(), u8"Zoë Ångström");
    EXPECT_TRUE(form.child(IDOK).isEnabled()) << "typing a name enables OK";

    CheckBox reports(form.child(kReportsId));
    reports.setChecked(true);
    EXPECT_TRUE(reports.isChecked());

    RadioButton custom(form.child(kCustomId));
    custom.select();
    EXPECT_TRUE(custom.isSelected());
    EXPECT_FALSE(RadioButton(form.child(kTypicalId)).isSelected()) << "the other radio button goes off";

    // The form's own handlers see each selection and show it in the summary line.
    Window summary = form.child(kSummaryId);
    ListBox items(form.child(kItemsId));
    items.select("Charlie");
    EXPECT_EQ(items.selectedText(), "Charlie");
    EXPECT_TRUE(waitUntil([&] { return summary.text() == "Selected: Charlie, Red"; })) << summary.text();
    ComboBox colours(form.child(kColoursId));
    colours.select("Blue");
    EXPECT_EQ(colours.selectedIndex(), 2);
    EXPECT_TRUE(waitUntil([&] { return summary.text() == "Selected: Charlie, Blue"; })) << summary.text();
    screenshot(form, "filled-in");

    Button(form.child(IDOK)).click();
    EXPECT_EQ(target.exitCode(), kFormAccepted);
    EXPECT_EQ(result(), u8"name=Zoë Ångström\nreports=1\nmode=custom\nitem=Charlie\ncolour=Blue\n");
}

TEST_F(RobotFormTest, TypingReplacesTheTextAndClearingItDisablesOk) {
    RobotProcess target = startForm();
    Window form = WindowFinder(target).waitFor(WindowQuery::titled(kFormTitle));
    Edit name(form.child(kNameId));
    Window ok = form.child(IDOK);

    name.setText("first");
    EXPECT_TRUE(waitUntil([&] { return ok.isEnabled(); })) << "setting a text tells the form";
    name.type("second");
    EXPECT_EQ(name.text(), "second");
    name.setText("");
    EXPECT_TRUE(waitUntil([&] { return !ok.isEnabled(); })) << "an empty name disables OK again";
    EXPECT_THROW(Button(ok).click(), RobotError) << "a disabled button cannot be clicked";
    EXPECT_TRUE(target.isRunning());
}

TEST_F(RobotFormTest, UntickingAndEnterAcceptTheFormWithItsDefaults) {
    RobotProcess target = startForm();
    Window form = WindowFinder(target).waitFor(WindowQuery::titled(kFormTitle));
    CheckBox reports(form.child(kReportsId));
    reports.setChecked(true);
    reports.setChecked(false);
    EXPECT_FALSE(reports.isChecked());
    Edit(form.child(kNameId)).type("Enter");

    pressEnter(form);
    EXPECT_EQ(target.exitCode(), kFormAccepted);
    EXPECT_EQ(result(), "name=Enter\nreports=0\nmode=typical\nitem=(none)\ncolour=Red\n");
}

TEST_F(RobotFormTest, EscapeAsksBeforeLeavingAndNoKeepsTheForm) {
    RobotProcess target = startForm();
    WindowFinder finder(target);
    Window form = finder.waitFor(WindowQuery::titled(kFormTitle));

    pressEscape(form);
    MessageBoxWindow leave = MessageBoxWindow::waitFor(finder, kLeaveTitle);
    EXPECT_EQ(leave.message(), "Do you really want to leave the form?");
    screenshot(leave.window(), "leave-question");
    leave.answer("No");
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(target.isRunning());

    Button(form.childByText("Cancel")).click();
    MessageBoxWindow::waitFor(finder, kLeaveTitle).answer("Yes");
    EXPECT_EQ(target.exitCode(), kFormLeft);
    EXPECT_EQ(result(), "cancelled\n");
}

TEST_F(RobotScreenshotTest, TheScreenshotShowsTheFormAndItsSelection) {
    RobotProcess target = startForm();
    Window form = WindowFinder(target).waitFor(WindowQuery::titled(kFormTitle));
    Window list = form.child(kItemsId);
    RECT listArea = rectInside(form, list);
    Rgb highlight = systemColor(COLOR_HIGHLIGHT);

    Image before = captureWindow(form);
    RECT rect = form.screenRect();
    ASSERT_EQ(before.width(), rect.right - rect.left);
    ASSERT_EQ(before.height(), rect.bottom - rect.top);
    RECT whole{0, 0, before.width(), before.height()};
    // Mostly dialog face colour, with darker text on it.
    EXPECT_GT(countPixels(before, systemColor(COLOR_BTNFACE), whole),
              size_t(before.width()) * before.height() / 3);
    EXPECT_GT(countPixels(before, systemColor(COLOR_BTNTEXT), whole), 100u);
    EXPECT_EQ(countPixels(before, highlight, listArea), 0u) << "nothing is selected yet";

    ListBox(list).select("Bravo");
    Image after = captureWindow(form);
    // One item's row of the list is filled with the selection colour.
    EXPECT_GT(countPixels(after, highlight, listArea), 200u);

    // The whole screen shows the same list at the form's place.
    Image screen = captureScreen();
    ASSERT_EQ(screen.width(), GetSystemMetrics(SM_CXVIRTUALSCREEN));
    ASSERT_EQ(screen.height(), GetSystemMetrics(SM_CYVIRTUALSCREEN));
    size_t different = 0;
    for (LONG y = listArea.top; y < listArea.bottom; ++y)
        for (LONG x = listArea.left; x < listArea.right; ++x)
            different += after.pixel(x, y) != screen.pixel(rect.left + x, rect.top + y);
    EXPECT_EQ(different, 0u);

    ScreenshotFolder folder(std::string(ROBOT_SCREENSHOT_ROOT) + "/" + currentTestName());
    folder.save(screen, "screen");
    std::string file = folder.save(after, "bravo-selected");
    std::ifstream png(toWide(file).c_str(), std::ios::binary);
    char signature[8] = {};
    png.read(signature, 8);
    EXPECT_EQ(std::string(signature + 1, 3), "PNG");
}

// Run on the plain display by the usual test list, and inside Wine's virtual desktop by its own test entry.
TEST_F(RobotDesktop, TheFormIsShownWithAFrameAndACaptionBar) {
    const char* required = std::getenv("ROBOT_REQUIRE_VIRTUAL_DESKTOP");
    if (required && std::string(required) == "1") {
        ASSERT_TRUE(inVirtualDesktop()) << "meant for the virtual desktop, but on desktop " << desktopName();
    }
    RobotProcess target = startForm();
    Window form = WindowFinder(target).waitFor(WindowQuery::titled(kFormTitle));
    Image shot = captureWindow(form);
    ScreenshotFolder(std::string(ROBOT_SCREENSHOT_ROOT) + "/" + currentTestName())
        .save(shot, inVirtualDesktop() ? "virtual-desktop" : "plain-display");

    // The caption bar lies between the top of the window and its client area.
    POINT clientTop{0, 0};
    ClientToScreen(form.handle(), &clientTop);
    int captionBottom = clientTop.y - form.screenRect().top;
    ASSERT_GT(captionBottom, 10) << "the window has no room for a caption bar";
    RECT captionBar{0, 4, shot.width(), captionBottom - 2};
    size_t captionPixels = 0;
    for (int colour : {COLOR_ACTIVECAPTION, COLOR_GRADIENTACTIVECAPTION, COLOR_INACTIVECAPTION,
                       COLOR_GRADIENTINACTIVECAPTION})
        captionPixels += countPixels(shot, systemColor(colour), captionBar);
    EXPECT_GT(captionPixels, size_t(shot.width()) * 4) << "the caption bar is not drawn";
    // The frame's outer edge is drawn too, not left black.
    EXPECT_LT(countPixels(shot, Rgb{0, 0, 0}, RECT{0, 0, shot.width(), 1}), size_t(shot.width()) / 2);
}
