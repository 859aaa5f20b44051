// A configuration file ("setup.cfg", the advertisement file) read line by line through the HASH parser that
// setup uses, so that every key keeps its line number, and the same table resolved for each language the
// file names, as setup resolves it.
#pragma once

#include <string>
#include <vector>

#include "lib/hash.h"
#include "setup/config.h"
#include "tools/setuppack/report.h"

namespace setuppack {

struct CONFIGLINE {
    int Number = 0;
    std::string Key;
};

class CONFIGFILE {
public:
    // Reads folder/name; lines that setup would stop at with an assertion are reported and left out.
    // False (reported) when the file cannot be read.
    bool Read(const std::string& folder, const std::string& name, REPORT& report);

    const std::string& Name() const { return FileName; }
    const std::vector<CONFIGLINE>& Lines() const { return Entries; }
    // The language suffixes that keys carry (".ger", ".eng" ...), and "" for none.
    std::vector<std::string> Languages() const;
    // The table as setup sees it with this language suffix: language selection, then continuation.
    HASH Resolved(const std::string& language) const;
    // The line that sets key for language (the suffixed key when there is one); 0 when none does.
    int LineOf(const std::string& key, const std::string& language) const;

    // Unknown keys (with the nearest known one), continuations setup never joins, keys set twice.
    void CheckKeys(const std::vector<CONFIGKEY>& known, REPORT& report) const;

private:
    std::string FileName;
    std::vector<CONFIGLINE> Entries;
    STRING Accepted{""}; // the lines that parse, for the table
};

// Levenshtein distance, letter case ignored.
size_t EditDistance(const std::string& a, const std::string& b);
// The known key nearest to name.
std::string NearestKey(const std::string& name, const std::vector<CONFIGKEY>& known);
// Empty when every backslash of a value starts an escape that setup reads; else what is wrong.
std::string EscapeFault(const std::string& value);

} // namespace setuppack
