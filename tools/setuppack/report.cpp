#include "tools/setuppack/report.h"

namespace setuppack {

void REPORT::Add(const std::string& file, int line, const std::string& text) {
    // One key is checked once for every language of the file: the same fault is told once.
    for (const PROBLEM& known : Problems)
        if (known.File == file && known.Line == line && known.Text == text)
            return;
    Problems.push_back({file, line, text});
}

void REPORT::Print(std::ostream& out) const {
    for (const PROBLEM& problem : Problems) {
        out << problem.File;
        if (problem.Line > 0)
            out << ":" << problem.Line;
        out << ": " << problem.Text << "\n";
    }
}

} // namespace setuppack
