// Drives dialogs of the test thread from a second thread, as a person would: it waits for windows to appear,
// clicks their buttons, types into fields and reads what the controls show. The test thread meanwhile runs
// the dialog's own modal loop. If the script gives up, the test thread's loops are ended with WM_QUIT so that
// a broken test fails instead of hanging.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace uidriver {

// Polls condition every 10 ms; false when it did not become true within timeoutms.
bool WaitUntil(const std::function<bool()>& condition, int timeoutms = 5000);
// The visible top-level window of this process with the caption (and class, when given).
HWND WaitForWindow(const char* caption, const char* classname = nullptr, int timeoutms = 5000);
// The same, but another window than except (a message box titled like its owner).
HWND WaitForOtherWindow(const char* caption, HWND except, int timeoutms = 5000);
// The visible dialog item id of dialog (children of children included).
HWND WaitForItem(HWND dialog, int id, int timeoutms = 5000);
// The item id anywhere below window, or null.
HWND FindItem(HWND window, int id);

void Click(HWND button);
void SetText(HWND control, const char* text);
std::string Text(HWND window);
bool IsChecked(HWND button);
// A key press delivered to the control with the focus in the dialog's thread.
void PressKey(HWND dialog, UINT virtualkey);

// Runs script on its own thread; the destructor waits for it. Failed() tells whether the script gave up.
class SCRIPT {
public:
    explicit SCRIPT(std::function<void()> script);
    ~SCRIPT();
    SCRIPT(const SCRIPT&) = delete;
    SCRIPT& operator=(const SCRIPT&) = delete;
    bool Failed() const { return Failure; }
    const std::string& Reason() const { return FailureReason; }

private:
    DWORD TestThread;
    std::atomic<bool> Failure{false};
    std::string FailureReason;
    std::thread Thread;
};

// Thrown by the helpers when a window does not appear; the SCRIPT catches it and ends the test thread's
// loops.
struct FAILURE {
    std::string Reason;
};

// Removes a WM_QUIT left in the queue by an earlier failed script.
void DrainQuit();

} // namespace uidriver
