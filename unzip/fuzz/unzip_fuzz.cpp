// libFuzzer target: arbitrary bytes as an archive, listed and then extracted into a scratch folder.
// Any crash, sanitizer report, leak or hang is a fault of the engine.
#include "unzip/engine.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using namespace orvik::unzip;

// Members may declare up to 2^64 bytes each (ZIP64); writing that much would only slow the fuzzer down, and the
// sink's size limit that bounds it is checked by the tests.
constexpr uint64_t kMaxDeclaredOutput = 16u << 20;

const std::filesystem::path& Scratch() {
    static const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("orvik-unzip-fuzz-" + std::to_string(getpid()));
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::filesystem::path& scratch = Scratch();
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
    std::filesystem::create_directories(scratch);
    const std::string archivePath = (scratch / "input.zip").string();
    if (FILE* f = std::fopen(archivePath.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        return 0;
    }

    CollectedMessages messages(false);
    ZipArchive archive(messages);
    archive.Open(archivePath, 0);
    if (!archive.IsUsable())
        return 0;
    Listing listing;
    archive.List({}, listing);

    uint64_t declared = 0;
    for (const ZipEntry& e : archive.Entries()) {
        // Each size on its own first: ZIP64 sizes could wrap the sum around.
        if (e.uncompressedSize > kMaxDeclaredOutput)
            return 0;
        declared += e.uncompressedSize;
    }
    if (declared > kMaxDeclaredOutput)
        return 0;

    ExtractOptions options;
    options.quiet = static_cast<int>(size % 3);
    options.confirmVmsMember = [](const std::string&) { return true; };
    const std::string out = (scratch / "out").string();
    archive.Extract({}, false, out, options);
    // The installer's path: one member by its listed name, the directory already parsed.
    if (!listing.entries.empty())
        archive.Extract({listing.entries.front().name}, true, out, options);
    archive.Extract({"*.t?t", "[a-m]*"}, false, out, options);
    return 0;
}
