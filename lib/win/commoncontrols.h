// The common controls (progress bars, list views, themed buttons) are registered before the first window of the
// program is made rather than at start: loading their library connects to the display and loads the visual
// styles, which an unattended run that shows nothing should not wait for.
#pragma once

// Registers every common control class once per process; later calls return at once.
void InitialiseCommonControls();
