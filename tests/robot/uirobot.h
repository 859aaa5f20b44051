// The UI robot: starts a Windows program, finds its windows, reads and operates its controls like a person
// and takes screenshots. Include this one header.
#pragma once

#include "tests/robot/controls.h"
#include "tests/robot/display_lock.h"
#include "tests/robot/image.h"
#include "tests/robot/keyboard.h"
#include "tests/robot/message_box.h"
#include "tests/robot/png_writer.h"
#include "tests/robot/robot_error.h"
#include "tests/robot/robot_process.h"
#include "tests/robot/screen_capture.h"
#include "tests/robot/text.h"
#include "tests/robot/wait.h"
#include "tests/robot/window.h"
#include "tests/robot/window_finder.h"
#include "tests/robot/wine_settings.h"
