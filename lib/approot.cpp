// The portable part of the application root: command-line splitting, argument acquisition and queries,
// language choice, folders, the application clock, message reflow and the exit routine.
#include "lib/approot.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "lib/appglobals.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/ownedpath.h"
#include "lib/textcodec.h"

STRINGARRAY gArgs(STRINGARRAY::DefaultGrowBy);

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

#if defined(_WIN32)
constexpr char PATH_SEPARATOR = '\\';
#else
constexpr char PATH_SEPARATOR = '/';
#endif

STRING JoinPath(const STRING& directory, const char* name) {
    STRING path(directory);
    if (path.IsEmpty() || !IsSeparator(path[path.Length() - 1]))
        path.Append(&PATH_SEPARATOR, 1);
    path.Append(name);
    return path;
}

// The file name part of a path.
const char* FileNameOf(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (IsSeparator(*p) || *p == ':')
            name = p + 1;
    return name;
}

bool FileExists(const STRING& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    std::fclose(f);
    return true;
}

// The non-empty lines of an argument file, trimmed of blanks and tabs; an unreadable file has none.
STRINGARRAY ReadArgumentFile(const STRING& name) {
    STRINGARRAY lines;
    STRINGARRAY file;
    file.Load(name.c_str());
    for (int i = 0; i < file.Count(); ++i) {
        STRING line(*file.Get(i));
        // A line of blanks would otherwise become an empty argument.
        line.Strip('B', " \t\r");
        if (line.NotEmpty())
            lines.Append(line);
    }
    return lines;
}

// "/" or "-" followed by a text beginning with name.
bool IsSwitchWithPrefix(const STRING& argument, const char* name) {
    return argument.Length() >= 1 && (argument[0] == '/' || argument[0] == '-') &&
           StartsWithNoCase(argument.c_str() + 1, name);
}

// The switch name of argument ("/NAME:value", "-NAME"): the text after the mark up to a colon.
STRING SwitchName(const STRING& argument) {
    if (argument.Length() < 2 || (argument[0] != '/' && argument[0] != '-'))
        return STRING();
    const char* name = argument.c_str() + 1;
    const char* colon = std::strchr(name, ':');
    STRING result;
    result.Append(name, colon ? static_cast<int>(colon - name) : -1);
    return result;
}

// What an argument file may not ask for: the action of the run, and where the program works.
bool IsCommandLineOnly(const STRING& name) {
    for (const char* only : {"ADMIN", "WRITEREG", "WRITEHEXREG", "DELETEREG", "COPYFILE", "DELETEFILE",
                             "REMOVE", "FINAL", "ORDER", "AUTODIR"}) {
        if (EqualsNoCase(name.Text(), only))
            return true;
    }
    return false;
}

// The user's temporary folder; empty when the environment names none.
STRING UserTempFolder() {
    for (const char* name : {"TEMP", "TMPDIR"}) {
        if (const char* value = std::getenv(name))
            return STRING(value);
    }
#if defined(_WIN32)
    return STRING("");
#else
    return STRING("/tmp");
#endif
}

} // namespace

// ---- Command line -----------------------------------------------------------------------------------------

int SplitCommandLine(char* text, const char* programpath, char** slots, int maximum) {
    if (!slots || maximum <= 0)
        return 0;
    int count = 0;
    if (text) {
        while (*text == ' ')
            ++text;
        for (size_t n = std::strlen(text); n > 0 && text[n - 1] == ' '; --n)
            text[n - 1] = '\0';

        char* p = text;
        while (count < maximum - 2) {
            const bool quoted = *p == '"';
            char* start = quoted ? p + 1 : p;
            char* end = std::strchr(start, quoted ? '"' : ' ');
            if (!end)
                break;
            slots[count++] = start;
            *end++ = '\0';
            while (*end == ' ')
                *end++ = '\0';
            p = end;
        }
        // The last argument has no end character; one that opened with a quote is taken without it.
        if (*p && count < maximum - 1)
            slots[count++] = *p == '"' ? p + 1 : p;
    }
    if (programpath && maximum >= 2) {
        slots[0] = const_cast<char*>(programpath);
        if (count == 0)
            count = 1;
    }
    slots[count] = nullptr;
    return count;
}

// ---- Argument queries -------------------------------------------------------------------------------------

int GetArgCount() {
    return gArgs.Count();
}

STRING GetArg(int index) {
    DYNARRAYLOCK lock(gArgs);
    if (index < 0 || index >= gArgs.Count())
        return STRING();
    return *gArgs.Get(index);
}

void SetArgs(int count, const char* const* arguments) {
    DYNARRAYLOCK lock(gArgs);
    gArgs.Clear();
    for (int i = 0; i < count; ++i)
        gArgs.Append(arguments[i]);
}

bool TestArg(const char* name) {
    bool found = false;
    DYNARRAYLOCK lock(gArgs);
    for (int i = 0; i < gArgs.Count(); ++i) {
        const STRING& argument = *gArgs.Get(i);
        if (argument.Length() >= 1 && (argument[0] == '/' || argument[0] == '-') &&
            EqualsNoCase(argument.c_str() + 1, name)) {
            found = true;
            break;
        }
    }
    LogPrintf("TestArg(\"%s\") returned %d\n", name, found);
    return found;
}

bool TestArgValue(const char* name, int index) {
    const int namelength = static_cast<int>(std::strlen(name));
    int matches = 0;
    DYNARRAYLOCK lock(gArgs);
    for (int i = 0; i < gArgs.Count(); ++i) {
        const STRING& argument = *gArgs.Get(i);
        if (!IsSwitchWithPrefix(argument, name))
            continue;
        const char* rest = argument.c_str() + 1 + namelength;
        if ((argument[0] == '-' && *rest == '\0') || (argument[0] == '/' && *rest == ':'))
            ++matches;
    }
    const bool found = matches > index;
    LogPrintf("TestArgValue(\"%s\", %d) returned %d\n", name, index, found);
    return found;
}

STRING GetArgValue(const char* name, int index) {
    const int namelength = static_cast<int>(std::strlen(name));
    STRING value;
    int matches = 0;
    DYNARRAYLOCK lock(gArgs);
    for (int i = 0; i < gArgs.Count(); ++i) {
        const STRING& argument = *gArgs.Get(i);
        if (!IsSwitchWithPrefix(argument, name) || matches++ != index)
            continue;
        if (argument[0] == '/') {
            const char* rest = argument.c_str() + 1 + namelength;
            value = *rest == ':' ? rest + 1 : rest;
        } else if (i + 1 < gArgs.Count()) {
            value = *gArgs.Get(i + 1);
        }
        break;
    }
    LogPrintf("GetArgValue(\"%s\", %d) returned %s\n", name, index, value.Text());
    return value;
}

// ---- Language ---------------------------------------------------------------------------------------------

int LanguageFromName(const STRING& value, int defaultlanguage) {
    if (value.IsEmpty())
        return defaultlanguage;
    static const struct {
        const char* Name;
        int Language;
    } names[] = {{"GER", LANG_ID_GERMAN},
                 {"ENGL", LANG_ID_ENGLISH},
                 {"FRENCH", LANG_ID_FRENCH},
                 {"HUNGARIAN", LANG_ID_HUNGARIAN}};
    for (const auto& n : names)
        if (EqualsNoCase(value.c_str(), n.Name))
            return n.Language;
    return defaultlanguage;
}

const char* LanguageLibrarySuffix(int language) {
    switch (language) {
    case LANG_ID_GERMAN:
        return "german.dll";
    case LANG_ID_FRENCH:
        return "french.dll";
    case LANG_ID_HUNGARIAN:
        return "hungarian.dll";
    default:
        return "english.dll";
    }
}

// ---- Folders ----------------------------------------------------------------------------------------------

STRING DirectoryOf(const char* path) {
    if (!path)
        return STRING(".");
    const char* name = FileNameOf(path);
    if (name == path)
        return STRING(".");
    // Keep the colon of a bare drive ("C:"), drop a separator.
    const int length = static_cast<int>(name - path) - (IsSeparator(name[-1]) ? 1 : 0);
    if (length == 0) {
        const char root[] = {PATH_SEPARATOR, '\0'};
        return STRING(root);
    }
    STRING directory("");
    directory.Append(path, length);
    return directory;
}

STRING AdjustDevelopmentDir(const STRING& directory) {
    if (directory.IsEmpty())
        return directory;
    const char up[] = {PATH_SEPARATOR, '.', '.', PATH_SEPARATOR, '\0'};
    if (!FileExists(directory || up || "main.cpp") && !FileExists(directory || up || "approot.cpp"))
        return directory;
    for (const char* output : {"Debug", "Debug2", "Release", "Release2"}) {
        const int n = static_cast<int>(std::strlen(output));
        if (directory.Length() > n && IsSeparator(directory[directory.Length() - n - 1]) &&
            EndsWithNoCase(directory, output))
            return directory.Left(directory.Length() - n - 1);
    }
    return directory;
}

ARGUMENTFILES ArgumentFileNames(const char* programpath, const STRING& appdir, const STRING& startdir) {
    STRING self(programpath ? programpath : "");
    while (self.NotEmpty() && (self[self.Length() - 1] == '/' || self[self.Length() - 1] == '.'))
        self.Truncate(self.Length() - 1);
    STRING alternative;
    if (EndsWithNoCase(self, ".exe") || EndsWithNoCase(self, ".app")) {
        STRING name(FileNameOf(self.c_str()));
        alternative = name.Left(name.Length() - 4) || "_" || "commandline.ini";
    }

    ARGUMENTFILES files;
    auto add = [&files, &alternative](const STRING& directory) {
        files.Names[files.Count++] = JoinPath(directory, "commandline.ini");
        if (alternative.NotNull())
            files.Names[files.Count++] = JoinPath(directory, alternative.c_str());
    };
    add(appdir);
    if (!EqualsNoCase(startdir.Text(), appdir.Text()))
        add(startdir);
    return files;
}

STRING ArgumentFileLine(const STRING& argument, const STRING& folder, const STRING& temp) {
    const STRING name = SwitchName(argument);
    if (!name.NotNull())
        return argument;
    if (IsCommandLineOnly(name))
        return STRING();
    if (!EqualsNoCase(name.Text(), "LOGIT") && !EqualsNoCase(name.Text(), "LOGITKEEP") &&
        !EqualsNoCase(name.Text(), "LOGITHARD"))
        return argument;
    STRING file = argument.Mid(name.Length() + 1);
    if (file.NotEmpty() && file[0] == ':')
        file.CutLeft(1);
    if (EqualsNoCase(file.Text(), "STDERR") || EqualsNoCase(file.Text(), "CONSOLE"))
        return argument;
    // A log without a name would go to the user's documents, a unique one to the program's folder.
    if (file.IsEmpty() || EqualsNoCase(file.Text(), "UNIQUE"))
        file = "logit.log";
    STRING full;
    if (IsNameBelow(file.Text())) {
        if (!JoinBelow(folder, file, &full))
            return STRING();
#if !defined(_WIN32)
        full.Replace("\\", "/");
#endif
    } else if (!HasParentComponent(file) &&
               (IsAtOrBelow(file, folder) || (temp.NotEmpty() && IsAtOrBelow(file, temp)))) {
        full = file;
    } else {
        return STRING();
    }
    return "/" || name || ":" || full;
}

// ---- Acquisition ------------------------------------------------------------------------------------------

void AcquireArguments(const ARGUMENTSOURCE& source) {
    const char* programpath = source.ProgramPath.Text();
    gMainThreadId = OSYS::GetCurrentThreadId();

    gStartDir = OSYS::GetCurrentDir();
    gAppDir = AdjustDevelopmentDir(DirectoryOf(programpath));
    OSYS::SetCurrentDir(gAppDir.c_str());

    // A service has no user to start it with logging switches in a file beside it.
    const char* filename = FileNameOf(programpath);
    const bool service = EqualsNoCase(filename, "service.exe");
    const char* dot = std::strchr(filename, '.');
    gAppName = "";
    gAppName.Append(filename, dot ? static_cast<int>(dot - filename) : -1);

    gArgs.Clear();
    for (int i = 0; i < source.Count && source.Vector && source.Vector[i]; ++i) {
        LogitOption(source.Vector[i]);
        gArgs.Append(source.Vector[i]);
    }

    const ARGUMENTFILES files = ArgumentFileNames(programpath, gAppDir, gStartDir);
    const STRING temp = UserTempFolder();
    for (int f = 0; f < files.Count; ++f) {
        if (!FileExists(files.Names[f]))
            continue;
        const STRINGARRAY lines = ReadArgumentFile(files.Names[f]);
        const STRING folder = DirectoryOf(files.Names[f].Text());
        for (int i = 0; i < lines.Count(); ++i) {
            const STRING& line = *lines.Get(i);
            const STRING argument = ArgumentFileLine(line, folder, temp);
            if (!argument.NotNull()) {
                LogPrintf("ORVIKAPP %s: '%s' ignored, only the command line may ask for it\n",
                          files.Names[f].Text(), line.Text());
                // "-NAME value": the value goes with it.
                if (line[0] == '-' && !line.Find(":") && i + 1 < lines.Count() &&
                    lines.Get(i + 1)->Length() > 0 && (*lines.Get(i + 1))[0] != '/' &&
                    (*lines.Get(i + 1))[0] != '-')
                    ++i;
                continue;
            }
            // Levels alone would open the log in the user's documents: it opens beside the file instead.
            if (!service && StartsWithNoCase(argument.Text() + 1, "LOG:") && !LogitActive())
                LogitOption(ArgumentFileLine("/LOGIT", folder, temp).Text());
            if (!service)
                LogitOption(argument.c_str());
            gArgs.Append(argument);
        }
        LogPrintf("ORVIKAPP processing of %s done\n", files.Names[f].Text());
    }

    LogPrintf("ORVIKAPP arguments acquired\n");
    LogPrintf("ORVIKAPP active code page %u\n", TEXTCODEC::ActiveCodePage());
    for (int i = 0; i < gArgs.Count(); ++i)
        LogPrintf("ORVIKAPP program argument %d= '%s'\n", i, gArgs.Get(i)->Text());

    if (TestArgValue("STARTUPDELAY", 0)) {
        LogPrintf("ORVIKAPP sleeping for startupdelay\n");
        const int seconds = GetArgValue("STARTUPDELAY", 0).ToInt();
        // A negative delay would otherwise turn into an almost endless wait.
        if (seconds > 0)
            OSYS::Sleep(static_cast<unsigned long>(seconds) * 1000UL);
    }

    gLocale = LanguageFromName(GetArgValue("LANG", 0), source.DefaultLanguage);
    LogPrintf("ORVIKAPP gLocale= %d\n", gLocale);
}

// ---- Start and end ----------------------------------------------------------------------------------------

int64_t ElapsedMilliseconds(bool reset) {
    static bool started = false;
    static int64_t base = 0;
    int64_t counter = 0, frequency = 0;
    if (!OSYS::ReadHighResCounter(&counter, &frequency) || frequency < 1000)
        return 0;
    const int64_t now = counter / (frequency / 1000);
    if (!started || reset) {
        base = now;
        started = true;
    }
    return now - base;
}

void SetApplicationIdentity(const char* name, const char* version, const char* displayname) {
    gAppName = displayname ? displayname : name;
    if (gAppName.NotEmpty())
        gAppName[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(gAppName[0])));
    gAppVersion = version;
}

STRING ReflowMessageText(const char* text, int width, bool breaklonglines) {
    if (!text)
        return STRING();
    STRING in(text);
    in.Replace("\r\n", "\r");
    in.Replace("\n", "\r");

    const int n = in.Length();
    STRING out("");
    int column = 0;
    auto put = [&](char c) {
        if (c == '\r') {
            column = 0;
        } else if (c == ' ' && breaklonglines && width != -1 && column >= width) {
            c = '\r';
            column = 0;
        } else {
            ++column;
        }
        out.Append(&c, 1);
    };
    for (int i = 0; i < n; ++i) {
        const char c = in[i];
        if (c != '\r' || i == 0 || i == n - 1) {
            put(c);
            continue;
        }
        const char before = in[i - 1];
        const char after = in[i + 1];
        if (before == '\r' || after == '\r' || after == ' ' || after == '\t')
            put('\r');
        else if (before != ' ')
            put(' ');
    }
    return out;
}

void ApplicationExit(int exitcode) {
    LogPrintf("\n");
    LogPrintf("Welcome back %s, you have safely returned to ORVIKAPP with exit code %d\n", gAppName.Text(),
              exitcode);
    LogPrintf("Taxi to your hangar and have a pleasant stay.\n");
    LogPrintf("Over and out.\n");
    LogitOption("/LOGITCLOSE");
    StringCacheShutdown();
    // The character-set, keyboard and help-file services are not part of this program: nothing to release.
}
