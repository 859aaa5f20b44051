// setuppack: the package tool of product makers.
//   setuppack check DIR        reads the package folder DIR as setup.exe would and reports every problem
//   setuppack build SRC DEST   makes the package DEST from SRC (see packbuild.h) and checks it
// Exit codes: 0 no problem, 1 problems reported, 2 wrong command line, 3 the package could not be written.
#include <iostream>
#include <string>

#include "tools/setuppack/packagecheck.h"
#include "tools/setuppack/packbuild.h"

namespace {

constexpr int EXIT_CLEAN = 0;
constexpr int EXIT_PROBLEMS = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_NOT_WRITTEN = 3;

int Usage() {
    std::cerr
        << "usage: setuppack check DIR\n"
           "       setuppack build SRC DEST\n"
           "SRC holds the package's files; its folders setup.fil/ and custom.fil/ become the archives.\n";
    return EXIT_USAGE;
}

int Finish(const setuppack::REPORT& report, const std::string& folder) {
    if (report.Clean()) {
        std::cout << folder << ": no problems\n";
        return EXIT_CLEAN;
    }
    report.Print(std::cerr);
    std::cerr << folder << ": " << report.All().size() << " problem" << (report.All().size() == 1 ? "" : "s")
              << "\n";
    return EXIT_PROBLEMS;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    setuppack::REPORT report;
    if (command == "check" && argc == 3) {
        setuppack::CheckPackage(argv[2], report, std::cout);
        return Finish(report, argv[2]);
    }
    if (command == "build" && argc == 4) {
        if (!setuppack::BuildPackage(argv[2], argv[3], report, std::cout)) {
            report.Print(std::cerr);
            return EXIT_NOT_WRITTEN;
        }
        setuppack::CheckPackage(argv[3], report, std::cout);
        return Finish(report, argv[3]);
    }
    return Usage();
}
