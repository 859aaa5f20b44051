// The canonical form's seam on Windows: the system's own path parser, long names and final paths by handle.
#include <windows.h>

#include <vector>

#include "lib/canonicalpath.h"
#include "lib/winhandles.h"

namespace {

const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// Calls fill(buffer, size) until the buffer holds the answer; fill returns the length or the size needed,
// as the system's path calls do (0 for failure).
template <typename FILL> bool GrowingCall(FILL fill, std::u16string* result) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int round = 0; round < 4; ++round) {
        const DWORD length = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return false;
        if (length < buffer.size()) {
            result->assign(reinterpret_cast<const char16_t*>(buffer.data()), length);
            return true;
        }
        buffer.resize(length + 1);
    }
    return false;
}

// Every call gets the "\\?\" form, so that the system takes the name as it stands (no second parsing, no
// length limit).
std::u16string Literal(const std::u16string& path) {
    if (path.size() > 2 && path[0] == u'\\' && path[1] == u'\\')
        return u"\\\\?\\UNC\\" + path.substr(2);
    return u"\\\\?\\" + path;
}

class WIN32PATHS : public PATHSYSTEM {
public:
    bool FullPath(const std::u16string& path, std::u16string* full) const override {
        return GrowingCall(
            [&](wchar_t* buffer, DWORD size) { return GetFullPathNameW(Wide(path), size, buffer, nullptr); },
            full);
    }

    bool Exists(const std::u16string& path) const override {
        return GetFileAttributesW(Wide(Literal(path))) != INVALID_FILE_ATTRIBUTES;
    }

    bool LongPath(const std::u16string& path, std::u16string* longpath) const override {
        const std::u16string literal = Literal(path);
        return GrowingCall(
            [&](wchar_t* buffer, DWORD size) { return GetLongPathNameW(Wide(literal), buffer, size); },
            longpath);
    }

    bool FinalPath(const std::u16string& path, std::u16string* finalpath) const override {
        // No access is asked for: the name alone is wanted, and folders open only with backup semantics.
        const FILEHANDLE file(CreateFileW(Wide(Literal(path)), 0,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!file)
            return false;
        return GrowingCall(
            [&](wchar_t* buffer, DWORD size) {
                return GetFinalPathNameByHandleW(file.get(), buffer, size,
                                                 FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
            },
            finalpath);
    }

    bool IsThisComputer(const std::u16string& server) const override {
        for (COMPUTER_NAME_FORMAT format :
             {ComputerNameNetBIOS, ComputerNameDnsHostname, ComputerNameDnsFullyQualified}) {
            std::u16string name;
            const bool known = GrowingCall(
                [&](wchar_t* buffer, DWORD size) {
                    DWORD length = size;
                    if (GetComputerNameExW(format, buffer, &length))
                        return length;
                    return GetLastError() == ERROR_MORE_DATA ? length + 1 : DWORD(0);
                },
                &name);
            if (known && !name.empty() &&
                CompareStringOrdinal(Wide(name), -1, Wide(server), -1, TRUE) == CSTR_EQUAL)
                return true;
        }
        return false;
    }
};

} // namespace

const PATHSYSTEM& SystemPaths() {
    static const WIN32PATHS paths;
    return paths;
}
