// Reading shortcuts back the way the shell does: a .LNK through the shell link object and IPersistFile::Load,
// a .URL as the text file it is. Shared by the tests of the shortcut step and of the whole product.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

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

inline bool FileExists(const std::string& file) {
    return GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES;
}
