// The product's service program, which the installation stops before it replaces files and starts again
// afterwards, the recovery of an interrupted run starts again, and the removal stops.
#pragma once

// The console title of the product's service program while setup starts it.
constexpr const char* SERVICE_CONTROL_TITLE = "Orvik Service-Control";
// The product's service program in the install directory.
constexpr const char* SERVICE_PROGRAM = "service.exe";
