#include "lib/killpoint.h"

#ifdef ORVIK_KILL_POINTS

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace KILLPOINT {
namespace {

struct CHOSEN {
    std::string Point; // empty: none chosen
    uint64_t N = 1;
};

const CHOSEN& Chosen() {
    static const CHOSEN chosen = [] {
        CHOSEN result;
        const char* value = std::getenv("ORVIK_KILLPOINT");
        if (!value || !*value)
            return result;
        const std::string text(value);
        const size_t colon = text.find(':');
        result.Point = text.substr(0, colon);
        if (colon != std::string::npos)
            result.N = std::strtoull(text.c_str() + colon + 1, nullptr, 10);
        return result;
    }();
    return chosen;
}

[[noreturn]] void EndAbruptly() {
#ifdef _WIN32
    TerminateProcess(GetCurrentProcess(), KILLED_EXIT_CODE);
#else
    raise(SIGKILL);
#endif
    std::abort();
}

} // namespace

void Count(const char* point) {
    static std::atomic<uint64_t> passed{0};
    const CHOSEN& chosen = Chosen();
    if (chosen.Point.empty() || chosen.Point != point)
        return;
    if (++passed >= chosen.N)
        EndAbruptly();
}

void Amount(const char* point, uint64_t amount) {
    const CHOSEN& chosen = Chosen();
    if (!chosen.Point.empty() && chosen.Point == point && amount >= chosen.N)
        EndAbruptly();
}

} // namespace KILLPOINT

#endif
