#include "setup/runmode.h"

#include "lib/approot.h"

RUNMODE ReadRunMode() {
    RUNMODE mode;
    if (TestArg("VERYSILENT"))
        mode.Ui = UIMODE::VerySilent;
    else if (TestArg("SILENT"))
        mode.Ui = UIMODE::Silent;
    mode.SuppressMsgBoxes = TestArg("SUPPRESSMSGBOXES");
    return mode;
}
