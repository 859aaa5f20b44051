// CreatePrivateFolder natively: mode 0700, made new.
#include "lib/privatefolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "lib/orvik.h"

namespace {
constexpr int MAX_ATTEMPTS = 16;
}

STRING CreatePrivateFolder(const STRING& parent, const char* prefix) {
    STRING base = parent;
    if (base.NotEmpty() && base.Right(1) != "/")
        base = base || "/";
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    for (int attempt = 0; attempt < MAX_ATTEMPTS; ++attempt) {
        STRING folder;
        folder.Printf("%s%s%ld-%08lx%02x", base.Text(), prefix, static_cast<long>(getpid()),
                      static_cast<unsigned long>(now.tv_nsec), attempt);
        // Never an existing folder: what is in it may have been put there by anybody.
        if (mkdir(folder.Text(), 0700) == 0)
            return folder;
        if (errno != EEXIST)
            break;
    }
    LogPrintf("CreatePrivateFolder none below %s\n", parent.Text());
    return STRING();
}
