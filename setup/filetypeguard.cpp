#include "setup/filetypeguard.h"

#include <cstring>

#include "lib/strings.h"

namespace {

// The system's own keys. Names are compared ignoring letter case.
const char* const SYSTEM_TYPES[] = {
    // Programs, scripts and the shell's own files
    ".exe",
    ".com",
    ".bat",
    ".cmd",
    ".pif",
    ".scr",
    ".cpl",
    ".lnk",
    ".url",
    ".dll",
    ".sys",
    ".drv",
    ".ocx",
    ".msi",
    ".msp",
    ".msc",
    ".ps1",
    ".psm1",
    ".psd1",
    ".vbs",
    ".vbe",
    ".js",
    ".jse",
    ".wsf",
    ".wsh",
    ".hta",
    ".reg",
    ".inf",
    ".ini",
    ".txt",
    ".log",
    ".htm",
    ".html",
    ".xml",
    ".zip",
    ".cab",
    ".library-ms",
    ".search-ms",
    ".theme",
    ".settingcontent-ms",
    // Their classes
    "exefile",
    "comfile",
    "batfile",
    "cmdfile",
    "piffile",
    "scrfile",
    "cplfile",
    "lnkfile",
    "dllfile",
    "sysfile",
    "drvfile",
    "ocxfile",
    "Msi.Package",
    "Msi.Patch",
    "MSCFile",
    "Microsoft.PowerShellScript.1",
    "VBSFile",
    "VBEFile",
    "JSFile",
    "JSEFile",
    "WSFFile",
    "WSHFile",
    "htafile",
    "regfile",
    "inffile",
    "inifile",
    "txtfile",
    "htmlfile",
    "xmlfile",
    "CompressedFolder",
    "InternetShortcut",
    "Unknown",
    // The shell's keys
    "*",
    "Applications",
    "SystemFileAssociations",
    "CLSID",
    "Interface",
    "TypeLib",
    "AppID",
    "Directory",
    "Folder",
    "Drive",
    "AllFilesystemObjects",
    "DesktopBackground",
    "Network",
    "NetworkExplorerPlugins",
    "Printers",
    "MIME",
    "Local Settings",
    "Wow6432Node",
    "PropertySystem",
    "Installer",
    "ShellEx",
    "Component Categories",
    "FileType",
    // URL protocols
    "http",
    "https",
    "ftp",
    "file",
    "mailto",
    "ms-settings",
    "search-ms",
    "shell",
    "res",
    "about",
};

bool NamedLike(const STRING& name, const char* prefix) {
    return name.Length() >= static_cast<int>(strlen(prefix)) &&
           StringCompareNoCase(name.Left(static_cast<int>(strlen(prefix))).Text(), prefix) == 0;
}

} // namespace

bool IsSystemFileType(const STRING& name) {
    STRING trimmed = name.NotNull() ? name : STRING("");
    trimmed.Strip();
    if (trimmed.IsEmpty() || trimmed == ".")
        return true;
    for (const char* type : SYSTEM_TYPES) {
        if (StringCompareNoCase(trimmed.Text(), type) == 0)
            return true;
    }
    // The classes Windows and its components bring.
    return NamedLike(trimmed, "Microsoft.") || NamedLike(trimmed, "Windows.") || NamedLike(trimmed, "ms-");
}

bool ROOTVALUES::Add(const STRING& key, const STRING& text) {
    const STRING value = text.NotNull() ? text : STRING("");
    if (key.IsEmpty() || key.Find("|") || key.Find(";") || value.Find("|") || value.Find(";"))
        return false;
    if (List.NotEmpty())
        List.Append("|");
    List.Append(key.Text());
    List.Append(";");
    List.Append(value.Text());
    return true;
}

bool ParseRootValue(const STRING& entry, STRING* key, STRING* text) {
    const int cut = entry.NotNull() ? entry.Pos(";") : -1;
    if (cut <= 0)
        return false;
    *key = entry.Left(cut);
    *text = entry.Mid(cut + 1);
    return true;
}
