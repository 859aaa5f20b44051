#include "lib/ownedpath.h"

#include <cctype>
#include <algorithm>
#include <cstring>
#include <string>

#include "lib/textcodec.h"

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsDriveLetter(const char* text) {
    return std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':';
}

// Device names that Windows opens in any folder, with or without an extension ("nul.txt" is NUL too).
bool IsDeviceName(const char* component, size_t length) {
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
    size_t base = 0;
    while (base < length && component[base] != '.')
        ++base;
    // Trailing blanks before the extension are dropped by the system as well ("nul .txt").
    while (base > 0 && component[base - 1] == ' ')
        --base;
    for (const char* device : devices) {
        if (std::strlen(device) == base && StartsWithNoCase(component, device))
            return true;
    }
    // COM1 ... COM9 and LPT1 ... LPT9.
    if (base == 4 && component[3] >= '1' && component[3] <= '9')
        return StartsWithNoCase(component, "COM") || StartsWithNoCase(component, "LPT");
    return false;
}

// A component that the system turns into "" or ".." by dropping its trailing dots and blanks.
bool IsOnlyDotsAndBlanks(const char* component, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (component[i] != '.' && component[i] != ' ')
            return false;
    }
    return true;
}

bool IsDotComponent(const char* component, size_t length) {
    return length == 1 && component[0] == '.';
}

// Calls visit(start, length) for every component of a relative name; false as soon as visit says so.
template <typename VISIT> bool ForEachComponent(const char* name, VISIT visit) {
    const char* start = name;
    for (const char* p = name;; ++p) {
        if (*p == '\0' || IsSeparator(*p)) {
            if (!visit(start, static_cast<size_t>(p - start)))
                return false;
            if (*p == '\0')
                return true;
            start = p + 1;
        }
    }
}

} // namespace

bool IsNameBelow(const char* name) {
    if (name == nullptr || name[0] == '\0' || IsSeparator(name[0]) || IsDriveLetter(name))
        return false;
    if (std::strpbrk(name, ":*?\"<>|") != nullptr)
        return false;
    bool named = false;
    const bool ok = ForEachComponent(name, [&](const char* component, size_t length) {
        if (length == 0)
            return true; // "a\\b" and a trailing separator name the same as "a\b"
        if (IsDotComponent(component, length))
            return true;
        if (IsOnlyDotsAndBlanks(component, length) || IsDeviceName(component, length))
            return false;
        for (size_t i = 0; i < length; ++i) {
            if (static_cast<unsigned char>(component[i]) < 0x20)
                return false;
        }
        named = true;
        return true;
    });
    return ok && named;
}

bool JoinBelow(const STRING& folder, const STRING& name, STRING* result) {
    if (folder.IsEmpty() || !IsNameBelow(name.c_str()))
        return false;
    STRING joined = NormalFolder(folder);
    ForEachComponent(name.c_str(), [&](const char* component, size_t length) {
        if (length == 0 || IsDotComponent(component, length))
            return true;
        if (joined.Length() == 0 || joined[joined.Length() - 1] != '\\')
            joined.Append("\\");
        joined.Append(component, static_cast<int>(length));
        return true;
    });
    *result = joined;
    return true;
}

STRING NormalFolder(const STRING& folder) {
    STRING text(folder.NotNull() ? folder.Text() : "");
    for (int i = 0; i < text.Length(); ++i) {
        if (text[i] == '/')
            text[i] = '\\';
    }
    while (text.Length() > 1 && text[text.Length() - 1] == '\\') {
        if (text.Length() == 3 && IsDriveLetter(text.Text()))
            break;
        text.CutRight(1);
    }
    if (text.Length() == 2 && IsDriveLetter(text.Text()))
        text.Append("\\");
    return text;
}

bool IsAtOrBelow(const STRING& path, const STRING& folder) {
    // Letter case is compared as the file system compares it, beyond ASCII too: a folder typed "ärger" is the
    // folder "Ärger".
    const std::u16string p = TEXTCODEC::FoldCase(TEXTCODEC::ToWide(NormalFolder(path).Text()));
    const std::u16string f = TEXTCODEC::FoldCase(TEXTCODEC::ToWide(NormalFolder(folder).Text()));
    const size_t n = f.size();
    if (n == 0 || p.compare(0, n, f) != 0)
        return false;
    return p.size() == n || f[n - 1] == u'\\' || p[n] == u'\\';
}

bool ResolvesAtOrBelow(const STRING& path, const STRING& folder) {
    std::u16string p;
    std::u16string f;
    return CanonicalPath(TEXTCODEC::ToWide(path.NotNull() ? path.Text() : ""), &p) &&
           CanonicalPath(TEXTCODEC::ToWide(folder.NotNull() ? folder.Text() : ""), &f) &&
           CanonicalAtOrBelow(p, f);
}

bool SameFileName(const STRING& a, const STRING& b) {
    return TEXTCODEC::FoldCase(TEXTCODEC::ToWide(a.Text())) ==
           TEXTCODEC::FoldCase(TEXTCODEC::ToWide(b.Text()));
}

bool IsRootFolder(const STRING& folder) {
    const STRING f = NormalFolder(folder);
    if (f.IsEmpty() || f == "\\")
        return true;
    if (f.Length() == 3 && IsDriveLetter(f.Text()) && f[2] == '\\')
        return true;
    if (f.Length() > 2 && f[0] == '\\' && f[1] == '\\') {
        // "\\server\share" and "\\?\C:\": at most two components after the leading pair.
        int separators = 0;
        for (int i = 2; i < f.Length(); ++i)
            separators += f[i] == '\\' ? 1 : 0;
        if (separators <= 1)
            return true;
        const STRING rest = f.Mid(4);
        if ((f[2] == '?' || f[2] == '.') && f[3] == '\\')
            return IsRootFolder(rest);
    }
    return false;
}

bool HasParentComponent(const STRING& path) {
    const STRING f = NormalFolder(path);
    bool parent = false;
    ForEachComponent(f.Text(), [&](const char* component, size_t length) {
        if (length > 0 && IsOnlyDotsAndBlanks(component, length) && !IsDotComponent(component, length))
            parent = true;
        return !parent;
    });
    return parent;
}

const char* TreeVerdictText(TREEVERDICT verdict) {
    switch (verdict) {
    case TREEVERDICT::Allowed:
        return "allowed";
    case TREEVERDICT::Root:
        return "a drive or share root";
    case TREEVERDICT::Relative:
        return "not a full path";
    case TREEVERDICT::Protected:
        return "a folder of the system or the user, or one that holds such a folder";
    case TREEVERDICT::OtherProduct:
        return "another product is installed there";
    case TREEVERDICT::Unresolved:
        return "the folder it finally names cannot be determined";
    }
    return "?";
}

namespace {

bool IsAbsoluteText(std::u16string_view text) {
    if (text.size() >= 3 && text[1] == u':' && (text[2] == u'\\' || text[2] == u'/'))
        return true;
    return text.size() >= 2 && (text[0] == u'\\' || text[0] == u'/') && (text[1] == u'\\' || text[1] == u'/');
}

std::u16string Wide(const STRING& text) {
    return TEXTCODEC::ToWide(text.NotNull() ? text.Text() : "");
}

} // namespace

void FOLDERGUARD::Protect(std::u16string_view folder, GUARDKIND kind) {
    std::u16string canonical;
    if (CanonicalPath(folder, *SystemSeam, &canonical) || ParsePathText(folder, *SystemSeam, &canonical))
        Guarded.emplace_back(canonical, kind);
}

void FOLDERGUARD::AddProduct(std::u16string_view folder) {
    std::u16string canonical;
    if (CanonicalPath(folder, *SystemSeam, &canonical) || ParsePathText(folder, *SystemSeam, &canonical))
        Products.push_back(canonical);
}

TREEVERDICT FOLDERGUARD::Resolve(std::u16string_view folder, std::u16string* canonical) const {
    if (folder.empty())
        return TREEVERDICT::Root;
    if (!IsAbsoluteText(folder))
        return TREEVERDICT::Relative;
    if (!CanonicalPath(folder, *SystemSeam, canonical))
        return TREEVERDICT::Unresolved;
    return TREEVERDICT::Allowed;
}

bool FOLDERGUARD::IsProtected(const std::u16string& canonical) const {
    for (const auto& [guarded, kind] : Guarded) {
        if (CanonicalAtOrBelow(guarded, canonical))
            return true;
        if (kind == GUARDKIND::Tree && CanonicalAtOrBelow(canonical, guarded))
            return true;
    }
    return false;
}

TREEVERDICT FOLDERGUARD::JudgeTree(std::u16string_view folder, std::u16string* canonical) const {
    std::u16string judged;
    const TREEVERDICT resolved = Resolve(folder, &judged);
    if (resolved != TREEVERDICT::Allowed)
        return resolved;
    if (canonical != nullptr)
        *canonical = judged;
    if (IsCanonicalRoot(judged))
        return TREEVERDICT::Root;
    if (IsProtected(judged))
        return TREEVERDICT::Protected;
    for (const std::u16string& product : Products) {
        if (CanonicalAtOrBelow(product, judged))
            return TREEVERDICT::OtherProduct;
    }
    return TREEVERDICT::Allowed;
}

TREEVERDICT FOLDERGUARD::JudgeDestination(std::u16string_view folder, std::u16string* canonical) const {
    std::u16string judged;
    const TREEVERDICT resolved = Resolve(folder, &judged);
    if (resolved != TREEVERDICT::Allowed)
        return resolved;
    if (canonical != nullptr)
        *canonical = judged;
    if (judged.size() == 3 && judged[1] == u':')
        return TREEVERDICT::Allowed;
    if (IsCanonicalRoot(judged))
        return TREEVERDICT::Root;
    return IsProtected(judged) ? TREEVERDICT::Protected : TREEVERDICT::Allowed;
}

TREEVERDICT JudgeTreeDeletion(const STRING& folder, const std::vector<STRING>& protectedfolders,
                              const std::vector<STRING>& otherproducts) {
    FOLDERGUARD guard;
    for (const STRING& guarded : protectedfolders)
        guard.Protect(Wide(guarded), GUARDKIND::Folder);
    for (const STRING& product : otherproducts)
        guard.AddProduct(Wide(product));
    return guard.JudgeTree(Wide(folder));
}

TREEVERDICT JudgeDestination(const STRING& folder, const std::vector<STRING>& protectedfolders) {
    FOLDERGUARD guard;
    for (const STRING& guarded : protectedfolders)
        guard.Protect(Wide(guarded), GUARDKIND::Folder);
    return guard.JudgeDestination(Wide(folder));
}

std::u16string ProgramFolderOf(std::u16string_view command) {
    std::u16string_view text = command;
    while (!text.empty() && text.front() == u' ')
        text.remove_prefix(1);
    std::u16string_view program;
    if (!text.empty() && text.front() == u'"') {
        const size_t end = text.find(u'"', 1);
        if (end == std::u16string_view::npos)
            return std::u16string();
        program = text.substr(1, end - 1);
    } else {
        // Unquoted: the program ends with its extension (blanks may be part of its folder's name), else at
        // an icon index.
        const std::u16string folded = TEXTCODEC::FoldCase(text);
        size_t end = std::u16string::npos;
        for (std::u16string_view extension : {u".EXE", u".COM", u".DLL", u".ICO", u".BAT", u".CMD"}) {
            const size_t at = folded.find(extension);
            if (at != std::u16string::npos)
                end = std::min(end, at + extension.size());
        }
        if (end == std::u16string::npos)
            end = std::min(text.find(u','), text.size());
        program = text.substr(0, end);
    }
    if (!IsAbsoluteText(program))
        return std::u16string();
    const size_t cut = program.find_last_of(u"\\/");
    if (cut == std::u16string_view::npos || cut <= 2)
        return std::u16string();
    return std::u16string(program.substr(0, cut));
}
