// An enhanced-metafile DC that stands in for a printer: it keeps every text the printer draws, with the
// position GDI would use, the page it belongs to and the font it was drawn in.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct DRAWNTEXT {
    std::string Text;
    int X = 0;
    int Y = 0;
    UINT Align = 0;     // text alignment in force (TA_* flags)
    int Page = 0;       // 1 for the first page; pages are counted by the MM_TEXT set at each page start
    LOGFONTW Font = {}; // the font requested for the text
};

class EMFRECORDER {
public:
    EMFRECORDER();
    ~EMFRECORDER();
    EMFRECORDER(const EMFRECORDER&) = delete;
    EMFRECORDER& operator=(const EMFRECORDER&) = delete;

    HDC Dc() const { return Recording; }
    // Ends the recording and returns the texts in drawing order. Once only.
    std::vector<DRAWNTEXT> Finish();

private:
    HDC Reference;
    HDC Recording;
};

// Character cell ("X") of a font on the screen, the reference device of the recordings.
SIZE CellOfFont(const LOGFONTA& font);
