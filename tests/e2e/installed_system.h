// What an installation leaves on the machine, read the way Windows itself reads it: files, registry values,
// shell folders and shortcuts; and the removal of such traces before a session that needs a clean machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/common/shortcutfiles.h"

namespace e2e {

// A folder of the shell (CSIDL_PROGRAM_FILES, CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY, ...), no trailing "\".
std::string ShellFolder(int csidl);

// The text value of a key; "<absent>" when the key or the value is not there. An empty name reads the
// key's default value.
std::string RegistryText(void* root, const std::string& key, const std::string& name = "");
// A REG_DWORD value; -1 when it is absent or of another type.
int64_t RegistryNumber(void* root, const std::string& key, const std::string& name);
bool RegistryKeyExists(void* root, const std::string& key);
void DeleteRegistryTree(void* root, const std::string& key);

// A shell link (.LNK) as the shell link object reads it back, as the shortcut step's own tests read it.
using SHORTCUT = SHELLLINKDATA;
inline SHORTCUT ReadShortcut(const std::string& file) {
    return ReadShellLink(file);
}

// The files that the system deletes at the next restart, as MoveFileEx recorded them: the
// PendingFileRenameOperations names with "|" between them.
std::string PendingDeletions();

bool Exists(const std::string& path);
bool IsFolder(const std::string& path);
std::string ReadFile(const std::string& path);
// The names in a folder, sorted; empty when it does not exist.
std::vector<std::string> FolderEntries(const std::string& path);
void RemoveTree(const std::string& path);

std::vector<std::string> Split(const std::string& text, char separator);
std::string Join(const std::vector<std::string>& parts, const std::string& separator);
std::string Replaced(std::string text, const std::string& placeholder, const std::string& by);

} // namespace e2e
