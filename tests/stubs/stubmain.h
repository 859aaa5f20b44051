// What both stand-ins do at start: find their own path and working directory and record the start.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/common/stubcalls.h"

namespace stubcalls {

struct START {
    std::string Program;
    std::vector<std::string> Arguments;
};

inline START RecordStart(int argc, char** argv) {
    START start;
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    start.Program = path;
    char directory[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, directory);
    for (int i = 1; i < argc; ++i)
        start.Arguments.emplace_back(argv[i]);
    Record(start.Program, directory, start.Arguments);
    return start;
}

// The number in the file program-without-extension + suffix, or fallback when there is none.
inline int ConfiguredNumber(const std::string& program, const char* suffix, int fallback) {
    std::ifstream in(BesideProgram(program, suffix));
    int number = fallback;
    if (in >> number)
        return number;
    return fallback;
}

} // namespace stubcalls
