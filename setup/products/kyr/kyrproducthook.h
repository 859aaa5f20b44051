// The version-5 and version-6 product hooks of "KYR" share one engine: the earlier installation found at
// code 1, the destination hint and check, the configuration-profile and user-data folder pages, the earlier
// uninstall entries, the user-data question at uninstall and the product start. A KYRGENERATION holds what
// differs between the two; a KYRPRODUCTHOOK holds one hook's state between its calls and, while an
// installation runs with it, that installation's state.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

#include "lib/strings.h"
#include "setup/install/installstate.h"
#include "setup/interaction.h"
#include "setup/products/kyr/kyrmigration.h"
#include "setup/res/resourceids.h"
#include "setup/wizard/setupdialog.h"

// The folder of choice 5 is at most this long when typed.
constexpr int KYR_CUSTOM_FOLDER_MAX = 64;

struct KYRGENERATION {
    int Version;        // 5 or 6
    const char* OwnKey; // "KYR5"/"KYR6": the uninstall entry and the user's key below "Software\Orvik"
    const char* ProfileFolder[2];            // in the user's profile: English, German
    const char* AppDataFolder;               // choice 2
    const char* SharedFolder;                // choice 4
    bool SharedInstallLine;                  // "SharedInstall=yes" in "admin.ini" for choice 4
    bool StandardKfgCounts;                  // "options\standard.kfg" marks earlier files too
    std::vector<const char*> EarlierEntries; // uninstall entries of earlier generations that code 10 deletes
    // Code 1: the earlier installation.
    EARLIERKYR (*DetectEarlier)();
    // The folder whose settings may be taken over (empty: none qualifies), checked against destination.
    STRING (*MigrationCandidate)(const EARLIERKYR& earlier, const STRING& destination);
    void (*Migrate)(const STRING& target, bool migrate, const EARLIERKYR& earlier);
};

// Values a hook keeps between its calls.
struct KYRHOOKSTATE {
    int Language = 0;
    EARLIERKYR Earlier;
    bool EarlierFilesPresent = false;
    STRING Profile{"1"};
    STRING Subsystems[2] = {STRING("11#"), STRING("11#")};
    STRING EarlierProgramGroup{""};
};

class KYRPRODUCTHOOK {
public:
    explicit KYRPRODUCTHOOK(const KYRGENERATION& generation) : Generation(generation) {}
    KYRPRODUCTHOOK(const KYRPRODUCTHOOK&) = delete;
    KYRPRODUCTHOOK& operator=(const KYRPRODUCTHOOK&) = delete;

    int Call(int code, int value, intptr_t p1, intptr_t p2, intptr_t p3, intptr_t p4);
    // The pages of the steps the hook inserts, with their page functions.
    int ProfilePage(SETUPDIALOGBOX* wizard, DATADIALOG* page);
    int UserDataPage(SETUPDIALOGBOX* wizard, DATADIALOG* page);
    void SetPageFunctions(SETUPPAGEFUNCTION profile, SETUPPAGEFUNCTION userdata) {
        ProfileFunction = profile;
        UserDataFunction = userdata;
    }

    const KYRHOOKSTATE& State() const { return HookState; }

    // An installation without pages: the step idstep takes what its page proposes, as if the page were left
    // with Next (the destination step: the hook's check of the chosen destination); a question goes to
    // interaction. False when the hook has nothing to do for idstep.
    bool TakeProposals(intptr_t idstep, const INSTALLSTATE& install, INTERACTION& interaction);
    bool IsAttachedTo(const INSTALLSTATE& install) const { return Run == &install; }

    // The state of the installation the hook is selected for; null when no installation runs with it (the
    // codes of an installation are then ignored). The hook's pages take the state from their wizard.
    void AttachRun(const INSTALLSTATE* run) { Run = run; }

private:
    static bool NeedsInstallation(int code, int value);
    void InsertSteps(SETUPSTEP* steps) const;
    void ShowDestinationHint(HWND page) const;
    void CheckDestination(HWND page);
    void CheckDestinationFolder(const STRING& destination);
    void RememberEarlierProgramGroup();
    void DeleteEarlierEntries() const;
    bool IsEarlierEntry(const char* key) const;
    void OfferUserDataDeletion(HWND wizard, intptr_t removeall) const;
    void StartProduct() const;

    bool PagesApply(const INSTALLSTATE& install) const;
    void WriteFallbackConfig(const STRING& destination) const;
    STRING ChosenFolder(int choice, const STRING& custom, const STRING& destination) const;
    // Asks a yes/no question (title, question) of whoever is in front of the installation.
    using ASKYESNO = std::function<bool(const STRING& title, const STRING& question)>;
    void TakeProfile(const STRING& level);
    void CommitUserData(const ASKYESNO& ask, const INSTALLSTATE& install, int choice, const STRING& custom);
    bool AskMigration(const ASKYESNO& ask, const STRING& destination) const;
    void SetForceWorkdir(uint32_t value) const;

    const KYRGENERATION& Generation;
    KYRHOOKSTATE HookState;
    const INSTALLSTATE* Run = nullptr;
    SETUPPAGEFUNCTION ProfileFunction = nullptr;
    SETUPPAGEFUNCTION UserDataFunction = nullptr;
};

// The entry point of a built-in hook and the page functions of its steps, over one process-wide
// KYRPRODUCTHOOK of the generation (the entry point is a plain function: hooks get no context).
template <const KYRGENERATION& (*Generation)()> class BUILTINKYRHOOK {
public:
    static int Entry(int code, int value, intptr_t p1, intptr_t p2, intptr_t p3, intptr_t p4) {
        Hook().SetPageFunctions(ProfilePage, UserDataPage);
        return Hook().Call(code, value, p1, p2, p3, p4);
    }
    static void AttachRun(const INSTALLSTATE* run) { Hook().AttachRun(run); }
    // False when this hook is not the one selected for install.
    static bool TakeProposals(intptr_t idstep, const INSTALLSTATE& install, INTERACTION& interaction) {
        return Hook().IsAttachedTo(install) && Hook().TakeProposals(idstep, install, interaction);
    }

private:
    static KYRPRODUCTHOOK& Hook() {
        static KYRPRODUCTHOOK hook(Generation());
        return hook;
    }
    static int ProfilePage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
        return Hook().ProfilePage(wizard, page);
    }
    static int UserDataPage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
        return Hook().UserDataPage(wizard, page);
    }
};

// ---- decisions, each with one job
// ----------------------------------------------------------------------------

// Moves the advertisement step and the steps after it two records towards the end of the table (which ends
// with a record whose id is 0, followed by at least one more free record) and writes first and second into
// the freed records. False, with an assertion, when the table has no advertisement step, no room or does
// not end with the finishing step.
bool InsertStepsBeforeAdvertisement(SETUPSTEP* steps, const SETUPSTEP& first, const SETUPSTEP& second);

// The two "SetupSubsystems" codes: three characters each, the last the feature level of the list entry.
void SubsystemCodes(const STRING& profile, int listentry, STRING* first, STRING* second);

// The text of "admin.ini" written when the user-data folder page is left; scriptfolder empty when none.
STRING AdminIniText(const STRING& folder, const STRING& scriptfolder, bool sharedinstall,
                    const STRING& profile, const STRING (&subsystems)[2]);

// An earlier folder whose settings may be taken over: an existing folder other than the destination that
// has every one of subfolders.
bool EarlierFolderQualifies(const STRING& folder, const STRING& destination,
                            std::initializer_list<const char*> subfolders);

// The registry text value, cut at its first zero; empty when it cannot be read.
STRING ReadRegistryText(void* root, const char* basekey, const char* app, const char* value);

// The tables of the two generations.
const KYRGENERATION& KyrGeneration5();
const KYRGENERATION& KyrGeneration6();
