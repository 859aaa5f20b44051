#include "lib/ownedpath.h"

#include <cctype>
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
    }
    return "?";
}

namespace {

bool IsFullPath(const STRING& folder) {
    const STRING f = NormalFolder(folder);
    return (f.Length() >= 3 && IsDriveLetter(f.Text()) && f[2] == '\\') ||
           (f.Length() > 2 && f[0] == '\\' && f[1] == '\\');
}

TREEVERDICT JudgeAgainstProtected(const STRING& folder, const std::vector<STRING>& protectedfolders) {
    for (const STRING& guarded : protectedfolders) {
        if (guarded.NotEmpty() && IsAtOrBelow(guarded, folder))
            return TREEVERDICT::Protected;
    }
    return TREEVERDICT::Allowed;
}

} // namespace

TREEVERDICT JudgeTreeDeletion(const STRING& folder, const std::vector<STRING>& protectedfolders,
                              const std::vector<STRING>& otherproducts) {
    if (IsRootFolder(folder))
        return TREEVERDICT::Root;
    if (!IsFullPath(folder) || HasParentComponent(folder))
        return TREEVERDICT::Relative;
    const TREEVERDICT verdict = JudgeAgainstProtected(folder, protectedfolders);
    if (verdict != TREEVERDICT::Allowed)
        return verdict;
    for (const STRING& product : otherproducts) {
        if (product.NotEmpty() && IsAtOrBelow(product, folder))
            return TREEVERDICT::OtherProduct;
    }
    return TREEVERDICT::Allowed;
}

TREEVERDICT JudgeDestination(const STRING& folder, const std::vector<STRING>& protectedfolders) {
    const STRING f = NormalFolder(folder);
    if (f.Length() == 3 && IsDriveLetter(f.Text()))
        return TREEVERDICT::Allowed;
    if (IsRootFolder(f))
        return TREEVERDICT::Root;
    if (!IsFullPath(f) || HasParentComponent(f))
        return TREEVERDICT::Relative;
    return JudgeAgainstProtected(f, protectedfolders);
}
