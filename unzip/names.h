#pragma once
// Member names: normalisation, pattern matching and the mapping of a name to a safe relative path.
#include <cstdint>
#include <string>
#include <vector>

namespace orvik::unzip {

// Hosts whose file systems ignore case: names are lower-cased and matched without regard to case.
bool HostIgnoresCase(unsigned host);

// The stored name as UTF-8: as it stands when the archive flags it as UTF-8 (general-purpose bit 11; a
// flagged name that is not UTF-8 stays as it is and MapMemberPath refuses it), otherwise read as code
// page 437, the IBM PC's, which the format prescribes for names without the flag.
std::string MemberNameAsUtf8(const std::string& raw, bool utf8Flag);

// "\" becomes "/" (archivers on Windows used it as a separator); lower case for case-ignoring hosts when
// the name has no lower-case letter (as the DOS archivers wrote every name).
std::string NormalizeMemberName(const std::string& raw, unsigned host);

// A stored name with a byte below 0x20 or 0x7F: no file can carry it, and readers disagree on what it means
// (most cut the name at a NUL). Such a member is damaged.
bool HasControlCharacters(const std::string& raw);
// The name for listings and messages: each such byte shown as "?", which no Windows file name holds.
std::string ShowControlCharacters(std::string raw);

// The relative path MapMemberPath's components are written as, "/" between them and after a directory.
std::string WrittenPath(const std::vector<std::string>& components, bool directory);

std::string ToLowerAscii(std::string text);

// "*", "?" and bracketed sets ("[a-z]", "[!0-9]", "[^x]"); "*" also matches "/", "?" one UTF-8 character.
bool WildcardMatch(const std::string& pattern, const std::string& name, bool ignoreCase);
bool HasWildcards(const std::string& pattern);

// Windows device names that must never become file names: CON, PRN, AUX, NUL, COM1-9, LPT1-9,
// with or without an extension.
bool IsDeviceName(const std::string& component);

enum class PathVerdict { Safe, Unsafe, Empty };

// Splits a member name into the components of a path below the extraction directory, applying the
// character mapping of the target file system. Refuses ("Unsafe") any name that would leave the
// directory: a "..", a leading "/", a drive or UNC prefix, a device name, and any name that is not UTF-8
// (whose meaning as a path no one can tell).
PathVerdict MapMemberPath(const std::string& name, bool fatVolume, std::vector<std::string>& components);

} // namespace orvik::unzip
