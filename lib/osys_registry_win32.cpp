// OS services on Windows: the registry.
#include <windows.h>
#include <shlwapi.h>

#include <cstring>

#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/osys_win32.h"
#include "lib/winhandles.h"

namespace {
constexpr DWORD RegistryFirstRead = 1024;
} // namespace

// Starts with a 1024-byte buffer and grows while the system reports more data.
LONG OSYSWIN::QueryValue(HKEY key, const char* value, DWORD* type, BINARY& data) {
    DWORD size = RegistryFirstRead;
    for (;;) {
        data.Make(static_cast<int>(size));
        DWORD got = size;
        LONG rc = RegQueryValueExA(key, value, nullptr, type, data.Data(), &got);
        if (rc == ERROR_MORE_DATA) {
            size = got > size ? got : size * 2;
            continue;
        }
        if (rc == ERROR_SUCCESS)
            data.Make(static_cast<int>(got));
        return rc;
    }
}

void REGKEYTRAITS::Close(VALUE key) {
    RegCloseKey(key);
}

// ---------------------------------------------------------------------------------------------------------
// REGISTRY

namespace {
STRING KeyPathOf(const char* basekey, const char* app) {
    STRING path(basekey ? basekey : "");
    if (path.Length() > 0 && path[path.Length() - 1] != '\\')
        path.Append("\\");
    const char* rest = app ? app : "";
    while (*rest == '\\')
        ++rest;
    path.Append(rest);
    while (path.Length() > 0 && path[path.Length() - 1] == '\\')
        path.CutRight(1);
    return path;
}
} // namespace

REGISTRY::REGISTRY(const char* app, const char* basekey, intptr_t user) {
    if (app != nullptr && app[0] == '<')
        Assert(false, "app[0]!='<'", __FILE__, __LINE__, app, false);
    hRoot = user == USER_LOCALMACHINE ? HKEY_LOCAL_MACHINE
            : user == USER_CURRENT    ? HKEY_CURRENT_USER
                                      : reinterpret_cast<HKEY>(user);
    KeyPath = KeyPathOf(basekey, app);
    HKEY key = nullptr;
    if (RegCreateKeyA(static_cast<HKEY>(hRoot), KeyPath.Text(), &key) == ERROR_SUCCESS)
        Key.reset(key);
    else
        LogPrintf("REGISTRY::Constructor failed for app=%s, basekey=%s, user=%lld\n", app ? app : "<NULL>",
                  basekey ? basekey : "<NULL>", static_cast<long long>(user));
}

REGISTRY::REGISTRY(void* root, const char* basekey, const char* app, int mode) : hRoot(root) {
    KeyPath = KeyPathOf(basekey, app);
    HKEY key = nullptr;
    LONG rc = ERROR_INVALID_PARAMETER;
    switch (mode) {
    case MODE_READ:
        rc = RegOpenKeyExA(static_cast<HKEY>(root), KeyPath.Text(), 0, KEY_READ, &key);
        break;
    case MODE_WRITE:
        rc = RegOpenKeyExA(static_cast<HKEY>(root), KeyPath.Text(), 0, KEY_READ | KEY_WRITE, &key);
        break;
    case MODE_CREATE:
        rc = RegCreateKeyExA(static_cast<HKEY>(root), KeyPath.Text(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             &key, nullptr);
        break;
    default:
        Assert(false, "FALSE", __FILE__, __LINE__, nullptr, false);
        break;
    }
    if (rc == ERROR_SUCCESS)
        Key.reset(key);
}

REGISTRY::~REGISTRY() = default;

void* REGISTRY::LocalMachine() {
    return HKEY_LOCAL_MACHINE;
}

void* REGISTRY::CurrentUser() {
    return HKEY_CURRENT_USER;
}

void* REGISTRY::ClassesRoot() {
    return HKEY_CLASSES_ROOT;
}

bool REGISTRY::Write(const char* value, const char* text) {
    const char* data = StringNullPolicy(text, "REGISTRY::Write");
    data = data ? data : "";
    // With its terminating zero: another program that reads the value into a buffer of the stored size
    // gets a terminated string.
    LONG rc = Key ? RegSetValueExA(Key.get(), value, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                                   static_cast<DWORD>(std::strlen(data) + 1))
                  : ERROR_INVALID_HANDLE;
    LogPrintfLevel(2, "REGISTRY::Write String value= %s; data=%s, error=%08x\n", value ? value : "<default>",
                   data, static_cast<unsigned>(rc));
    return rc == ERROR_SUCCESS;
}

bool REGISTRY::Write(const char* value, const void* bytes, int count) {
    LONG rc = (Key && (bytes || count == 0) && count >= 0)
                  ? RegSetValueExA(Key.get(), value, 0, REG_BINARY, static_cast<const BYTE*>(bytes),
                                   static_cast<DWORD>(count))
                  : ERROR_INVALID_PARAMETER;
    LogPrintfLevel(2, "REGISTRY::Write binary value= %s, error=%08x\n", value ? value : "<default>",
                   static_cast<unsigned>(rc));
    return rc == ERROR_SUCCESS;
}

bool REGISTRY::Write(const char* value, uint32_t number) {
    DWORD data = number;
    LONG rc = Key ? RegSetValueExA(Key.get(), value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                                   sizeof(data))
                  : ERROR_INVALID_HANDLE;
    LogPrintfLevel(2, "REGISTRY::Write DWORD value= %s; data=%ld, error=%08x\n", value ? value : "<default>",
                   static_cast<long>(number), static_cast<unsigned>(rc));
    return rc == ERROR_SUCCESS;
}

bool REGISTRY::ReadRaw(const char* value, BINARY& target) {
    BINARY data;
    DWORD type = 0;
    LONG rc = Key ? OSYSWIN::QueryValue(Key.get(), value, &type, data) : ERROR_INVALID_HANDLE;
    if (rc != ERROR_SUCCESS) {
        LogPrintfLevel(2, "REGISTRY::Read key=%s, ok=%d, error=%d\n", value ? value : "<default>", 0,
                       static_cast<int>(rc));
        return false;
    }
    int length = data.Length();
    if (type == REG_SZ) {
        while (length > 1 && data.Data()[length - 1] == 0)
            --length;
        if (length == 0) {
            // An empty string stored without its terminator still reads as one zero byte.
            data.Append("", 1);
            length = 1;
        }
    }
    target = BINARY(data.Data(), length, STRING_DEFAULT_BLOCKSIZE);
    LogPrintfLevel(2, "REGISTRY::Read key=%s, ok=%d, error=%d\n", value ? value : "<default>", 1, 0);
    return true;
}

bool REGISTRY::Read(const char* value, BINARY& target) {
    return ReadRaw(value, target);
}

bool REGISTRY::Read(const char* value, STRING& target) {
    BINARY data;
    if (!ReadRaw(value, data))
        return false;
    target = STRING(data);
    return true;
}

bool REGISTRY::Read(const char* value, void* buffer, unsigned long* size) {
    if (!Key || size == nullptr)
        return false;
    DWORD capacity = static_cast<DWORD>(*size);
    DWORD got = capacity;
    LONG rc = RegQueryValueExA(Key.get(), value, nullptr, nullptr, static_cast<BYTE*>(buffer), &got);
    if (rc == ERROR_SUCCESS && got < capacity && buffer != nullptr)
        static_cast<char*>(buffer)[got] = 0;
    *size = got;
    LogPrintfLevel(2, "REGISTRY::Read key=%s, ok=%d, error=%d\n", value ? value : "<default>",
                   rc == ERROR_SUCCESS ? 1 : 0, static_cast<int>(rc));
    return rc == ERROR_SUCCESS;
}

bool REGISTRY::DeleteValue(const char* value) {
    LONG rc = Key ? RegDeleteValueA(Key.get(), value) : ERROR_INVALID_HANDLE;
    LogPrintfLevel(2, "REGISTRY::delete value= %s, error=%d\n", value ? value : "<default>",
                   static_cast<int>(rc));
    return rc == ERROR_SUCCESS;
}

bool REGISTRY::DeleteKey(const char* subkey, bool recursive) {
    LONG rc = ERROR_INVALID_HANDLE;
    if (Key)
        rc =
            recursive ? static_cast<LONG>(SHDeleteKeyA(Key.get(), subkey)) : RegDeleteKeyA(Key.get(), subkey);
    LogPrintfLevel(2, "REGISTRY::delete key= %s, error=%d\n", subkey ? subkey : "<NULL>",
                   static_cast<int>(rc));
    return rc == ERROR_SUCCESS;
}
