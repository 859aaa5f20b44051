#include "lib/orvik_platform.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace LOGPLATFORM {

bool LOGSINK::Open(KIND kind, const char* filename, bool writethrough, bool keep) {
    Close();
    if (kind == KIND::StdErr || kind == KIND::Console) {
        // Without a console to allocate, the terminal of standard output is the console.
        Handle = kind == KIND::StdErr ? STDERR_FILENO : STDOUT_FILENO;
        Owned = false;
        return true;
    }
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (keep ? O_APPEND : O_TRUNC) | (writethrough ? O_SYNC : 0);
    int fd = ::open(filename, flags, 0644);
    if (fd < 0)
        return false;
    Handle = fd;
    Owned = true;
    return true;
}

void LOGSINK::Write(const char* text, size_t length) {
    if (Handle == Invalid)
        return;
    while (length > 0) {
        ssize_t n = ::write(static_cast<int>(Handle), text, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        text += n;
        length -= static_cast<size_t>(n);
    }
}

void LOGSINK::Close() {
    if (Handle != Invalid && Owned)
        ::close(static_cast<int>(Handle));
    Handle = Invalid;
    Owned = false;
}

void DebuggerOutput(const char* text) {
    std::fputs(text, stderr);
}

STRING DefaultLogFileName() {
    return STRING("logit.log");
}

bool AskContinueAfterAssertion(const char* title, const char* text) {
    // No dialog here: the report goes to the terminal and the program continues.
    std::fprintf(stderr, "%s\n%s\n", title, text);
    return true;
}

} // namespace LOGPLATFORM
