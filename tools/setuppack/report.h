// The problems a check finds, each with the file and, where there is one, the line it is about.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace setuppack {

struct PROBLEM {
    std::string File;
    int Line = 0; // 0: the file as a whole
    std::string Text;
};

class REPORT {
public:
    void Add(const std::string& file, int line, const std::string& text);
    bool Clean() const { return Problems.empty(); }
    const std::vector<PROBLEM>& All() const { return Problems; }
    // "file:line: text" (or "file: text"), one a line, in the order found.
    void Print(std::ostream& out) const;

private:
    std::vector<PROBLEM> Problems;
};

} // namespace setuppack
