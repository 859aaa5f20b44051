// The sample hook library SETUPHOOK.dll records every call it receives, one line each, so that tests can
// check at which points setup calls its hooks, with which codes and arguments. This header writes (the
// library) and reads (the tests) that record.
//
// Record file: the one named by the environment variable SETUPHOOK_CALLS, else "SETUPHOOK.calls" beside the
// library. Fields are separated by tabs, lines end with CR LF:
//   attach                                          the library was loaded
//   SetupHook     code  text                        text "<null>" for a null pointer
//   NewSetupHook  code  value  p1  p2  p3  p4       p1..p4 as 0x followed by 16 hex digits
//   detach        FreeLibrary | process end         released by FreeLibrary or at the end of the process
// Configuration: the number in "SETUPHOOK.admin" beside the library is SetupHook's answer to code 256
// (ADMIN); without that file it answers 1. Every other call is answered with 1.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace hookcalls {

constexpr const char* kRecordVariable = "SETUPHOOK_CALLS";

struct CALL {
    std::string Entry;               // "attach", "SetupHook", "NewSetupHook", "detach"
    std::vector<std::string> Fields; // what follows the entry, as text
};

// "C:\dir\SETUPHOOK.dll" -> "C:\dir\SETUPHOOK" + suffix.
inline std::string BesideLibrary(const std::string& library, const char* suffix) {
    const size_t dot = library.find_last_of('.');
    const size_t slash = library.find_last_of("\\/");
    const bool hasext = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasext ? library.substr(0, dot) : library) + suffix;
}

inline std::string RecordFile(const std::string& library) {
    char named[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA(kRecordVariable, named, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        return named;
    return BesideLibrary(library, ".calls");
}

inline std::string Pointer(intptr_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(value));
    return text;
}

inline void Record(const std::string& library, const std::vector<std::string>& fields) {
    std::ofstream out(RecordFile(library), std::ios::binary | std::ios::app);
    for (size_t i = 0; i < fields.size(); ++i)
        out << (i ? "\t" : "") << fields[i];
    out << "\r\n";
}

// The recorded calls of the library at path, oldest first; none when it was never loaded.
inline std::vector<CALL> Read(const std::string& library) {
    std::ifstream in(RecordFile(library), std::ios::binary);
    std::vector<CALL> calls;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream fields(line);
        CALL call;
        std::getline(fields, call.Entry, '\t');
        for (std::string field; std::getline(fields, field, '\t');)
            call.Fields.push_back(field);
        calls.push_back(call);
    }
    return calls;
}

// Only the hook calls, without attach and detach lines.
inline std::vector<CALL> HookCalls(const std::string& library) {
    std::vector<CALL> hooks;
    for (const CALL& call : Read(library))
        if (call.Entry == "SetupHook" || call.Entry == "NewSetupHook")
            hooks.push_back(call);
    return hooks;
}

} // namespace hookcalls
