// Screenshots: what is on the screen, copied from the screen's device context, as a person would see it.
//
// Frames and captions: on the plain test display Wine draws them only for programs started by RobotProcess
// (which sets Managed=N for them, see wine_settings.h); inside Wine's virtual desktop it draws them for every
// window. Both are checked by the RobotDesktop test, once on each.
#pragma once

#include "tests/robot/image.h"
#include "tests/robot/window.h"

#include <windows.h>

#include <string>

namespace uirobot {

// The part of the screen inside rect (screen coordinates), clipped to the screen.
Image captureScreenArea(RECT rect);
Image captureScreen();
// Brings the window to the front, lets it repaint, and captures its rectangle, frame included.
Image captureWindow(const Window& window);

// The name of the robot's desktop, e.g. "Default", or the name given to explorer /desktop=NAME.
std::string desktopName();
// True inside a Wine virtual desktop (explorer /desktop=NAME), not on the desktop that is the whole X screen.
bool inVirtualDesktop();

// A folder of screenshots of one test, created on first use.
class ScreenshotFolder {
public:
    explicit ScreenshotFolder(std::string path);
    const std::string& path() const { return path_; }
    // Writes name.png and returns its full path.
    std::string save(const Image& image, const std::string& name) const;

private:
    std::string path_;
};

} // namespace uirobot
