// Settings for the programs the robot starts when it runs under Wine.
//
// What was measured on the test display (Xvfb, no window manager), Wine 8:
// - By default Wine hands top-level windows to the X window manager ("managed" windows): the frame and
// caption
//   are left to it, so with none they are missing, and each window that is hidden or destroyed makes the
//   program wait 2 s for a window manager that never answers (a message box answered, a program that exits).
// - With the program's X11 driver setting Managed=N Wine draws frames and captions itself and nothing waits:
//   screenshots show the caption bar, and a session runs about ten times faster. (Decorated=N alone gives the
//   frames but keeps the waits.) The value stays in the prefix's registry; the robot writes it at every
//   start.
// - Inside Wine's virtual desktop (tools/wine-run --desktop, i.e. explorer /desktop=NAME,WxH) windows are
//   framed as well; a program the robot starts from there opens in the same virtual desktop.
#pragma once

#include <string>

namespace uirobot {

bool runningUnderWine();

// Under Wine, sets Managed=N for the program with this file name (e.g. "setup.exe") in the current user's
// per-program Wine settings, which the program reads when it starts. Does nothing on Windows.
void letWineDrawWindowFrames(const std::string& programFileName);

} // namespace uirobot
