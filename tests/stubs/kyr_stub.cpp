// Test stand-in for the product "kyr.exe" that the KYR product hooks start at the end of an installation:
// records how it was started and ends at once with 0.
#include "tests/stubs/stubmain.h"

int main(int argc, char** argv) {
    stubcalls::RecordStart(argc, argv);
    return 0;
}
