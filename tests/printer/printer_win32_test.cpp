// PRINTER on a metafile DC described as a 600 dpi page: where the text lands, how it wraps, tabs, control
// bytes, page breaks and the header line. A fresh Wine prefix has no printer, so the print dialog itself can
// only be seen to fail cleanly.
#include <gtest/gtest.h>

#include <windows.h>

#include <cderr.h>
#include <commdlg.h>

#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/common/emfrecorder.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/win/printer.h"

namespace {

const PAGEMETRICS A4At600 = {600, 600, 4760, 6814};

// The document font of the tests: fixed pitch, so that "X" measures every character.
LOGFONTA DocumentFont(int dpi) {
    LOGFONTA font = {};
    font.lfHeight = 12 * dpi / 72; // 12 points as a cell height
    font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    strcpy(font.lfFaceName, "Courier New");
    return font;
}

std::vector<DRAWNTEXT> BodyOf(const std::vector<DRAWNTEXT>& texts) {
    std::vector<DRAWNTEXT> body;
    for (const auto& text : texts)
        if (text.Align & TA_UPDATECP)
            body.push_back(text);
    return body;
}

std::vector<DRAWNTEXT> HeaderOf(const std::vector<DRAWNTEXT>& texts) {
    std::vector<DRAWNTEXT> header;
    for (const auto& text : texts)
        if (!(text.Align & TA_UPDATECP))
            header.push_back(text);
    return header;
}

std::string Digits(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += static_cast<char>('0' + i % 10);
    return text;
}

class PrinterOnMetafile : public testing::Test {
protected:
    // Prints like the licence page: 12 points, margins 25/25/15/20 mm, on the given page.
    void Open(const PAGEMETRICS& page = A4At600, int linefeedmode = 0) {
        Cell = CellOfFont(DocumentFont(page.DpiY));
        ASSERT_GT(Cell.cx, 0);
        ASSERT_TRUE(Printer.AttachDC(Paper.Dc(), &page));
        Printer.SetFont("Courier New", 12, false, false, true, 1252);
        Printer.SetMargins(25, 25, 15, 20);
        Printer.StartDoc("ORDER", linefeedmode);
        Printer.NewPage();
        Area = Printer.GetMargins();
    }
    std::vector<DRAWNTEXT> Finish() {
        Printer.EndDoc();
        return Paper.Finish();
    }
    std::vector<DRAWNTEXT> Print(const char* text, int linefeedmode = 0) {
        Open(A4At600, linefeedmode);
        Printer.WriteText(text);
        return BodyOf(Finish());
    }

    EMFRECORDER Paper;
    PRINTER Printer;
    SIZE Cell = {};
    PAGEMARGINS Area;
};

TEST_F(PrinterOnMetafile, FirstTextStartsAtTheTopLeftMarginOf600DpiPage) {
    Open();
    EXPECT_EQ(Area.left, 590);
    EXPECT_EQ(Area.top, 590);
    EXPECT_EQ(Area.right, A4At600.Width - 354);
    EXPECT_EQ(Area.bottom, A4At600.Height - 472);
    Printer.WriteText("Licence");
    const auto body = BodyOf(Finish());
    ASSERT_EQ(body.size(), 1u);
    EXPECT_EQ(body[0].Text, "Licence");
    EXPECT_EQ(body[0].X, 590);
    EXPECT_EQ(body[0].Y, 590);
    EXPECT_EQ(body[0].Page, 1);
}

TEST_F(PrinterOnMetafile, DocumentFontHeightFollowsTheDeviceResolution) {
    Open();
    Printer.WriteText("a");
    const auto body = BodyOf(Finish());
    ASSERT_EQ(body.size(), 1u);
    EXPECT_EQ(body[0].Font.lfHeight, 100); // 12 points at 600 dpi, a cell height
    EXPECT_EQ(body[0].Font.lfWeight, FW_NORMAL);
    EXPECT_EQ(body[0].Font.lfPitchAndFamily, FIXED_PITCH | FF_MODERN);
}

// ---- wrapping ----

TEST_F(PrinterOnMetafile, LongLineBreaksAtTheLastCharacterThatFits) {
    Open();
    const int fit = (Area.right - Area.left) / Cell.cx;
    const std::string line = Digits(fit + 5);
    Printer.WriteText(line.c_str());
    const auto body = BodyOf(Finish());
    ASSERT_EQ(body.size(), 2u);
    EXPECT_EQ(body[0].Text, line.substr(0, fit));
    EXPECT_EQ(body[0].X, Area.left);
    EXPECT_EQ(body[0].Y, Area.top);
    EXPECT_LE(Area.left + fit * Cell.cx, Area.right);
    EXPECT_GT(Area.left + (fit + 1) * Cell.cx, Area.right);
    EXPECT_EQ(body[1].Text, line.substr(fit));
    EXPECT_EQ(body[1].X, Area.left);
    EXPECT_EQ(body[1].Y, Area.top + Cell.cy);
}

TEST_F(PrinterOnMetafile, WrappingIgnoresWordBoundaries) {
    Open();
    const int fit = (Area.right - Area.left) / Cell.cx;
    std::string text;
    while (static_cast<int>(text.size()) < 2 * fit)
        text += "word ";
    Printer.WriteText(text.c_str());
    const auto body = BodyOf(Finish());
    ASSERT_GE(body.size(), 2u);
    EXPECT_EQ(body[0].Text, text.substr(0, fit));
    EXPECT_EQ(body[1].Text, text.substr(fit, fit));
    EXPECT_EQ(body[1].Y, Area.top + Cell.cy);
}

TEST_F(PrinterOnMetafile, TextContinuingAPartLineWrapsByTheRoomLeft) {
    Open();
    const int fit = (Area.right - Area.left) / Cell.cx;
    Printer.WriteText("abc");
    const std::string line = Digits(fit);
    Printer.WriteText(line.c_str());
    const auto body = BodyOf(Finish());
    ASSERT_EQ(body.size(), 3u);
    const int room = (Area.right - (Area.left + 3 * Cell.cx)) / Cell.cx;
    EXPECT_EQ(body[1].Text, line.substr(0, room));
    EXPECT_EQ(body[1].X, Area.left + 3 * Cell.cx);
    EXPECT_EQ(body[2].Text, line.substr(room));
    EXPECT_EQ(body[2].X, Area.left);
    EXPECT_EQ(body[2].Y, Area.top + Cell.cy);
}

TEST_F(PrinterOnMetafile, TextAreaNarrowerThanOneCharacterPrintsOneCharacterPerLine) {
    PAGEMETRICS narrow = A4At600;
    // Margins of 590 and 354 pixels leave half a character between them.
    narrow.Width = 590 + 354 + CellOfFont(DocumentFont(600)).cx / 2;
    Open(narrow);
    Printer.WriteText("abc");
    const auto body = BodyOf(Finish());
    ASSERT_EQ(body.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(body[i].Text, std::string(1, "abc"[i]));
        EXPECT_EQ(body[i].X, Area.left);
        EXPECT_EQ(body[i].Y, Area.top + i * Cell.cy);
    }
}

// ---- tabs, backspace and control bytes ----

TEST_F(PrinterOnMetafile, TabsAdvanceToMultiplesOfEightCharactersFromTheMargin) {
    const auto body = Print("abc\tX\tY\t12345678\tZ");
    ASSERT_EQ(body.size(), 5u);
    EXPECT_EQ(body[1].Text, "X");
    EXPECT_EQ(body[1].X, Area.left + 8 * Cell.cx);
    EXPECT_EQ(body[2].Text, "Y"); // a tab right at a stop goes on to the next one
    EXPECT_EQ(body[2].X, Area.left + 16 * Cell.cx);
    EXPECT_EQ(body[3].X, Area.left + 24 * Cell.cx);
    EXPECT_EQ(body[4].Text, "Z");
    EXPECT_EQ(body[4].X, Area.left + 40 * Cell.cx);
}

TEST_F(PrinterOnMetafile, BackspaceNeverMovesIntoTheFirstCharacter) {
    const auto body = Print("ab\bX\r\na\bY\r\n\bZ");
    ASSERT_EQ(body.size(), 5u);
    EXPECT_EQ(body[1].Text, "X");
    EXPECT_EQ(body[1].X, Area.left + Cell.cx); // two widths in: one back
    EXPECT_EQ(body[3].Text, "Y");
    EXPECT_EQ(body[3].X, Area.left + Cell.cx); // one width in: stays
    EXPECT_EQ(body[4].Text, "Z");
    EXPECT_EQ(body[4].X, Area.left);
}

TEST_F(PrinterOnMetafile, OtherControlBytesAreDroppedAndHighBytesPrinted) {
    const auto body = Print("a\x01\x1b\x7f"
                            "b\xe9\xfc"
                            "c");
    ASSERT_EQ(body.size(), 2u);
    EXPECT_EQ(body[0].Text, "a");
    EXPECT_EQ(body[1].Text, "\x7f"
                            "b\xe9\xfc"
                            "c");
    EXPECT_EQ(body[1].X, Area.left + Cell.cx);
    EXPECT_EQ(body[1].Y, Area.top);
}

TEST_F(PrinterOnMetafile, ExplicitLengthStopsBeforeTheRest) {
    Open();
    Printer.WriteText("keep\0gone", 4);
    Printer.WriteText("ab\0cd", 5); // a zero byte is a control byte like any other
    const auto body = BodyOf(Finish());
    ASSERT_EQ(body.size(), 3u);
    EXPECT_EQ(body[0].Text, "keep");
    EXPECT_EQ(body[1].Text, "ab");
    EXPECT_EQ(body[2].Text, "cd");
    EXPECT_EQ(body[2].X, Area.left + 6 * Cell.cx);
}

// ---- line ends ----

TEST_F(PrinterOnMetafile, CarriageReturnLineFeedStartsTheNextLine) {
    const auto body = Print("ab\r\ncd\rX");
    ASSERT_EQ(body.size(), 3u);
    EXPECT_EQ(body[1].X, Area.left);
    EXPECT_EQ(body[1].Y, Area.top + Cell.cy);
    EXPECT_EQ(body[2].Text, "X"); // a lone CR returns on the same line
    EXPECT_EQ(body[2].X, Area.left);
    EXPECT_EQ(body[2].Y, Area.top + Cell.cy);
}

TEST_F(PrinterOnMetafile, LoneLineFeedReturnsToTheMarginInMode0) {
    const auto body = Print("ab\ncd", 0);
    ASSERT_EQ(body.size(), 2u);
    EXPECT_EQ(body[1].X, Area.left);
    EXPECT_EQ(body[1].Y, Area.top + Cell.cy);
}

TEST_F(PrinterOnMetafile, LoneLineFeedOnlyMovesDownInOtherModes) {
    const auto body = Print("ab\ncd\r\nef", 1);
    ASSERT_EQ(body.size(), 3u);
    EXPECT_EQ(body[1].X, Area.left + 2 * Cell.cx);
    EXPECT_EQ(body[1].Y, Area.top + Cell.cy);
    EXPECT_EQ(body[2].X, Area.left);
    EXPECT_EQ(body[2].Y, Area.top + 2 * Cell.cy);
}

// ---- pages ----

TEST_F(PrinterOnMetafile, FormFeedStartsANewPageAtOnce) {
    const auto body = Print("first\fsecond\f\fthird");
    ASSERT_EQ(body.size(), 3u);
    EXPECT_EQ(body[0].Page, 1);
    EXPECT_EQ(body[1].Text, "second");
    EXPECT_EQ(body[1].Page, 2);
    EXPECT_EQ(body[1].X, Area.left);
    EXPECT_EQ(body[1].Y, Area.top);
    EXPECT_EQ(body[2].Page, 4);
    EXPECT_EQ(Printer.GetPageNumber(), 4);
}

// A page on which three lines fit between the margins.
PAGEMETRICS ThreeLinePage() {
    PAGEMETRICS page = A4At600;
    page.Height = 590 + 472 + 3 * CellOfFont(DocumentFont(600)).cy - 10;
    return page;
}

TEST_F(PrinterOnMetafile, ReachingTheBottomMarginContinuesAtTheTopOfANewPage) {
    Open(ThreeLinePage());
    for (int line = 0; line < 7; ++line)
        Printer.WriteText(("line " + std::to_string(line) + "\r\n").c_str());
    EXPECT_EQ(Printer.GetPageNumber(), 3);
    const auto body = BodyOf(Finish());
    ASSERT_EQ(body.size(), 7u);
    for (int line = 0; line < 7; ++line) {
        SCOPED_TRACE(line);
        EXPECT_EQ(body[line].Text, "line " + std::to_string(line));
        EXPECT_EQ(body[line].Page, line / 3 + 1);
        EXPECT_EQ(body[line].X, Area.left);
        EXPECT_EQ(body[line].Y, Area.top + (line % 3) * Cell.cy);
    }
}

TEST_F(PrinterOnMetafile, WrappedLineCarriesOverToTheNextPage) {
    Open(ThreeLinePage());
    const int fit = (Area.right - Area.left) / Cell.cx;
    Printer.WriteText("one\r\ntwo\r\n");
    const std::string line = Digits(fit + 3);
    Printer.WriteText(line.c_str());
    EXPECT_EQ(Printer.GetPageNumber(), 2);
    const auto body = BodyOf(Finish());
    ASSERT_EQ(body.size(), 4u);
    EXPECT_EQ(body[2].Page, 1);
    EXPECT_EQ(body[2].Y, Area.top + 2 * Cell.cy);
    EXPECT_EQ(body[3].Text, line.substr(fit));
    EXPECT_EQ(body[3].Page, 2);
    EXPECT_EQ(body[3].Y, Area.top);
}

TEST_F(PrinterOnMetafile, WholeWritesFromSeveralThreadsStayWholeLines) {
    Open();
    auto writer = [this](const char* line) {
        for (int i = 0; i < 40; ++i)
            Printer.WriteText(line);
    };
    std::thread a(writer, "AAAA\r\n");
    std::thread b(writer, "BBBB\r\n");
    a.join();
    b.join();
    const auto body = BodyOf(Finish());
    ASSERT_EQ(body.size(), 80u);
    std::set<std::pair<int, int>> places;
    for (const auto& text : body) {
        EXPECT_TRUE(text.Text == "AAAA" || text.Text == "BBBB") << text.Text;
        EXPECT_EQ(text.X, Area.left);
        places.insert({text.Page, text.Y});
    }
    EXPECT_EQ(places.size(), 80u); // no line was drawn over another
}

// ---- header line ----

TEST_F(PrinterOnMetafile, HeaderLineOnEveryPageWithItsPlaceholders) {
    Open();
    Printer.SetHeader("%USERNAME%", "Page %PAGE%", "%COMPUTERNAME% / %PAGE%");
    Printer.WriteText("one\ftwo");
    const STRING user = OSYS::GetUserName();
    const STRING computer = OSYS::GetComputerName();
    const auto texts = Finish();
    const auto header = HeaderOf(texts);
    // Page 1 was started before the header was set; page 2 carries it.
    ASSERT_EQ(header.size(), 3u);
    const int mm8 = 600 * 80 / 254;
    for (const auto& part : header) {
        EXPECT_EQ(part.Page, 2);
        EXPECT_EQ(part.Y, mm8);
        EXPECT_EQ(part.Align & TA_BASELINE, TA_BASELINE);
        EXPECT_STREQ(std::string(part.Font.lfFaceName, part.Font.lfFaceName + 5).c_str(), "Arial");
        EXPECT_EQ(part.Font.lfPitchAndFamily, FF_SWISS);
    }
    EXPECT_EQ(header[0].Text, user.Text());
    EXPECT_EQ(header[0].X, 590);
    EXPECT_EQ(header[0].Align & (TA_CENTER | TA_RIGHT), TA_LEFT);
    EXPECT_EQ(header[1].Text, "Page 2");
    EXPECT_EQ(header[1].X, (Area.left + Area.right) / 2 - 600 * 30 / 254);
    EXPECT_EQ(header[1].Align & (TA_CENTER | TA_RIGHT), TA_CENTER);
    EXPECT_EQ(header[2].Text, std::string(computer.Text()) + " / 2");
    EXPECT_EQ(header[2].X, Area.right - mm8);
    EXPECT_EQ(header[2].Align & (TA_CENTER | TA_RIGHT), TA_RIGHT);
    // The body keeps its own font and position below the header.
    const auto body = BodyOf(texts);
    ASSERT_EQ(body.size(), 2u);
    EXPECT_EQ(body[1].Font.lfHeight, 100);
    EXPECT_EQ(body[1].Y, Area.top);
}

TEST_F(PrinterOnMetafile, HeaderFontIsEightTenthsOfTheDocumentCell) {
    Open();
    Printer.SetHeader(nullptr, "%DATE% %TIME%", nullptr);
    const STRING before = OSYS::GetDateString();
    Printer.NewPage();
    const STRING after = OSYS::GetDateString();
    const auto header = HeaderOf(Finish());
    ASSERT_EQ(header.size(), 1u);
    TEXTMETRICA metrics = {};
    HDC screen = GetDC(nullptr);
    const LOGFONTA document = DocumentFont(600);
    HFONT font = CreateFontIndirectA(&document);
    HGDIOBJ previous = SelectObject(screen, font);
    GetTextMetricsA(screen, &metrics);
    SelectObject(screen, previous);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(header[0].Font.lfHeight, metrics.tmHeight * 8 / 10);
    const std::string date = header[0].Text.substr(0, header[0].Text.find(' '));
    EXPECT_TRUE(date == before.Text() || date == after.Text()) << header[0].Text;
    EXPECT_GT(header[0].Text.size(), date.size() + 1); // the time follows
}

TEST_F(PrinterOnMetafile, StartDocClearsTheHeaderLine) {
    Cell = CellOfFont(DocumentFont(600));
    ASSERT_TRUE(Printer.AttachDC(Paper.Dc(), &A4At600));
    Printer.SetFont("Courier New", 12, false, false, true, 1252);
    Printer.SetMargins(25, 25, 15, 20);
    Printer.SetHeader("left", "centre", "right");
    Printer.StartDoc("ORDER", 0);
    Printer.NewPage();
    Printer.WriteText("body");
    const auto texts = Finish();
    EXPECT_TRUE(HeaderOf(texts).empty());
    EXPECT_EQ(BodyOf(texts).size(), 1u);
}

// ---- fonts ----

struct CHARSETCASE {
    int CodePage;
    int Charset;
};

class DocumentFontCharset : public testing::TestWithParam<CHARSETCASE> {};

TEST_P(DocumentFontCharset, CodePageChoosesTheCharacterSet) {
    EMFRECORDER paper;
    {
        PRINTER printer;
        ASSERT_TRUE(printer.AttachDC(paper.Dc(), &A4At600));
        printer.SetFont("Arial", 10, true, true, false, GetParam().CodePage);
        printer.SetMargins(25, 25, 15, 20);
        printer.StartDoc("fonts");
        printer.NewPage();
        printer.WriteText("z");
        printer.EndDoc();
    }
    const auto body = BodyOf(paper.Finish());
    ASSERT_EQ(body.size(), 1u);
    EXPECT_EQ(body[0].Font.lfCharSet, GetParam().Charset);
    EXPECT_EQ(body[0].Font.lfHeight, 10 * 600 / 72);
    EXPECT_EQ(body[0].Font.lfWeight, FW_BOLD);
    EXPECT_TRUE(body[0].Font.lfItalic);
    EXPECT_EQ(body[0].Font.lfPitchAndFamily, 0);
}

std::string CodePageName(const testing::TestParamInfo<CHARSETCASE>& info) {
    const int codepage = info.param.CodePage;
    return codepage < 0 ? "Default" : "CodePage" + std::to_string(codepage);
}

INSTANTIATE_TEST_SUITE_P(Table, DocumentFontCharset,
                         testing::Values(CHARSETCASE{0, ANSI_CHARSET}, CHARSETCASE{850, ANSI_CHARSET},
                                         CHARSETCASE{1000, ANSI_CHARSET}, CHARSETCASE{1252, ANSI_CHARSET},
                                         CHARSETCASE{437, OEM_CHARSET}, CHARSETCASE{737, OEM_CHARSET},
                                         CHARSETCASE{852, OEM_CHARSET}, CHARSETCASE{866, OEM_CHARSET},
                                         CHARSETCASE{1250, EASTEUROPE_CHARSET},
                                         CHARSETCASE{1251, RUSSIAN_CHARSET}, CHARSETCASE{1253, GREEK_CHARSET},
                                         CHARSETCASE{-1, DEFAULT_CHARSET}, CHARSETCASE{65001, ANSI_CHARSET}),
                         CodePageName);

TEST_F(PrinterOnMetafile, EndDocGivesAnAttachedDcBackWithItsOwnFont) {
    const HGDIOBJ original = GetCurrentObject(Paper.Dc(), OBJ_FONT);
    Open();
    Printer.WriteText("x");
    EXPECT_NE(GetCurrentObject(Paper.Dc(), OBJ_FONT), original);
    Printer.EndDoc();
    EXPECT_EQ(GetCurrentObject(Paper.Dc(), OBJ_FONT), original);
    EXPECT_EQ(BodyOf(Paper.Finish()).size(), 1u);
}

TEST(ScreenFont, SizeInPointsOnTheDisplay) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);

    HFONT bold = CreateScreenFont("Arial", 9, true, false, false, 1252);
    ASSERT_NE(bold, nullptr);
    LOGFONTA font = {};
    ASSERT_EQ(GetObjectA(bold, sizeof(font), &font), static_cast<int>(sizeof(font)));
    DeleteObject(bold);
    EXPECT_EQ(font.lfHeight, -MulDiv(9, dpi, 72)); // a character height, not a cell height
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    EXPECT_FALSE(font.lfItalic);
    EXPECT_STREQ(font.lfFaceName, "Arial");
    EXPECT_EQ(font.lfCharSet, ANSI_CHARSET);

    HFONT fixed = CreateScreenFont("Courier New", 12, false, true, true, 1251);
    ASSERT_NE(fixed, nullptr);
    ASSERT_EQ(GetObjectA(fixed, sizeof(font), &font), static_cast<int>(sizeof(font)));
    DeleteObject(fixed);
    EXPECT_EQ(font.lfHeight, -MulDiv(12, dpi, 72));
    EXPECT_EQ(font.lfWeight, FW_NORMAL);
    EXPECT_TRUE(font.lfItalic);
    EXPECT_EQ(font.lfPitchAndFamily, FIXED_PITCH | FF_MODERN);
    EXPECT_EQ(font.lfCharSet, RUSSIAN_CHARSET);
}

// ---- without a printer ----

TEST(PrinterDialog, NoDefaultPrinterGivesNoDeviceAndLeavesTheObjectNew) {
    const unsigned long failures = LastAssertFailure().Count;
    PRINTER printer;
    int first = 1, last = 3, copies = 2;
    bool selection = true;
    EXPECT_FALSE(printer.PrinterDialog(nullptr, &first, &last, -1, &copies, true, false, &selection));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(PDERR_NODEFAULTPRN));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(last, 3);
    EXPECT_EQ(copies, 2);
    EXPECT_TRUE(selection);
    // Still new: asking again does not trip the show-once check.
    EXPECT_FALSE(printer.PrinterDialog(nullptr, nullptr, nullptr, -1, nullptr, true));
    EXPECT_EQ(LastAssertFailure().Count, failures);
    EXPECT_EQ(printer.GetPageNumber(), 0);
}

TEST(PrinterWithoutDevice, DrawingCallsReportTheMissingDcAndDoNothing) {
    PRINTER printer;
    unsigned long failures = LastAssertFailure().Count;
    printer.SetMargins(25, 25, 15, 20);
    EXPECT_EQ(LastAssertFailure().Count, failures + 1);
    EXPECT_EQ(LastAssertFailure().Condition, "this->hDC");
    EXPECT_EQ(printer.GetMargins().bottom, 0);

    failures = LastAssertFailure().Count;
    EXPECT_EQ(printer.WriteText("text"), 1);
    EXPECT_GT(LastAssertFailure().Count, failures);
    EXPECT_EQ(printer.NewPage(), 0);
    EXPECT_EQ(printer.GetPageNumber(), 0);
    printer.EndDoc(); // nothing open: nothing to end
}

TEST(PrinterWithoutMargins, WriteTextReportsTheMissingTextAreaAndPrintsNothing) {
    EMFRECORDER paper;
    PRINTER printer;
    ASSERT_TRUE(printer.AttachDC(paper.Dc(), &A4At600));
    printer.StartDoc("no margins");
    printer.NewPage();
    const unsigned long failures = LastAssertFailure().Count;
    EXPECT_EQ(printer.WriteText("a\nb\nc"), 1);
    EXPECT_EQ(LastAssertFailure().Count, failures + 1);
    EXPECT_EQ(LastAssertFailure().Condition, "this->Margins.bottom>0");
    EXPECT_EQ(printer.GetPageNumber(), 1);
    printer.EndDoc();
    EXPECT_TRUE(BodyOf(paper.Finish()).empty());
}

} // namespace
