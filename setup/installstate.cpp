#include "setup/installstate.h"

INSTALLSTATE& Install() {
    static INSTALLSTATE state;
    return state;
}
