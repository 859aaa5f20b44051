#include "tools/setuppack/packbuild.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "lib/ownedpath.h"
#include "lib/textcodec.h"
#include "tools/setuppack/zipwriter.h"

namespace setuppack {

namespace fs = std::filesystem;

namespace {

struct SOURCEMEMBER {
    std::string Name; // "/" separators; a folder ends in "/"
    fs::path Path;
};

// When the member was last changed; SOURCE_DATE_EPOCH, when set, stands for every file so that a build
// packs the same bytes every time.
DOSTIME MemberTime(const fs::path& path) {
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch)
        return DosTimeOf(std::atoll(epoch));
    std::error_code error;
    const fs::file_time_type changed = fs::last_write_time(path, error);
    if (error)
        return DosTimeOf(0);
    const auto now =
        std::chrono::system_clock::now() + std::chrono::duration_cast<std::chrono::system_clock::duration>(
                                               changed - fs::file_time_type::clock::now());
    return DosTimeOf(std::chrono::system_clock::to_time_t(now));
}

// Names from the file system are UTF-8; control characters have no place in a file name on Windows.
bool IsPlainText(const std::string& name) {
    return TEXTCODEC::IsUtf8(name) &&
           std::none_of(name.begin(), name.end(), [](char c) { return (c >= 0 && c < 0x20) || c == 0x7F; });
}

} // namespace

bool PackFolder(const std::string& folder, const std::string& archive, REPORT& report, std::ostream& summary,
                const std::vector<uint8_t>& prefix) {
    const std::string label = fs::path(archive).filename().string();
    std::vector<SOURCEMEMBER> members;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::string name = fs::relative(it->path(), folder).generic_string();
        if (it->is_directory())
            name += "/";
        else if (!it->is_regular_file())
            continue;
        // The installer joins names below the destination: anything else would land elsewhere. Names beyond
        // ASCII are stored as UTF-8 with the archive's flag for it.
        if (!IsPlainText(name) || !IsNameBelow(name.c_str())) {
            report.Add(label, 0, "\"" + name + "\" is not packed: its name is not a plain relative name");
            continue;
        }
        members.push_back({name, it->path()});
    }
    if (error) {
        report.Add(label, 0, "cannot read " + folder + ": " + error.message());
        return false;
    }
    std::sort(members.begin(), members.end(),
              [](const SOURCEMEMBER& a, const SOURCEMEMBER& b) { return a.Name < b.Name; });

    // Written aside and renamed when complete: a failed build leaves no archive that looks whole.
    const std::string partial = archive + ".part";
    ZIPWRITER zip;
    bool written = zip.Open(partial, prefix);
    for (size_t i = 0; written && i < members.size(); ++i) {
        const SOURCEMEMBER& member = members[i];
        const DOSTIME time = MemberTime(member.Path);
        written = member.Name.back() == '/' ? zip.AddDirectory(member.Name, time)
                                            : zip.AddFile(member.Name, member.Path.string(), time);
    }
    written = written && zip.Finish();
    if (written)
        fs::rename(partial, archive, error);
    if (!written || error) {
        report.Add(label, 0, "cannot be written: " + (written ? error.message() : zip.Error()));
        fs::remove(partial, error);
        return false;
    }
    summary << "packed " << label << ": " << members.size() << " members\n";
    return true;
}

bool BuildPackage(const std::string& source, const std::string& dest, REPORT& report, std::ostream& summary) {
    std::error_code error;
    if (!fs::is_directory(source, error)) {
        report.Add(source, 0, "is not a folder");
        return false;
    }
    fs::create_directories(dest, error);
    if (error) {
        report.Add(dest, 0, "cannot be made: " + error.message());
        return false;
    }
    bool written = true;
    for (const fs::directory_entry& entry : fs::directory_iterator(source, error)) {
        const std::string name = entry.path().filename().string();
        const fs::path target = fs::path(dest) / name;
        if (entry.is_directory()) {
            const bool archive = std::any_of(std::begin(ARCHIVE_FOLDERS), std::end(ARCHIVE_FOLDERS),
                                             [&](const char* folder) { return name == folder; });
            if (archive)
                written = PackFolder(entry.path().string(), target.string(), report, summary) && written;
            else
                report.Add(name, 0,
                           "is a folder, not packed: only setup.fil/ and custom.fil/ become archives");
            continue;
        }
        std::error_code copied;
        fs::copy_file(entry.path(), target, fs::copy_options::overwrite_existing, copied);
        if (copied) {
            report.Add(name, 0, "cannot be copied to " + dest + ": " + copied.message());
            written = false;
        }
    }
    if (error) {
        report.Add(source, 0, "cannot be read: " + error.message());
        return false;
    }
    // An archive left in dest by an earlier build would be shipped and checked as if it were made now.
    for (const char* archive : ARCHIVE_FOLDERS) {
        std::error_code missing;
        if (!fs::exists(fs::path(source) / archive, missing) && fs::exists(fs::path(dest) / archive, missing))
            report.Add(archive, 0,
                       "is not made from " + source + ": remove it from " + dest + " or add " + archive +
                           "/ to " + source);
    }
    return written;
}

} // namespace setuppack
