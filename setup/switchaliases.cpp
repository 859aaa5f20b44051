#include "setup/switchaliases.h"

#include <algorithm>
#include <cctype>

#include "lib/appglobals.h"
#include "lib/approot.h"
#include "lib/orvik.h"

namespace {

bool StartsNoCase(const std::string& text, const char* prefix) {
    size_t i = 0;
    for (; prefix[i]; ++i)
        if (i >= text.size() || std::toupper(static_cast<unsigned char>(text[i])) !=
                                    std::toupper(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

bool EqualNoCase(const std::string& a, const char* b) {
    return StartsNoCase(a, b) && a.size() == std::char_traits<char>::length(b);
}

std::string Unquoted(std::string value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    if (!value.empty() && value.front() == '"')
        return value.substr(1);
    return value;
}

// Other installers' names of the languages this program has.
std::string LanguageName(const std::string& value) {
    static const struct {
        const char* Foreign;
        const char* Own;
    } names[] = {{"german", "GER"},  {"deutsch", "GER"},   {"de", "GER"},    {"english", "ENGL"},
                 {"en", "ENGL"},     {"french", "FRENCH"}, {"fr", "FRENCH"}, {"hungarian", "HUNGARIAN"},
                 {"hu", "HUNGARIAN"}};
    for (const auto& name : names)
        if (EqualNoCase(value, name.Foreign))
            return name.Own;
    return value;
}

} // namespace

bool IsAcceptedForeignSwitch(const std::string& argument) {
    return argument.size() > 1 && (argument[0] == '/' || argument[0] == '-') &&
           (EqualNoCase(argument.substr(1), "NORESTART") || EqualNoCase(argument.substr(1), "SP-") ||
            EqualNoCase(argument.substr(1), "NOCANCEL"));
}

std::vector<std::string> WithSwitchAliases(const std::vector<std::string>& arguments) {
    static const struct {
        const char* Alias; // with its "="
        const char* Own;   // with its ":"
    } aliases[] = {{"/DIR=", "/DIR:"}, {"/LOG=", "/LOGIT:"}, {"/LANG=", "/LANG:"}};
    std::vector<std::string> out;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const auto alias = std::find_if(std::begin(aliases), std::end(aliases),
                                        [&](const auto& a) { return StartsNoCase(argument, a.Alias); });
        if (alias == std::end(aliases)) {
            out.push_back(EqualNoCase(argument, "/LOG") ? "/LOGIT" : argument);
            continue;
        }
        std::string value = argument.substr(std::char_traits<char>::length(alias->Alias));
        // An opening quote without its closing one: the rest of the value lies in the next arguments.
        if (!value.empty() && value.front() == '"' && (value.size() == 1 || value.back() != '"')) {
            while (i + 1 < arguments.size()) {
                value += " " + arguments[++i];
                if (!value.empty() && value.back() == '"')
                    break;
            }
        }
        value = Unquoted(value);
        if (StartsNoCase(alias->Own, "/LANG:"))
            value = LanguageName(value);
        out.push_back(alias->Own + value);
    }
    return out;
}

std::string AbsoluteFromStartDir(const std::string& folder, const std::string& startdir) {
    const bool rooted = !folder.empty() && (folder[0] == '\\' || folder[0] == '/');
    const bool drive = folder.size() >= 2 && folder[1] == ':';
    if (folder.empty() || rooted || drive || startdir.empty())
        return folder;
    const char last = startdir.back();
    return startdir + (last == '\\' || last == '/' ? "" : "\\") + folder;
}

bool ApplySwitchAliases() {
    std::vector<std::string> arguments;
    for (int i = 0; i < GetArgCount(); ++i)
        arguments.push_back(GetArg(i).Text());
    const std::vector<std::string> own = WithSwitchAliases(arguments);
    bool foreign = false;
    for (const std::string& argument : arguments)
        if (IsAcceptedForeignSwitch(argument)) {
            LogPrintf("SETUP::SwitchAliases %s accepted: it changes nothing here\n", argument.c_str());
            foreign = true;
        }
    if (own == arguments)
        return foreign;
    std::vector<const char*> pointers;
    for (const std::string& argument : own)
        pointers.push_back(argument.c_str());
    SetArgs(static_cast<int>(pointers.size()), pointers.data());
    for (const std::string& argument : own) {
        if (std::find(arguments.begin(), arguments.end(), argument) != arguments.end())
            continue;
        if (StartsNoCase(argument, "/LOGIT"))
            LogitOption(argument.c_str()); // the log the alias asks for starts now
        LogPrintf("SETUP::SwitchAliases read as '%s'\n", argument.c_str());
    }
    // The language was chosen before the aliases were read.
    gLocale = LanguageFromName(GetArgValue("LANG", 0), gLocale);
    return true;
}
