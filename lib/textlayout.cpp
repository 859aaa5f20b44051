#include "lib/textlayout.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// Millimetres to device pixels, truncating: tenths of a millimetre over 254 tenths per inch.
int MillimetresToPixels(int millimetres, int dpi) {
    return static_cast<int>(int64_t(millimetres) * dpi * 10 / 254);
}

} // namespace

PAGEMARGINS MarginsFromMillimetres(const PAGEMETRICS& page, int left, int top, int right, int bottom) {
    PAGEMARGINS margins;
    margins.left = MillimetresToPixels(left, page.DpiX);
    margins.top = MillimetresToPixels(top, page.DpiY);
    margins.right = page.Width - MillimetresToPixels(right, page.DpiX);
    margins.bottom = page.Height - MillimetresToPixels(bottom, page.DpiY);
    return margins;
}

int CharsetFromCodePage(int codepage) {
    switch (codepage) {
    case 0:
    case 850:
    case 1000:
    case 1252:
        return 0; // ANSI
    case 437:
    case 737:
    case 852:
    case 866:
        return 255; // OEM
    case 1250:
        return 238; // Eastern Europe
    case 1251:
        return 204; // Cyrillic
    case 1253:
        return 161; // Greek
    case -1:
        return 1; // default
    default:
        return 0;
    }
}

HEADERPOSITIONS HeaderPositionsFor(const PAGEMETRICS& page, const PAGEMARGINS& margins) {
    HEADERPOSITIONS positions;
    positions.LeftX = margins.left;
    positions.CentreX = (margins.left + margins.right) / 2 - page.DpiX * 30 / 254; // 3 mm
    positions.RightX = margins.right - page.DpiX * 80 / 254;                       // 8 mm
    positions.BaseLine = page.DpiY * 80 / 254;                                     // 8 mm
    return positions;
}

STRING ExpandHeaderText(const STRING& text, const HEADERVALUES& values) {
    const STRING page(values.Page);
    const struct {
        const char* Name;
        const STRING& Value;
    } placeholders[] = {{"%USERNAME%", values.UserName},
                        {"%COMPUTERNAME%", values.ComputerName},
                        {"%DATE%", values.Date},
                        {"%TIME%", values.Time},
                        {"%PAGE%", page}};
    // One pass from left to right, so that a value which itself looks like a placeholder stays as it is.
    STRING expanded("");
    const char* rest = text.c_str();
    while (rest && *rest) {
        bool replaced = false;
        for (const auto& placeholder : placeholders) {
            const size_t length = strlen(placeholder.Name);
            if (strncmp(rest, placeholder.Name, length) == 0) {
                if (placeholder.Value.NotEmpty())
                    expanded.Append(placeholder.Value.c_str());
                rest += length;
                replaced = true;
                break;
            }
        }
        if (!replaced)
            expanded.Append(rest++, 1);
    }
    return expanded;
}

void TEXTLAYOUT::SetCharSize(int width, int height) {
    CharWidth = std::max(width, 1);
    CharHeight = std::max(height, 1);
}

void TEXTLAYOUT::MoveToTop() {
    PosX = Margins.left;
    PosY = Margins.top;
}

void TEXTLAYOUT::Write(const char* bytes, int length, TEXTPAGE& page) {
    if (!bytes || length <= 0)
        return;
    int runstart = 0;
    for (int i = 0; i <= length; ++i) {
        const bool atend = i == length;
        const auto byte = atend ? 0 : static_cast<unsigned char>(bytes[i]);
        if (!atend && byte >= 0x20)
            continue;
        if (i > runstart)
            WriteRun(bytes + runstart, i - runstart, page);
        if (!atend)
            ApplyControl(byte, page);
        BreakPageAtBottom(page);
        runstart = i + 1;
    }
}

int TEXTLAYOUT::Characters(const char* chars, int count) const {
    if (!Utf8)
        return count;
    int characters = 0;
    for (int i = 0; i < count; ++i)
        characters += (static_cast<unsigned char>(chars[i]) & 0xC0) != 0x80;
    return characters;
}

int TEXTLAYOUT::BytesOfCharacters(const char* chars, int count, int characters) const {
    if (!Utf8)
        return std::min(characters, count);
    int i = 0;
    for (int seen = 0; i < count; ++i) {
        const bool starts = (static_cast<unsigned char>(chars[i]) & 0xC0) != 0x80;
        if (starts && seen++ == characters)
            break;
    }
    return i;
}

void TEXTLAYOUT::WriteRun(const char* chars, int count, TEXTPAGE& page) {
    while (count > 0) {
        if (int64_t(Characters(chars, count)) * CharWidth + PosX < Margins.right) {
            PosX = page.DrawRun(PosX, PosY, chars, count);
            return;
        }
        int fit = std::max((Margins.right - PosX) / CharWidth, 0);
        // A text area narrower than one character would otherwise break lines for ever.
        if (fit == 0 && PosX <= Margins.left)
            fit = 1;
        fit = BytesOfCharacters(chars, count, fit);
        if (fit > 0)
            PosX = page.DrawRun(PosX, PosY, chars, fit);
        NewLine(page);
        chars += fit;
        count -= fit;
    }
}

void TEXTLAYOUT::NewLine(TEXTPAGE& page) {
    // The same path as a CR LF in the text, so a wrapped line can break the page too.
    Write("\r\n", 2, page);
}

void TEXTLAYOUT::ApplyControl(unsigned char control, TEXTPAGE& page) {
    switch (control) {
    case 0x08: // backspace, never into the left margin
        if (PosX - Margins.left > CharWidth)
            PosX -= CharWidth;
        break;
    case 0x09: { // tab
        const int stop = TAB_WIDTH * CharWidth;
        PosX = Margins.left + ((PosX - Margins.left) / stop + 1) * stop;
        break;
    }
    case 0x0A: // line feed
        PosY += CharHeight;
        if (LineFeedMode == 0)
            PosX = Margins.left;
        break;
    case 0x0C: // form feed
        page.BreakPage();
        MoveToTop();
        break;
    case 0x0D: // carriage return
        PosX = Margins.left;
        break;
    default: // other control bytes print nothing
        break;
    }
}

void TEXTLAYOUT::BreakPageAtBottom(TEXTPAGE& page) {
    if (PosY >= Margins.bottom) {
        page.BreakPage();
        MoveToTop();
    }
}
