// Reading shortcuts back the way the shell does: a .LNK through the shell link object and IPersistFile::Load,
// a .URL as the text file it is. Shared by the tests of the shortcut step and of the whole product.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <fstream>
#include <sstream>
#include <string>

#include "lib/firewall/comptr.h"
#include "lib/winhandles.h"

struct SHELLLINKDATA {
    bool Loaded = false;
    std::string Path;
    std::string Arguments;
    std::string WorkingDirectory;
    std::string Description;
    std::string IconFile;
    int IconNumber = -1;
};

// The link at file; Loaded is false when it cannot be read as a link.
inline SHELLLINKDATA ReadShellLink(const std::string& file) {
    SHELLLINKDATA data;
    const COMSCOPE com;
    COMPTR<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.ReceiveVoid())))
        return data;
    COMPTR<IPersistFile> persist;
    if (FAILED(link.QueryInto(IID_IPersistFile, persist)))
        return data;
    wchar_t wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
    if (FAILED(persist->Load(wide, STGM_READ)))
        return data;
    char text[MAX_PATH] = {};
    link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
    data.Path = text;
    text[0] = 0;
    link->GetArguments(text, MAX_PATH);
    data.Arguments = text;
    text[0] = 0;
    link->GetWorkingDirectory(text, MAX_PATH);
    data.WorkingDirectory = text;
    text[0] = 0;
    link->GetDescription(text, MAX_PATH);
    data.Description = text;
    text[0] = 0;
    int icon = -1;
    link->GetIconLocation(text, MAX_PATH, &icon);
    data.IconFile = text;
    data.IconNumber = icon;
    data.Loaded = true;
    return data;
}

inline std::string ReadTextFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

inline bool FileExists(const std::string& file) {
    return GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A value of the uninstall entry key below HKEY_LOCAL_MACHINE; "<absent>" when it is not there.
inline std::string UninstallValue(const std::string& inikey, const char* value) {
    const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + inikey;
    char text[1024] = {};
    DWORD size = sizeof text;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), value, RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS)
        return "<absent>";
    return text;
}

inline void DeleteUninstallEntry(const std::string& inikey) {
    const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + inikey;
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
}

inline void SetUninstallValue(const std::string& inikey, const char* value, const std::string& text) {
    const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + inikey;
    HKEY handle = nullptr;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, key.c_str(), &handle) != ERROR_SUCCESS)
        return;
    RegSetValueExA(handle, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(handle);
}
