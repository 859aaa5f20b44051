// HLINE3D: draws two one-pixel lines in the shadow and highlight colours of buttons.
#include "lib/win/hline3d.h"

#include "lib/win/winassert.h"
#include "lib/winhandles.h"

namespace {

void DrawLine(HDC dc, int syscolor, int y, int width) {
    const GDIHANDLE<HPEN> pen(CreatePen(PS_SOLID, 1, GetSysColor(syscolor)));
    HGDIOBJ previous = SelectObject(dc, pen.get());
    MoveToEx(dc, 0, y, nullptr);
    LineTo(dc, width, y);
    SelectObject(dc, previous); // before the pen goes: a selected pen cannot be deleted
}

} // namespace

HLINE3D::HLINE3D(HWND parent, int id) {
    RegisterToolkitClass(ClassName);
    HWND hwnd =
        CreateWindowExA(0, ClassName, "", WS_CHILD, 0, 0, 100, 2, parent,
                        reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), GetModuleHandleA(nullptr), this);
    AttachOwned(hwnd);
    Id = id;
    WIN_ASSERT(hWnd, "this->hWnd");
}

HLINE3D::~HLINE3D() {
    DestroyOwnedWindow();
}

int HLINE3D::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hWnd, &paint);
    const int width = GetClientRect().right;
    DrawLine(dc, COLOR_BTNSHADOW, 0, width);
    DrawLine(dc, COLOR_BTNHIGHLIGHT, 1, width);
    EndPaint(hWnd, &paint);
    return 1;
}
