// The stand-ins for programs outside the setup engine ("service.exe", "CEAppMgr.exe") record every start
// in a file beside themselves: "<program>.calls", one line per start, the working directory first and
// then each argument, separated by tabs. This header writes (the stand-ins) and reads (the tests) it.
#pragma once

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace stubcalls {

struct CALL {
    std::string WorkingDirectory;
    std::vector<std::string> Arguments;
};

// "C:\dir\service.exe" -> "C:\dir\service" + suffix.
inline std::string BesideProgram(const std::string& program, const char* suffix) {
    const size_t dot = program.find_last_of('.');
    const size_t slash = program.find_last_of("\\/");
    const bool hasext = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasext ? program.substr(0, dot) : program) + suffix;
}

inline std::string CallsFile(const std::string& program) {
    return BesideProgram(program, ".calls");
}

inline void Record(const std::string& program, const std::string& workingdirectory,
                   const std::vector<std::string>& arguments) {
    std::ofstream out(CallsFile(program), std::ios::binary | std::ios::app);
    out << workingdirectory;
    for (const std::string& argument : arguments)
        out << '\t' << argument;
    out << "\r\n";
}

// The recorded starts of program, oldest first; none when it never ran.
inline std::vector<CALL> Read(const std::string& program) {
    std::ifstream in(CallsFile(program), std::ios::binary);
    std::vector<CALL> calls;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        CALL call;
        std::istringstream fields(line);
        std::getline(fields, call.WorkingDirectory, '\t');
        for (std::string argument; std::getline(fields, argument, '\t');)
            call.Arguments.push_back(argument);
        calls.push_back(call);
    }
    return calls;
}

// Only the arguments of each start, e.g. {{"/STOP"}, {"/START"}}.
inline std::vector<std::vector<std::string>> Arguments(const std::string& program) {
    std::vector<std::vector<std::string>> result;
    for (const CALL& call : Read(program))
        result.push_back(call.Arguments);
    return result;
}

} // namespace stubcalls
