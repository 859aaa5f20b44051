// Takes the settings of an earlier KYR generation over into the new user-data folder: copies with backups,
// renames of files whose names changed, and the folder names inside two configuration files rewritten to
// "%KYRFILES%". The REXX option is switched off in every case.
#pragma once

#include "lib/strings.h"

// The earlier installation as the product hook found it.
struct EARLIERKYR {
    STRING Marker{""};   // "V5", "V4", "V3" or empty
    STRING HomePath{""}; // program folder
    STRING WorkPath{""}; // data folder
};

// The version-6 variant: migrate is the user's answer to the question.
void MigrateKyrSettings6(const STRING& target, bool migrate, const EARLIERKYR& earlier);
// The version-5 variant: the source is the earlier program folder.
void MigrateKyrSettings5(const STRING& target, bool migrate, const STRING& homepath);

// Replaces, ignoring case, key + "\"" + folder by key + "\"%KYRFILES%" in the text file, where the folder
// text ends at a separator or the closing quote (a sibling folder whose name merely begins like it is kept).
// Returns the number of replacements; -1 when the file cannot be loaded or saved.
int RewriteFolderKey(const STRING& file, const char* key, const STRING& folder);
