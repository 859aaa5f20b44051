// Kill points: the process ends abruptly, as at a power cut or "End task", at a point a test chooses, so
// that the test can show what the next run makes of what is left. Only builds configured with
// ORVIK_KILL_POINTS (the test builds) read the environment variable ORVIK_KILLPOINT, "<point>:<n>":
//   Count(point)          ends the process the n-th time the point is passed (n defaults to 1);
//   Amount(point, amount) ends it once amount has reached n.
// Other builds compile both to nothing.
#pragma once

#include <cstdint>

namespace KILLPOINT {

// The exit code of a process ended at a kill point.
constexpr unsigned KILLED_EXIT_CODE = 0xDEAD;

#ifdef ORVIK_KILL_POINTS
void Count(const char* point);
void Amount(const char* point, uint64_t amount);
#else
inline void Count(const char*) {}
inline void Amount(const char*, uint64_t) {}
#endif

} // namespace KILLPOINT
