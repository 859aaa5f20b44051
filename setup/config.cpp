#include "setup/config.h"

#include <initializer_list>

#include <cstdlib>
#include <cctype>
#include <cstring>
#include <map>
#include <string>

#include "lib/orvik.h"
#include "lib/osysfile_platform.h"
#include "lib/textcodec.h"

namespace {

// A copy of the keys, so that the table may change while they are walked.
STRINGARRAY KeysOf(const HASH& table) {
    return table.Keys();
}

} // namespace

const std::vector<CONFIGKEY>& SetupConfigKeys() {
    static const std::vector<CONFIGKEY> keys = {{"AppName", CONFIGFORM::Text},
                                                {"AppVersion", CONFIGFORM::Text},
                                                {"IniKey", CONFIGFORM::Text},
                                                {"InstallPath", CONFIGFORM::Text},
                                                {"IdIcon", CONFIGFORM::Number},
                                                {"WelcomeMsg", CONFIGFORM::Text},
                                                {"WelcomeWarning", CONFIGFORM::Text},
                                                {"CheckDll", CONFIGFORM::List},
                                                {"ActiveSyncInstall", CONFIGFORM::Number},
                                                {"Advertise", CONFIGFORM::Text},
                                                {"FinishMsg", CONFIGFORM::Text},
                                                {"AskOverwrite", CONFIGFORM::Entries},
                                                {"ProtectedFiles", CONFIGFORM::Entries},
                                                {"CopyToDest", CONFIGFORM::List},
                                                {"FileTypes", CONFIGFORM::Entries},
                                                {"StartmenuName", CONFIGFORM::Text},
                                                {"UninstallIcon", CONFIGFORM::Text},
                                                {"AddToFirewall", CONFIGFORM::Presence},
                                                {"UninstallEmail", CONFIGFORM::Presence},
                                                {"NoCopyComplete", CONFIGFORM::Number},
                                                {"StartmenuOpts", CONFIGFORM::Entries},
                                                {"DesktopIcon", CONFIGFORM::Number},
                                                {"StartmenuUninstall", CONFIGFORM::Number},
                                                {"DeleteAfterExtract", CONFIGFORM::List},
                                                {"NoFinalPopup", CONFIGFORM::Number}};
    return keys;
}

const std::vector<CONFIGKEY>& AdvertConfigKeys() {
    static const std::vector<CONFIGKEY> keys = {{"Url", CONFIGFORM::Text},
                                                {"Teaser1", CONFIGFORM::Text},
                                                {"Teaser2", CONFIGFORM::Text},
                                                {"Product", CONFIGFORM::Text},
                                                {"Description", CONFIGFORM::Text}};
    return keys;
}

bool LoadMakerText(const char* filename, STRING& text) {
    BINARY bytes;
    if (filename == nullptr || !bytes.Load(OSYSFILE::DiskPath(filename).c_str(), "rb"))
        return false;
    const char* data = reinterpret_cast<const char*>(bytes.Data());
    const std::string decoded =
        TEXTCODEC::FromUtf8(TEXTCODEC::MakerText(std::string_view(data ? data : "", bytes.Length())));
    text.Make(static_cast<int>(decoded.size()), decoded.data());
    return true;
}

bool LoadConfigTable(HASH& table, const char* filename) {
    STRING text;
    const bool loaded = LoadMakerText(filename, text);
    if (loaded)
        table = HASH(text);
    LogPrintf("SETUP::LoadConfigTable %s %s, %d keys\n", filename, loaded ? "loaded" : "not loadable",
              table.Count());
    return loaded;
}

bool HasSetupKeys(const STRING& text) {
    const char* data = text.c_str();
    for (int start = 0; data != nullptr && start < text.Length();) {
        const char* line = data + start;
        // "AppName.ger=" and "StartmenuOpts_3=" set keys of the table too.
        const size_t name = std::strcspn(line, "=._\n");
        for (const CONFIGKEY& known : SetupConfigKeys()) {
            const char* key = known.Name;
            if (std::strlen(key) == name && StartsWithNoCase(line, key) &&
                std::strchr("=._", line[name]) != nullptr && line[name] != '\0')
                return true;
        }
        const char* lf = std::strchr(line, '\n');
        if (lf == nullptr)
            break;
        start = static_cast<int>(lf - data) + 1;
    }
    return false;
}

bool LoadSetupConfiguration(HASH& table, const char* filename) {
    STRING text;
    if (!LoadMakerText(filename, text)) {
        LogPrintf("SETUP::LoadSetupConfiguration %s cannot be read\n", filename);
        return false;
    }
    if (!HasSetupKeys(text)) {
        LogPrintf("SETUP::LoadSetupConfiguration %s holds no key of a setup configuration (%d bytes)\n",
                  filename, text.Length());
        return false;
    }
    table = HASH(text);
    LogPrintf("SETUP::LoadConfigTable %s loaded, %d keys\n", filename, table.Count());
    return true;
}

void ApplyLanguageSelection(HASH& table, const STRING& suffix) {
    const STRINGARRAY keys = KeysOf(table);
    for (int i = 0; i < keys.Count(); ++i) {
        const STRING key = *keys.Get(i);
        if (!key.Find("."))
            continue;
        const int index = table.IndexOf(key.Text());
        if (index < 0)
            continue; // an earlier override already replaced it
        if (suffix.NotEmpty() && EndsWithNoCase(key, suffix.c_str())) {
            const STRING value = *table.ValueAt(index);
            table.Remove(key.Text());
            table[key.Left(key.Length() - suffix.Length()).Text()] = value;
        } else {
            table.Remove(key.Text());
        }
    }
}

namespace {

// The table compares keys byte-wise without letter case.
std::string FoldedKey(const char* key) {
    std::string folded(key);
    for (char& c : folded)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

// n when key is "<base>_<n>" as "%s_%d" writes it for some base without "_" and 0 <= n < 24; else -1.
int ContinuationNumber(const std::string& key, std::string* base) {
    const size_t mark = key.find('_');
    if (mark == std::string::npos || key.find('_', mark + 1) != std::string::npos)
        return -1;
    const std::string digits = key.substr(mark + 1);
    if (digits.empty() || digits.size() > 2 || (digits.size() == 2 && digits[0] == '0'))
        return -1;
    int number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return -1;
        number = number * 10 + (c - '0');
    }
    if (number >= CONFIG_CONTINUATION_KEYS)
        return -1;
    *base = key.substr(0, mark);
    return number;
}

} // namespace

void ApplyContinuation(HASH& table) {
    // The continuation keys are found in one pass over the table: looking up all 24 possible names of every
    // key costs a search of the locked table each, and most packages have none.
    const STRINGARRAY keys = KeysOf(table);
    std::map<std::string, std::map<int, STRING>> continuations; // folded base -> number -> key
    for (int i = 0; i < keys.Count(); ++i) {
        std::string base;
        const int number = ContinuationNumber(keys.Get(i)->Text(), &base);
        if (number >= 0)
            continuations[FoldedKey(base.c_str())][number] = *keys.Get(i);
    }
    if (continuations.empty())
        return;
    for (int i = 0; i < keys.Count(); ++i) {
        const STRING key = *keys.Get(i);
        if (key.Find("_") || !table.Contains(key.Text()))
            continue;
        const auto found = continuations.find(FoldedKey(key.Text()));
        if (found == continuations.end())
            continue;
        // In the order of their numbers, 0 to 23.
        for (const auto& [number, name] : found->second) {
            const int index = table.IndexOf(name.Text());
            if (index < 0)
                continue;
            const STRING part = *table.ValueAt(index);
            table.Remove(name.Text());
            table[key.Text()].Append(part);
        }
    }
}

void PostProcessConfig(HASH& table, const STRING& languagesuffix) {
    ApplyLanguageSelection(table, languagesuffix);
    ApplyContinuation(table);
}

// ---- typed readers ----------------------------------------------------------------------------------------

bool CONFIGREADER::Has(const char* key) const {
    return Table.IndexOf(key) >= 0;
}

STRING CONFIGREADER::Text(const char* key, const char* fallback) const {
    const int index = Table.IndexOf(key);
    const STRING* value = index < 0 ? nullptr : Table.ValueAt(index);
    if (value == nullptr || !value->NotNull())
        return fallback ? STRING(fallback) : STRING();
    return *value;
}

int CONFIGREADER::Number(const char* key, int fallback) const {
    const int index = Table.IndexOf(key);
    if (index < 0)
        return fallback;
    const STRING* value = Table.ValueAt(index);
    return value->NotNull() ? std::atoi(value->c_str()) : fallback;
}

double CONFIGREADER::Decimal(const char* key, const char* fallback) const {
    STRING value = Text(key);
    value.DefaultTo(STRING(fallback ? fallback : "0"));
    return std::atof(value.c_str());
}

STRINGARRAY CONFIGREADER::List(const char* key) const {
    STRINGARRAY fields;
    for (const STRING& field : ListFields(Text(key)))
        fields.Append(field);
    return fields;
}

std::vector<STRING> ListFields(const STRING& list) {
    // One pass: asking for the fields by number would search the list from its start for each of them, and
    // an installation record lists thousands of files.
    std::vector<STRING> fields;
    const char* text = list.Text();
    const int length = list.Length();
    int start = 0;
    for (int i = 0; list.NotNull() && i <= length; ++i) {
        if (i < length && text[i] != '|')
            continue;
        if (i > start) {
            STRING field;
            field.Make(i - start, text + start);
            fields.push_back(field);
        }
        start = i + 1;
    }
    return fields;
}

STRING EntryField(const STRING& entry, int index) {
    return entry.Word(index, ";", WORD_NOTNULL);
}
