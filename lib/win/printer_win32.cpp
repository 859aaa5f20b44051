#include "lib/win/printer.h"

#include <commdlg.h>

#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/textcodec.h"

namespace {

// The print dialog's library is loaded when a dialog is asked for: importing it would load the common
// controls with the program. It stays loaded for the process.
BOOL ShowPrintDialog(PRINTDLGA* dialog) {
    HMODULE library = LoadSystemLibrary("comdlg32.dll");
    if (library == nullptr)
        return FALSE;
    using PRINTDIALOG = BOOL(WINAPI*)(PRINTDLGA*);
    const auto show =
        reinterpret_cast<PRINTDIALOG>(reinterpret_cast<void*>(GetProcAddress(library, "PrintDlgA")));
    return show != nullptr ? show(dialog) : FALSE;
}

// Output never bypasses GDI here (no spooler handle is ever opened); the log lines keep their field.
void* const NoDirectPrinter = nullptr;

LOGFONTA DescribeFont(const char* facename, int height, bool bold, bool italic, bool fixedpitch,
                      int codepage) {
    LOGFONTA font = {};
    font.lfHeight = height;
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfItalic = italic ? TRUE : FALSE;
    font.lfCharSet = static_cast<BYTE>(CharsetFromCodePage(codepage));
    font.lfPitchAndFamily = fixedpitch ? (FIXED_PITCH | FF_MODERN) : 0;
    if (facename)
        strncpy(font.lfFaceName, facename, LF_FACESIZE - 1);
    return font;
}

PAGEMETRICS MetricsOf(HDC dc) {
    PAGEMETRICS page;
    page.DpiX = GetDeviceCaps(dc, LOGPIXELSX);
    page.DpiY = GetDeviceCaps(dc, LOGPIXELSY);
    page.Width = GetDeviceCaps(dc, HORZRES);
    page.Height = GetDeviceCaps(dc, VERTRES);
    return page;
}

} // namespace

// Holds the object's re-entrant lock for one scope.
class PRINTER::LOCK {
public:
    explicit LOCK(MUTEXSEM& mutex) : Mutex(mutex) { Mutex.Obtain(); }
    ~LOCK() { Mutex.Release(); }
    LOCK(const LOCK&) = delete;
    LOCK& operator=(const LOCK&) = delete;

private:
    MUTEXSEM& Mutex;
};

// The printer's DC as the target of the text layout.
class PRINTER::GDIPAGE : public TEXTPAGE {
public:
    explicit GDIPAGE(PRINTER& printer) : Printer(printer) {}
    int DrawRun(int x, int y, const char* chars, int count) override {
        return Printer.DrawRun(x, y, chars, count);
    }
    void BreakPage() override { Printer.NewPage(); }

private:
    PRINTER& Printer;
};

PRINTER::PRINTER() = default;

PRINTER::~PRINTER() {
    if (hDC && DocumentOpen && OwnedDC)
        AbortDoc(hDC);
    // The font can only be deleted once no DC holds it any more.
    ReleaseDC();
    hFont.reset();
    if (hDevMode)
        GlobalFree(hDevMode);
}

bool PRINTER::PrinterDialog(HWND owner, int* firstpage, int* lastpage, int current, int* copies,
                            bool usedefault, bool setup, bool* selection) {
    ORVIK_ASSERT(!this->hDC);
    ORVIK_ASSERT(!this->hFont);
    LogPrintf("PRINTER::PrinterDialog\n");
    if (hDC)
        return false; // one dialog per PRINTER: the DC of the first one is still in use
    Layout.SetLineFeedMode(0);
    Layout.SetUtf8(TEXTCODEC::ActiveCodePage() == TEXTCODEC::CODEPAGE_UTF8);
    Layout.SetMargins(PAGEMARGINS());

    PRINTDLGA dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.Flags = PD_RETURNDC;
    if (usedefault)
        dialog.Flags |= PD_RETURNDEFAULT;
    else
        dialog.hDevMode = hDevMode; // the default printer must be asked for without settings
    if (setup)
        dialog.Flags |= PD_PRINTSETUP;
    if (!selection)
        dialog.Flags |= PD_NOSELECTION; // the caller could not tell that only the selection is wanted
    const bool withrange = firstpage && lastpage;
    if (withrange) {
        dialog.nMinPage = dialog.nFromPage = static_cast<WORD>(*firstpage);
        dialog.nMaxPage = dialog.nToPage = static_cast<WORD>(*lastpage);
    } else {
        dialog.Flags |= PD_NOPAGENUMS;
    }
    dialog.nCopies = static_cast<WORD>(copies ? *copies : 1);

    const bool confirmed = ShowPrintDialog(&dialog) != FALSE;
    if (dialog.hDevMode)
        hDevMode = dialog.hDevMode;
    if (dialog.hDevNames)
        GlobalFree(dialog.hDevNames);

    if (confirmed && dialog.hDC) {
        hDC = dialog.hDC;
        OwnedDC.reset(dialog.hDC);
        Page = MetricsOf(hDC);
        const bool chosen = (dialog.Flags & PD_SELECTION) != 0;
        if (withrange) {
            *firstpage = dialog.nFromPage;
            *lastpage = dialog.nToPage;
            if (chosen) {
                ORVIK_ASSERT(current != -1);
                if (current != -1)
                    *firstpage = *lastpage = current;
            }
        }
        if (selection)
            *selection = chosen;
        if (copies)
            *copies = dialog.nCopies;
    }
    LogPrintf("PRINTER::PrinterDialog returns %d\n", hDC != nullptr);
    return hDC != nullptr;
}

bool PRINTER::AttachDC(HDC dc, const PAGEMETRICS* metrics) {
    ORVIK_ASSERT(!this->hDC);
    ORVIK_ASSERT(dc);
    LogPrintf("PRINTER::AttachDC hdc= %p\n", static_cast<void*>(dc));
    if (hDC || !dc)
        return false;
    Layout.SetLineFeedMode(0);
    Layout.SetUtf8(TEXTCODEC::ActiveCodePage() == TEXTCODEC::CODEPAGE_UTF8);
    Layout.SetMargins(PAGEMARGINS());
    hDC = dc;
    Page = metrics ? *metrics : MetricsOf(dc);
    return true;
}

void PRINTER::SetFont(const char* facename, int points, bool bold, bool italic, bool fixedpitch,
                      int codepage) {
    LOCK lock(Lock);
    if (!hDC)
        return;
    const LOGFONTA description =
        DescribeFont(facename, points * Page.DpiY / 72, bold, italic, fixedpitch, codepage);
    FONTHANDLE font(CreateFontIndirectA(&description));
    Assert(font.get() != nullptr, "this->hFont", __FILE__, __LINE__, nullptr, false);
    if (!font)
        return; // keep the previous font rather than none
    // The new font goes into the DC before the old one is deleted: a selected font cannot be deleted.
    HGDIOBJ previous = SelectObject(hDC, font.get());
    if (!OriginalFont && previous != hFont.get())
        OriginalFont = previous;
    hFont = std::move(font);
}

void PRINTER::SetMargins(int left, int top, int right, int bottom) {
    LOCK lock(Lock);
    ORVIK_ASSERT(this->hDC);
    LogPrintf("PRINTER::SetMargins hdc= %p, hdirect= %p\n", static_cast<void*>(hDC), NoDirectPrinter);
    if (hDC)
        Layout.SetMargins(MarginsFromMillimetres(Page, left, top, right, bottom));
    LogPrintf("PRINTER::SetMargins done\n");
}

int PRINTER::StartDoc(const char* docname, int linefeedmode) {
    LogPrintf("PRINTER::StartDoc %s hdc= %p, hdirect= %p\n", StringNullPolicy(docname, "docname"),
              static_cast<void*>(hDC), NoDirectPrinter);
    LOCK lock(Lock);
    ORVIK_ASSERT(this->hDC);
    FirstPage = true;
    PageNumber = 0;
    Layout.SetLineFeedMode(linefeedmode);
    HeaderLeft = "";
    HeaderCentre = "";
    HeaderRight = "";
    int job = 0;
    if (hDC) {
        DOCINFOA document = {};
        document.cbSize = sizeof(document);
        document.lpszDocName = docname;
        job = ::StartDocA(hDC, &document);
        DocumentOpen = job > 0;
    }
    LogPrintf("PRINTER::StartDoc done\n");
    return job;
}

void PRINTER::SetHeader(const char* left, const char* centre, const char* right) {
    LOCK lock(Lock);
    HeaderLeft = left ? left : "";
    HeaderCentre = centre ? centre : "";
    HeaderRight = right ? right : "";
}

int PRINTER::NewPage() {
    LogPrintf("PRINTER::NewPage hdc= %p, hdirect= %p\n", static_cast<void*>(hDC), NoDirectPrinter);
    LOCK lock(Lock);
    ORVIK_ASSERT(this->hDC);
    if (!hDC)
        return 0;
    if (!FirstPage)
        EndPage(hDC);
    const int ok = StartPage(hDC);
    if (ok > 0) {
        ++PageNumber;
        SetMapMode(hDC, MM_TEXT);
        SetTextColor(hDC, RGB(0, 0, 0));
        SetBkMode(hDC, TRANSPARENT);
        DrawHeaderLine();
        SetTextAlign(hDC, TA_LEFT | TA_TOP | TA_UPDATECP);
        SelectDocumentFont();
        SIZE cell = {};
        GetTextExtentPoint32A(hDC, "X", 1, &cell);
        Layout.SetCharSize(cell.cx, cell.cy);
        Layout.MoveToTop();
        LogPrintf("PRINTER::NewPage for page #%d done\n", PageNumber);
    }
    FirstPage = false;
    LogPrintf("PRINTER::NewPage done, ok= %d\n", ok);
    return ok;
}

int PRINTER::WriteText(const char* bytes, int length) {
    LogPrintf("PRINTER::WriteText %d bytes hdc= %p, hdirect= %p\n", length, static_cast<void*>(hDC),
              NoDirectPrinter);
    LOCK lock(Lock);
    if (length == -1)
        length = bytes ? static_cast<int>(strlen(bytes)) : 0;
    ORVIK_ASSERT(this->hDC);
    const bool margins = Layout.GetMargins().bottom > 0;
    Assert(margins, "this->Margins.bottom>0", __FILE__, __LINE__, nullptr, false);
    // Without a text area every line would break the page: print nothing rather than empty pages.
    if (hDC && margins) {
        GDIPAGE page(*this);
        Layout.Write(bytes, length, page);
    }
    LogPrintf("PRINTER::WriteText %d bytes done, ok= %d\n", length, 1);
    return 1;
}

void PRINTER::EndDoc() {
    LogPrintf("PRINTER::EndDoc hdc= %p, hdirect= %p\n", static_cast<void*>(hDC), NoDirectPrinter);
    LOCK lock(Lock);
    if (hDC) {
        if (!FirstPage)
            EndPage(hDC);
        ::EndDoc(hDC);
        DocumentOpen = false;
        ReleaseDC();
    }
    LogPrintf("PRINTER::EndDoc done\n");
}

void PRINTER::ReleaseDC() {
    if (hDC && OriginalFont)
        SelectObject(hDC, OriginalFont);
    OriginalFont = nullptr;
    OwnedDC.reset();
    hDC = nullptr;
}

void PRINTER::SelectDocumentFont() {
    if (!hFont)
        return;
    HGDIOBJ previous = SelectObject(hDC, hFont.get());
    if (!OriginalFont && previous != hFont.get())
        OriginalFont = previous;
}

void PRINTER::DrawHeaderLine() {
    if (HeaderLeft.IsEmpty() && HeaderCentre.IsEmpty() && HeaderRight.IsEmpty())
        return;
    SelectDocumentFont();
    TEXTMETRICA document = {};
    GetTextMetricsA(hDC, &document);
    LOGFONTA description = {};
    description.lfHeight = document.tmHeight * 8 / 10;
    description.lfPitchAndFamily = FF_SWISS;
    description.lfCharSet = ANSI_CHARSET;
    strcpy(description.lfFaceName, "Arial");
    FONTHANDLE hfont(CreateFontIndirectA(&description));
    ORVIK_ASSERT(hfont);
    if (!hfont)
        return;

    HEADERVALUES values;
    values.UserName = OSYS::GetUserName();
    values.ComputerName = OSYS::GetComputerName();
    values.Date = OSYS::GetDateString();
    values.Time = OSYS::GetTimeString();
    values.Page = PageNumber;
    const HEADERPOSITIONS at = HeaderPositionsFor(Page, Layout.GetMargins());

    HGDIOBJ previous = SelectObject(hDC, hfont.get());
    auto draw = [&](const STRING& text, int x, UINT alignment) {
        if (text.IsEmpty())
            return;
        const STRING line = ExpandHeaderText(text, values);
        SetTextAlign(hDC, alignment | TA_BASELINE | TA_NOUPDATECP);
        const std::u16string wide = TEXTCODEC::ToWide(line.Text());
        TextOutW(hDC, x, at.BaseLine, reinterpret_cast<const wchar_t*>(wide.data()),
                 static_cast<int>(wide.size()));
    };
    draw(HeaderLeft, at.LeftX, TA_LEFT);
    draw(HeaderCentre, at.CentreX, TA_CENTER);
    draw(HeaderRight, at.RightX, TA_RIGHT);
    SelectObject(hDC, previous);
}

int PRINTER::DrawRun(int x, int y, const char* chars, int count) {
    MoveToEx(hDC, x, y, nullptr);
    const std::u16string wide = TEXTCODEC::ToWide(std::string_view(chars, static_cast<size_t>(count)));
    TextOutW(hDC, x, y, reinterpret_cast<const wchar_t*>(wide.data()), static_cast<int>(wide.size()));
    POINT next = {x, y};
    GetCurrentPositionEx(hDC, &next);
    return next.x;
}

HFONT CreateScreenFont(const char* facename, int points, bool bold, bool italic, bool fixedpitch,
                       int codepage) {
    // An information context of the display, for its resolution.
    const DCHANDLE hdc(CreateDCA("DISPLAY", nullptr, nullptr, nullptr));
    ORVIK_ASSERT(hdc);
    if (!hdc)
        return nullptr;
    const int height = -MulDiv(points, GetDeviceCaps(hdc.get(), LOGPIXELSY), 72);
    const LOGFONTA description = DescribeFont(facename, height, bold, italic, fixedpitch, codepage);
    return CreateFontIndirectA(&description);
}
