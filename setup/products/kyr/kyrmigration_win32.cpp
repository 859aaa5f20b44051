// The settings migration of the KYR product hooks.
#include "setup/products/kyr/kyrmigration.h"

#include <cstring>

#include "lib/filename.h"
#include "lib/orvik.h"
#include "lib/ownedpath.h"
#include "lib/stringarray.h"
#include "setup/products/kyr/kyrsetuphook.h"

namespace {

const char* const Context = "SETUP::MigrateKyrSettings";

STRING Below(const STRING& folder, const char* name) {
    STRING path;
    if (!JoinBelow(folder, STRING(name), &path))
        return STRING("");
    return path;
}

STRING WithoutTrailingSeparators(STRING path) {
    while (path.Length() > 0 && (path[path.Length() - 1] == '\\' || path[path.Length() - 1] == '/'))
        path.Truncate(path.Length() - 1);
    return path;
}

bool CopyFileOver(const STRING& from, const STRING& to) {
    const bool copied = FILENAME(from).Copy(to.c_str(), true);
    LogPrintf("%s copy %s to %s: %d\n", Context, from.Text(), to.Text(), copied ? 1 : 0);
    return copied;
}

// Renames within its folder, never over an existing file.
void RenameIn(const STRING& folder, const char* from, const char* to) {
    const STRING source = Below(folder, from);
    const bool renamed = source.NotEmpty() && FILENAME(source).Rename(to, false);
    LogPrintf("%s rename %s to %s: %d\n", Context, source.Text(), to, renamed ? 1 : 0);
}

// A migration writes into its target: never a drive or share root, nor a folder that depends on the
// current folder.
bool WritableTarget(const STRING& target) {
    const bool ok =
        !IsRootFolder(NormalFolder(target)) && FILENAME(target).IsAbsolute() && !HasParentComponent(target);
    if (!ok)
        LogPrintf("%s refuses the target %s\n", Context, target.Text());
    return ok;
}

// Settings that lie in the target, or a target inside the earlier folder, are not taken over.
bool Overlaps(const STRING& target, const STRING& source) {
    const STRING t = WithoutTrailingSeparators(target) || "\\";
    const STRING s = WithoutTrailingSeparators(source) || "\\";
    return StringCompareNoCase(t.c_str(), s.c_str()) == 0 ||
           StringCompareNoCase(t.Left(s.Length()).c_str(), s.c_str()) == 0;
}

void RewriteBoth(const STRING& options, const STRING& source, const char* hostsfile) {
    const STRING folder = WithoutTrailingSeparators(source);
    RewriteFolderKey(Below(options, "standard.cfg"), "Path=", folder);
    RewriteFolderKey(Below(options, hostsfile), "script=", folder);
}

void MigrateGeneration3or4(const STRING& target, const EARLIERKYR& earlier) {
    const STRING source = earlier.WorkPath.NotEmpty() ? earlier.WorkPath : earlier.HomePath;
    const STRING backup = Below(target, "Previous Version Files (Backup)");
    for (const STRING& into : {backup, target})
        for (const char* tree : {"Options", "Script", "SSH"})
            CopyTreeOutside(Below(source, tree), Below(into, tree), Context);

    const STRING sourceoptions = Below(source, "Options");
    const STRING options = Below(target, "Options");
    if (CopyFileOver(Below(sourceoptions, "Colortable.cfg"), Below(options, "Colortable.kyrini")))
        RenameIn(options, "Colortable.cfg", "Colortable.cfg.old");
    if (!CopyFileOver(Below(sourceoptions, "KYRHOSTS.INI"), Below(options, "KYRHOSTS.INI")))
        CopyFileOver(Below(source, "PHONEBK"), Below(options, "KYRHOSTS.INI"));
    RewriteBoth(options, source, "KYRHOSTS.INI");
}

bool LeftOutOfVersion5(const STRING& name) {
    static const char* const Endings[] = {".log", ".fee", ".zph", ".gid", ".hlp"};
    for (const char* ending : Endings)
        if (StringCompareNoCase(name.Right(4).c_str(), ending) == 0)
            return true;
    return false;
}

void MigrateGeneration5(const STRING& target, const EARLIERKYR& earlier) {
    const STRING source = earlier.WorkPath;
    if (!FILENAME(source).IsDirectory())
        return;
    STRINGARRAY all;
    ListTree(source.c_str(), "*", &all, true);
    STRINGARRAY taken;
    for (int i = 0; i < all.Count(); ++i)
        if (const STRING* entry = all.Get(i); entry && !LeftOutOfVersion5(*entry))
            taken.Append(*entry);
    FILENAME top;
    top = source;
    taken.Append(top);
    for (const STRING& into : {Below(target, "KYR Files V5 Backup"), target}) {
        const bool copied = CopyTree(top.c_str(), into.c_str(), taken, false);
        LogPrintf("%s copied %d entries of %s into %s: %d\n", Context, taken.Count(), top.Text(), into.Text(),
                  copied ? 1 : 0);
    }
    RenameIn(Below(target, "options"), "colortable.ini", "ColorTable.kyrini");
}

} // namespace

int RewriteFolderKey(const STRING& file, const char* key, const STRING& folder) {
    STRING text;
    if (file.IsEmpty() || folder.IsEmpty() || !text.Load(file.c_str(), "r"))
        return -1;
    const STRING pattern = STRING(key) || "\"" || folder;
    const STRING replacement = STRING(key) || "\"%KYRFILES%";
    STRING result("");
    int replaced = 0;
    int from = 0;
    int at;
    while ((at = text.iPos(pattern.c_str(), from)) >= 0) {
        const int end = at + pattern.Length();
        const char next = end < text.Length() ? text[end] : '\0';
        result.Append(text.Mid(from, at - from));
        if (next == '\\' || next == '/' || next == '"') {
            result.Append(replacement);
            ++replaced;
        } else {
            result.Append(text.Mid(at, pattern.Length()));
        }
        from = end;
    }
    result.Append(text.Mid(from));
    if (replaced > 0 && !result.Save(file.c_str(), "w"))
        return -1;
    LogPrintf("%s %s: %d %s lines rewritten\n", Context, file.Text(), replaced, key);
    return replaced;
}

void MigrateKyrSettings6(const STRING& target, bool migrate, const EARLIERKYR& earlier) {
    LogPrintf("%s 6 into %s, migrate=%d, marker '%s', home '%s', work '%s'\n", Context, target.Text(),
              migrate ? 1 : 0, earlier.Marker.Text(), earlier.HomePath.Text(), earlier.WorkPath.Text());
    const bool upto4 = StringCompareNoCase(earlier.Marker.Text(), "V4") <= 0;
    const bool version5 = StringCompareNoCase(earlier.Marker.Text(), "V5") == 0;
    if (migrate && (upto4 || version5) && WritableTarget(target)) {
        const STRING overlap = upto4 ? earlier.HomePath : earlier.WorkPath;
        if (Overlaps(target, overlap))
            LogPrintf("%s %s is or lies in the earlier folder %s: nothing to take over\n", Context,
                      target.Text(), overlap.Text());
        else if (upto4)
            MigrateGeneration3or4(target, earlier);
        else
            MigrateGeneration5(target, earlier);
    }
    SwitchOffRexxGlobalScbs();
}

void MigrateKyrSettings5(const STRING& target, bool migrate, const STRING& homepath) {
    LogPrintf("%s 5 into %s, migrate=%d, home '%s'\n", Context, target.Text(), migrate ? 1 : 0,
              homepath.Text());
    if (migrate && homepath.NotEmpty() && WritableTarget(target)) {
        const STRING options = Below(target, "Options");
        CopyTreeOutside(Below(homepath, "Options"), Below(homepath, "OptionsV4.bak"), Context);
        CopyTreeOutside(Below(homepath, "Options"), options, Context);
        CopyTreeOutside(Below(homepath, "Script"), Below(target, "Script"), Context);
        MakeDirectoryPath(
            options.c_str()); // also when its tree could not be copied: the files below go there
        CopyFileOver(Below(homepath, "Colortable.cfg"), Below(options, "Colortable.ini"));
        if (!CopyFileOver(Below(Below(homepath, "Options"), "KYRHOSTS.INI"), Below(options, "KyrHosts.ini")))
            CopyFileOver(Below(homepath, "PHONEBK"), Below(options, "KYRHOSTS.INI"));
        RewriteBoth(options, homepath, "kyrhosts.ini");
    }
    SwitchOffRexxGlobalScbs();
}
