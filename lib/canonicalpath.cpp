#include "lib/canonicalpath.h"

#include <algorithm>
#include <vector>

#include "lib/textcodec.h"

namespace {

using TEXT = std::u16string;
using VIEW = std::u16string_view;

char16_t Upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool StartsWithAscii(VIEW text, VIEW prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (Upper(text[i]) != Upper(prefix[i]))
            return false;
    }
    return true;
}

bool EqualsAscii(VIEW text, VIEW other) {
    return text.size() == other.size() && StartsWithAscii(text, other);
}

bool IsLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// "X:" at the start, followed by the end or a separator.
bool StartsWithDrive(VIEW text) {
    return text.size() >= 2 && IsLetter(text[0]) && text[1] == u':' && (text.size() == 2 || text[2] == u'\\');
}

// The device namespaces ("\\?\", "\\.\", "\??\") name what the text after them names, read literally; the
// guard reads it as it would be read without them, which can only make it see more protected folders.
// False for a device path that names no drive and no share (volumes, pipes, GLOBALROOT).
bool StripDevicePrefix(TEXT& text) {
    for (int round = 0; round < 4; ++round) {
        size_t cut = 0;
        for (VIEW prefix : {VIEW(u"\\\\?\\"), VIEW(u"\\\\.\\"), VIEW(u"\\??\\")}) {
            if (StartsWithAscii(text, prefix))
                cut = prefix.size();
        }
        if (cut == 0)
            return true;
        const VIEW rest = VIEW(text).substr(cut);
        if (StartsWithAscii(rest, u"UNC\\"))
            text = u"\\\\" + TEXT(rest.substr(4));
        else if (StartsWithDrive(rest))
            text = TEXT(rest);
        else
            return false;
    }
    return false;
}

// The names every computer answers to besides its own: loopback names and addresses.
bool IsLoopback(VIEW server) {
    if (EqualsAscii(server, u"localhost") || EqualsAscii(server, u".") || EqualsAscii(server, u"[::1]") ||
        EqualsAscii(server, u"::1") || EqualsAscii(server, u"0--1.ipv6-literal.net"))
        return true;
    return StartsWithAscii(server, u"127.");
}

// "X$": the administrative share of drive X.
bool IsDriveShare(VIEW share) {
    return share.size() == 2 && IsLetter(share[0]) && share[1] == u'$';
}

bool IsDeviceName(VIEW component) {
    size_t base = component.find(u'.');
    if (base == VIEW::npos)
        base = component.size();
    while (base > 0 && component[base - 1] == u' ')
        --base;
    const VIEW name = component.substr(0, base);
    for (VIEW device : {VIEW(u"CON"), VIEW(u"PRN"), VIEW(u"AUX"), VIEW(u"NUL"), VIEW(u"CONIN$"),
                        VIEW(u"CONOUT$"), VIEW(u"CLOCK$")}) {
        if (EqualsAscii(name, device))
            return true;
    }
    if (name.size() != 4 || !(StartsWithAscii(name, u"COM") || StartsWithAscii(name, u"LPT")))
        return false;
    // COM1 ... COM9, and the superscript digits the system takes for them too.
    const char16_t digit = name[3];
    return (digit >= u'1' && digit <= u'9') || digit == u'\u00b9' || digit == u'\u00b2' || digit == u'\u00b3';
}

bool HasForbiddenCharacter(VIEW component) {
    for (char16_t c : component) {
        if (c < 0x20 || c == u'*' || c == u'?' || c == u'"' || c == u'<' || c == u'>' || c == u'|' ||
            c == u':')
            return true;
    }
    return false;
}

// The root of an absolute path ("C:\" or "\\server\share") and the text after it.
bool SplitRoot(const TEXT& text, const PATHSYSTEM& system, TEXT* root, VIEW* rest) {
    const VIEW all(text);
    if (StartsWithDrive(all) && all.size() >= 3) {
        *root = TEXT(1, Upper(all[0])) + u":\\";
        *rest = all.substr(3);
        return true;
    }
    if (!StartsWithAscii(all, u"\\\\"))
        return false; // relative, "C:name" or "\name": what it names depends on the current folder
    const size_t serverend = all.find(u'\\', 2);
    if (serverend == VIEW::npos || serverend == 2)
        return false;
    TEXT server(all.substr(2, serverend - 2));
    while (!server.empty() && (server.back() == u'.' || server.back() == u' '))
        server.pop_back();
    size_t shareend = all.find(u'\\', serverend + 1);
    if (shareend == VIEW::npos)
        shareend = all.size();
    const VIEW share = all.substr(serverend + 1, shareend - serverend - 1);
    if (server.empty() || share.empty())
        return false;
    *rest = shareend < all.size() ? all.substr(shareend + 1) : VIEW();
    if (!IsLoopback(server) && !system.IsThisComputer(server)) {
        *root = u"\\\\" + server + u"\\" + TEXT(share);
        return true;
    }
    if (!IsDriveShare(share))
        return false; // a share of this computer: which folder it is, no text tells
    *root = TEXT(1, Upper(share[0])) + u":\\";
    return true;
}

TEXT Joined(const TEXT& root, const std::vector<TEXT>& components, size_t count) {
    TEXT path = root;
    for (size_t i = 0; i < count; ++i) {
        if (!path.empty() && path.back() != u'\\')
            path += u'\\';
        path += components[i];
    }
    return path;
}

// stripped receives the text with "\" as separator and without a device prefix: what the system's own
// parser is given.
bool ParseComponents(const TEXT& text, const PATHSYSTEM& system, TEXT* root, std::vector<TEXT>* components,
                     TEXT* stripped = nullptr) {
    TEXT path(text);
    for (char16_t& c : path) {
        if (c == u'/')
            c = u'\\';
    }
    if (!StripDevicePrefix(path))
        return false;
    if (stripped != nullptr)
        *stripped = path;
    VIEW rest;
    if (!SplitRoot(path, system, root, &rest))
        return false;
    while (!rest.empty()) {
        const size_t end = std::min(rest.find(u'\\'), rest.size());
        VIEW component = rest.substr(0, end);
        rest = end < rest.size() ? rest.substr(end + 1) : VIEW();
        if (component.empty() || component == u".")
            continue;
        if (component == u"..") {
            if (!components->empty())
                components->pop_back();
            continue;
        }
        while (!component.empty() && (component.back() == u'.' || component.back() == u' '))
            component.remove_suffix(1);
        if (component.empty() || HasForbiddenCharacter(component) || IsDeviceName(component))
            return false;
        components->emplace_back(component);
    }
    return true;
}

} // namespace

bool ParsePathText(std::u16string_view text, const PATHSYSTEM& system, std::u16string* parsed) {
    TEXT root;
    std::vector<TEXT> components;
    if (!ParseComponents(TEXT(text), system, &root, &components))
        return false;
    *parsed = Joined(root, components, components.size());
    return true;
}

bool CanonicalPath(std::u16string_view text, const PATHSYSTEM& system, std::u16string* canonical) {
    TEXT root;
    std::vector<TEXT> components;
    TEXT stripped;
    if (!ParseComponents(TEXT(text), system, &root, &components, &stripped))
        return false;
    // A text the system's own parser reads otherwise than this one is not judged at all.
    TEXT ours = Joined(root, components, components.size());
    TEXT full;
    TEXT theirs;
    if (system.FullPath(stripped, &full) &&
        (!ParsePathText(full, system, &theirs) || TEXTCODEC::FoldCase(theirs) != TEXTCODEC::FoldCase(ours)))
        return false;
    // The part that exists is named as the system names it: long names, links followed.
    size_t existing = components.size() + 1;
    while (existing > 0 && !system.Exists(Joined(root, components, existing - 1)))
        --existing;
    if (existing == 0) {
        *canonical = ours; // not even the drive is there: no link can be on the way
        return true;
    }
    TEXT longpath;
    TEXT longparsed;
    TEXT finalpath;
    TEXT resolved;
    if (!system.LongPath(Joined(root, components, existing - 1), &longpath) ||
        !ParsePathText(longpath, system, &longparsed) || !system.FinalPath(longparsed, &finalpath) ||
        !ParsePathText(finalpath, system, &resolved))
        return false;
    std::vector<TEXT> tail(components.begin() + static_cast<std::ptrdiff_t>(existing - 1), components.end());
    *canonical = Joined(resolved, tail, tail.size());
    return true;
}

bool CanonicalPath(std::u16string_view text, std::u16string* canonical) {
    return CanonicalPath(text, SystemPaths(), canonical);
}

bool CanonicalAtOrBelow(std::u16string_view path, std::u16string_view folder) {
    const TEXT p = TEXTCODEC::FoldCase(path);
    const TEXT f = TEXTCODEC::FoldCase(folder);
    const size_t n = f.size();
    if (n == 0 || p.compare(0, n, f) != 0)
        return false;
    return p.size() == n || f[n - 1] == u'\\' || p[n] == u'\\';
}

bool IsCanonicalRoot(std::u16string_view path) {
    if (path.size() == 3 && StartsWithDrive(path))
        return true;
    if (!StartsWithAscii(path, u"\\\\"))
        return false;
    size_t separators = 0;
    for (size_t i = 2; i < path.size(); ++i)
        separators += path[i] == u'\\' ? 1 : 0;
    return separators <= 1;
}
