#include "tests/common/scratch_folder.h"

#include <atomic>
#include <fstream>

#include "tests/common/test_support.h"

namespace fs = std::filesystem;

SCRATCHFOLDER::SCRATCHFOLDER(const std::string& label, const fs::path& base) {
    static std::atomic<unsigned> serial{0};
    const fs::path parent = base.empty() ? fs::temp_directory_path() : base;
    Folder = parent / (label + "_" + std::to_string(TestProcessId()) + "_" + std::to_string(serial++));
    // One left behind by an earlier process of the same number.
    std::error_code ignored;
    fs::remove_all(Folder, ignored);
    fs::create_directories(Folder);
}

SCRATCHFOLDER::SCRATCHFOLDER(WORKING) : SCRATCHFOLDER() {
    Previous = fs::current_path();
    fs::current_path(Folder);
}

SCRATCHFOLDER::~SCRATCHFOLDER() {
    std::error_code ignored;
    // A folder that is the working folder cannot be removed on Windows.
    if (!Previous.empty())
        fs::current_path(Previous, ignored);
    // Nor can read-only files; a link is not followed where the system tells links apart.
    for (auto it = fs::recursive_directory_iterator(Folder, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored))
        fs::permissions(it->path(), fs::perms::owner_write,
                        fs::perm_options::add | fs::perm_options::nofollow, ignored);
    fs::remove_all(Folder, ignored);
}

void SCRATCHFOLDER::Write(const std::string& relative, const std::string& contents) const {
    const fs::path file = Folder / relative;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << contents;
}
