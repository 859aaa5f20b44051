// DemoPad Sync: the package's second program, a helper that would keep DemoPad's documents in step with a
// server. In the demo it only reports its state in a message box; the firewall exception of the package is
// made for it.
#include <windows.h>

#include <cstring>
#include <string>

#ifndef DEMO_VERSION
#define DEMO_VERSION "0.0"
#endif

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandline, int) {
    const bool status = commandline && std::strstr(commandline, "/status") != nullptr;
    const std::string text = status ? "DemoPad Sync " DEMO_VERSION "\n\nNo server is configured: there is "
                                      "nothing to synchronise."
                                    : "DemoPad Sync " DEMO_VERSION
                                      "\n\nStart it with /status to see its state.";
    MessageBoxA(nullptr, text.c_str(), "DemoPad Sync", MB_OK | MB_ICONINFORMATION);
    return 0;
}
