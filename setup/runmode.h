// How much of itself a run shows, chosen by switches: the wizard (no switch), a small progress window and no
// pages ("/SILENT"), or nothing at all ("/VERYSILENT"); and whether a question is put to a person or takes
// its documented default ("/SUPPRESSMSGBOXES", implied by "/VERYSILENT").
#pragma once

enum class UIMODE { Wizard, Silent, VerySilent };

struct RUNMODE {
    UIMODE Ui = UIMODE::Wizard;
    bool SuppressMsgBoxes = false;

    bool Unattended() const { return Ui != UIMODE::Wizard; }
    // No person is asked: every question takes its documented default answer.
    bool AnswersByDefault() const { return Ui == UIMODE::VerySilent || SuppressMsgBoxes; }
};

// The run mode the program arguments ask for; "/VERYSILENT" wins over "/SILENT".
RUNMODE ReadRunMode();
