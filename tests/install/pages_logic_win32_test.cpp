// Decisions of the wizard pages: the proposed kind of installation, the dated welcome warning, the
// destination rules, and the licence print on a recorded page.
#include <gtest/gtest.h>

#include <string>

#include "lib/timetext.h"
#include "lib/win/printer.h"
#include "setup/install/licence_texts.h"
#include "setup/install/pages.h"
#include "tests/common/emfrecorder.h"

namespace {

std::string DayOffset(int days) {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    FILETIME file = {};
    SystemTimeToFileTime(&now, &file);
    ULARGE_INTEGER value = {};
    value.LowPart = file.dwLowDateTime;
    value.HighPart = file.dwHighDateTime;
    value.QuadPart += static_cast<long long>(days) * 24 * 3600 * 10000000LL;
    file.dwLowDateTime = value.LowPart;
    file.dwHighDateTime = value.HighPart;
    SYSTEMTIME day = {};
    FileTimeToSystemTime(&file, &day);
    char text[16];
    snprintf(text, sizeof text, "%04d-%02d-%02d", day.wYear, day.wMonth, day.wDay);
    return text;
}

std::string Warning(const std::string& warning, const std::string& today) {
    return WelcomeWarningToShow(STRING(warning.c_str()), STRING(today.c_str())).Text();
}

} // namespace

TEST(InstallKind, AnOlderRecordedVersionProposesAnUpdate) {
    // Compared as text: "5.10" sorts before "5.9".
    const INSTALLKIND kind = ProposeInstallKind(true, STRING("5.10"), STRING("5.9"), STRING("0"));
    EXPECT_STREQ(kind.Mode.Text(), "2");
    EXPECT_FALSE(kind.ReinstallAllowed);
    EXPECT_TRUE(kind.UpdateAllowed);
}

TEST(InstallKind, TheSameVersionIgnoringCaseProposesAReinstallation) {
    const INSTALLKIND kind = ProposeInstallKind(true, STRING("5.9a"), STRING("5.9A"), STRING("0"));
    EXPECT_STREQ(kind.Mode.Text(), "1");
    EXPECT_TRUE(kind.ReinstallAllowed);
    EXPECT_FALSE(kind.UpdateAllowed);
}

TEST(InstallKind, ANewerRecordedVersionKeepsTheModeAndOffersBoth) {
    const INSTALLKIND kind = ProposeInstallKind(true, STRING("6.0"), STRING("5.9"), STRING("0"));
    EXPECT_STREQ(kind.Mode.Text(), "0");
    EXPECT_TRUE(kind.ReinstallAllowed);
    EXPECT_TRUE(kind.UpdateAllowed);
}

TEST(InstallKind, WithoutAnEarlierInstallationOnlyANewOneIsOffered) {
    const INSTALLKIND kind = ProposeInstallKind(false, STRING("5.9"), STRING("5.9"), STRING("0"));
    EXPECT_STREQ(kind.Mode.Text(), "0");
    EXPECT_FALSE(kind.ReinstallAllowed);
    EXPECT_FALSE(kind.UpdateAllowed);
}

TEST(InstallKind, AnEarlierInstallationWithoutVersionIsUpdated) {
    const INSTALLKIND kind = ProposeInstallKind(true, STRING(), STRING("1.0"), STRING("0"));
    EXPECT_STREQ(kind.Mode.Text(), "2");
}

TEST(WelcomeWarning, WithoutConditionItIsAlwaysShown) {
    EXPECT_EQ(Warning("Close the old version first.", "2024-05-05"), "Close the old version first.");
    EXPECT_EQ(Warning("", "2024-05-05"), "");
}

TEST(WelcomeWarning, LessThanShowsUpToTheDayInclusive) {
    const std::string today = TIMETEXT::DateNow().Text();
    EXPECT_EQ(Warning("ShowOnly=<" + DayOffset(-1) + "\nOffer ended", today), "");
    EXPECT_EQ(Warning("ShowOnly=<" + today + "\nLast day", today), "Last day");
    EXPECT_EQ(Warning("ShowOnly=<" + DayOffset(1) + "\nStill on", today), "Still on");
}

TEST(WelcomeWarning, GreaterThanShowsOnlyAfterTheDay) {
    const std::string today = TIMETEXT::DateNow().Text();
    EXPECT_EQ(Warning("ShowOnly=>" + today + "\nNot yet", today), "");
    EXPECT_EQ(Warning("ShowOnly=>" + DayOffset(1) + "\nNot yet", today), "");
    EXPECT_EQ(Warning("ShowOnly=>" + DayOffset(-1) + "\nNow", today), "Now");
}

TEST(WelcomeWarning, ConditionIgnoresLetterCaseAndACarriageReturnAndKeepsFurtherLines) {
    EXPECT_EQ(Warning("showonly=<2024-05-05\r\nline one\r\nline two", "2024-05-05"), "line one\r\nline two");
    EXPECT_EQ(Warning("ShowOnly=<2099-01-01", "2024-05-05"), "") << "a condition without text shows nothing";
}

TEST(WelcomeWarning, TodayIsWrittenAsTheConditionIs) {
    const std::string today = TIMETEXT::DateNow().Text();
    ASSERT_EQ(today.size(), 10u);
    EXPECT_EQ(today[4], '-');
    EXPECT_EQ(today[7], '-');
}

TEST(WelcomeMessage, OnlyItsFirstLineIsTheSubtitle) {
    EXPECT_STREQ(FirstLineOf(STRING("Welcome\rsecond")).Text(), "Welcome");
    EXPECT_STREQ(FirstLineOf(STRING("Welcome\nsecond")).Text(), "Welcome");
    EXPECT_STREQ(FirstLineOf(STRING("One line")).Text(), "One line");
    EXPECT_STREQ(FirstLineOf(STRING()).Text(), "");
}

TEST(Destination, ABareDriveBecomesAFolderOnIt) {
    EXPECT_STREQ(NormaliseInstallDir(STRING("D:"), STRING("App")).Text(), "D:\\App");
    EXPECT_STREQ(NormaliseInstallDir(STRING("D:\\"), STRING("App")).Text(), "D:\\App");
    EXPECT_STREQ(NormaliseInstallDir(STRING("C:\\X"), STRING("App")).Text(), "C:\\X\\App");
}

TEST(Destination, AFolderLosesOneTrailingBackslash) {
    EXPECT_STREQ(NormaliseInstallDir(STRING("C:\\Tools\\App\\"), STRING("App")).Text(), "C:\\Tools\\App");
    EXPECT_STREQ(NormaliseInstallDir(STRING("C:\\Tools"), STRING("App")).Text(), "C:\\Tools");
}

TEST(Destination, TheDeviceManagersFolderTakesTheProduct) {
    EXPECT_STREQ(DeviceManagerInstallDir(STRING("C:\\Mobile Manager\\CEAppMgr.exe"), STRING("App")).Text(),
                 "C:\\Mobile Manager\\App");
}

TEST(LicencePrint, WholeTextInCourierBetweenTheLicenceMargins) {
    EMFRECORDER paper;
    PRINTER printer;
    const PAGEMETRICS a4 = {600, 600, 4760, 6814};
    ASSERT_TRUE(printer.AttachDC(paper.Dc(), &a4));
    PrintLicenceOn(printer,
                   PrepareLicenceText(STRING("Licence of $PROGRAM\nSecond line\n"), STRING("App 1.0")));
    const std::vector<DRAWNTEXT> drawn = paper.Finish();

    std::vector<DRAWNTEXT> body;
    for (const DRAWNTEXT& text : drawn)
        if (text.Align & TA_UPDATECP)
            body.push_back(text);
    ASSERT_EQ(body.size(), 2u);
    EXPECT_EQ(body[0].Text, "Licence of App 1.0");
    EXPECT_EQ(body[1].Text, "Second line");
    // 25 mm left and top at 600 dpi.
    EXPECT_EQ(body[0].X, 590);
    EXPECT_EQ(body[0].Y, 590);
    EXPECT_EQ(body[1].X, 590);
    EXPECT_GT(body[1].Y, body[0].Y);
    EXPECT_EQ(std::wstring(body[0].Font.lfFaceName), L"Courier New");
    EXPECT_EQ(body[0].Font.lfWeight, FW_NORMAL);
    EXPECT_EQ(body[0].Page, 1);
    EXPECT_EQ(body[1].Page, 1);
}
