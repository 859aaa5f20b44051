// unziprun: hands its arguments to the extraction engine and exits with its result code, so the engine can
// be driven, compared and benchmarked from a shell. With "-v" it prints one "size name" line per listed
// member and then the total.
#include "unzip/unziprun.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    orvik::unzip::Listing listing;
    int code = orvik::unzip::UnzipRun(argc, argv, &listing);
    // The same option letters UnzipRun reads: "v" lists; "d" ends the letters (its directory follows).
    bool list = false;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-')
            continue;
        for (const char* c = argv[i] + 1; *c && *c != 'd'; ++c)
            list = list || *c == 'v';
        if (std::string(argv[i]) == "-d")
            ++i;
    }
    if (list) {
        for (const auto& entry : listing.entries)
            std::printf("%llu %s\n", static_cast<unsigned long long>(entry.size), entry.name.c_str());
        std::printf("%llu total\n", static_cast<unsigned long long>(listing.total));
    }
    return code;
}
