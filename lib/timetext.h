// Texts of moments in local time, in the fixed forms the log, the assertion reports and the configuration's
// dated warnings use: "hh:mm:ss", "yyyy-mm-dd" and "yyyy-mm-dd  hh:mm:ss".
#pragma once

#include <ctime>

#include "lib/strings.h"

namespace TIMETEXT {
STRING TimeNow();
STRING DateNow();
// when 0: now.
STRING DateTime(time_t when);
STRING Date(time_t when);
STRING Time(time_t when);
} // namespace TIMETEXT
