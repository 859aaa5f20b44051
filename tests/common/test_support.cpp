#include "tests/common/test_support.h"

#include <fstream>
#include <sstream>

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
