// Page geometry of the printer: margins in device pixels, header anchors and header placeholders.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/textlayout.h"

namespace {

// A4 at 600 dpi as a laser printer reports its printable area.
const PAGEMETRICS A4At600 = {600, 600, 4760, 6814};

TEST(PageGeometry, LicenceMarginsAt600Dpi) {
    const PAGEMARGINS area = MarginsFromMillimetres(A4At600, 25, 25, 15, 20);
    EXPECT_EQ(area.left, 590);
    EXPECT_EQ(area.top, 590);
    EXPECT_EQ(area.right, A4At600.Width - 354);
    EXPECT_EQ(area.bottom, A4At600.Height - 472);
}

TEST(PageGeometry, MarginsTruncateAndUseEachAxisResolution) {
    // 300 dpi across, 200 dpi down: 10 mm = 118.1 / 78.7 pixels, truncated.
    const PAGEMETRICS page = {300, 200, 2400, 3300};
    const PAGEMARGINS area = MarginsFromMillimetres(page, 10, 10, 10, 10);
    EXPECT_EQ(area.left, 118);
    EXPECT_EQ(area.top, 78);
    EXPECT_EQ(area.right, 2400 - 118);
    EXPECT_EQ(area.bottom, 3300 - 78);
}

TEST(PageGeometry, MarginsOfHighResolutionDevicesDoNotOverflow) {
    const PAGEMETRICS page = {2400000, 2400000, 500000000, 700000000};
    const PAGEMARGINS area = MarginsFromMillimetres(page, 1000, 1000, 0, 0);
    EXPECT_EQ(area.left, 94488188); // 1000 mm at 2.4 million dpi
    EXPECT_EQ(area.right, page.Width);
}

TEST(PageGeometry, HeaderAnchorsAt600Dpi) {
    const PAGEMARGINS area = MarginsFromMillimetres(A4At600, 25, 25, 15, 20);
    const HEADERPOSITIONS at = HeaderPositionsFor(A4At600, area);
    EXPECT_EQ(at.LeftX, 590);
    EXPECT_EQ(at.CentreX, (590 + 4406) / 2 - 70); // 3 mm left of the middle of the text area
    EXPECT_EQ(at.RightX, 4406 - 188);             // 8 mm inside the right margin
    EXPECT_EQ(at.BaseLine, 188);                  // 8 mm below the top of the printable area
}

TEST(HeaderText, EveryPlaceholderIsReplacedEverywhere) {
    HEADERVALUES values;
    values.UserName = "anna";
    values.ComputerName = "DESK7";
    values.Date = "03.02.2024";
    values.Time = "14:05:09";
    values.Page = 12;
    EXPECT_EQ(ExpandHeaderText("%PAGE%/%PAGE% %USERNAME%@%COMPUTERNAME% %DATE% %TIME% %USERNAME%", values),
              STRING("12/12 anna@DESK7 03.02.2024 14:05:09 anna"));
}

TEST(HeaderText, UnknownPlaceholdersAndLowerCaseStay) {
    HEADERVALUES values;
    values.UserName = "anna";
    values.Page = 1;
    EXPECT_EQ(ExpandHeaderText("%user% %username% %PAGES% 100%", values),
              STRING("%user% %username% %PAGES% 100%"));
}

TEST(HeaderText, ValuesContainingPlaceholdersAreNotExpandedAgain) {
    HEADERVALUES values;
    values.UserName = "%PAGE%";
    values.Page = 3;
    EXPECT_EQ(ExpandHeaderText("%USERNAME% %PAGE%", values), STRING("%PAGE% 3"));
}

} // namespace

// What the layout hands to the page: each run's position and bytes.
class RUNRECORDER : public TEXTPAGE {
public:
    int DrawRun(int x, int y, const char* chars, int count) override {
        Runs.push_back(std::to_string(x) + "," + std::to_string(y) + ":" + std::string(chars, count));
        return x + 10 * count;
    }
    void BreakPage() override { Runs.push_back("<page>"); }
    std::vector<std::string> Runs;
};

TEST(TextLayout, Utf8IsWrappedByCharactersNeverInsideOne) {
    TEXTLAYOUT layout;
    layout.SetMargins({0, 0, 55, 1000}); // five cells of 10 pixels, the sixth would touch the margin
    layout.SetCharSize(10, 20);
    layout.SetUtf8(true);
    layout.MoveToTop();
    RUNRECORDER page;
    const std::string text = "Ölkännchen 山田";
    layout.Write(text.c_str(), static_cast<int>(text.size()), page);
    EXPECT_EQ(page.Runs, (std::vector<std::string>{"0,0:Ölkän", "0,20:nchen", "0,40: 山田"}));
}

TEST(TextLayout, An8BitCodePageCountsBytes) {
    TEXTLAYOUT layout;
    layout.SetMargins({0, 0, 35, 1000});
    layout.SetCharSize(10, 20);
    layout.MoveToTop();
    RUNRECORDER page;
    layout.Write("\xD6lk\xE4nnchen", 10, page);
    EXPECT_EQ(page.Runs, (std::vector<std::string>{"0,0:\xD6lk", "0,20:\xE4nn", "0,40:che", "0,60:n"}));
}
