// The setup configuration: "setup.cfg" (and the advertisement file, which has the same form) loaded into a
// HASH, the post-processing that picks the current language's values and joins continued values, and typed
// readers for its keys.
//
// Value forms of the keys:
//   text     used as it is; a missing key reads as a null STRING, "Key=" as an empty one
//   number   the leading decimal digits (atoi rule: empty or non-numeric is 0)
//   decimal  read as a floating-point number (atof rule)
//   list     fields separated by "|"; empty fields are skipped
//   entry    one list field split at ";"; a missing field is empty
// A default replaces only a missing key: a key that is present but empty counts as empty (or 0).
#pragma once

#include <vector>

#include "lib/hash.h"
#include "lib/stringarray.h"
#include "lib/strings.h"

// The configuration file in the current directory.
constexpr const char* SETUP_CONFIG_FILE = "setup.cfg";

// Continuation keys "Key_0" ... "Key_23" are appended to "Key"; higher numbers stay as they are.
constexpr int CONFIG_CONTINUATION_KEYS = 24;

// What a key's value is read as (see the value forms above); Presence: the key acts when it is present at
// all.
enum class CONFIGFORM { Text, Number, Decimal, List, Entries, Presence };
struct CONFIGKEY {
    const char* Name;
    CONFIGFORM Form;
};
// The keys of "setup.cfg" that setup reads, and those of the advertisement file.
const std::vector<CONFIGKEY>& SetupConfigKeys();
const std::vector<CONFIGKEY>& AdvertConfigKeys();

// A text file of the product maker ("setup.cfg", the advertisement file, the licence texts) in the program's
// own text: UTF-8 as it is, without a byte-order mark; a file that is not UTF-8 is read as code page 1252,
// which every package was written in before. False when the file cannot be read.
bool LoadMakerText(const char* filename, STRING& text);

// Loads filename into table (replacing what it held). False, with the table unchanged, when the file cannot
// be read.
bool LoadConfigTable(HASH& table, const char* filename);

// True when some line of the text sets a key of the setup configuration (with or without a language suffix
// or continuation number). A file from which none can be read is no configuration: a damaged download, say.
bool HasSetupKeys(const STRING& text);
// Loads "setup.cfg" (or filename) into table when it is a setup configuration. False, with the table
// unchanged and the text never parsed (a damaged file would otherwise raise an assertion for every line),
// when it cannot be read or holds no key of its own.
bool LoadSetupConfiguration(HASH& table, const char* filename);

// Language selection: for every key containing ".", a key ending in suffix (letter case ignored) replaces
// the key without the suffix and goes; every other dotted key goes too. Keys without "." stay. An empty
// suffix names no language, so it overrides nothing (and still removes the dotted keys).
void ApplyLanguageSelection(HASH& table, const STRING& suffix);
// Continuation: for every key without "_", the values of "Key_0" ... "Key_23" that exist are appended in
// this order and those keys removed.
void ApplyContinuation(HASH& table);
// Both, in this order: what the install driver does to "setup.cfg" and the advertisement page to its file.
void PostProcessConfig(HASH& table, const STRING& languagesuffix);

// Read-only access to a configuration table by key form. Reading never adds keys to the table.
class CONFIGREADER {
public:
    explicit CONFIGREADER(const HASH& table) : Table(table) {}

    // True when the key is present, even with an empty value.
    bool Has(const char* key) const;
    // The value; when the key is missing (or holds no text at all), a null STRING, or fallback when one is
    // given ("" for text that is shown, written or joined).
    STRING Text(const char* key, const char* fallback = nullptr) const;
    // The value as a number; fallback only when the key is missing.
    int Number(const char* key, int fallback = 0) const;
    // The value as a decimal; fallback (a text, read the same way) only when the key is missing.
    double Decimal(const char* key, const char* fallback = "0") const;
    // The non-empty fields of a "|" list; empty when the key is missing.
    STRINGARRAY List(const char* key) const;

private:
    const HASH& Table;
};

// The fields of a "|" list (configuration values and the uninstall entry's lists) that carry text, in
// order; empty fields are skipped.
std::vector<STRING> ListFields(const STRING& list);
// Field index of an entry (fields separated by ";"); a missing field is an empty STRING.
STRING EntryField(const STRING& entry, int index);
