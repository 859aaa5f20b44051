// Assertions of the toolkit with their condition written exactly as the reports show it.
#pragma once

#include "lib/orvik.h"

#define WIN_ASSERT(cond, text) Assert(!!(cond), text, __FILE__, __LINE__, nullptr, false)
#define WIN_ASSERT_INFO(cond, text, info) Assert(!!(cond), text, __FILE__, __LINE__, (info), false)
