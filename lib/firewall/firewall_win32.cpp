#include "lib/firewall/firewall.h"

#include "lib/orvik.h"
#include "lib/osys.h"

namespace {

// Assertions of this class name their source so.
const char* const SourceName = "firewall";

unsigned long Code(HRESULT hr) {
    return static_cast<unsigned long>(hr);
}

const char* Printable(const char* text) {
    return text != nullptr ? text : STRING_NULL_TEXT;
}

} // namespace

int FIREWALLSYSTEM::GetOSType() {
    return OSYS::GetOSType();
}

HRESULT FIREWALLSYSTEM::CreateInstance(REFCLSID clsid, REFIID iid, void** object) {
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object);
}

FIREWALLSYSTEM& FIREWALLSYSTEM::Windows() {
    static FIREWALLSYSTEM system;
    return system;
}

FIREWALL::FIREWALL() : FIREWALL(FIREWALLSYSTEM::Windows()) {}

FIREWALL::FIREWALL(FIREWALLSYSTEM& system) : System(system) {
    LogPrintf("FIREWALL::Constructor()\n");
    if (System.GetOSType() <= 2) {
        LogPrintf("FIREWALL::Constructor() WinOS < WinXP detected, constructor aborted\n");
        return;
    }
    Com.emplace();
    Open();
    LogPrintf("FIREWALL::~Constructor()\n");
}

// Manager -> local policy -> current profile; the first two are released whatever happens.
void FIREWALL::Open() {
    COMPTR<INetFwMgr> manager;
    HRESULT hr = System.CreateInstance(FIREWALL_CLSID_MANAGER, FIREWALL_IID_MANAGER, manager.ReceiveVoid());
    if (FAILED(hr)) {
        LogPrintf("FIREWALL::Constructor() CoCreateInstance failed: 0x%08lx\n", Code(hr));
        return;
    }
    COMPTR<INetFwPolicy> policy;
    hr = manager->get_LocalPolicy(policy.Receive());
    if (FAILED(hr)) {
        LogPrintf("FIREWALL::Constructor() get_LocalPolicy failed: 0x%08lx\n", Code(hr));
        return;
    }
    hr = policy->get_CurrentProfile(Profile.Receive());
    if (FAILED(hr)) {
        LogPrintf("FIREWALL::Constructor() get_CurrentProfile failed: 0x%08lx\n", Code(hr));
        Profile.Reset();
        return;
    }
    boolUpAndRunning = Profile ? 1 : 0;
}

FIREWALL::~FIREWALL() {
    LogPrintf("FIREWALL::Destructor()\n");
    Profile.Reset();
    // The constructor's initialisation is undone here so that the thread's COM use stays balanced.
    Com.reset();
    LogPrintf("FIREWALL::~Destructor()\n");
}

bool FIREWALL::CheckUsable(const char* appname, const char* friendlyname, bool withname) {
    Assert(boolUpAndRunning != 0, "this->boolUpAndRunning", SourceName, __LINE__, nullptr, false);
    Assert(appname != nullptr, "appname", SourceName, __LINE__, nullptr, false);
    if (withname)
        Assert(friendlyname != nullptr, "friendlyname", SourceName, __LINE__, nullptr, false);
    return boolUpAndRunning != 0;
}

HRESULT FIREWALL::IsAppEnabled(const char* appname, int* isenabled) {
    LogPrintf("FIREWALL::IsAppEnabled() appname=%s\n", Printable(appname));
    if (!CheckUsable(appname, nullptr, false))
        return 1;
    int scratch = 0;
    if (isenabled == nullptr)
        isenabled = &scratch;
    *isenabled = 0;
    if (appname == nullptr)
        return E_POINTER;

    COMPTR<INetFwAuthorizedApplications> applications;
    HRESULT hr = Profile->get_AuthorizedApplications(applications.Receive());
    if (FAILED(hr)) {
        LogPrintf("FIREWALL::IsAppEnabled() get_AuthorizedApplications failed: 0x%08lx\n", Code(hr));
        return hr;
    }
    const BSTRTEXT path(appname);
    if (path.IsNull()) {
        LogPrintf("FIREWALL::IsAppEnabled() SysAllocString failed: 0x%08lx\n", Code(E_OUTOFMEMORY));
        return E_OUTOFMEMORY;
    }
    COMPTR<INetFwAuthorizedApplication> application;
    if (FAILED(applications->Item(path.Get(), application.Receive())) || !application) {
        LogPrintf("FIREWALL::IsAppEnabled() Application is not in exception list\n");
        return S_OK;
    }
    LogPrintf("FIREWALL::IsAppEnabled() Application is in exception list\n");
    VARIANT_BOOL enabled = VARIANT_FALSE;
    hr = application->get_Enabled(&enabled);
    if (FAILED(hr)) {
        LogPrintf("FIREWALL::IsAppEnabled() get_Enabled failed: 0x%08lx\n", Code(hr));
    } else if (enabled != VARIANT_FALSE) {
        LogPrintf("FIREWALL::IsAppEnabled() Application is enabled\n");
        *isenabled = 1;
    } else {
        LogPrintf("FIREWALL::IsAppEnabled() Application is disabled\n");
    }
    LogPrintf("FIREWALL::~IsAppEnabled(), isenabled=%d\n", *isenabled);
    return hr;
}

int FIREWALL::AddApplication(const char* appname, const char* friendlyname) {
    LogPrintf("FIREWALL::AddApplication() appname=%s\n", Printable(appname));
    if (!CheckUsable(appname, friendlyname, true))
        return 0;
    const HRESULT hr = Add(appname, friendlyname);
    LogPrintf("FIREWALL::~AddApplication()\n");
    return hr == S_OK ? 1 : 0;
}

// The steps of AddApplication between its entry and exit lines; the result is the last HRESULT.
HRESULT FIREWALL::Add(const char* appname, const char* friendlyname) {
    int enabled = 0;
    HRESULT hr = IsAppEnabled(appname, &enabled);
    if (FAILED(hr)) {
        LogPrintf("FIREWALL::AddApplication() failed: 0x%08lx\n", Code(hr));
        return hr;
    }
    if (enabled) {
        LogPrintf("FIREWALL::AddApplication() Application is already added\n");
        return S_OK;
    }
    // A listed but disabled entry is replaced by the new, enabled one.
    COMPTR<INetFwAuthorizedApplications> applications;
    hr = Profile->get_AuthorizedApplications(applications.Receive());
    if (FAILED(hr)) {
        LogPrintf("FIREWALL::AddApplication() get_AuthorizedApplications failed: 0x%08lx\n", Code(hr));
        return hr;
    }
    COMPTR<INetFwAuthorizedApplication> application;
    hr = System.CreateInstance(FIREWALL_CLSID_AUTHORIZEDAPPLICATION, FIREWALL_IID_AUTHORIZEDAPPLICATION,
                               application.ReceiveVoid());
    if (FAILED(hr)) {
        LogPrintf("FIREWALL::AddApplication() CoCreateInstance failed: 0x%08lx\n", Code(hr));
        return hr;
    }
    const BSTRTEXT path(appname);
    if (path.IsNull()) {
        LogPrintf("FIREWALL::AddApplication() SysAllocString failed: 0x%08lx\n", Code(E_OUTOFMEMORY));
        return E_OUTOFMEMORY;
    }
    hr = application->put_ProcessImageFileName(path.Get());
    if (FAILED(hr)) {
        LogPrintf("FIREWALL::AddApplication() put_ProcessImageFileName failed: 0x%08lx\n", Code(hr));
        return hr;
    }
    // The list shows the name to the user: an empty one is refused like a failed allocation.
    const BSTRTEXT name(friendlyname);
    if (name.Length() == 0) {
        LogPrintf("FIREWALL::AddApplication() SysAllocString failed: 0x%08lx\n", Code(E_OUTOFMEMORY));
        return E_OUTOFMEMORY;
    }
    hr = application->put_Name(name.Get());
    if (FAILED(hr)) {
        LogPrintf("FIREWALL::AddApplication() put_Name failed: 0x%08lx\n", Code(hr));
        return hr;
    }
    hr = applications->Add(application.Get());
    if (FAILED(hr)) {
        LogPrintf("FIREWALL::AddApplication() Add failed: 0x%08lx\n", Code(hr));
        return hr;
    }
    LogPrintf("FIREWALL::AddApplication() Application %s is now added to the firewall\n", appname);
    return hr;
}

int FIREWALL::RemoveApplication(const char* appname) {
    LogPrintf("FIREWALL::RemoveApplication() appname=%s\n", Printable(appname));
    if (!CheckUsable(appname, nullptr, false))
        return 0;
    const HRESULT hr = Remove(appname);
    LogPrintf("FIREWALL::~RemoveApplication()\n");
    return hr == S_OK ? 1 : 0;
}

// The steps of RemoveApplication between its entry and exit lines; the result is the last HRESULT.
HRESULT FIREWALL::Remove(const char* appname) {
    int enabled = 0;
    HRESULT hr = IsAppEnabled(appname, &enabled);
    if (FAILED(hr)) {
        LogPrintf("FIREWALL::RemoveApplication() failed: 0x%08lx\n", Code(hr));
        return hr;
    }
    if (!enabled) {
        // A disabled entry is the user's decision and stays on the list.
        LogPrintf("FIREWALL::RemoveApplication() Application not found and therefor not removed\n");
        return S_OK;
    }
    COMPTR<INetFwAuthorizedApplications> applications;
    hr = Profile->get_AuthorizedApplications(applications.Receive());
    if (FAILED(hr)) {
        LogPrintf("FIREWALL::RemoveApplication() get_AuthorizedApplications failed: 0x%08lx\n", Code(hr));
        return hr;
    }
    const BSTRTEXT path(appname);
    if (path.Length() == 0) {
        LogPrintf("FIREWALL::RemoveApplication() SysAllocString failed: 0x%08lx\n", Code(E_OUTOFMEMORY));
        return E_OUTOFMEMORY;
    }
    hr = applications->Remove(path.Get());
    if (FAILED(hr)) {
        LogPrintf("FIREWALL::RemoveApplication() Remove failed: 0x%08lx\n", Code(hr));
        return hr;
    }
    LogPrintf("FIREWALL::RemoveApplication() Application %s is now removed in the firewall\n", appname);
    return hr;
}
