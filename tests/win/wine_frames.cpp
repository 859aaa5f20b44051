// Wine reads this when a program starts: every later run of this program (ctest starts one per test, after
// listing them with a first run) gets window frames drawn by Wine in its screenshots. Set while the program
// starts, before its tests are listed.
#include "tests/robot/uirobot.h"

namespace {
const bool FramesDrawnByWine = (uirobot::letWineDrawWindowFrames("win_tests.exe"), true);
} // namespace
