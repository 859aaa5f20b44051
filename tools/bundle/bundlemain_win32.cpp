// setupbundle.exe: the program part of a bundle made by "setuppack bundle". The package follows the program
// as a ZIP archive. Started, it checks every member of the package, unpacks it into a private folder below
// TEMP, runs setup.exe from there with its own arguments and start folder, waits, removes the folder and
// ends with setup's exit code.
#include <windows.h>

#include <memory>
#include <string>

#include "lib/textcodec.h"
#include "tools/bundle/bundlerun.h"
#include "tools/bundle/privatefolder.h"
#include "unzip/engine.h"

namespace {

using namespace orvik::unzip;

// The language library's numbers of the damage message and of the message-box title.
constexpr UINT IDS_ERR_ARCHIVE_DAMAGED = 3015;
constexpr UINT IDS_MSGBOX_TITLE = 2900;

// Used only when the package's own language library is damaged too.
constexpr const char16_t* FALLBACK_DAMAGED =
    u"The installation package is damaged: the file\n$FILE\ncannot be read from it.\n\n"
    u"Please obtain a new copy of the package and run it again.";
constexpr const char16_t* FALLBACK_DAMAGED_GERMAN =
    u"Das Installationspaket ist besch\u00e4digt: die Datei\n$FILE\nkann nicht daraus gelesen werden.\n\n"
    u"Bitte besorgen Sie eine neue Kopie des Pakets und starten Sie es erneut.";
constexpr const char16_t* UNPACK_FAILED =
    u"Setup cannot be unpacked into the temporary folder (is the drive full?).";

// The bundle keeps no log of its own: what went wrong goes to the debugger (setup.exe logs the rest).
void Trace(const wchar_t* what, DWORD error = GetLastError()) {
    wchar_t line[160];
    wsprintfW(line, L"setupbundle: %s (error %lu)\n", what, error);
    OutputDebugStringW(line);
}

struct HANDLECLOSE {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
struct LIBRARYFREE {
    void operator()(HMODULE m) const { FreeLibrary(m); }
};

const wchar_t* W(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}
std::u16string U(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}
std::string Utf8(const std::wstring& text) {
    return TEXTCODEC::Utf8FromUtf16(U(text));
}

std::wstring ModulePath() {
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(n);
    return path;
}

std::u16string ProductName() {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16) /* version */);
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    return data ? bundle::VersionText(static_cast<const uint8_t*>(data), SizeofResource(nullptr, found),
                                      u"ProductName")
                : u"";
}

bool WantsGerman(const std::u16string& arguments) {
    for (const char16_t* form : {u"/LANG:GER", u"/LANG=GER", u"-LANG GER"})
        if (arguments.find(form) != std::u16string::npos)
            return true;
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_GERMAN;
}

std::u16string LibraryText(HMODULE library, UINT id) {
    const wchar_t* text = nullptr;
    const int n = library ? LoadStringW(library, id, reinterpret_cast<LPWSTR>(&text), 0) : 0;
    return n > 0 ? std::u16string(reinterpret_cast<const char16_t*>(text), n) : u"";
}

// Says that the package is damaged, in the words of its own language library when that is intact.
void ShowDamage(ZipArchive& archive, const std::wstring& folder, const std::string& member,
                const std::u16string& arguments) {
    const bool german = WantsGerman(arguments);
    const std::string name = german ? "setupgerman.dll" : "setupenglish.dll";
    std::unique_ptr<std::remove_pointer_t<HMODULE>, LIBRARYFREE> library;
    if (archive.IsUsable()) {
        ExtractOptions options;
        options.quiet = 2;
        if (archive.Extract({name}, true, Utf8(folder), options).AllMatchedCompleted()) {
            const std::wstring path = folder + L"\\" + std::wstring(name.begin(), name.end());
            library.reset(LoadLibraryExW(path.c_str(), nullptr,
                                         LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        }
    }
    std::u16string text = LibraryText(library.get(), IDS_ERR_ARCHIVE_DAMAGED);
    if (text.empty())
        text = german ? FALLBACK_DAMAGED_GERMAN : FALLBACK_DAMAGED;
    std::u16string title = LibraryText(library.get(), IDS_MSGBOX_TITLE);
    const std::u16string product = ProductName();
    for (size_t at = title.find(u"Orvik"); !product.empty() && at != std::u16string::npos;
         at = title.find(u"Orvik", at + product.size()))
        title.replace(at, 5, product);
    if (title.empty())
        title = product.empty() ? u"Setup" : product;
    const std::wstring self = ModulePath();
    const std::u16string subject = member.empty() ? U(self) : TEXTCODEC::Utf16FromUtf8(member);
    library.reset(); // before the folder goes
    MessageBoxW(nullptr, W(bundle::DamageMessage(text, subject)), W(title), MB_OK | MB_ICONERROR);
}

// Starts setup.exe from folder with the arguments and the current folder as they were; its exit code.
int RunSetup(const std::wstring& folder, const std::u16string& arguments) {
    const std::wstring program = folder + L"\\setup.exe";
    std::wstring commandline = L"\"" + program + L"\"";
    if (!arguments.empty())
        commandline += L" " + std::wstring(arguments.begin(), arguments.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandline.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        Trace(L"setup.exe cannot be started");
        return bundle::EXIT_CANNOT_START;
    }
    std::unique_ptr<void, HANDLECLOSE> ownedProcess(process.hProcess), thread(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = bundle::EXIT_CANNOT_START;
    GetExitCodeProcess(process.hProcess, &code);
    return static_cast<int>(code);
}

int Run(const std::wstring& folder, const std::u16string& arguments) {
    const bool quiet = bundle::Unattended(arguments);
    CollectedMessages messages;
    ZipArchive archive(messages);
    archive.Open(Utf8(ModulePath()), 2);
    std::string failed;
    if (!bundle::PackageIsWhole(archive, failed)) {
        Trace(L"the package is damaged", 0);
        if (!quiet)
            ShowDamage(archive, folder, failed, arguments);
        return bundle::EXIT_PACKAGE_DAMAGED;
    }
    ExtractOptions options;
    options.quiet = 2;
    const ExtractReport unpacked = archive.Extract({}, false, Utf8(folder), options);
    if (!unpacked.AllMatchedCompleted()) {
        Trace(L"the package cannot be unpacked", static_cast<DWORD>(unpacked.systemError));
        if (!quiet)
            MessageBoxW(nullptr, W(UNPACK_FAILED), W(ProductName()), MB_OK | MB_ICONERROR);
        return bundle::EXIT_CANNOT_START;
    }
    return RunSetup(folder, arguments);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The bundle usually starts from a downloads folder: no library is taken from beside it.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    const std::u16string arguments = bundle::ArgumentsOf(U(GetCommandLineW()));
    const std::wstring folder = CreatePrivateTempFolder("setup-");
    if (folder.empty()) {
        Trace(L"no private folder below TEMP");
        if (!bundle::Unattended(arguments))
            MessageBoxW(nullptr, W(UNPACK_FAILED), W(ProductName()), MB_OK | MB_ICONERROR);
        return bundle::EXIT_CANNOT_START;
    }
    const int code = Run(folder, arguments);
    DeleteFolderTree(folder);
    return code;
}
