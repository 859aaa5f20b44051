#include "tests/common/fakefirewall.h"

#include <cwchar>

namespace {

// Reference counting, interface look-up and the unused IDispatch part shared by all fake objects.
template <class I> class FAKEOBJECT : public I {
public:
    explicit FAKEOBJECT(FAKEFIREWALL& firewall) : Firewall(firewall) { ++Firewall.LiveObjects; }
    virtual ~FAKEOBJECT() { --Firewall.LiveObjects; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, __uuidof(I))) {
            *object = static_cast<I*>(this);
            this->AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++References; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --References;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

protected:
    FAKEFIREWALL& Firewall;

private:
    ULONG References = 1;
};

std::wstring FromBstr(BSTR text) {
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

// One application: a new one from CreateInstance, or a copy of a list entry from Item.
class FAKEAPPLICATION : public FAKEOBJECT<INetFwAuthorizedApplication> {
public:
    FAKEAPPLICATION(FAKEFIREWALL& firewall, FAKEENTRY entry)
        : FAKEOBJECT(firewall), Entry(std::move(entry)) {}
    const FAKEENTRY& Get() const { return Entry; }

    HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override {
        *name = SysAllocString(Entry.Name.c_str());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Name(BSTR name) override {
        const HRESULT hr = Firewall.Enter(FAKEOP::PutName);
        if (SUCCEEDED(hr))
            Entry.Name = FromBstr(name);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_ProcessImageFileName(BSTR* path) override {
        *path = SysAllocString(Entry.Path.c_str());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_ProcessImageFileName(BSTR path) override {
        const HRESULT hr = Firewall.Enter(FAKEOP::PutImageFileName);
        if (SUCCEEDED(hr))
            Entry.Path = FromBstr(path);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_IpVersion(NET_FW_IP_VERSION*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_IpVersion(NET_FW_IP_VERSION) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Scope(NET_FW_SCOPE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Scope(NET_FW_SCOPE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RemoteAddresses(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_RemoteAddresses(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* enabled) override {
        const HRESULT hr = Firewall.Enter(FAKEOP::Enabled);
        if (SUCCEEDED(hr))
            *enabled = Entry.Enabled ? VARIANT_TRUE : VARIANT_FALSE;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL enabled) override {
        Entry.Enabled = enabled != VARIANT_FALSE;
        return S_OK;
    }

private:
    FAKEENTRY Entry;
};

const HRESULT NotListed = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

class FAKEAPPLICATIONS : public FAKEOBJECT<INetFwAuthorizedApplications> {
public:
    using FAKEOBJECT::FAKEOBJECT;

    HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override {
        *count = static_cast<LONG>(Firewall.List.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Add(INetFwAuthorizedApplication* application) override {
        const HRESULT hr = Firewall.Enter(FAKEOP::Add);
        if (FAILED(hr))
            return hr;
        auto* ours = dynamic_cast<FAKEAPPLICATION*>(application);
        if (ours == nullptr || ours->Get().Path.empty())
            return E_INVALIDARG;
        Firewall.Put(ours->Get());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Remove(BSTR path) override {
        const HRESULT hr = Firewall.Enter(FAKEOP::Remove);
        if (FAILED(hr))
            return hr;
        return Firewall.Erase(FromBstr(path)) ? S_OK : NotListed;
    }
    HRESULT STDMETHODCALLTYPE Item(BSTR path, INetFwAuthorizedApplication** application) override {
        *application = nullptr;
        const HRESULT hr = Firewall.Enter(FAKEOP::Item);
        if (FAILED(hr))
            return hr;
        const FAKEENTRY* entry = Firewall.Find(FromBstr(path));
        if (entry == nullptr)
            return NotListed;
        *application = new FAKEAPPLICATION(Firewall, *entry);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return E_NOTIMPL; }
};

class FAKEPROFILE : public FAKEOBJECT<INetFwProfile> {
public:
    using FAKEOBJECT::FAKEOBJECT;

    HRESULT STDMETHODCALLTYPE
    get_AuthorizedApplications(INetFwAuthorizedApplications** applications) override {
        *applications = nullptr;
        const HRESULT hr = Firewall.Enter(FAKEOP::AuthorizedApplications);
        if (SUCCEEDED(hr))
            *applications = new FAKEAPPLICATIONS(Firewall);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_Type(NET_FW_PROFILE_TYPE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_FirewallEnabled(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_FirewallEnabled(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ExceptionsNotAllowed(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_ExceptionsNotAllowed(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_NotificationsDisabled(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_NotificationsDisabled(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_UnicastResponsesToMulticastBroadcastDisabled(VARIANT_BOOL*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE put_UnicastResponsesToMulticastBroadcastDisabled(VARIANT_BOOL) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_RemoteAdminSettings(INetFwRemoteAdminSettings**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_IcmpSettings(INetFwIcmpSettings**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_GloballyOpenPorts(INetFwOpenPorts**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Services(INetFwServices**) override { return E_NOTIMPL; }
};

class FAKEPOLICY : public FAKEOBJECT<INetFwPolicy> {
public:
    using FAKEOBJECT::FAKEOBJECT;

    HRESULT STDMETHODCALLTYPE get_CurrentProfile(INetFwProfile** profile) override {
        *profile = nullptr;
        const HRESULT hr = Firewall.Enter(FAKEOP::CurrentProfile);
        if (SUCCEEDED(hr))
            *profile = new FAKEPROFILE(Firewall);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetProfileByType(NET_FW_PROFILE_TYPE, INetFwProfile**) override {
        return E_NOTIMPL;
    }
};

class FAKEMANAGER : public FAKEOBJECT<INetFwMgr> {
public:
    using FAKEOBJECT::FAKEOBJECT;

    HRESULT STDMETHODCALLTYPE get_LocalPolicy(INetFwPolicy** policy) override {
        *policy = nullptr;
        const HRESULT hr = Firewall.Enter(FAKEOP::LocalPolicy);
        if (SUCCEEDED(hr))
            *policy = new FAKEPOLICY(Firewall);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_CurrentProfileType(NET_FW_PROFILE_TYPE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RestoreDefaults() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsPortAllowed(BSTR, NET_FW_IP_VERSION, LONG, BSTR, NET_FW_IP_PROTOCOL, VARIANT*,
                                            VARIANT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE IsIcmpTypeAllowed(NET_FW_IP_VERSION, BSTR, BYTE, VARIANT*, VARIANT*) override {
        return E_NOTIMPL;
    }
};

// Creates the object and hands out the asked interface, as CoCreateInstance does.
template <class T> HRESULT Hand(T* object, REFIID iid, void** result) {
    const HRESULT hr = object->QueryInterface(iid, result);
    object->Release();
    return hr;
}

} // namespace

int FAKEFIREWALL::GetOSType() {
    return OSType;
}

HRESULT FAKEFIREWALL::CreateInstance(REFCLSID clsid, REFIID iid, void** object) {
    *object = nullptr;
    if (IsEqualCLSID(clsid, FIREWALL_CLSID_MANAGER)) {
        const HRESULT hr = Enter(FAKEOP::CreateManager);
        return FAILED(hr) ? hr : Hand(new FAKEMANAGER(*this), iid, object);
    }
    if (IsEqualCLSID(clsid, FIREWALL_CLSID_AUTHORIZEDAPPLICATION)) {
        const HRESULT hr = Enter(FAKEOP::CreateApplication);
        return FAILED(hr) ? hr : Hand(new FAKEAPPLICATION(*this, FAKEENTRY{}), iid, object);
    }
    return REGDB_E_CLASSNOTREG;
}

const FAKEENTRY* FAKEFIREWALL::Find(const std::wstring& path) const {
    for (const FAKEENTRY& entry : List)
        if (_wcsicmp(entry.Path.c_str(), path.c_str()) == 0)
            return &entry;
    return nullptr;
}

void FAKEFIREWALL::Put(const FAKEENTRY& entry) {
    for (FAKEENTRY& existing : List)
        if (_wcsicmp(existing.Path.c_str(), entry.Path.c_str()) == 0) {
            existing = entry;
            return;
        }
    List.push_back(entry);
}

bool FAKEFIREWALL::Erase(const std::wstring& path) {
    for (auto at = List.begin(); at != List.end(); ++at)
        if (_wcsicmp(at->Path.c_str(), path.c_str()) == 0) {
            List.erase(at);
            return true;
        }
    return false;
}

HRESULT FAKEFIREWALL::Enter(FAKEOP op) {
    ++CallCounts[op];
    const auto failure = Failures.find(op);
    return failure == Failures.end() ? S_OK : failure->second;
}

int FAKEFIREWALL::Calls(FAKEOP op) const {
    const auto count = CallCounts.find(op);
    return count == CallCounts.end() ? 0 : count->second;
}

int FAKEFIREWALL::AllCalls() const {
    int all = 0;
    for (const auto& count : CallCounts)
        all += count.second;
    return all;
}
