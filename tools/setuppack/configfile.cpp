#include "tools/setuppack/configfile.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "lib/orvik.h"

namespace setuppack {

namespace {

bool IsHex(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

bool AllDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// True when the HASH form takes text followed by "=" as an entry (not a comment or a #Handle/#Key line).
bool IsEntryKey(const std::string& text) {
    return HASH(STRING((text + "=").c_str())).Count() == 1;
}

struct KEYPARTS {
    std::string Base;
    std::string Language;  // ".ger", or empty
    int Continuation = -1; // the n of "Key_n", -1 when none
};

KEYPARTS Split(const std::string& key) {
    KEYPARTS parts;
    parts.Base = key;
    const size_t dot = key.rfind('.');
    if (dot != std::string::npos) {
        parts.Language = key.substr(dot);
        parts.Base = key.substr(0, dot);
    }
    const size_t underscore = parts.Base.rfind('_');
    if (underscore != std::string::npos && AllDigits(parts.Base.substr(underscore + 1))) {
        parts.Continuation = std::atoi(parts.Base.c_str() + underscore + 1);
        parts.Base = parts.Base.substr(0, underscore);
    }
    return parts;
}

bool IsKnown(const std::string& base, const std::vector<CONFIGKEY>& known) {
    return std::any_of(known.begin(), known.end(),
                       [&](const CONFIGKEY& key) { return Lower(key.Name) == Lower(base); });
}

} // namespace

size_t EditDistance(const std::string& a, const std::string& b) {
    const std::string x = Lower(a), y = Lower(b);
    std::vector<size_t> row(y.size() + 1);
    for (size_t j = 0; j <= y.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= x.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= y.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] == y[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[y.size()];
}

std::string NearestKey(const std::string& name, const std::vector<CONFIGKEY>& known) {
    std::string best;
    size_t distance = std::string::npos;
    for (const CONFIGKEY& key : known) {
        const size_t d = EditDistance(name, key.Name);
        if (d < distance) {
            distance = d;
            best = key.Name;
        }
    }
    return best;
}

std::string EscapeFault(const std::string& value) {
    // The HASH form's escapes: \0 \\ \n \r \t \z and \x with two hexadecimal digits.
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\')
            continue;
        if (i + 1 == value.size())
            return "a backslash ends the value (write \\\\ for one backslash)";
        const char e = value[++i];
        if (e == 'x') {
            if (i + 2 >= value.size() || !IsHex(value[i + 1]) || !IsHex(value[i + 2]))
                return "\\x needs two hexadecimal digits";
            i += 2;
            continue;
        }
        if (std::string("0\\nrtz").find(e) == std::string::npos)
            return std::string("unknown escape \\") + e + " (write \\\\ for one backslash)";
    }
    return "";
}

bool CONFIGFILE::Read(const std::string& folder, const std::string& name, REPORT& report) {
    FileName = name;
    STRING text;
    if (!text.Load((folder + "/" + name).c_str(), "rb")) {
        report.Add(name, 0, "cannot be read");
        return false;
    }
    const STRINGARRAY lines(text, "\n", 256);
    for (int i = 0; i < lines.Count(); ++i) {
        std::string line = lines.Get(i)->Text() ? lines.Get(i)->Text() : "";
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const int number = i + 1;
        if (line.empty())
            continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            if (IsEntryKey(line))
                report.Add(name, number, "no \"=\" in this line: setup stops at it with an assertion");
            continue;
        }
        if (!IsEntryKey(line.substr(0, equals)))
            continue; // a comment, or #Handle / #Key
        const std::string value = line.substr(equals + 1);
        const bool base64 = value.size() >= 5 && value.compare(0, 3, "={{") == 0 &&
                            value.compare(value.size() - 2, 2, "}}") == 0;
        if (!base64) {
            const std::string fault = EscapeFault(value);
            if (!fault.empty()) {
                report.Add(name, number, fault + ": setup stops at it with an assertion");
                continue;
            }
        }
        const HASH one{STRING(line.c_str())};
        if (one.Count() != 1)
            continue;
        Entries.push_back({number, one.KeyAt(0)->Text()});
        Accepted.Append(line.c_str());
        Accepted.Append("\n");
    }
    return true;
}

std::vector<std::string> CONFIGFILE::Languages() const {
    std::set<std::string> suffixes;
    for (const CONFIGLINE& line : Entries) {
        const KEYPARTS parts = Split(line.Key);
        if (!parts.Language.empty())
            suffixes.insert(Lower(parts.Language));
    }
    std::vector<std::string> languages{""};
    languages.insert(languages.end(), suffixes.begin(), suffixes.end());
    return languages;
}

HASH CONFIGFILE::Resolved(const std::string& language) const {
    HASH table(Accepted);
    PostProcessConfig(table, STRING(language.c_str()));
    return table;
}

int CONFIGFILE::LineOf(const std::string& key, const std::string& language) const {
    int plain = 0;
    for (const CONFIGLINE& line : Entries) {
        if (!language.empty() && Lower(line.Key) == Lower(key + language))
            return line.Number;
        if (plain == 0 && Lower(line.Key) == Lower(key))
            plain = line.Number;
    }
    return plain;
}

void CONFIGFILE::CheckKeys(const std::vector<CONFIGKEY>& known, REPORT& report) const {
    std::vector<const CONFIGLINE*> seen;
    for (const CONFIGLINE& line : Entries) {
        for (const CONFIGLINE* earlier : seen) {
            if (Lower(earlier->Key) == Lower(line.Key)) {
                report.Add(FileName, line.Number,
                           "\"" + line.Key + "\" is set again: setup uses line " +
                               std::to_string(earlier->Number));
                break;
            }
        }
        seen.push_back(&line);
        const KEYPARTS parts = Split(line.Key);
        if (!IsKnown(parts.Base, known)) {
            report.Add(FileName, line.Number,
                       "unknown key \"" + parts.Base +
                           "\" (nearest known key: " + NearestKey(parts.Base, known) + ")");
            continue;
        }
        if (parts.Continuation >= CONFIG_CONTINUATION_KEYS)
            report.Add(FileName, line.Number,
                       "\"" + line.Key + "\": setup joins continuations 0 to " +
                           std::to_string(CONFIG_CONTINUATION_KEYS - 1) + " only");
        else if (parts.Continuation >= 0 && LineOf(parts.Base, parts.Language) == 0 &&
                 LineOf(parts.Base, "") == 0)
            report.Add(FileName, line.Number,
                       "\"" + line.Key + "\" continues \"" + parts.Base + "\", which the file does not set");
    }
}

} // namespace setuppack
