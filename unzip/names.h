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

// "\" becomes "/" (archivers on Windows used it as a separator); lower case for case-ignoring hosts.
std::string NormalizeMemberName(const std::string& raw, unsigned host);

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
