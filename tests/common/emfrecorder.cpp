#include "tests/common/emfrecorder.h"

#include <map>

namespace {

struct PLAYBACK {
    std::vector<DRAWNTEXT> Texts;
    std::map<DWORD, LOGFONTW> Fonts; // metafile object index -> font description
    LOGFONTW CurrentFont = {};
    UINT Align = 0;
    POINT Current = {};
    int Page = 0;
};

std::string Narrow(const wchar_t* text, int count) {
    std::string narrow(static_cast<size_t>(count) * 2 + 1, '\0');
    const int n = WideCharToMultiByte(1252, 0, text, count, &narrow[0], static_cast<int>(narrow.size()),
                                      nullptr, nullptr);
    narrow.resize(n > 0 ? n : 0);
    return narrow;
}

int CALLBACK Collect(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM param) {
    auto& state = *reinterpret_cast<PLAYBACK*>(param);
    switch (record->iType) {
    case EMR_SETMAPMODE:
        ++state.Page;
        break;
    case EMR_EXTCREATEFONTINDIRECTW: {
        const auto* font = reinterpret_cast<const EMREXTCREATEFONTINDIRECTW*>(record);
        state.Fonts[font->ihFont] = font->elfw.elfLogFont;
        break;
    }
    case EMR_SELECTOBJECT: {
        const DWORD index = reinterpret_cast<const EMRSELECTOBJECT*>(record)->ihObject;
        auto found = state.Fonts.find(index);
        if (found != state.Fonts.end())
            state.CurrentFont = found->second;
        break;
    }
    case EMR_SETTEXTALIGN:
        state.Align = reinterpret_cast<const EMRSETTEXTALIGN*>(record)->iMode;
        break;
    case EMR_MOVETOEX: {
        const auto& to = reinterpret_cast<const EMRMOVETOEX*>(record)->ptl;
        state.Current = {to.x, to.y};
        break;
    }
    case EMR_EXTTEXTOUTW:
    case EMR_EXTTEXTOUTA: {
        const auto* out = reinterpret_cast<const EMREXTTEXTOUTW*>(record);
        const auto* base = reinterpret_cast<const BYTE*>(record);
        DRAWNTEXT text;
        const int count = static_cast<int>(out->emrtext.nChars);
        if (record->iType == EMR_EXTTEXTOUTW)
            text.Text = Narrow(reinterpret_cast<const wchar_t*>(base + out->emrtext.offString), count);
        else
            text.Text.assign(reinterpret_cast<const char*>(base + out->emrtext.offString), count);
        // With TA_UPDATECP, GDI draws at the current position and ignores the given point.
        const bool updatecp = (state.Align & TA_UPDATECP) != 0;
        text.X = updatecp ? state.Current.x : out->emrtext.ptlReference.x;
        text.Y = updatecp ? state.Current.y : out->emrtext.ptlReference.y;
        text.Align = state.Align;
        text.Page = state.Page;
        text.Font = state.CurrentFont;
        state.Texts.push_back(text);
        break;
    }
    default:
        break;
    }
    return 1;
}

} // namespace

EMFRECORDER::EMFRECORDER()
    : Reference(GetDC(nullptr)), Recording(CreateEnhMetaFileA(Reference, nullptr, nullptr, nullptr)) {}

EMFRECORDER::~EMFRECORDER() {
    if (Recording)
        DeleteEnhMetaFile(CloseEnhMetaFile(Recording));
    ReleaseDC(nullptr, Reference);
}

std::vector<DRAWNTEXT> EMFRECORDER::Finish() {
    PLAYBACK state;
    HENHMETAFILE metafile = CloseEnhMetaFile(Recording);
    Recording = nullptr;
    if (!metafile)
        return state.Texts;
    EnumEnhMetaFile(nullptr, metafile, Collect, &state, nullptr);
    DeleteEnhMetaFile(metafile);
    return state.Texts;
}

SIZE CellOfFont(const LOGFONTA& description) {
    SIZE cell = {};
    HDC screen = GetDC(nullptr);
    HFONT font = CreateFontIndirectA(&description);
    HGDIOBJ previous = SelectObject(screen, font);
    GetTextExtentPoint32A(screen, "X", 1, &cell);
    SelectObject(screen, previous);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    return cell;
}
