// Links of the Linux side inside a Wine drive: Wine makes no junction or symbolic link of its own, but it
// reports such a link as a reparse point and follows it, as Windows follows a junction. Made and removed
// with the Linux side's own tools ("ln -s", and "unlink", which never touches what the link points to),
// given the Linux paths; the Windows name of the link tells when the tool has done its work (Wine gives no
// handle that ends with a Linux program).
#pragma once

#include <windows.h>

#include <string>

namespace linuxlink {

// Starts command and waits until done(), for ten seconds at most.
template <typename DONE> bool RunLinux(std::string command, DONE done) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int wait = 0; wait < 200 && !done(); ++wait)
        Sleep(50);
    return done();
}

// link pointing at target (Linux paths); windowslink is the link's Windows name.
inline bool Make(const std::string& target, const std::string& link, const std::string& windowslink) {
    return RunLinux("Z:\\bin\\ln -s " + target + " " + link, [&] {
        const DWORD attributes = GetFileAttributesA(windowslink.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    });
}

// The link itself goes; what it points to stays.
inline bool Remove(const std::string& link, const std::string& windowslink) {
    return RunLinux("Z:\\bin\\unlink " + link,
                    [&] { return GetFileAttributesA(windowslink.c_str()) == INVALID_FILE_ATTRIBUTES; });
}

} // namespace linuxlink
