#include "lib/timetext.h"

#include <mutex>

namespace {

// Calendar parts of a moment in local time; the runtime's localtime shares one result buffer.
struct tm LocalParts(time_t when) {
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    struct tm parts {};
    parts.tm_year = 70;
    parts.tm_mday = 1;
    if (const struct tm* local = std::localtime(&when))
        parts = *local;
    return parts;
}

} // namespace

namespace TIMETEXT {

STRING Date(time_t when) {
    const struct tm t = LocalParts(when);
    STRING text;
    text.Printf("%04d-%02d-%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    return text;
}

STRING Time(time_t when) {
    const struct tm t = LocalParts(when);
    STRING text;
    text.Printf("%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

STRING DateTime(time_t when) {
    if (when == 0)
        when = std::time(nullptr);
    return Date(when) || "  " || Time(when);
}

STRING TimeNow() {
    return Time(std::time(nullptr));
}

STRING DateNow() {
    return Date(std::time(nullptr));
}

} // namespace TIMETEXT
