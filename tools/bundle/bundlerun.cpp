#include "tools/bundle/bundlerun.h"

#include <algorithm>

namespace bundle {

namespace {

using namespace orvik::unzip;

class DISCARDSINK : public OutputSink {
public:
    bool Write(const uint8_t*, size_t) override { return true; }
};

char16_t Upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool SameNoCase(const std::u16string& a, const std::u16string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char16_t x, char16_t y) { return Upper(x) == Upper(y); });
}

} // namespace

std::u16string ArgumentsOf(const std::u16string& commandline) {
    size_t at = 0;
    if (!commandline.empty() && commandline[0] == u'"') {
        const size_t quote = commandline.find(u'"', 1);
        at = quote == std::u16string::npos ? commandline.size() : quote + 1;
    } else {
        while (at < commandline.size() && commandline[at] != u' ' && commandline[at] != u'\t')
            ++at;
    }
    while (at < commandline.size() && (commandline[at] == u' ' || commandline[at] == u'\t'))
        ++at;
    return commandline.substr(at);
}

bool Unattended(const std::u16string& arguments) {
    size_t at = 0;
    while (at < arguments.size()) {
        while (at < arguments.size() && arguments[at] == u' ')
            ++at;
        size_t end = at;
        while (end < arguments.size() && arguments[end] != u' ')
            ++end;
        const std::u16string word = arguments.substr(at, end - at);
        if (word.size() > 1 && (word[0] == u'/' || word[0] == u'-')) {
            const std::u16string name = word.substr(1);
            if (SameNoCase(name, u"VERYSILENT") || SameNoCase(name, u"SUPPRESSMSGBOXES"))
                return true;
        }
        at = end;
    }
    return false;
}

bool PackageIsWhole(ZipArchive& archive, std::string& failed) {
    failed.clear();
    if (!archive.IsUsable() || archive.OpenCode() >= kMemberError)
        return false;
    bool setup = false;
    const std::vector<ZipEntry>& entries = archive.Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        DISCARDSINK sink;
        if (archive.Test(i, sink) != kOk) {
            failed = entries[i].name;
            return false;
        }
        std::string name = entries[i].name;
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        setup = setup || name == "setup.exe";
    }
    return setup;
}

std::u16string DamageMessage(std::u16string text, const std::u16string& member) {
    const std::u16string placeholder = u"$FILE";
    for (size_t at = text.find(placeholder); at != std::u16string::npos;
         at = text.find(placeholder, at + member.size()))
        text.replace(at, placeholder.size(), member);
    return text;
}

namespace {

uint16_t Word(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

size_t Align4(size_t at) {
    return (at + 3) & ~size_t(3);
}

// Searches the node at [begin, end) and its children; each node: length, value length, type (1 text),
// key, padding, value, padding, children.
bool FindText(const uint8_t* data, size_t begin, size_t end, const std::u16string& key, std::u16string& text,
              int depth) {
    if (depth > 8 || begin + 6 > end)
        return false;
    const size_t length = Word(data + begin);
    if (length < 6 || begin + length > end)
        return false;
    const size_t nodeEnd = begin + length;
    const size_t valueLength = Word(data + begin + 2);
    const bool isText = Word(data + begin + 4) == 1;
    std::u16string name;
    size_t at = begin + 6;
    for (; at + 2 <= nodeEnd && Word(data + at) != 0; at += 2)
        name.push_back(static_cast<char16_t>(Word(data + at)));
    at = Align4(at + 2);
    const size_t valueBytes = isText ? valueLength * 2 : valueLength;
    if (name == key && isText) {
        for (size_t i = 0; i + 1 < valueLength && at + 2 * i + 2 <= nodeEnd; ++i)
            text.push_back(static_cast<char16_t>(Word(data + at + 2 * i)));
        return true;
    }
    for (at = Align4(at + valueBytes); at + 6 <= nodeEnd;) {
        const size_t childLength = Word(data + at);
        if (childLength < 6)
            return false;
        if (FindText(data, at, nodeEnd, key, text, depth + 1))
            return true;
        at = Align4(at + childLength);
    }
    return false;
}

} // namespace

std::u16string VersionText(const uint8_t* resource, size_t size, const std::u16string& key) {
    std::u16string text;
    if (resource && FindText(resource, 0, size, key, text, 0))
        return text;
    return u"";
}

} // namespace bundle
