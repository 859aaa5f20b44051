#include "unzip/names.h"

#include "lib/textcodec.h"

#include <cctype>

namespace orvik::unzip {
namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool CharsEqual(char a, char b, bool ignoreCase) {
    return ignoreCase ? LowerAscii(a) == LowerAscii(b) : a == b;
}

// Matches the set starting after "[" at pattern[p]; sets `p` past the closing "]".
bool MatchSet(const std::string& pattern, size_t& p, char c, bool ignoreCase, bool& wellFormed) {
    bool negate = p < pattern.size() && (pattern[p] == '!' || pattern[p] == '^');
    if (negate)
        ++p;
    bool found = false;
    bool first = true;
    while (p < pattern.size() && (pattern[p] != ']' || first)) {
        first = false;
        char lo = pattern[p++];
        char hi = lo;
        if (p + 1 < pattern.size() && pattern[p] == '-' && pattern[p + 1] != ']') {
            hi = pattern[p + 1];
            p += 2;
        }
        char x = ignoreCase ? LowerAscii(c) : c;
        char l = ignoreCase ? LowerAscii(lo) : lo;
        char h = ignoreCase ? LowerAscii(hi) : hi;
        if (static_cast<unsigned char>(x) >= static_cast<unsigned char>(l) &&
            static_cast<unsigned char>(x) <= static_cast<unsigned char>(h))
            found = true;
    }
    wellFormed = p < pattern.size();
    if (wellFormed)
        ++p;
    return found != negate;
}

bool IsDriveSpec(const std::string& name) {
    return name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]));
}

// Windows drops trailing dots and spaces of a path component, so "..." and ". ." would climb like "..".
bool OnlyDotsAndSpaces(const std::string& component) {
    for (char c : component)
        if (c != '.' && c != ' ')
            return false;
    return true;
}

// The character mapping of one component: ":" to "_", spaces to "_" on FAT, 0x16 quotes the next byte,
// control characters, 0x7F and 0xFF dropped, a trailing ";" version number removed.
std::string MapComponent(const std::string& raw, bool fatVolume) {
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(raw[i]);
        if (c == 0x16 && i + 1 < raw.size()) {
            unsigned char next = static_cast<unsigned char>(raw[++i]);
            if (next >= 0x20 && next != 0x7F && next != 0xFF && next != '/' && next != '\\')
                out += static_cast<char>(next);
            continue;
        }
        if (c < 0x20 || c == 0x7F || c == 0xFF)
            continue;
        if (c == ':')
            out += '_';
        else if (c == ' ' && fatVolume)
            out += '_';
        else
            out += static_cast<char>(c);
    }
    size_t semicolon = out.rfind(';');
    if (semicolon != std::string::npos && semicolon + 1 < out.size()) {
        bool digits = true;
        for (size_t i = semicolon + 1; i < out.size(); ++i)
            digits = digits && std::isdigit(static_cast<unsigned char>(out[i]));
        if (digits)
            out.erase(semicolon);
    }
    return out;
}

} // namespace

std::string MemberNameAsUtf8(const std::string& raw, bool utf8Flag) {
    return utf8Flag ? raw : TEXTCODEC::Utf8FromCodePage(raw, 437);
}

bool HostIgnoresCase(unsigned host) {
    return host == 0 || host == 4 || host == 5 || host == 9 || host == 10;
}

std::string ToLowerAscii(std::string text) {
    for (char& c : text)
        c = LowerAscii(c);
    return text;
}

std::string NormalizeMemberName(const std::string& raw, unsigned host) {
    std::string name = raw;
    bool hasLowerCase = false;
    for (char& c : name) {
        if (c == '\\')
            c = '/';
        hasLowerCase = hasLowerCase || (c >= 'a' && c <= 'z');
    }
    // The old DOS archivers wrote names wholly in upper case; today's tools on Windows mark their archives
    // with the same host but store the names as the user spelt them.
    return HostIgnoresCase(host) && !hasLowerCase ? ToLowerAscii(name) : name;
}

bool HasControlCharacters(const std::string& raw) {
    for (char c : raw) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return true;
    }
    return false;
}

std::string ShowControlCharacters(std::string raw) {
    for (char& c : raw)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return raw;
}

std::string WrittenPath(const std::vector<std::string>& components, bool directory) {
    std::string path;
    for (const std::string& component : components)
        path += (path.empty() ? "" : "/") + component;
    return directory && !path.empty() ? path + "/" : path;
}

bool HasWildcards(const std::string& pattern) {
    return pattern.find_first_of("*?[") != std::string::npos;
}

bool WildcardMatch(const std::string& pattern, const std::string& name, bool ignoreCase) {
    // Iterative matcher with one backtrack point for the latest "*": linear in practice.
    size_t p = 0, n = 0;
    size_t starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size()) {
            char pc = pattern[p];
            if (pc == '*') {
                starP = ++p;
                starN = n;
                continue;
            }
            if (pc == '?') {
                ++p;
                ++n;
                while (n < name.size() && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80)
                    ++n;
                continue;
            }
            if (pc == '[') {
                size_t q = p + 1;
                bool wellFormed = false;
                bool hit = MatchSet(pattern, q, name[n], ignoreCase, wellFormed);
                if (!wellFormed) {
                    // An unclosed "[" is an ordinary character.
                    if (name[n] == '[') {
                        ++p;
                        ++n;
                        continue;
                    }
                } else if (hit) {
                    p = q;
                    ++n;
                    continue;
                }
            } else if (CharsEqual(pc, name[n], ignoreCase)) {
                ++p;
                ++n;
                continue;
            }
        }
        if (starP == std::string::npos)
            return false;
        p = starP;
        n = ++starN;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool IsDeviceName(const std::string& component) {
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && (base.back() == ' ' || base.back() == '.'))
        base.pop_back();
    base = ToLowerAscii(base);
    if (base == "con" || base == "prn" || base == "aux" || base == "nul")
        return true;
    if (base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0))
        return base[3] >= '1' && base[3] <= '9';
    return false;
}

PathVerdict MapMemberPath(const std::string& name, bool fatVolume, std::vector<std::string>& components) {
    components.clear();
    if (name.empty())
        return PathVerdict::Empty;
    if (!TEXTCODEC::IsUtf8(name))
        return PathVerdict::Unsafe;
    if (name[0] == '/' || name[0] == '\\' || IsDriveSpec(name))
        return PathVerdict::Unsafe;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos)
            end = name.size();
        std::string raw = name.substr(start, end - start);
        start = end + 1;
        if (raw.empty() || raw == ".")
            continue;
        std::string mapped = MapComponent(raw, fatVolume);
        if (mapped.empty())
            continue;
        if (OnlyDotsAndSpaces(mapped) && mapped != ".")
            return PathVerdict::Unsafe;
        if (mapped == ".")
            continue;
        if (IsDeviceName(mapped))
            return PathVerdict::Unsafe;
        components.push_back(std::move(mapped));
    }
    return components.empty() ? PathVerdict::Empty : PathVerdict::Safe;
}

} // namespace orvik::unzip
