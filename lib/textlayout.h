// Page geometry and line layout of plain text for page-oriented output (the printer). Free of any window
// system: the caller describes the page and receives the runs to draw through TEXTPAGE.
#pragma once

#include "lib/strings.h"

// What the layout needs to know about the output device: resolution in dots per inch and the printable
// size in device pixels (LOGPIXELSX, LOGPIXELSY, HORZRES, VERTRES of a GDI device).
struct PAGEMETRICS {
    int DpiX = 0;
    int DpiY = 0;
    int Width = 0;
    int Height = 0;
};

// The text area in device pixels; right and bottom are absolute coordinates, not distances.
struct PAGEMARGINS {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Margins given in millimetres, converted with truncating integer arithmetic.
PAGEMARGINS MarginsFromMillimetres(const PAGEMETRICS& page, int left, int top, int right, int bottom);

// GDI character set of a code page (-1 asks for the default character set).
int CharsetFromCodePage(int codepage);

// Anchor points of the three header parts and the common base line.
struct HEADERPOSITIONS {
    int LeftX = 0;   // left-aligned part
    int CentreX = 0; // centred part
    int RightX = 0;  // right-aligned part
    int BaseLine = 0;
};
HEADERPOSITIONS HeaderPositionsFor(const PAGEMETRICS& page, const PAGEMARGINS& margins);

// Values of the header placeholders %USERNAME%, %COMPUTERNAME%, %DATE%, %TIME% and %PAGE%; a null value
// (an unknown user) prints as nothing.
struct HEADERVALUES {
    STRING UserName;
    STRING ComputerName;
    STRING Date;
    STRING Time;
    int Page = 0;
};
STRING ExpandHeaderText(const STRING& text, const HEADERVALUES& values);

// Receives what the layout decides to put on paper.
class TEXTPAGE {
public:
    virtual ~TEXTPAGE() = default;
    // Draws count bytes with their top-left corner at (x, y) and returns the x where the next text would go.
    virtual int DrawRun(int x, int y, const char* chars, int count) = 0;
    // Ends the current page and starts the next one.
    virtual void BreakPage() = 0;
};

// Lays text out line by line between the margins in a character cell taken from "X": printable bytes
// (0x20 and above) are drawn in runs, wrapped at the last character that fits, and control bytes move the
// position (BS, TAB, LF, FF, CR; the others are dropped). Reaching the bottom margin breaks the page.
// UTF-8 text is measured and wrapped by characters, never inside one.
class TEXTLAYOUT {
public:
    static constexpr int TAB_WIDTH = 8; // tab stops every 8 character widths

    void SetMargins(const PAGEMARGINS& margins) { Margins = margins; }
    const PAGEMARGINS& GetMargins() const { return Margins; }
    // Character cell of the document font; a width below 1 is treated as 1 so that wrapping always ends.
    void SetCharSize(int width, int height);
    // 0: a line feed also returns to the left margin; otherwise it only moves down.
    void SetLineFeedMode(int mode) { LineFeedMode = mode; }
    // True when the text is UTF-8 (one character may take several bytes); false for an 8-bit code page.
    void SetUtf8(bool utf8) { Utf8 = utf8; }
    int GetLineFeedMode() const { return LineFeedMode; }

    // Puts the position at the top-left corner of the text area (a new page).
    void MoveToTop();
    int X() const { return PosX; }
    int Y() const { return PosY; }

    void Write(const char* bytes, int length, TEXTPAGE& page);

private:
    void WriteRun(const char* chars, int count, TEXTPAGE& page);
    void ApplyControl(unsigned char control, TEXTPAGE& page);
    void BreakPageAtBottom(TEXTPAGE& page);
    void NewLine(TEXTPAGE& page);
    int Characters(const char* chars, int count) const;
    int BytesOfCharacters(const char* chars, int count, int characters) const;

    PAGEMARGINS Margins;
    int CharWidth = 1;
    int CharHeight = 1;
    int LineFeedMode = 0;
    bool Utf8 = false;
    int PosX = 0;
    int PosY = 0;
};
