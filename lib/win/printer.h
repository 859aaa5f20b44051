// Printing plain text on a Windows printer, and the screen fonts of the dialogs.
#pragma once

#include <windows.h>

#include "lib/osys.h"
#include "lib/strings.h"
#include "lib/textlayout.h"
#include "lib/winhandles.h"

// Prints plain text through GDI: the user picks a printer in the print dialog, the text is laid out in the
// document font between the margins, wrapped at the right margin, broken onto new pages at the bottom
// margin, and every page can carry a three-part header line.
//
// Calling order: PrinterDialog (or AttachDC), then only if that returned true: SetFont, SetMargins,
// StartDoc, NewPage, any number of WriteText, EndDoc.
//
// Every drawing operation holds the object's re-entrant lock, so one PRINTER may be fed from several threads.
class PRINTER {
public:
    PRINTER();
    ~PRINTER();
    PRINTER(const PRINTER&) = delete;
    PRINTER& operator=(const PRINTER&) = delete;

    // Shows the print dialog once (or, with usedefault, takes the default printer without a dialog; with
    // setup, shows the printer set-up dialog). firstpage/lastpage: the page range offered and chosen (both
    // or neither); currentpage: the page returned as the range when the user prints the selection (-1:
    // none); copies: offered and chosen copies; selection: receives whether the user chose the selection.
    // True when a printer device context was obtained.
    bool PrinterDialog(HWND owner, int* firstpage = nullptr, int* lastpage = nullptr, int currentpage = -1,
                       int* copies = nullptr, bool usedefault = false, bool setup = false,
                       bool* selection = nullptr);

    // Prints on a device context the caller already has instead of asking the user: a print preview, a
    // metafile, a printer opened elsewhere. The DC stays the caller's; EndDoc ends the document but leaves
    // the DC alive and gives it back without the document font. metrics replaces the DC's own resolution
    // and printable size (a metafile DC reports the screen's); null reads them from the DC.
    bool AttachDC(HDC dc, const PAGEMETRICS* metrics = nullptr);

    // Document font: size in points; fixedpitch asks the font mapper for a fixed-pitch modern face;
    // codepage selects the character set.
    void SetFont(const char* facename, int points, bool bold, bool italic, bool fixedpitch, int codepage);
    // Text area in millimetres from the edges of the printable area.
    void SetMargins(int left, int top, int right, int bottom);
    // Opens the print job. linefeedmode 0: a line feed also returns to the left margin; otherwise it only
    // moves down. Clears the header line. Returns the job number, <= 0 on failure.
    int StartDoc(const char* docname, int linefeedmode = 0);
    // Header line of the following pages (left, centre and right part; null or empty parts are not drawn).
    // Placeholders: %USERNAME%, %COMPUTERNAME%, %DATE%, %TIME%, %PAGE%.
    void SetHeader(const char* left, const char* centre, const char* right);
    // Ends the current page (if any) and starts the next; returns the result of StartPage.
    int NewPage();
    // Lays out length bytes (-1: up to the terminating zero) from the current position. Returns 1.
    int WriteText(const char* bytes, int length = -1);
    // Ends the last page and the job and releases the device context.
    void EndDoc();

    // Number of the current page, from 1; 0 before the first page.
    int GetPageNumber() const { return PageNumber; }
    const PAGEMARGINS& GetMargins() const { return Layout.GetMargins(); }

private:
    class LOCK;
    class GDIPAGE;
    using FONTHANDLE = GDIHANDLE<HFONT>;

    void ReleaseDC();
    void SelectDocumentFont();
    void DrawHeaderLine();
    int DrawRun(int x, int y, const char* chars, int count);

    MUTEXSEM Lock;
    HGLOBAL hDevMode = nullptr; // printer settings of the last dialog, offered again by the next one
    HDC hDC = nullptr;
    DCHANDLE OwnedDC;               // set when the DC came from the print dialog
    HGDIOBJ OriginalFont = nullptr; // font of the DC before the document font, restored on release
    PAGEMETRICS Page;
    FONTHANDLE hFont;
    TEXTLAYOUT Layout; // margins, position, character size, line-feed mode
    bool FirstPage = true;
    bool DocumentOpen = false;
    int PageNumber = 0;
    STRING HeaderLeft;
    STRING HeaderCentre;
    STRING HeaderRight;
};

// A font for windows and dialogs: size in points on the screen, the other arguments as for
// PRINTER::SetFont. The font belongs to the caller (DeleteObject). Null on failure.
HFONT CreateScreenFont(const char* facename, int points, bool bold, bool italic, bool fixedpitch,
                       int codepage);
