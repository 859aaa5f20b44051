// RunCommandVerb: the command verbs ADMIN, WRITEREG, WRITEHEXREG, DELETEREG, COPYFILE and DELETEFILE.
#include "setup/hookcodes.h"
#include "setup/verbs.h"

#include "lib/approot.h"
#include "lib/filename.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "setup/res/messages.h"
#include "setup/setuphooks.h"

namespace {

const char* const VERB_REGISTRY_BASE = "Software\\Orvik";

// Field index of a verb value split at "|"; a missing field is empty.
STRING Field(const STRING& value, int index) {
    return value.Word(index, "|", WORD_NOTNULL);
}

// A numeric field; an empty one counts as 0.
int Number(const STRING& value, int index) {
    return Field(value, index).ToInt();
}

STRING Message(int id) {
    return OSYS::GetStringFromResource(id);
}

void ShowInformation(int message) {
    WINORVIK::InfoMsgBox(nullptr, Message(IDS_MSGBOX_TITLE).Text(), Message(message).Text());
}

void ShowError(int message) {
    WINORVIK::ErrorMsgBox(nullptr, Message(IDS_MSGBOX_TITLE).Text(), Message(message).Text());
}

// The verbs' registry key, HKLM "Software\Orvik\" + subkey, created when missing.
class VERBKEY {
public:
    explicit VERBKEY(const STRING& subkey)
        : Key(REGISTRY::LocalMachine(), VERB_REGISTRY_BASE, subkey.Text(), REGISTRY::MODE_CREATE) {
        if (!Key.IsOpen())
            LogPrintf("SETUP::RunCommandVerb cannot open or create HKLM\\%s\n", Key.GetPath().Text());
    }
    bool WriteBinary(const STRING& name, const void* bytes, int count) {
        return Key.IsOpen() && Key.Write(name.Text(), bytes, count);
    }
    bool DeleteValue(const STRING& name) { return Key.IsOpen() && Key.DeleteValue(name.Text()); }

private:
    REGISTRY Key;
};

// Confirms a registry write (3303) or reports its failure (3302) unless quiet; the verb's exit code.
int ReportRegistryWrite(bool written, bool quiet) {
    LogPrintf("SETUP::RunCommandVerb registry value %s\n", written ? "written" : "not written");
    if (!quiet) {
        if (written)
            ShowInformation(IDS_REG_WRITE_DONE);
        else
            ShowError(IDS_REG_WRITE_FAILED);
    }
    return written ? 1 : 0;
}

int RunAdmin(const STRING& value) {
    if (SetupHook == nullptr) {
        LogPrintf("SETUP::RunCommandVerb ADMIN: no SetupHook, nothing done\n");
        return 0;
    }
    const int result = SetupHook(SETUPHOOK_ADMIN, value.Text());
    LogPrintf("SETUP::RunCommandVerb ADMIN %s: SetupHook returned %d\n", value.Text(), result);
    // A failing hook reports its own failure.
    if (result == 0)
        return 0;
    if (StringCompareNoCase(value.Text(), "ADDPRINTER") == 0)
        ShowInformation(IDS_ADMIN_PRINTER_ADDED);
    else if (StringCompareNoCase(value.Text(), "REMOVEPRINTER") == 0)
        ShowInformation(IDS_ADMIN_PRINTER_REMOVED);
    return 0;
}

// The text and one zero byte after it, so that a reader gets a terminated string.
int RunWriteReg(const STRING& value) {
    const STRING text = Field(value, 2);
    VERBKEY key(Field(value, 0));
    return ReportRegistryWrite(key.WriteBinary(Field(value, 1), text.Text(), text.Length() + 1), false);
}

int RunWriteHexReg(const STRING& value) {
    const STRING bytes = Field(value, 2).FromHex();
    VERBKEY key(Field(value, 0));
    const bool written = key.WriteBinary(Field(value, 1), bytes.Text(), bytes.Length());
    return ReportRegistryWrite(written, Number(value, 3) != 0);
}

int RunDeleteReg(const STRING& value) {
    const STRING name = Field(value, 1);
    const bool deleted = VERBKEY(Field(value, 0)).DeleteValue(name);
    LogPrintf("SETUP::RunCommandVerb value %s %s\n", name.Text(), deleted ? "deleted" : "not deleted");
    return 0;
}

int RunCopyFile(const STRING& value) {
    const FILENAME source(Field(value, 0));
    const FILENAME destination(Field(value, 1));
    const bool overwrite = Number(value, 2) != 0;
    const bool copied = source.Copy(destination.Text(), overwrite);
    LogPrintf("SETUP::RunCommandVerb %s to %s (overwrite %d): %s\n", source.Text(), destination.Text(),
              overwrite ? 1 : 0, copied ? "copied" : "not copied");
    return copied ? 1 : 0;
}

int RunDeleteFile(const STRING& value) {
    const FILENAME file(Field(value, 0));
    const bool deleted = file.Delete();
    LogPrintf("SETUP::RunCommandVerb %s %s\n", file.Text(), deleted ? "deleted" : "not deleted");
    return deleted ? 1 : 0;
}

struct VERB {
    const char* Name;
    int (*Run)(const STRING& value); // returns the exit code
};

// In the order they are looked for: only the first one present runs.
const VERB VERBS[] = {
    {"ADMIN", RunAdmin},         {"WRITEREG", RunWriteReg}, {"WRITEHEXREG", RunWriteHexReg},
    {"DELETEREG", RunDeleteReg}, {"COPYFILE", RunCopyFile}, {"DELETEFILE", RunDeleteFile},
};

} // namespace

int RunCommandVerb(int& exitcode) {
    for (const VERB& verb : VERBS) {
        if (!TestArgValue(verb.Name, 0))
            continue;
        // "-VERB" as the last argument has no value: the verb runs with empty fields.
        STRING value = GetArgValue(verb.Name, 0);
        value.MakeNotNull();
        LogPrintf("SETUP::RunCommandVerb %s %s\n", verb.Name, value.Text());
        exitcode = verb.Run(value);
        LogPrintf("SETUP::~RunCommandVerb %s exit code %d\n", verb.Name, exitcode);
        return 1;
    }
    return 0;
}
