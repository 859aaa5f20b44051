#include "tests/robot/screen_capture.h"

#include "tests/robot/controls.h"
#include "tests/robot/png_writer.h"
#include "tests/robot/robot_error.h"
#include "tests/robot/text.h"

#include <algorithm>
#include <thread>

namespace uirobot {

namespace {

// The screen's device context, released on destruction.
class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) {
        if (!dc_)
            throw RobotError("cannot get the screen's device context");
    }
    ~ScreenDc() { ReleaseDC(nullptr, dc_); }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// A memory device context compatible with another one, deleted on destruction.
class MemoryDc {
public:
    explicit MemoryDc(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {
        if (!dc_)
            throw RobotError("cannot create a memory device context");
    }
    ~MemoryDc() { DeleteDC(dc_); }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// A 24-bit top-down DIB section whose pixels the robot can read, deleted on destruction.
class DibSection {
public:
    DibSection(HDC dc, int width, int height) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height; // negative: the first row is the top one
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap_ = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        if (!bitmap_)
            throw RobotError("cannot create a " + std::to_string(width) + "x" + std::to_string(height) +
                             " bitmap");
    }
    ~DibSection() { DeleteObject(bitmap_); }
    DibSection(const DibSection&) = delete;
    DibSection& operator=(const DibSection&) = delete;
    HBITMAP get() const { return bitmap_; }

    Image toImage() const {
        GdiFlush(); // GDI may batch drawing into the section
        Image image(width_, height_);
        size_t stride = (size_t(width_) * 3 + 3) & ~size_t(3);
        auto* base = static_cast<const uint8_t*>(bits_);
        for (int y = 0; y < height_; ++y) {
            const uint8_t* bgr = base + stride * y;
            for (int x = 0; x < width_; ++x)
                image.setPixel(x, y, {bgr[x * 3 + 2], bgr[x * 3 + 1], bgr[x * 3]});
        }
        return image;
    }

private:
    int width_, height_;
    void* bits_ = nullptr;
    HBITMAP bitmap_ = nullptr;
};

// Selects an object into a device context and puts the previous one back on destruction.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~Selection() { SelectObject(dc_, previous_); }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

RECT screenBounds() {
    int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
            top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

void createFolders(const std::wstring& path) {
    for (size_t end = path.find_first_of(L"\\/", 3);; end = path.find_first_of(L"\\/", end + 1)) {
        CreateDirectoryW(path.substr(0, end).c_str(), nullptr);
        if (end == std::wstring::npos)
            break;
    }
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw RobotError("cannot create the folder " + toUtf8(path));
}

} // namespace

Image captureScreenArea(RECT rect) {
    RECT screen = screenBounds();
    RECT area{};
    if (!IntersectRect(&area, &rect, &screen))
        throw RobotError("the area to capture is off the screen");
    int width = area.right - area.left, height = area.bottom - area.top;
    ScreenDc screenDc;
    MemoryDc memoryDc(screenDc.get());
    DibSection bitmap(screenDc.get(), width, height);
    {
        Selection selection(memoryDc.get(), bitmap.get());
        if (!BitBlt(memoryDc.get(), 0, 0, width, height, screenDc.get(), area.left, area.top,
                    SRCCOPY | CAPTUREBLT))
            throw RobotError("cannot copy from the screen");
    }
    return bitmap.toImage();
}

Image captureScreen() {
    return captureScreenArea(screenBounds());
}

Image captureWindow(const Window& window) {
    if (!window.exists())
        throw RobotError("cannot capture " + window.describe());
    bringToFront(window);
    HWND top = window.topLevel().handle();
    SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // Repaints in the target's thread before returning (WM_PAINT is sent, not queued).
    RedrawWindow(window.handle(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // Wine copies a window's drawing to the X server a moment after painting ends.
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    return captureScreenArea(window.screenRect());
}

std::string desktopName() {
    wchar_t name[256] = {};
    DWORD needed = 0;
    GetUserObjectInformationW(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, name, sizeof(name), &needed);
    return toUtf8(name);
}

bool inVirtualDesktop() {
    // The desktop that covers the whole X screen is named "Default"; explorer /desktop=NAME makes another.
    std::string name = desktopName();
    return !name.empty() && name != "Default";
}

ScreenshotFolder::ScreenshotFolder(std::string path) : path_(std::move(path)) {
    std::replace(path_.begin(), path_.end(), '/', '\\');
    if (!path_.empty() && path_.back() == '\\')
        path_.pop_back();
}

std::string ScreenshotFolder::save(const Image& image, const std::string& name) const {
    createFolders(toWide(path_));
    std::string file = path_ + "\\" + name + ".png";
    writePng(image, file);
    return file;
}

} // namespace uirobot
