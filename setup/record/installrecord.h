// The installation record: what the copy step collects while it extracts and registers, and the values of
// the uninstall entry it writes from that. Only text work lives here; the installation's copy step
// (setup/install/installation_win32.cpp) touches the disk and the registry.
#pragma once

#include <cstdint>
#include <ctime>
#include <vector>

#include "lib/hash.h"
#include "lib/strings.h"
#include "setup/config.h"

// The uninstall entry's registry key below HKEY_LOCAL_MACHINE.
constexpr const char* UNINSTALL_BASE_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// Fixed texts of the uninstall entry that name the maker.
constexpr const char* UNINSTALL_PUBLISHER = "Orvik";
constexpr const char* UNINSTALL_URLINFOABOUT = "https://www.orvik.example/";

// A name (registry value name or key path) with its text.
struct REGISTRYTEXT {
    STRING Name;
    STRING Text;
};
using REGISTRYTEXTS = std::vector<REGISTRYTEXT>;

// Archive members that only exist so that extraction creates their folder: the name ends in "dummy.tmp"
// (the last nine characters, letter case ignored). They are deleted after extraction and never recorded.
bool IsFolderPlaceholder(const char* membername);

// The extracted archive members in extraction order, as UninstallFiles records them.
class INSTALLEDFILES {
public:
    // Records the member unless it is a folder placeholder or a name that would leave the install folder;
    // true when it was recorded.
    bool Add(const char* membername);
    // The names joined by "|"; empty when nothing was recorded.
    const STRING& Text() const { return List; }

private:
    STRING List{""};
};

// One entry of FileTypes: "extension;identifier=description;command;icon;flags".
struct FILETYPE {
    STRING Extension;
    STRING Identifier;
    STRING Description;
    STRING Command; // "{null}" (any letter case): no open command
    STRING Icon;
    STRING Flags; // "{textedit}": an edit command with Notepad

    bool HasOpenCommand() const;
    bool HasEditCommand() const;
};

// Parses one FileTypes field (blanks and tabs around it are ignored). False when extension, identifier,
// description, command or icon is empty: such an entry is not registered.
bool ParseFileType(const STRING& field, FILETYPE* type);

// The keys below HKEY_CLASSES_ROOT and their default values for one file type, in writing order. Name is
// the key path, Text the default value.
REGISTRYTEXTS FileTypeKeys(const FILETYPE& type, const STRING& installdir);

// The registered file types as UninstallRootClasses records them: extension and identifier of each.
class ROOTCLASSES {
public:
    void Add(const FILETYPE& type);
    // One key (an extension or an identifier) that this installation created.
    void Add(const STRING& key);
    // "ext|id|ext|id" without a final "|"; empty when nothing was registered.
    STRING Text() const;

private:
    STRING List{""};
};

// True when the configuration asks for an uninstall entry: IniKey names one. An empty IniKey is taken as an
// absent one, as the reading side of an earlier installation takes it.
bool HasUninstallEntry(const HASH& config);
// The uninstall entry's key below HKEY_LOCAL_MACHINE (only meaningful when HasUninstallEntry).
STRING UninstallKeyPath(const HASH& config);
// The values of the uninstall entry that the copy step writes, in writing order.
REGISTRYTEXTS UninstallEntryValues(const HASH& config, const STRING& installdir, const STRING& installedfiles,
                                   const STRING& rootclasses);

// A value of the uninstall entry that Windows' program list and deployment tools read: a text (REG_SZ) or a
// number (REG_DWORD).
struct ENTRYVALUE {
    STRING Name;
    STRING Text;
    bool IsNumber = false;
    uint32_t Number = 0;
};

// The command line that removes the installation: "<installdir>\Setup.exe" -remove "<IniKey>".
STRING UninstallCommand(const HASH& config, const STRING& installdir);
// Bytes as EstimatedSize counts them: KiB, rounded up, at most the largest DWORD.
uint32_t SizeInKiB(uint64_t bytes);
// A day in local time as InstallDate writes it: "yyyymmdd".
STRING InstallDateText(time_t when);
// The values written after UninstallEntryValues, in writing order: InstallLocation, EstimatedSize (the
// installed files' bytes), QuietUninstallString, NoModify, NoRepair, InstallDate (installdate as given).
std::vector<ENTRYVALUE> ManagedEntryValues(const HASH& config, const STRING& installdir,
                                           uint64_t installedbytes, const STRING& installdate);

// Progress of an archive in percent: done * 100 / total in 64-bit integers, 0 while total is not positive
// (an empty listing has no valid divisor), never above 100.
int ProgressPercent(int64_t done, int64_t total);
