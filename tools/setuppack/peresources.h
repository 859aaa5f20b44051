// The resources of a Windows program file, read and replaced without the Windows resource functions, so that
// setuppack can name the product in a bundle on any machine: the resource tree of the image is read into a
// list, changed, and written back as a new resource section at the end of the image (the old one stays,
// unreferenced). Only images without data behind their sections (no signature, no appended archive) are
// changed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace setuppack {

constexpr uint16_t RES_ICON = 3;
constexpr uint16_t RES_GROUP_ICON = 14;
constexpr uint16_t RES_VERSION = 16;
constexpr uint16_t RES_MANIFEST = 24;
constexpr uint16_t LANGUAGE_ENGLISH_US = 0x0409;

struct RESOURCE {
    uint16_t Type = 0;
    std::u16string Name; // a named resource; empty for one with a number
    uint16_t Id = 0;
    uint16_t Language = 0;
    std::vector<uint8_t> Data;
};

// Every resource of the image, in the order of its tree. False (with the reason) when the image is not a
// program file or its tree is damaged.
bool ReadResources(const std::vector<uint8_t>& image, std::vector<RESOURCE>& resources, std::string& error);

// Points the image at a new resource section that holds resources; updates the image size and the checksum.
bool ReplaceResources(std::vector<uint8_t>& image, const std::vector<RESOURCE>& resources,
                      std::string& error);

// Sets the checksum field of the image to the checksum of all its bytes (with whatever follows its sections);
// false when it is not a program file.
bool UpdateImageChecksum(std::vector<uint8_t>& file);

// The texts of a version resource; versions are read as up to four dot-separated numbers ("2.4" = 2.4.0.0).
struct VERSIONTEXTS {
    std::string ProductName;
    std::string ProductVersion;
    std::string FileDescription;
    std::string CompanyName;
    std::string OriginalFilename;
};
std::vector<uint8_t> VersionResource(const VERSIONTEXTS& texts);
// The four numbers of a version text; what is not a number counts as 0.
void VersionNumbers(const std::string& version, uint16_t numbers[4]);

// The icon group and its images from an icon file (.ico) or from the first icon group of a program or
// library: the group as id 1, the images as ids 1 to n. False when the file holds no icon.
bool IconResources(const std::vector<uint8_t>& file, std::vector<RESOURCE>& icons, std::string& error);

// The resources with every icon and icon group of resources replaced by icons, and the version resource by
// version.
std::vector<RESOURCE> WithProductIdentity(const std::vector<RESOURCE>& resources,
                                          const std::vector<RESOURCE>& icons,
                                          const std::vector<uint8_t>& version);

} // namespace setuppack
