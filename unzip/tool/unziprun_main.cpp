// unziprun: hands its arguments to the extraction engine and exits with its result code, so the engine can
// be driven, compared and benchmarked from a shell. With "-v" it prints one "size name" line per listed
// member and then the total.
#include "unzip/unziprun.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    orvik::unzip::Listing listing;
    int code = orvik::unzip::UnzipRun(argc, argv, &listing);
    bool list = false;
    for (int i = 1; i < argc; ++i)
        list = list || (argv[i][0] == '-' && std::string(argv[i]).find('v') != std::string::npos);
    if (list) {
        for (const auto& entry : listing.entries)
            std::printf("%llu %s\n", static_cast<unsigned long long>(entry.size), entry.name.c_str());
        std::printf("%llu total\n", static_cast<unsigned long long>(listing.total));
    }
    return code;
}
