#include "tools/setuppack/signing.h"

#include <windows.h>

#include "lib/textcodec.h"

namespace setuppack {

namespace {

// One argument as the C runtime of the started program splits it again: quoted, with backslashes before a
// quote doubled.
std::u16string Quoted(const std::string& argument) {
    const std::u16string text = TEXTCODEC::Utf16FromUtf8(argument);
    std::u16string out = u"\"";
    size_t backslashes = 0;
    for (char16_t c : text) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == u'"' ? backslashes * 2 + 1 : backslashes, u'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, u'\\');
    return out + u"\"";
}

} // namespace

int RunTool(const std::vector<std::string>& command) {
    std::u16string line;
    for (const std::string& argument : command)
        line += (line.empty() ? u"" : u" ") + Quoted(argument);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(line.data()), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

} // namespace setuppack
