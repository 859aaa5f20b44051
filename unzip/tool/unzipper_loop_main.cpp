// unzipper_loop: extracts an archive the way the installer's copy step does, through UNZIPPER: list once,
// then ExtractFile for every listed name. Used by scripts/bench-unzip.sh.
//   unzipper_loop archive destination
#include "lib/orvik.h"
#include "unzip/unzipper.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: unzipper_loop archive destination\n");
        return 2;
    }
    SetAssertSilent(true);
    UNZIPPER zip(argv[1], "", "");
    STRING name;
    int failures = 0;
    for (zip.GetFirstFile(name); name.NotEmpty(); zip.GetNextFile(name))
        failures += zip.ExtractFile(name.Text(), argv[2]) ? 0 : 1;
    if (failures)
        std::fprintf(stderr, "unzipper_loop: %d members failed\n", failures);
    return failures ? 1 : 0;
}
