#include "tools/setuppack/packagecheck.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

#include "lib/ownedpath.h"
#include "lib/textcodec.h"
#include "setup/config.h"
#include "setup/filetypeguard.h"
#include "setup/record/installrecord.h"
#include "tools/setuppack/archivecheck.h"
#include "tools/setuppack/configfile.h"
#include "unzip/unzipper.h"

namespace setuppack {

namespace {

const char* const LICENCE_TEXTS[] = {"LICENSE.TXT", "LICENSEFR.TXT", "LIZENZ.TXT"};
const char* const KNOWN_LIBRARIES[] = {"dao360"};
// The longest path Windows opens without the long-path prefix: MAX_PATH less the terminator.
constexpr size_t LONGEST_PATH = 259;

// A name as Windows compares it: "/" separators, letter case ignored.
std::string Folded(std::string name) {
    for (char& c : name)
        c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    const std::string p(prefix);
    return text.size() >= p.size() && Folded(text.substr(0, p.size())) == Folded(p);
}

std::string Std(const STRING& text) {
    return text.NotNull() ? text.Text() : "";
}

// The files of the package folder as Windows finds them: letter case ignored.
class FOLDER {
public:
    explicit FOLDER(const std::string& path) : Path(path) {
        std::error_code error;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path, error))
            if (entry.is_regular_file())
                Files.insert(Folded(std::filesystem::relative(entry.path(), path).generic_string()));
    }
    bool Has(const std::string& name) const { return Files.count(Folded(name)) > 0; }

private:
    std::string Path;
    std::set<std::string> Files;
};

// Whatever the destination holds after the copy step: the archives' members (not the folder placeholders)
// and the CopyToDest files.
class DESTINATION {
public:
    void AddMember(const std::string& name) {
        if (IsFolderPlaceholder(name.c_str()))
            return;
        Names.insert(Folded(name));
        Members.push_back(name);
    }
    void AddCopied(const std::string& name) { Names.insert(Folded(name)); }
    bool Has(const std::string& name) const { return Names.count(Folded(name)) > 0; }
    // Whether setup's "ProtectedFiles" entry covers any archive member.
    bool HasProtected(const std::string& entry) const {
        return std::any_of(Members.begin(), Members.end(), [&](const std::string& member) {
            return ProtectedEntryMatches(STRING(entry.c_str()), STRING(member.c_str()));
        });
    }

private:
    std::set<std::string> Names;
    std::vector<std::string> Members;
};

// The destination setup offers: "C:\Program Files\" and InstallPath, or what follows a leading "*".
std::string TypicalDestination(const std::string& installpath) {
    if (!installpath.empty() && installpath[0] == '*')
        return installpath.substr(1);
    return "C:\\Program Files" + (installpath.empty() ? "" : "\\" + installpath);
}

// Members whose path under the destination is longer than Windows takes: found here rather than on a
// customer's machine. Lengths count UTF-16 units, as Windows does.
void CheckPathLengths(const std::string& archive, const std::vector<std::string>& members,
                      const std::string& destination, REPORT& report) {
    for (const std::string& member : members) {
        std::string path = destination + "\\" + member;
        std::replace(path.begin(), path.end(), '/', '\\');
        const size_t length = TEXTCODEC::Utf16FromUtf8(path).size();
        if (length > LONGEST_PATH)
            report.Add(archive, 0,
                       "member \"" + member + "\" is " + std::to_string(length) +
                           " characters long under \"" + destination + "\", more than the " +
                           std::to_string(LONGEST_PATH) +
                           " Windows takes in a path: setup cannot write it there");
    }
}

bool IsNumberText(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A target that lies in the destination: not a web address, not found on the search path, not absolute.
bool IsInDestination(const std::string& target) {
    if (target.empty() || StartsWithNoCase(target, "http://") || StartsWithNoCase(target, "https://") ||
        StartsWithNoCase(target, "%PATH%\\"))
        return false;
    return !(target[0] == '\\' || target[0] == '/' || (target.size() > 1 && target[1] == ':'));
}

// The program of a file type's open command: the first word, or the quoted text.
std::string CommandProgram(const std::string& command) {
    const std::string text = Trim(command);
    if (!text.empty() && text[0] == '"')
        return text.substr(1, text.find('"', 1) - 1);
    return text.substr(0, text.find(' '));
}

class CONFIGCHECK {
public:
    CONFIGCHECK(const CONFIGFILE& file, const std::string& language, const DESTINATION& destination,
                REPORT& report)
        : File(file), Language(language), Table(file.Resolved(language)), Config(Table),
          Destination(destination), Report(report) {}

    void Run() {
        Numbers();
        Texts();
        Lists();
        AskOverwrite();
        FileTypes();
        Shortcuts();
    }

private:
    void Problem(const char* key, const std::string& text) {
        Report.Add(File.Name(), File.LineOf(key, Language), text);
    }

    void Target(const char* key, const std::string& name, const std::string& what) {
        if (IsInDestination(name) && !Destination.Has(name))
            Problem(key, what + " \"" + name + "\" is in no archive and not copied by CopyToDest");
    }

    void Numbers() {
        for (const CONFIGKEY& key : SetupConfigKeys()) {
            if (key.Form != CONFIGFORM::Number || !Config.Has(key.Name))
                continue;
            const std::string value = Std(Config.Text(key.Name));
            if (!IsNumberText(value))
                Problem(key.Name, std::string(key.Name) + "=" + value +
                                      " is not a number: setup reads it as " +
                                      std::to_string(Config.Number(key.Name)));
        }
    }

    void Texts() {
        const std::string inikey = Std(Config.Text("IniKey"));
        if (inikey.find_first_of("\\/") != std::string::npos)
            Problem("IniKey", "IniKey names a key path, not one key: the uninstaller refuses to remove it");
        const std::string warning = Std(Config.Text("WelcomeWarning"));
        if (StartsWithNoCase(warning, "ShowOnly=")) {
            const std::string condition = warning.substr(9, warning.find('\n') - 9);
            const bool dated =
                condition.size() == 11 && (condition[0] == '<' || condition[0] == '>') &&
                condition[5] == '-' && condition[8] == '-' &&
                IsNumberText(condition.substr(1, 4) + condition.substr(6, 2) + condition.substr(9, 2));
            if (!dated)
                Problem("WelcomeWarning",
                        "ShowOnly=" + condition + " is not \"<\" or \">\" and a date yyyy-mm-dd");
        }
        if (Config.Has("UninstallEmail") && Std(Config.Text("UninstallEmail")).find(';') == std::string::npos)
            Problem("UninstallEmail",
                    "UninstallEmail needs \"address;server\": without \";\" it is not recorded");
        const std::string icon = Std(Config.Text("UninstallIcon"));
        if (!icon.empty())
            Target("UninstallIcon", icon, "UninstallIcon");
    }

    void Lists() {
        for (const STRING& field : ListFields(Config.Text("CheckDll"))) {
            const std::string name = Trim(Std(field));
            if (std::none_of(std::begin(KNOWN_LIBRARIES), std::end(KNOWN_LIBRARIES),
                             [&](const char* known) { return Folded(name) == known; }))
                Problem("CheckDll",
                        "CheckDll names \"" + name + "\", which setup does not know how to check");
        }
        for (const char* key : {"CopyToDest", "DeleteAfterExtract", "AddToFirewall"}) {
            for (const STRING& field : ListFields(Config.Text(key))) {
                const std::string name = Std(field);
                if (!IsNameBelow(name.c_str()))
                    Problem(key,
                            std::string(key) + " names \"" + name + "\", which would leave the destination");
                else if (std::string(key) != "CopyToDest")
                    Target(key, name, key);
            }
        }
    }

    void AskOverwrite() {
        for (const STRING& field : ListFields(Config.Text("AskOverwrite"))) {
            const std::string member = Std(EntryField(field, 0));
            if (!member.empty() && !Destination.Has(member))
                Problem("AskOverwrite", "AskOverwrite names \"" + member +
                                            "\", which no archive member has: the question is never asked");
        }
        for (const STRING& field : ListFields(Config.Text("ProtectedFiles"))) {
            const std::string entry = Trim(Std(EntryField(field, 0)));
            if (!entry.empty() && !Destination.HasProtected(entry))
                Problem("ProtectedFiles", "ProtectedFiles names \"" + entry +
                                              "\", which no archive member has: it protects nothing");
        }
    }

    void FileTypes() {
        for (const STRING& field : ListFields(Config.Text("FileTypes"))) {
            FILETYPE type;
            if (!ParseFileType(field, &type)) {
                Problem("FileTypes",
                        "file type \"" + Trim(Std(field)) +
                            "\" is not registered: it needs extension;identifier=description;command;icon");
                continue;
            }
            for (const STRING& key : {type.Extension, type.Identifier}) {
                if (IsSystemFileType(key))
                    Problem("FileTypes", "file type \"" + Trim(Std(field)) + "\" names \"" + Trim(Std(key)) +
                                             "\", a type of the system: setup refuses to register it");
            }
            if (type.HasOpenCommand())
                Target("FileTypes", CommandProgram(Std(type.Command)), "the open command's program");
            const std::string icon = Std(type.Icon);
            Target("FileTypes", icon.substr(0, icon.rfind(',')), "the icon file");
        }
    }

    void Shortcuts() {
        for (const STRING& field : ListFields(Config.Text("StartmenuOpts"))) {
            const std::string entry = Trim(Std(field));
            if (entry.empty())
                continue;
            const std::string name = Std(EntryField(STRING(entry.c_str()), 0));
            std::string target = Std(EntryField(STRING(entry.c_str()), 1));
            const std::string icon = Std(EntryField(STRING(entry.c_str()), 3));
            if (name.empty() || target.empty()) {
                Problem("StartmenuOpts", "shortcut \"" + entry + "\" needs a name and a target");
                continue;
            }
            target.erase(0, target.find_first_not_of("*#"));
            Target("StartmenuOpts", target, "the target of shortcut \"" + name + "\",");
            const size_t colon = icon.find(':');
            if (!icon.empty())
                Target("StartmenuOpts", icon.substr(0, colon), "the icon file of shortcut \"" + name + "\",");
            if (colon != std::string::npos && !IsNumberText(icon.substr(colon + 1)))
                Problem("StartmenuOpts", "the icon number of shortcut \"" + name + "\" is not a number");
        }
    }

    const CONFIGFILE& File;
    const std::string Language;
    const HASH Table;
    const CONFIGREADER Config;
    const DESTINATION& Destination;
    REPORT& Report;
};

} // namespace

void CheckPackage(const std::string& folder, REPORT& report, std::ostream& summary) {
    const FOLDER files(folder);
    CONFIGFILE config;
    // Without a configuration the archives and the texts are still worth checking.
    const bool configured = config.Read(folder, SETUP_CONFIG_FILE, report);
    if (configured) {
        STRING text;
        if (text.Load((folder + "/" + SETUP_CONFIG_FILE).c_str(), "rb") && !HasSetupKeys(text))
            report.Add(SETUP_CONFIG_FILE, 0,
                       "sets no key of a setup configuration: setup refuses to start with it");
        config.CheckKeys(SetupConfigKeys(), report);
        summary << SETUP_CONFIG_FILE << ": " << config.Lines().size() << " keys";
        for (const std::string& language : config.Languages())
            summary << (language.empty() ? "" : " ") << language;
        summary << "\n";
    }

    DESTINATION destination;
    std::vector<std::pair<std::string, std::vector<std::string>>> members;
    for (const char* archive : {"setup.fil", "custom.fil"}) {
        if (!files.Has(archive)) {
            if (std::string(archive) == "setup.fil")
                report.Add(archive, 0, "is missing: setup has nothing to install");
            continue;
        }
        const ARCHIVESUMMARY read = CheckArchive(folder, archive, report);
        for (const std::string& member : read.Members)
            destination.AddMember(member);
        members.emplace_back(archive, read.Members);
        if (read.Opened)
            summary << archive << ": " << read.Members.size() << " members, " << read.Bytes << " bytes\n";
    }
    for (const char* text : LICENCE_TEXTS)
        if (!files.Has(text))
            report.Add(text, 0, "is missing: the licence page shows setup's built-in text instead");
    if (!configured)
        return;

    for (const std::string& language : config.Languages()) {
        const HASH table = config.Resolved(language);
        const CONFIGREADER reader(table);
        for (const STRING& field : ListFields(reader.Text("CopyToDest"))) {
            destination.AddCopied(Std(field));
            if (IsNameBelow(field.Text()) && !files.Has(Std(field)))
                report.Add(config.Name(), config.LineOf("CopyToDest", language),
                           "CopyToDest names \"" + Std(field) + "\", which is not in the package");
        }
        const std::string advertise = Std(reader.Text("Advertise"));
        if (advertise.empty())
            continue;
        if (!files.Has(advertise)) {
            report.Add(config.Name(), config.LineOf("Advertise", language),
                       "Advertise names \"" + advertise + "\", which is not in the package");
            continue;
        }
        CONFIGFILE advert;
        if (advert.Read(folder, advertise, report))
            advert.CheckKeys(AdvertConfigKeys(), report);
    }
    for (const std::string& language : config.Languages())
        CONFIGCHECK(config, language, destination, report).Run();
    std::set<std::string> destinations;
    for (const std::string& language : config.Languages())
        destinations.insert(
            TypicalDestination(Std(CONFIGREADER(config.Resolved(language)).Text("InstallPath"))));
    for (const std::string& destination : destinations)
        for (const auto& [archive, names] : members)
            CheckPathLengths(archive, names, destination, report);
}

} // namespace setuppack
