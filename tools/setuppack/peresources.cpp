#include "tools/setuppack/peresources.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>

#include "lib/textcodec.h"

namespace setuppack {

namespace {

uint16_t Get16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(Get16(b, at) | static_cast<uint32_t>(Get16(b, at + 2)) << 16);
}
void Set16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Set32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    Set16(b, at, v & 0xFFFF);
    Set16(b, at + 2, v >> 16);
}
void Put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
void PadTo(std::vector<uint8_t>& b, size_t alignment) {
    while (b.size() % alignment)
        b.push_back(0);
}
uint32_t AlignUp(uint32_t value, uint32_t alignment) {
    return alignment ? (value + alignment - 1) / alignment * alignment : value;
}

constexpr size_t SECTION_HEADER_SIZE = 40;
constexpr int DIRECTORY_RESOURCES = 2;
constexpr int DIRECTORY_SECURITY = 4;

struct SECTION {
    uint32_t VirtualSize, VirtualAddress, RawSize, RawOffset;
};

// Where the headers of a program file are and what they say.
struct PEIMAGE {
    size_t Optional = 0;    // offset of the optional header
    size_t Directories = 0; // offset of the data directories
    uint32_t DirectoryCount = 0;
    size_t SectionTable = 0; // offset of the first section header
    uint16_t SectionCount = 0;
    std::vector<SECTION> Sections;

    bool Parse(const std::vector<uint8_t>& image, std::string& error) {
        if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z')
            return Fail(error, "not a program file (no MZ header)");
        const size_t pe = Get32(image, 0x3C);
        if (pe + 24 > image.size() || Get32(image, pe) != 0x00004550)
            return Fail(error, "not a program file (no PE header)");
        SectionCount = Get16(image, pe + 6);
        const uint16_t optionalSize = Get16(image, pe + 20);
        Optional = pe + 24;
        if (Optional + optionalSize > image.size() || optionalSize < 96)
            return Fail(error, "damaged optional header");
        const uint16_t magic = Get16(image, Optional);
        if (magic != 0x10B && magic != 0x20B)
            return Fail(error, "unknown optional header");
        const size_t countAt = Optional + (magic == 0x20B ? 108 : 92);
        DirectoryCount = Get32(image, countAt);
        Directories = countAt + 4;
        if (DirectoryCount <= DIRECTORY_SECURITY ||
            Directories + DirectoryCount * 8 > Optional + optionalSize)
            return Fail(error, "too few data directories");
        SectionTable = Optional + optionalSize;
        if (SectionTable + SectionCount * SECTION_HEADER_SIZE > image.size())
            return Fail(error, "damaged section table");
        for (uint16_t i = 0; i < SectionCount; ++i) {
            const size_t at = SectionTable + i * SECTION_HEADER_SIZE;
            Sections.push_back(
                {Get32(image, at + 8), Get32(image, at + 12), Get32(image, at + 16), Get32(image, at + 20)});
        }
        return true;
    }

    // The file offset of length bytes at rva, or 0 when they do not lie in a section of the file.
    size_t Offset(const std::vector<uint8_t>& image, uint32_t rva, uint32_t length) const {
        for (const SECTION& s : Sections) {
            if (rva >= s.VirtualAddress && uint64_t(rva) + length <= uint64_t(s.VirtualAddress) + s.RawSize) {
                const uint64_t at = uint64_t(s.RawOffset) + (rva - s.VirtualAddress);
                return at + length <= image.size() ? static_cast<size_t>(at) : 0;
            }
        }
        return 0;
    }

    static bool Fail(std::string& error, const std::string& text) {
        error = text;
        return false;
    }
};

// The standard checksum of a program file: 16-bit words summed with carries folded, plus the file length.
uint32_t ImageChecksum(const std::vector<uint8_t>& image, size_t checksumAt) {
    uint64_t sum = 0;
    for (size_t i = 0; i + 1 < image.size() + 1; i += 2) {
        if (i == checksumAt || i == checksumAt + 2)
            continue;
        sum += i + 1 < image.size() ? Get16(image, i) : image[i];
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + image.size());
}

// ---- Reading the resource tree --------------------------------------------------------------------------

class TREEREADER {
public:
    TREEREADER(const std::vector<uint8_t>& image, const PEIMAGE& pe, uint32_t rva, uint32_t size)
        : Image(image), Pe(pe), Base(rva), Size(size) {}

    bool Read(std::vector<RESOURCE>& out, std::string& error) {
        // Three levels: type, name, language. A deeper or looping tree is damaged.
        RESOURCE current;
        return Walk(0, 0, current, out, error);
    }

private:
    bool Walk(uint32_t offset, int level, RESOURCE& current, std::vector<RESOURCE>& out, std::string& error) {
        const size_t dir = Pe.Offset(Image, Base + offset, 16);
        if (!dir || offset >= Size)
            return PEIMAGE::Fail(error, "damaged resource directory");
        const uint32_t entries = Get16(Image, dir + 12) + Get16(Image, dir + 14);
        for (uint32_t i = 0; i < entries; ++i) {
            const size_t entry = Pe.Offset(Image, Base + offset + 16 + i * 8, 8);
            if (!entry)
                return PEIMAGE::Fail(error, "damaged resource entry");
            const uint32_t name = Get32(Image, entry);
            const uint32_t target = Get32(Image, entry + 4);
            std::u16string text;
            if (name & 0x80000000u) {
                const size_t at = Pe.Offset(Image, Base + (name & 0x7FFFFFFF), 2);
                const uint16_t length = at ? Get16(Image, at) : 0;
                if (!at || !Pe.Offset(Image, Base + (name & 0x7FFFFFFF), 2 + length * 2u))
                    return PEIMAGE::Fail(error, "damaged resource name");
                for (uint16_t c = 0; c < length; ++c)
                    text.push_back(static_cast<char16_t>(Get16(Image, at + 2 + c * 2u)));
            }
            const uint16_t id = static_cast<uint16_t>(name);
            if (level == 0)
                current.Type = id; // named types are kept by number only: none of ours has a name
            else if (level == 1) {
                current.Name = text;
                current.Id = text.empty() ? id : 0;
            } else
                current.Language = id;
            const bool subdirectory = target & 0x80000000u;
            if (subdirectory != (level < 2))
                return PEIMAGE::Fail(error, "resource tree of unexpected depth");
            if (subdirectory) {
                if (!Walk(target & 0x7FFFFFFF, level + 1, current, out, error))
                    return false;
                continue;
            }
            const size_t data = Pe.Offset(Image, Base + target, 16);
            if (!data)
                return PEIMAGE::Fail(error, "damaged resource data entry");
            const uint32_t rva = Get32(Image, data);
            const uint32_t length = Get32(Image, data + 4);
            const size_t bytes = Pe.Offset(Image, rva, length);
            if (!bytes && length)
                return PEIMAGE::Fail(error, "resource data outside the image");
            current.Data.assign(Image.begin() + bytes, Image.begin() + bytes + length);
            out.push_back(current);
        }
        return true;
    }

    const std::vector<uint8_t>& Image;
    const PEIMAGE& Pe;
    uint32_t Base;
    uint32_t Size;
};

// ---- Writing the resource tree --------------------------------------------------------------------------

// A resource's key at one level: named entries sort before numbered ones, names by their characters.
struct KEY {
    std::u16string Name;
    uint16_t Id = 0;
    bool operator<(const KEY& other) const {
        if (Name.empty() != other.Name.empty())
            return !Name.empty();
        return Name.empty() ? Id < other.Id : Name < other.Name;
    }
};

std::vector<uint8_t> BuildTree(const std::vector<RESOURCE>& resources, uint32_t sectionRva) {
    // type -> name -> language -> index of the resource
    std::map<KEY, std::map<KEY, std::map<uint16_t, size_t>>> tree;
    for (size_t i = 0; i < resources.size(); ++i) {
        const RESOURCE& r = resources[i];
        tree[KEY{u"", r.Type}][KEY{r.Name, r.Id}][r.Language] = i;
    }

    // Sizes first: directories, then data entries, then names, then the data itself.
    auto dirSize = [](size_t entries) { return 16 + 8 * entries; };
    uint32_t directories = static_cast<uint32_t>(dirSize(tree.size()));
    size_t leaves = 0;
    uint32_t names = 0;
    for (const auto& [type, byname] : tree) {
        directories += static_cast<uint32_t>(dirSize(byname.size()));
        for (const auto& [name, bylanguage] : byname) {
            directories += static_cast<uint32_t>(dirSize(bylanguage.size()));
            leaves += bylanguage.size();
            if (!name.Name.empty())
                names += static_cast<uint32_t>(2 + 2 * name.Name.size());
        }
    }
    const uint32_t dataEntries = directories;
    const uint32_t nameArea = dataEntries + static_cast<uint32_t>(16 * leaves);
    const uint32_t dataArea = AlignUp(nameArea + names, 8);

    std::vector<uint8_t> out(dataArea, 0);
    uint32_t nextDirectory = 0, nextLeaf = dataEntries, nextName = nameArea;
    auto header = [&](uint32_t at, size_t named, size_t numbered) {
        Set16(out, at + 12, static_cast<uint32_t>(named));
        Set16(out, at + 14, static_cast<uint32_t>(numbered));
    };
    auto nameField = [&](const KEY& key) -> uint32_t {
        if (key.Name.empty())
            return key.Id;
        const uint32_t at = nextName;
        Set16(out, at, static_cast<uint32_t>(key.Name.size()));
        for (size_t c = 0; c < key.Name.size(); ++c)
            Set16(out, at + 2 + 2 * static_cast<uint32_t>(c), key.Name[c]);
        nextName += static_cast<uint32_t>(2 + 2 * key.Name.size());
        return 0x80000000u | at;
    };
    auto countNamed = [](const auto& level) {
        return static_cast<size_t>(std::count_if(level.begin(), level.end(),
                                                 [](const auto& item) { return !item.first.Name.empty(); }));
    };

    const uint32_t root = nextDirectory;
    nextDirectory += static_cast<uint32_t>(dirSize(tree.size()));
    header(root, 0, tree.size());
    uint32_t typeEntry = root + 16;
    for (const auto& [type, byname] : tree) {
        const uint32_t typeDir = nextDirectory;
        nextDirectory += static_cast<uint32_t>(dirSize(byname.size()));
        Set32(out, typeEntry, type.Id);
        Set32(out, typeEntry + 4, 0x80000000u | typeDir);
        typeEntry += 8;
        header(typeDir, countNamed(byname), byname.size() - countNamed(byname));
        uint32_t nameEntry = typeDir + 16;
        for (const auto& [name, bylanguage] : byname) {
            const uint32_t nameDir = nextDirectory;
            nextDirectory += static_cast<uint32_t>(dirSize(bylanguage.size()));
            Set32(out, nameEntry, nameField(name));
            Set32(out, nameEntry + 4, 0x80000000u | nameDir);
            nameEntry += 8;
            header(nameDir, 0, bylanguage.size());
            uint32_t languageEntry = nameDir + 16;
            for (const auto& [language, index] : bylanguage) {
                const RESOURCE& r = resources[index];
                const uint32_t leaf = nextLeaf;
                nextLeaf += 16;
                Set32(out, languageEntry, language);
                Set32(out, languageEntry + 4, leaf);
                languageEntry += 8;
                PadTo(out, 8);
                Set32(out, leaf, sectionRva + static_cast<uint32_t>(out.size()));
                Set32(out, leaf + 4, static_cast<uint32_t>(r.Data.size()));
                out.insert(out.end(), r.Data.begin(), r.Data.end());
            }
        }
    }
    return out;
}

// ---- Version resource -----------------------------------------------------------------------------------

// One node of a version resource: length, value length, type, key, value, children, each aligned to 4.
std::vector<uint8_t> VersionNode(const std::u16string& key, uint16_t type, const std::vector<uint8_t>& value,
                                 uint16_t valueLength, const std::vector<std::vector<uint8_t>>& children) {
    std::vector<uint8_t> node(6, 0);
    for (char16_t c : key)
        Put16(node, c);
    Put16(node, 0);
    PadTo(node, 4);
    node.insert(node.end(), value.begin(), value.end());
    for (const std::vector<uint8_t>& child : children) {
        PadTo(node, 4);
        node.insert(node.end(), child.begin(), child.end());
    }
    Set16(node, 0, static_cast<uint32_t>(node.size()));
    Set16(node, 2, valueLength);
    Set16(node, 4, type);
    return node;
}

std::vector<uint8_t> StringNode(const std::u16string& key, const std::string& utf8) {
    std::u16string text = TEXTCODEC::Utf16FromUtf8(utf8);
    std::vector<uint8_t> value;
    for (char16_t c : text)
        Put16(value, c);
    Put16(value, 0);
    return VersionNode(key, 1, value, static_cast<uint16_t>(text.size() + 1), {});
}

bool ReadFile16(const std::vector<uint8_t>& b, size_t at, size_t length) {
    return at + length <= b.size();
}

} // namespace

bool ReadResources(const std::vector<uint8_t>& image, std::vector<RESOURCE>& resources, std::string& error) {
    PEIMAGE pe;
    if (!pe.Parse(image, error))
        return false;
    const uint32_t rva = Get32(image, pe.Directories + DIRECTORY_RESOURCES * 8);
    const uint32_t size = Get32(image, pe.Directories + DIRECTORY_RESOURCES * 8 + 4);
    resources.clear();
    if (rva == 0)
        return true;
    return TREEREADER(image, pe, rva, size).Read(resources, error);
}

bool ReplaceResources(std::vector<uint8_t>& image, const std::vector<RESOURCE>& resources,
                      std::string& error) {
    PEIMAGE pe;
    if (!pe.Parse(image, error))
        return false;
    if (Get32(image, pe.Directories + DIRECTORY_SECURITY * 8) != 0)
        return PEIMAGE::Fail(error, "the program file is signed: its resources cannot change");
    uint32_t rawEnd = 0, virtualEnd = 0;
    for (const SECTION& s : pe.Sections) {
        rawEnd = std::max(rawEnd, s.RawOffset + s.RawSize);
        virtualEnd = std::max(virtualEnd, s.VirtualAddress + s.VirtualSize);
    }
    if (image.size() != rawEnd)
        return PEIMAGE::Fail(error, "the program file has data behind its sections");
    const size_t header = pe.SectionTable + pe.SectionCount * SECTION_HEADER_SIZE;
    const uint32_t sizeOfHeaders = Get32(image, pe.Optional + 60);
    uint32_t firstRaw = sizeOfHeaders;
    for (const SECTION& s : pe.Sections)
        if (s.RawSize)
            firstRaw = std::min(firstRaw, s.RawOffset);
    if (header + SECTION_HEADER_SIZE > firstRaw)
        return PEIMAGE::Fail(error, "no room for another section header");

    const uint32_t sectionAlignment = Get32(image, pe.Optional + 32);
    const uint32_t fileAlignment = Get32(image, pe.Optional + 36);
    const uint32_t rva = AlignUp(virtualEnd, sectionAlignment);
    std::vector<uint8_t> section = BuildTree(resources, rva);
    const uint32_t virtualSize = static_cast<uint32_t>(section.size());
    section.resize(AlignUp(virtualSize, fileAlignment), 0);

    // The old resource section keeps its bytes but loses its name: tools look resources up by the
    // directory, people by the name.
    for (uint16_t i = 0; i < pe.SectionCount; ++i) {
        const size_t at = pe.SectionTable + i * SECTION_HEADER_SIZE;
        if (std::equal(image.begin() + at, image.begin() + at + 6, ".rsrc"))
            image[at + 5] = '0';
    }
    const uint8_t name[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
    std::copy(name, name + 8, image.begin() + header);
    Set32(image, header + 8, virtualSize);
    Set32(image, header + 12, rva);
    Set32(image, header + 16, static_cast<uint32_t>(section.size()));
    Set32(image, header + 20, rawEnd);
    for (size_t i = 24; i < 36; ++i)
        image[header + i] = 0;
    Set32(image, header + 36, 0x40000040u); // initialised data, readable
    Set16(image, pe.Optional - 24 + 6, pe.SectionCount + 1u);
    Set32(image, pe.Optional + 56, AlignUp(rva + virtualSize, sectionAlignment));
    Set32(image, pe.Directories + DIRECTORY_RESOURCES * 8, rva);
    Set32(image, pe.Directories + DIRECTORY_RESOURCES * 8 + 4, virtualSize);
    image.insert(image.end(), section.begin(), section.end());
    Set32(image, pe.Optional + 64, ImageChecksum(image, pe.Optional + 64));
    return true;
}

bool UpdateImageChecksum(std::vector<uint8_t>& file) {
    PEIMAGE pe;
    std::string error;
    if (!pe.Parse(file, error))
        return false;
    Set32(file, pe.Optional + 64, ImageChecksum(file, pe.Optional + 64));
    return true;
}

void VersionNumbers(const std::string& version, uint16_t numbers[4]) {
    size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        numbers[i] = 0;
        if (at > version.size())
            continue;
        numbers[i] = static_cast<uint16_t>(std::strtoul(version.c_str() + at, nullptr, 10));
        const size_t dot = version.find('.', at);
        at = dot == std::string::npos ? version.size() + 1 : dot + 1;
    }
}

std::vector<uint8_t> VersionResource(const VERSIONTEXTS& texts) {
    uint16_t numbers[4];
    VersionNumbers(texts.ProductVersion, numbers);
    const uint32_t high = static_cast<uint32_t>(numbers[0]) << 16 | numbers[1];
    const uint32_t low = static_cast<uint32_t>(numbers[2]) << 16 | numbers[3];
    std::vector<uint8_t> fixed;
    for (uint32_t v : {0xFEEF04BDu, 0x00010000u, high, low, high, low, 0x3Fu, 0u,
                       0x00040004u /* NT, 32-bit */, 1u /* application */, 0u, 0u, 0u})
        Put32(fixed, v);

    std::vector<std::vector<uint8_t>> strings;
    auto add = [&](const char16_t* key, const std::string& value) {
        if (!value.empty())
            strings.push_back(StringNode(key, value));
    };
    add(u"CompanyName", texts.CompanyName);
    add(u"FileDescription", texts.FileDescription);
    add(u"FileVersion", texts.ProductVersion);
    add(u"OriginalFilename", texts.OriginalFilename);
    add(u"ProductName", texts.ProductName);
    add(u"ProductVersion", texts.ProductVersion);
    // English (United States), Unicode.
    const std::vector<uint8_t> table = VersionNode(u"040904B0", 1, {}, 0, strings);
    const std::vector<uint8_t> stringInfo = VersionNode(u"StringFileInfo", 1, {}, 0, {table});
    std::vector<uint8_t> translation;
    Put16(translation, LANGUAGE_ENGLISH_US);
    Put16(translation, 1200);
    const std::vector<uint8_t> var = VersionNode(u"Translation", 0, translation, 4, {});
    const std::vector<uint8_t> varInfo = VersionNode(u"VarFileInfo", 1, {}, 0, {var});
    return VersionNode(u"VS_VERSION_INFO", 0, fixed, static_cast<uint16_t>(fixed.size()),
                       {stringInfo, varInfo});
}

bool IconResources(const std::vector<uint8_t>& file, std::vector<RESOURCE>& icons, std::string& error) {
    icons.clear();
    // A group (icon directory): reserved 0, type 1, count, then one entry per image.
    RESOURCE group{RES_GROUP_ICON, u"", 1, LANGUAGE_ENGLISH_US, {}};
    if (file.size() >= 6 && Get16(file, 0) == 0 && Get16(file, 2) == 1) {
        // An icon file: 16-byte entries ending with the image's size and offset in the file.
        const uint16_t count = Get16(file, 4);
        if (count == 0 || !ReadFile16(file, 6, count * 16u))
            return PEIMAGE::Fail(error, "damaged icon file");
        Put16(group.Data, 0);
        Put16(group.Data, 1);
        Put16(group.Data, count);
        for (uint16_t i = 0; i < count; ++i) {
            const size_t entry = 6 + i * 16u;
            const uint32_t size = Get32(file, entry + 8);
            const uint32_t offset = Get32(file, entry + 12);
            if (!ReadFile16(file, offset, size))
                return PEIMAGE::Fail(error, "damaged icon file");
            group.Data.insert(group.Data.end(), file.begin() + entry, file.begin() + entry + 12);
            Put16(group.Data, i + 1u);
            icons.push_back({RES_ICON, u"", static_cast<uint16_t>(i + 1), LANGUAGE_ENGLISH_US,
                             std::vector<uint8_t>(file.begin() + offset, file.begin() + offset + size)});
        }
        icons.push_back(group);
        return true;
    }
    std::vector<RESOURCE> resources;
    if (!ReadResources(file, resources, error))
        return PEIMAGE::Fail(error, "neither an icon file nor a program file: " + error);
    auto first = std::find_if(resources.begin(), resources.end(),
                              [](const RESOURCE& r) { return r.Type == RES_GROUP_ICON; });
    if (first == resources.end())
        return PEIMAGE::Fail(error, "holds no icon");
    const std::vector<uint8_t>& source = first->Data;
    // In a program file the entries are 14 bytes: the icon file's 12, then the id of the image resource.
    const uint16_t count = source.size() >= 6 ? Get16(source, 4) : 0;
    if (count == 0 || !ReadFile16(source, 6, count * 14u))
        return PEIMAGE::Fail(error, "damaged icon group");
    group.Data.assign(source.begin(), source.begin() + 6);
    for (uint16_t i = 0; i < count; ++i) {
        const size_t entry = 6 + i * 14u;
        const uint16_t id = Get16(source, entry + 12);
        auto image = std::find_if(resources.begin(), resources.end(), [id](const RESOURCE& r) {
            return r.Type == RES_ICON && r.Name.empty() && r.Id == id;
        });
        if (image == resources.end())
            return PEIMAGE::Fail(error, "an image of the icon group is missing");
        group.Data.insert(group.Data.end(), source.begin() + entry, source.begin() + entry + 12);
        Put16(group.Data, i + 1u);
        icons.push_back({RES_ICON, u"", static_cast<uint16_t>(i + 1), LANGUAGE_ENGLISH_US, image->Data});
    }
    icons.push_back(group);
    return true;
}

std::vector<RESOURCE> WithProductIdentity(const std::vector<RESOURCE>& resources,
                                          const std::vector<RESOURCE>& icons,
                                          const std::vector<uint8_t>& version) {
    std::vector<RESOURCE> result;
    for (const RESOURCE& r : resources) {
        const bool replaced =
            r.Type == RES_VERSION || (!icons.empty() && (r.Type == RES_ICON || r.Type == RES_GROUP_ICON));
        if (!replaced)
            result.push_back(r);
    }
    result.insert(result.end(), icons.begin(), icons.end());
    result.push_back({RES_VERSION, u"", 1, LANGUAGE_ENGLISH_US, version});
    return result;
}

} // namespace setuppack
