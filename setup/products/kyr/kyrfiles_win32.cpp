// What the product hooks and the settings migration share: the guarded tree copy and the REXX option.
#include <windows.h>

#include "lib/filename.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/ownedpath.h"
#include "setup/products/kyr/kyrsetuphook.h"

bool CopyTreeOutside(const STRING& from, const STRING& to, const char* context) {
    if (IsAtOrBelow(NormalFolder(to), NormalFolder(from)) || ResolvesAtOrBelow(to, from) ||
        HasParentComponent(from) || HasParentComponent(to)) {
        LogPrintf("%s refuses to copy %s into %s: the target lies inside the source\n", context, from.Text(),
                  to.Text());
        return false;
    }
    if (!FILENAME(from).IsDirectory())
        return false;
    const bool copied = CopyDirectory(from.c_str(), "*", to.c_str(), true, false);
    LogPrintf("%s copied %s into %s: %d\n", context, from.Text(), to.Text(), copied ? 1 : 0);
    return copied;
}

void SwitchOffRexxGlobalScbs() {
    REGISTRY options(REGISTRY::CurrentUser(), "Software\\Enterprise Alternatives\\REXX", "ExecOptions",
                     REGISTRY::MODE_CREATE);
    const bool written = options.IsOpen() && options.Write("GlobalSCBs", uint32_t(0));
    LogPrintf("SETUP::SwitchOffRexxGlobalScbs %d\n", written ? 1 : 0);
}
