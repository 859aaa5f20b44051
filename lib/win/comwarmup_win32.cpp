#include "lib/win/comwarmup.h"

#include <objbase.h>
#include <unknwn.h>

#include <utility>

#include "lib/firewall/comptr.h"
#include "lib/orvik.h"
#include "lib/osys.h"

COMWARMUP::COMWARMUP(std::vector<CLSID> classes)
    : Classes(std::move(classes)), Ready(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      Release(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (Classes.empty() || !Ready || !Release)
        return;
    Thread = OSYS::CreateThread(Run, this);
    if (!Thread)
        SetEvent(Ready.get());
}

COMWARMUP::~COMWARMUP() {
    if (!Thread)
        return;
    SetEvent(Release.get());
    OSYS::WaitThread(Thread, OSYS::WAIT_FOREVER);
}

bool COMWARMUP::WaitReady() {
    if (!Thread)
        return false;
    WaitForSingleObject(Ready.get(), INFINITE);
    return Loaded == static_cast<LONG>(Classes.size());
}

void COMWARMUP::Run(void* self) {
    auto& warmup = *static_cast<COMWARMUP*>(self);
    {
        // The apartment holds the servers it loaded: it stays until the owner lets go.
        const COMSCOPE com;
        std::vector<COMPTR<IUnknown>> factories;
        for (const CLSID& clsid : warmup.Classes) {
            COMPTR<IUnknown> factory;
            if (SUCCEEDED(com.GetResult()) &&
                SUCCEEDED(CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                           factory.ReceiveVoid())))
                factories.push_back(std::move(factory));
        }
        warmup.Loaded = static_cast<LONG>(factories.size());
        LogPrintf("COMWARMUP %d of %d classes loaded\n", static_cast<int>(warmup.Loaded),
                  static_cast<int>(warmup.Classes.size()));
        SetEvent(warmup.Ready.get());
        // An apartment's thread keeps serving its window while it waits.
        HANDLE release = warmup.Release.get();
        DWORD signalled = 0;
        if (FAILED(CoWaitForMultipleHandles(0, INFINITE, 1, &release, &signalled)))
            WaitForSingleObject(release, INFINITE);
    }
}
