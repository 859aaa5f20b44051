// What the bundle program decides before and after it starts setup.exe, apart from the system: the
// arguments it hands on, whether a person may be asked, whether the package it carries is whole, and the
// damage message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "unzip/engine.h"

namespace bundle {

// The exit code of a bundle whose package is damaged or cut short: setup's own code for a damaged package.
constexpr int EXIT_PACKAGE_DAMAGED = 4;
// The exit code when the bundle could not unpack or start setup.exe (no folder, no room, no process).
constexpr int EXIT_CANNOT_START = 1;

// The command line without the program's own name, exactly as typed otherwise: the name ends at the next
// blank, or, when it begins with a double quote, at the next double quote (as Windows splits it).
std::u16string ArgumentsOf(const std::u16string& commandline);

// True when the arguments ask that nobody be asked ("/VERYSILENT", "/SUPPRESSMSGBOXES", with "/" or "-").
bool Unattended(const std::u16string& arguments);

// Checks every member of the archive (its local header, its data and its CRC) and that setup.exe is among
// them. False with the name of the first member that fails, or an empty name when the archive itself is
// unusable or holds no setup.exe.
bool PackageIsWhole(orvik::unzip::ZipArchive& archive, std::string& failed);

// The damage message: every "$FILE" of the language library's text replaced by the member name.
std::u16string DamageMessage(std::u16string text, const std::u16string& member);

// The text value of key in a version resource (the bundle's own ProductName, say); empty when it has none.
std::u16string VersionText(const uint8_t* resource, size_t size, const std::u16string& key);

} // namespace bundle
