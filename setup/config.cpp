#include "setup/config.h"

#include <cstdlib>

#include "lib/orvik.h"

namespace {

bool EndsWithNoCase(const STRING& text, const STRING& suffix) {
    const int length = suffix.Length();
    return text.Length() >= length && StringCompareNoCase(text.Right(length).Text(), suffix.Text()) == 0;
}

// A copy of the keys, so that the table may change while they are walked.
STRINGARRAY KeysOf(const HASH& table) {
    return table.Keys();
}

} // namespace

bool LoadConfigTable(HASH& table, const char* filename) {
    const bool loaded = table.Load(filename);
    LogPrintf("SETUP::LoadConfigTable %s %s, %d keys\n", filename, loaded ? "loaded" : "not loadable",
              table.Count());
    return loaded;
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
        if (suffix.NotEmpty() && EndsWithNoCase(key, suffix)) {
            const STRING value = *table.ValueAt(index);
            table.Remove(key.Text());
            table[key.Left(key.Length() - suffix.Length()).Text()] = value;
        } else {
            table.Remove(key.Text());
        }
    }
}

void ApplyContinuation(HASH& table) {
    const STRINGARRAY keys = KeysOf(table);
    for (int i = 0; i < keys.Count(); ++i) {
        const STRING key = *keys.Get(i);
        if (key.Find("_") || !table.Contains(key.Text()))
            continue;
        for (int n = 0; n < CONFIG_CONTINUATION_KEYS; ++n) {
            STRING name;
            name.Printf("%s_%d", key.Text(), n);
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
    if (index < 0)
        return fallback ? STRING(fallback) : STRING();
    return *Table.ValueAt(index);
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
    return SplitConfigList(Text(key));
}

STRINGARRAY SplitConfigList(const STRING& value) {
    STRINGARRAY fields;
    for (int i = 0;; ++i) {
        const STRING field = value.Word(i, "|");
        if (field.c_str() == nullptr)
            break;
        if (field.NotEmpty())
            fields.Append(field);
    }
    return fields;
}

STRING EntryField(const STRING& entry, int index) {
    return entry.Word(index, ";", WORD_NOTNULL);
}
