// CreatePrivateFolder on Windows: a protected access list of three entries.
#include "lib/privatefolder.h"

#include <windows.h>

#include <sddl.h>

#include <vector>

#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/winhandles.h"

namespace {

constexpr int MAX_ATTEMPTS = 16;

// The SID of the user the process runs as; empty when the token cannot be read.
std::vector<BYTE> CurrentUserSid() {
    KERNELHANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.receive()))
        return {};
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size))
        return {};
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    return std::vector<BYTE>(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid));
}

std::vector<BYTE> WellKnownSid(WELL_KNOWN_SID_TYPE type) {
    std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
    DWORD size = static_cast<DWORD>(sid.size());
    if (!CreateWellKnownSid(type, nullptr, sid.data(), &size))
        return {};
    sid.resize(size);
    return sid;
}

// Full control for each SID, passed on to the files and folders made inside.
bool BuildAcl(const std::vector<std::vector<BYTE>>& sids, std::vector<BYTE>& acl) {
    DWORD size = sizeof(ACL);
    for (const auto& sid : sids)
        size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + static_cast<DWORD>(sid.size());
    acl.assign(size, 0);
    PACL list = reinterpret_cast<PACL>(acl.data());
    if (!InitializeAcl(list, size, ACL_REVISION))
        return false;
    for (const auto& sid : sids) {
        if (!AddAccessAllowedAceEx(list, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                                   FILE_ALL_ACCESS, const_cast<BYTE*>(sid.data())))
            return false;
    }
    return true;
}

// A suffix from the clock, the process and the attempt: unique, and not one to create beforehand.
STRING Suffix(int attempt) {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    STRING suffix;
    suffix.Printf("%lu-%08lx%02x", static_cast<unsigned long>(GetCurrentProcessId()),
                  static_cast<unsigned long>(counter.LowPart ^ GetTickCount()), attempt);
    return suffix;
}

// The folder's security descriptor: a protected list of the three.
class PRIVATEDESCRIPTOR {
public:
    PRIVATEDESCRIPTOR() {
        const std::vector<std::vector<BYTE>> sids{CurrentUserSid(), WellKnownSid(WinBuiltinAdministratorsSid),
                                                  WellKnownSid(WinLocalSystemSid)};
        for (const auto& sid : sids) {
            if (sid.empty())
                return;
        }
        Built = BuildAcl(sids, Acl) &&
                InitializeSecurityDescriptor(&Descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                SetSecurityDescriptorDacl(&Descriptor, TRUE, reinterpret_cast<PACL>(Acl.data()), FALSE) &&
                SetSecurityDescriptorControl(&Descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    }
    PRIVATEDESCRIPTOR(const PRIVATEDESCRIPTOR&) = delete;
    PRIVATEDESCRIPTOR& operator=(const PRIVATEDESCRIPTOR&) = delete;

    // Null when it could not be built.
    SECURITY_DESCRIPTOR* Get() { return Built ? &Descriptor : nullptr; }

private:
    std::vector<BYTE> Acl;
    SECURITY_DESCRIPTOR Descriptor{};
    bool Built = false;
};

} // namespace

STRING PrivateFolderAccessText() {
    PRIVATEDESCRIPTOR descriptor;
    char* text = nullptr;
    if (descriptor.Get() == nullptr ||
        !ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor.Get(), SDDL_REVISION_1,
                                                              DACL_SECURITY_INFORMATION, &text, nullptr))
        return STRING();
    const STRING result(text);
    LocalFree(text);
    return result;
}

STRING CreatePrivateFolder(const STRING& parent, const char* prefix) {
    PRIVATEDESCRIPTOR descriptor;
    if (descriptor.Get() == nullptr) {
        LogPrintf("CreatePrivateFolder no access list: %s\n", OSYS::GetLastErrorString().Text());
        return STRING();
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
    STRING base = parent;
    if (base.NotEmpty() && base.Right(1) != "\\" && base.Right(1) != "/")
        base = base || "\\";
    for (int attempt = 0; attempt < MAX_ATTEMPTS; ++attempt) {
        const STRING folder = base || prefix || Suffix(attempt);
        // Never an existing folder: what is in it may have been put there by anybody.
        if (CreateDirectoryA(folder.Text(), &attributes)) {
            LogPrintf("CreatePrivateFolder %s\n", folder.Text());
            return folder;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    LogPrintf("CreatePrivateFolder none below %s: %s\n", parent.Text(), OSYS::GetLastErrorString().Text());
    return STRING();
}
