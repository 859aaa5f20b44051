#include "setup/install/shortcutentries.h"

#include <cstring>

namespace {

// The ";"-separated fields of text; a missing one is empty.
std::vector<STRING> SplitFields(const STRING& text, char separator) {
    std::vector<STRING> fields;
    const char* p = text.c_str() ? text.c_str() : "";
    for (;;) {
        const char* end = std::strchr(p, separator);
        const int length = end ? static_cast<int>(end - p) : static_cast<int>(std::strlen(p));
        STRING field("");
        field.Append(p, length);
        fields.push_back(field);
        if (end == nullptr)
            return fields;
        p = end + 1;
    }
}

STRING FieldOr(const std::vector<STRING>& fields, size_t index) {
    return index < fields.size() ? fields[index] : STRING("");
}

} // namespace

SHORTCUTENTRY SHORTCUTENTRY::Parse(const STRING& field) {
    const std::vector<STRING> fields = SplitFields(field, ';');
    return SHORTCUTENTRY{FieldOr(fields, 0), FieldOr(fields, 1), FieldOr(fields, 2), FieldOr(fields, 3)};
}

STRING SHORTCUTENTRY::Description() const {
    int last = -1;
    for (int i = 0; i < Name.Length(); ++i)
        if (Name[i] == '\\' || Name[i] == '/')
            last = i;
    return Name.Mid(last + 1);
}

bool SHORTCUTENTRY::IsInternet() const {
    return StartsWithNoCase(Target, "http://") || StartsWithNoCase(Target, "https://");
}

bool SHORTCUTENTRY::IsDesktopEntry() const {
    return Target.Length() > 0 && Target[0] == '#';
}

bool SHORTCUTENTRY::IsOnSearchPath() const {
    return StartsWithNoCase(Target, "%PATH%\\");
}

STRING SHORTCUTENTRY::IconFile() const {
    return FieldOr(SplitFields(Icon, ':'), 0);
}

int SHORTCUTENTRY::IconNumber() const {
    return FieldOr(SplitFields(Icon, ':'), 1).ToInt();
}

std::vector<STRING> TrimmedEntries(const STRING& startmenuopts) {
    std::vector<STRING> entries;
    if (startmenuopts.IsEmpty())
        return entries;
    for (STRING field : SplitFields(startmenuopts, '|')) {
        field.Strip('B', " \t");
        if (field.NotEmpty())
            entries.push_back(field);
    }
    return entries;
}

DESKTOPCANDIDATE FindDesktopCandidate(const STRING& startmenuopts, const STRING& desktopicon) {
    DESKTOPCANDIDATE candidate;
    for (const STRING& field : TrimmedEntries(startmenuopts)) {
        const SHORTCUTENTRY entry = SHORTCUTENTRY::Parse(field);
        if (entry.Target.Length() == 0 || entry.Target[0] != '*')
            continue;
        // A later "*" entry replaces an earlier one.
        candidate.Entry = entry.Name || ";#" || entry.Target.Mid(1) || ";" || entry.Arguments;
        candidate.Option = desktopicon.NotNull() ? desktopicon.ToInt() : 1;
    }
    return candidate;
}

SHORTCUTPAGESETUP PrepareShortcutPage(const STRING& installmode, const DESKTOPCANDIDATE& candidate) {
    const bool reinstall = installmode == "1";
    SHORTCUTPAGESETUP setup;
    setup.CheckedRadio = reinstall ? 403 : 401;
    setup.ShowDesktopBox = candidate.Offered();
    setup.DesktopChecked = candidate.Offered() && candidate.Option >= 2 && !reinstall;
    return setup;
}

STRING UninstallShortcutEntry(const STRING& linkname, const STRING& inikey) {
    return linkname || ";setup.exe;-remove " || inikey || ";setup.exe:1";
}

STRING ShortcutEntryList(bool startmenu, const STRING& startmenuopts, const STRING& uninstallentry,
                         bool desktop, const STRING& desktopentry) {
    STRING list("");
    const auto add = [&list](const STRING& part) {
        if (part.IsEmpty())
            return;
        if (list.NotEmpty())
            list.Append("|");
        list.Append(part);
    };
    if (startmenu) {
        add(startmenuopts);
        add(uninstallentry);
    }
    if (desktop)
        add(desktopentry);
    return list;
}

STRING FirewallExceptionName(const STRING& startmenuopts, const STRING& program, const STRING& appname) {
    for (const STRING& field : TrimmedEntries(startmenuopts)) {
        const SHORTCUTENTRY entry = SHORTCUTENTRY::Parse(field);
        const STRING target =
            entry.Target.Length() > 0 && entry.Target[0] == '*' ? entry.Target.Mid(1) : entry.Target;
        if (StringCompareNoCase(target.Text(), program.Text()) == 0)
            return entry.Name;
    }
    return appname.NotNull() ? appname : STRING("");
}

bool MakeShortcutPath(const STRING& folder, const STRING& name, const char* extension, STRING& path) {
    STRING built("");
    built.Printf("%s\\%s%s", folder.Text(), name.Text(), extension);
    if (built.Length() + 1 > SHORTCUT_PATH_MAX)
        return false;
    path = built;
    return true;
}

void AppendCreated(STRING& list, const STRING& name) {
    list.Append(name);
    list.Append("|");
}

STRING FinishedList(const STRING& list) {
    STRING finished(list.NotNull() ? list : STRING(""));
    if (finished.Length() > 0 && finished[finished.Length() - 1] == '|')
        finished.CutRight(1);
    return finished;
}
