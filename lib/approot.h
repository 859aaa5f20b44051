// The application root (log prefix ORVIKAPP): turns the process start into a call of the application's main
// function, collects the program arguments from the command line and argument files, chooses the language,
// answers argument queries and writes the closing log lines. On Windows it also loads the language library
// and shows the standard message boxes.
#pragma once

#include <cstdint>

#include "lib/stringarray.h"
#include "lib/strings.h"

// The argument vector built from the command line: 255 arguments and the terminating null.
constexpr int ARGV_MAX_SLOTS = 256;

// The application's main function: argument count, argument vector, the runtime library's environment.
using APPMAIN = int (*)(int argc, char** argv, char** envp);

// Splits text in place into at most maximum - 1 arguments stored in slots, followed by a null slot; returns
// the count. Arguments are separated by blanks (not tabs); a double quote at the start of an argument makes
// it run to the next double quote. With programpath given, slot 0 is that path instead of the name as typed
// (and a command line without any argument still yields it as the only one). Never writes beyond
// slots[maximum - 1].
int SplitCommandLine(char* text, const char* programpath, char** slots, int maximum);

// ---- Program arguments ------------------------------------------------------------------------------------

// What argument acquisition needs to know about the process.
struct ARGUMENTSOURCE {
    STRING ProgramPath; // full path of the program file
    int Count = 0;      // command-line arguments, program name first
    char** Vector = nullptr;
    int DefaultLanguage = 9; // primary language of the user (Windows language identifier)
};

// Fills gStartDir, gAppDir (which becomes the working directory), gAppName, gMainThreadId, the program
// arguments (command line, then "commandline.ini" and "<program>_commandline.ini" in gAppDir and gStartDir),
// applies logging switches, the "STARTUPDELAY" and the "LANG" choice (gLocale).
void AcquireArguments(const ARGUMENTSOURCE& source);

// All program arguments: the command line first, then the argument-file lines.
extern STRINGARRAY gArgs;

// The program arguments collected so far.
int GetArgCount();
STRING GetArg(int index); // null outside 0 <= index < GetArgCount()
// Replaces the collected arguments (acquisition, tests of code that reads arguments).
void SetArgs(int count, const char* const* arguments);

// True when some argument is "/" or "-" followed by exactly name (case ignored).
bool TestArg(const char* name);
// True when more than index arguments are "-name" or start with "/name:" (case ignored).
bool TestArgValue(const char* name, int index);
// Value of the index-th argument "/name[:]value" or "-name value"; a null STRING when there is none.
STRING GetArgValue(const char* name, int index);

// The file names argument acquisition reads, in order, for the program at programpath.
struct ARGUMENTFILES {
    int Count = 0;
    STRING Names[4];
};
ARGUMENTFILES ArgumentFileNames(const char* programpath, const STRING& appdir, const STRING& startdir);

// An argument file lies in a folder others may write to: what it may say is limited. argument is one of its
// lines, folder the file's own folder, temp the user's temporary folder. Returns the argument to use:
// - null for a switch only the real command line may give (the command verbs, "REMOVE", "FINAL", "ORDER",
//   "AUTODIR");
// - for a log switch, its file joined to folder when relative or missing ("logit.log"); null when it names
//   a file that is neither below folder nor below temp;
// - any other argument as it is.
STRING ArgumentFileLine(const STRING& argument, const STRING& folder, const STRING& temp);

// Language identifier named by a "LANG" value ("GER", "ENGL", "FRENCH", "HUNGARIAN", case ignored), or
// defaultlanguage for anything else, including a null value.
int LanguageFromName(const STRING& value, int defaultlanguage);
// Ending of the language library's file name for a language: "german.dll", "english.dll", ...
const char* LanguageLibrarySuffix(int language);

// ---- Folders ----------------------------------------------------------------------------------------------

// The folder part of a path (without the separator); "." when the path has none.
STRING DirectoryOf(const char* path);
// A build output folder (...\Debug, \Debug2, \Release, \Release2) whose parent holds main.cpp or approot.cpp
// gives that parent: a program run from the build tree then finds its files in the project folder.
STRING AdjustDevelopmentDir(const STRING& directory);

// ---- Start and end ----------------------------------------------------------------------------------------

// Milliseconds since the application clock's base; the first call, or reset, sets the base to now.
int64_t ElapsedMilliseconds(bool reset = false);

// Sets gAppName (display name if given, else name; first letter upper case) and gAppVersion.
void SetApplicationIdentity(const char* name, const char* version, const char* displayname);

// Reflows a message for a message box: single line breaks join lines, paragraph breaks and indented lines
// stay. With breaklonglines (older systems, whose boxes do not wrap) a blank beyond width becomes a line
// break. Line breaks of the result are "\r". A null text gives a null STRING.
STRING ReflowMessageText(const char* text, int width, bool breaklonglines = false);

// The closing log lines with the exit code, then closes the log and releases the process-wide caches.
void ApplicationExit(int exitcode);

#if defined(_WIN32)
// Process entry from WinMain: splits the command line, runs AppEntry and returns the process exit code.
int AppProcessEntry(void* instance, APPMAIN appmain);
// Start-up (heap, common controls, clock, arguments), the main function, ApplicationExit, releases.
int AppEntry(int argc, char** argv, APPMAIN appmain);

// Names the application and loads its language library (appdir\<name><language>.dll) into gResourceModule,
// falling back to English; without any library it shows "DLL not found" and ends the process with 99.
bool InitApplication(const char* programpath, const char* name, const char* version, const char* displayname);

// The standard message boxes. window: any window of the owner (its top-level window becomes the owner) or
// null; title null: the default title of the language library.
namespace WINORVIK {
bool ErrorMsgBox(void* window, const char* title, const char* text);
// True when the user chose Yes.
bool YesNoMsgBox(void* window, const char* title, const char* text);
bool InfoMsgBox(void* window, const char* title, const char* text);
} // namespace WINORVIK
#endif
