// HLINE3D: an etched horizontal separator line (a dark line above a light one), as wizards draw them.
#pragma once

#include "lib/win/windows_win32.h"

class HLINE3D : public WINDOW {
public:
    static constexpr const char* ClassName = "OrvikWinClassHline3D";

    // Created hidden at (0, 0), 100 x 2, under parent with the control id.
    HLINE3D(HWND parent, int id);
    ~HLINE3D() override;

    int OnPaint() override;
};
