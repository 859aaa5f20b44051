#include "tests/lib/test_support.h"

#include <atomic>
#include <fstream>
#include <sstream>

#include "lib/osys.h"

SCRATCHDIR::SCRATCHDIR() {
    static std::atomic<int> serial{0};
    Previous = std::filesystem::current_path();
    Dir = std::filesystem::temp_directory_path() /
          ("orvik_test_" + std::to_string(OSYS::GetCurrentProcessId()) + "_" + std::to_string(serial++));
    std::filesystem::remove_all(Dir);
    std::filesystem::create_directories(Dir);
    std::filesystem::current_path(Dir);
}

SCRATCHDIR::~SCRATCHDIR() {
    std::error_code ignored;
    std::filesystem::current_path(Previous, ignored);
    std::filesystem::remove_all(Dir, ignored);
}

LOGCAPTURE::LOGCAPTURE(const std::string& file, const char* switchname) : File(file) {
    LogitOption((std::string(switchname) + file).c_str());
}

LOGCAPTURE::~LOGCAPTURE() {
    if (!Closed)
        LogitOption("/LOGITCLOSE");
}

std::string LOGCAPTURE::Finish() {
    LogitOption("/LOGITCLOSE");
    Closed = true;
    return ReadWholeFile(File);
}

std::string ReadWholeFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

void WriteWholeFile(const std::string& name, const std::string& contents) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << contents;
}

int CountOccurrences(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}
