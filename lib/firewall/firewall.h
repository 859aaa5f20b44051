// FIREWALL: puts programs on the Windows Firewall list of authorised applications, tests them there and
// takes them off again, on the profile that is current when the object is made. Every step is logged.
#pragma once

#include <windows.h>

#include <netfw.h>

#include <optional>

#include "lib/firewall/comptr.h"
#include "lib/winhandles.h"

// The COM classes the firewall creates.
inline const CLSID FIREWALL_CLSID_MANAGER = {
    0x304CE942, 0x6E39, 0x40D8, {0x94, 0x3A, 0xB9, 0x13, 0xC4, 0x0C, 0x9C, 0xD4}};
inline const IID FIREWALL_IID_MANAGER = {
    0xF7898AF5, 0xCAC4, 0x4632, {0xA2, 0xEC, 0xDA, 0x06, 0xE5, 0x11, 0x1A, 0xF2}};
inline const CLSID FIREWALL_CLSID_AUTHORIZEDAPPLICATION = {
    0xEC9846B3, 0x2762, 0x4A6B, {0xA2, 0x14, 0x6A, 0xCB, 0x60, 0x34, 0x62, 0xD2}};
inline const IID FIREWALL_IID_AUTHORIZEDAPPLICATION = {
    0xB5E64FFA, 0xC2C5, 0x444E, {0xA3, 0x01, 0xFB, 0x5E, 0x00, 0x01, 0x80, 0x50}};

// What FIREWALL takes from the system: the OS generation and the creation of its COM objects. The default
// is the real system; tests hand in one that creates objects of their own.
class FIREWALLSYSTEM {
public:
    virtual ~FIREWALLSYSTEM() = default;
    // OSYS::GetOSType: 2 or less is older than Windows XP.
    virtual int GetOSType();
    // CoCreateInstance of clsid, in process.
    virtual HRESULT CreateInstance(REFCLSID clsid, REFIID iid, void** object);

    static FIREWALLSYSTEM& Windows();
};

class FIREWALL {
public:
    FIREWALL();
    explicit FIREWALL(FIREWALLSYSTEM& system);
    ~FIREWALL();
    FIREWALL(const FIREWALL&) = delete;
    FIREWALL& operator=(const FIREWALL&) = delete;

    // *isenabled := 1 when appname (full path of the program file) is listed and enabled, else 0. Without a
    // profile it returns 1 and leaves *isenabled alone.
    HRESULT IsAppEnabled(const char* appname, int* isenabled);
    // 1 when the program is on the list and enabled afterwards (added now or before), 0 otherwise.
    int AddApplication(const char* appname, const char* friendlyname);
    // 1 when it was removed or there was nothing enabled to remove, 0 otherwise.
    int RemoveApplication(const char* appname);

    // 1 when the current profile was obtained; callers read it before they go on.
    int boolUpAndRunning = 0;

private:
    void Open();
    bool CheckUsable(const char* appname, const char* friendlyname, bool withname);
    HRESULT Add(const char* appname, const char* friendlyname);
    HRESULT Remove(const char* appname);

    COMPTR<INetFwProfile> Profile;
    FIREWALLSYSTEM& System;
    std::optional<COMSCOPE> Com; // from the constructor, on systems that have the firewall
};
