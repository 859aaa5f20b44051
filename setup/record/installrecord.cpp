#include "setup/record/installrecord.h"

#include <limits>

#include "lib/ownedpath.h"
#include "lib/timetext.h"

namespace {

constexpr const char* FOLDER_PLACEHOLDER = "dummy.tmp";
constexpr int FOLDER_PLACEHOLDER_LENGTH = 9;

// Appends text to a "|" list, with the separator only between entries.
void AppendEntry(STRING& list, const char* text) {
    if (list.Length() > 0)
        list.Append("|");
    list.Append(text);
}

// The install directory as the file-type commands and icons use it: no trailing "\" or "/".
STRING WithoutTrailingSeparators(const STRING& directory) {
    STRING result(directory);
    result.MakeNotNull();
    int length = result.Length();
    while (length > 0 && (result[length - 1] == '\\' || result[length - 1] == '/'))
        --length;
    result.Truncate(length);
    return result;
}

STRING NotNull(STRING text) {
    text.MakeNotNull();
    return text;
}

} // namespace

bool IsFolderPlaceholder(const char* membername) {
    const STRING name(membername ? membername : "");
    if (name.Length() < FOLDER_PLACEHOLDER_LENGTH)
        return false;
    return name.Right(FOLDER_PLACEHOLDER_LENGTH) == FOLDER_PLACEHOLDER;
}

bool INSTALLEDFILES::Add(const char* membername) {
    if (membername == nullptr || membername[0] == '\0' || IsFolderPlaceholder(membername))
        return false;
    // The record is joined to the install folder at removal: a name that would leave it (or a "|" that
    // would split the list) is never recorded.
    if (!IsNameBelow(membername))
        return false;
    AppendEntry(List, membername);
    return true;
}

bool FILETYPE::HasOpenCommand() const {
    return !(Command == "{null}");
}

bool FILETYPE::HasEditCommand() const {
    return Flags.Find("{textedit}");
}

bool ParseFileType(const STRING& field, FILETYPE* type) {
    STRING entry(field);
    entry.MakeNotNull();
    entry.Strip('B', " \t");
    const STRING program = entry.Word(1, ";", WORD_NOTNULL);
    FILETYPE parsed;
    parsed.Extension = entry.Word(0, ";", WORD_NOTNULL);
    parsed.Identifier = program.Word(0, "=", WORD_NOTNULL);
    parsed.Description = program.Word(1, "=", WORD_NOTNULL);
    parsed.Command = entry.Word(2, ";", WORD_NOTNULL);
    parsed.Icon = entry.Word(3, ";", WORD_NOTNULL);
    parsed.Flags = entry.Word(4, ";", WORD_NOTNULL);
    if (type)
        *type = parsed;
    return parsed.Extension.NotEmpty() && parsed.Identifier.NotEmpty() && parsed.Description.NotEmpty() &&
           parsed.Command.NotEmpty() && parsed.Icon.NotEmpty();
}

REGISTRYTEXTS FileTypeKeys(const FILETYPE& type, const STRING& installdir) {
    const STRING directory = WithoutTrailingSeparators(installdir);
    REGISTRYTEXTS keys;
    keys.push_back({type.Extension, type.Identifier});
    keys.push_back({type.Identifier, type.Description});
    keys.push_back({type.Identifier || "\\DefaultIcon", directory || "\\" || type.Icon});
    if (type.HasOpenCommand())
        keys.push_back({type.Identifier || "\\Shell\\open\\command", directory || "\\" || type.Command});
    if (type.HasEditCommand())
        keys.push_back({type.Identifier || "\\Shell\\edit\\command", STRING("notepad %1")});
    return keys;
}

void ROOTCLASSES::Add(const FILETYPE& type) {
    Add(type.Extension);
    Add(type.Identifier);
}

void ROOTCLASSES::Add(const STRING& key) {
    List.Append(key);
    List.Append("|");
}

STRING ROOTCLASSES::Text() const {
    STRING text(List);
    if (text.Length() > 0)
        text.Truncate(text.Length() - 1);
    return text;
}

bool HasUninstallEntry(const HASH& config) {
    // Values on the uninstall branch itself would be no entry at all: the system lists only its subkeys,
    // and nothing could start an uninstall of an empty key name.
    return CONFIGREADER(config).Text("IniKey").NotEmpty();
}

STRING UninstallKeyPath(const HASH& config) {
    return UNINSTALL_BASE_KEY || CONFIGREADER(config).Text("IniKey");
}

REGISTRYTEXTS UninstallEntryValues(const HASH& config, const STRING& installdir, const STRING& installedfiles,
                                   const STRING& rootclasses) {
    const CONFIGREADER reader(config);
    auto value = [&reader](const char* key) { return reader.Text(key, ""); };
    const STRING directory = NotNull(installdir);

    REGISTRYTEXTS values;
    values.push_back({"DisplayName", value("StartmenuName")});
    values.push_back({"DisplayVersion", value("AppVersion")});
    values.push_back({"DisplayIcon", directory || "\\" || value("UninstallIcon")});
    values.push_back({"Publisher", STRING(UNINSTALL_PUBLISHER)});
    values.push_back({"URLInfoAbout", STRING(UNINSTALL_URLINFOABOUT)});
    values.push_back({"AppName", value("AppName")});
    values.push_back({"Version", value("AppVersion")});
    values.push_back({"UninstallString", UninstallCommand(config, directory)});
    values.push_back({"UninstallFiles", NotNull(installedfiles)});
    values.push_back({"UninstallPath", directory});
    values.push_back({"UninstallRootClasses", NotNull(rootclasses)});
    values.push_back({"UninstallProtect", value("ProtectedFiles")});
    if (config.Contains("AddToFirewall"))
        values.push_back({"UninstallFirewall", value("AddToFirewall")});
    if (config.Contains("UninstallEmail") && value("UninstallEmail").Find(";"))
        values.push_back({"UninstallEmail", value("UninstallEmail")});
    return values;
}

STRING UninstallCommand(const HASH& config, const STRING& installdir) {
    return "\"" || NotNull(installdir) || "\\Setup.exe\" -remove \"" ||
           CONFIGREADER(config).Text("IniKey", "") || "\"";
}

uint32_t SizeInKiB(uint64_t bytes) {
    const uint64_t kib = bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0);
    const uint64_t largest = std::numeric_limits<uint32_t>::max();
    return static_cast<uint32_t>(kib < largest ? kib : largest);
}

STRING InstallDateText(time_t when) {
    STRING date = TIMETEXT::Date(when); // "yyyy-mm-dd"
    date.Replace("-", "");
    return date;
}

std::vector<ENTRYVALUE> ManagedEntryValues(const HASH& config, const STRING& installdir,
                                           uint64_t installedbytes, const STRING& installdate) {
    const STRING directory = NotNull(installdir);
    std::vector<ENTRYVALUE> values;
    values.push_back({"InstallLocation", directory});
    values.push_back({"EstimatedSize", STRING(""), true, SizeInKiB(installedbytes)});
    // The same command as UninstallString: unattended removal adds only its switch.
    values.push_back({"QuietUninstallString", UninstallCommand(config, directory) || " /VERYSILENT"});
    // The installer offers no change or repair of an installation: the program list shows Uninstall only.
    values.push_back({"NoModify", STRING(""), true, 1});
    values.push_back({"NoRepair", STRING(""), true, 1});
    values.push_back({"InstallDate", NotNull(installdate)});
    return values;
}

int ProgressPercent(int64_t done, int64_t total) {
    if (total <= 0 || done <= 0)
        return 0;
    if (done >= total)
        return 100;
    return static_cast<int>(done * 100 / total);
}
