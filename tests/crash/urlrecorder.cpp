// Stand-in for the web browser: registered as the handler of web addresses in the test prefix, it appends
// the address it was given to "urlrecorder.txt" beside itself.
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandline, int) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string record(path);
    record = record.substr(0, record.find_last_of('\\') + 1) + "urlrecorder.txt";
    if (FILE* file = std::fopen(record.c_str(), "ab")) {
        std::fprintf(file, "%s\n", commandline);
        std::fclose(file);
    }
    return 0;
}
