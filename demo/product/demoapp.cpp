// DemoPad: the small program that the demo package installs. It opens one window that names itself with its
// version and shows the document it was started with (the file types of the package open their documents
// here), or a short note when it was started without one.
#include <windows.h>

#include <string>

#ifndef DEMO_VERSION
#define DEMO_VERSION "0.0"
#endif

namespace {

const char* const kClassName = "DemoPadWindow";
constexpr int kTextId = 100;

// The document named on the command line, quotes removed; empty without one.
std::string DocumentName(const char* commandline) {
    std::string name = commandline ? commandline : "";
    const size_t first = name.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    name = name.substr(first);
    if (name.front() == '"') {
        const size_t close = name.find('"', 1);
        return name.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    return name.substr(0, name.find_last_not_of(" \t") + 1);
}

// The whole file; false when it cannot be read.
bool ReadDocument(const std::string& name, std::string& text) {
    HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(file);
    return true;
}

// What the window shows: the document's text with Windows line ends, or the note.
std::string WindowText(const std::string& document) {
    std::string text;
    if (document.empty())
        text = "DemoPad " DEMO_VERSION "\n\nThe demonstration product of the Orvik setup.\n"
               "Open a .odemo document to see it here.";
    else if (!ReadDocument(document, text))
        text = "The document " + document + " cannot be read.";
    std::string windows;
    for (char c : text) {
        if (c == '\r')
            continue;
        if (c == '\n')
            windows += '\r';
        windows += c;
    }
    return windows;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_SIZE:
        MoveWindow(GetDlgItem(window, kTextId), 8, 8, LOWORD(lparam) - 16, HIWORD(lparam) - 16, TRUE);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wparam, lparam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandline, int show) {
    WNDCLASSA windowclass = {};
    windowclass.lpfnWndProc = WindowProc;
    windowclass.hInstance = instance;
    windowclass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
    windowclass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // the arrow
    windowclass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowclass.lpszClassName = kClassName;
    RegisterClassA(&windowclass);

    const std::string document = DocumentName(commandline);
    const std::string title =
        document.empty() ? "DemoPad " DEMO_VERSION : "DemoPad " DEMO_VERSION " - " + document;
    HWND window = CreateWindowExA(0, kClassName, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 600, 280, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    HWND text =
        CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", WindowText(document).c_str(),
                        WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 0, 0, 0, 0, window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextId)), instance, nullptr);
    SendMessageA(text, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    ShowWindow(window, show);
    UpdateWindow(window);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
