// An in-process stand-in for the Windows Firewall manager: the manager, policy, profile, list and entry
// objects that FIREWALL uses, over a real list of authorised applications kept in memory. Every operation
// can be made to fail with a chosen HRESULT, and the calls and live objects are counted.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "lib/firewall/firewall.h"

enum class FAKEOP {
    CreateManager,
    CreateApplication,
    LocalPolicy,
    CurrentProfile,
    AuthorizedApplications,
    Item,
    Enabled,
    PutImageFileName,
    PutName,
    Add,
    Remove,
};

struct FAKEENTRY {
    std::wstring Path;
    std::wstring Name;
    bool Enabled = true;
};

class FAKEFIREWALL : public FIREWALLSYSTEM {
public:
    int GetOSType() override;
    HRESULT CreateInstance(REFCLSID clsid, REFIID iid, void** object) override;

    // The list of authorised applications, in the order they were added.
    std::vector<FAKEENTRY> List;
    const FAKEENTRY* Find(const std::wstring& path) const;
    void Put(const FAKEENTRY& entry);
    bool Erase(const std::wstring& path);

    void Fail(FAKEOP op, HRESULT hr) { Failures[op] = hr; }
    // Counts the operation and answers the failure set for it (S_OK when none).
    HRESULT Enter(FAKEOP op);
    int Calls(FAKEOP op) const;
    int AllCalls() const;

    int OSType = 5;
    long LiveObjects = 0;

private:
    std::map<FAKEOP, HRESULT> Failures;
    std::map<FAKEOP, int> CallCounts;
};
