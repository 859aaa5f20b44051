// The setup program's main function, called by the application root with the program arguments.
#pragma once

// Returns the process exit code.
int SetupMain(int argc, char** argv);
