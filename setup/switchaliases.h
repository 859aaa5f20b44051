// The switches that administrators' scripts and deployment tools send to other installers, taken as the
// equivalents of this program's own: "/DIR=folder" is "/DIR:folder", "/LOG=file" is "/LOGIT:file", "/LANG="
// is "/LANG:" (with the language also given as "german", "de", "english" or "en"). "/NORESTART" (setup never
// restarts the machine), "/SP-" (setup asks nothing before its wizard) and "/NOCANCEL" (the copy cannot be
// cancelled anyway) are accepted and change nothing.
#pragma once

#include <string>
#include <vector>

// The switches that are accepted for other installers' sake and have nothing to do here.
bool IsAcceptedForeignSwitch(const std::string& argument);

// The arguments with every alias written in this program's own form. A value in double quotes after "="
// that the command line split at its blanks ("/DIR="C:\Program", "Files\App"") is joined again.
std::vector<std::string> WithSwitchAliases(const std::vector<std::string>& arguments);

// A "/DIR:" value that names no drive or root ("Tools\\DemoPad", "..\\Apps") taken against startdir, the folder
// setup was started from: setup itself runs in its own folder (and a bundle's setup in a temporary one), where
// a relative destination would land. Other values stay as they are.
std::string AbsoluteFromStartDir(const std::string& folder, const std::string& startdir);

// Applies WithSwitchAliases to the program arguments; the language and the log follow what the aliases
// ask for. True when an alias was found.
bool ApplySwitchAliases();
